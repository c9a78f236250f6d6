#include "os/errno_result.h"

#include <cerrno>

namespace os {

status::Status FailureOfErrno(int error) noexcept {
    switch (error) {
        case ENOENT: return {status::Code::PathNotFound, {}};
        case EINVAL: return {status::Code::Failed, {}};
        default: return {status::CodeOfErrno(error), {}};
    }
}

}  // namespace os
