#include "os/errno_result.h"

#include <cerrno>

namespace os {

HRESULT ResultFromErrno(int error) {
    switch (error) {
        case ENOENT:
        case ENOTDIR: return E_PATH_NOT_FOUND;  // the directory is missing
        case EACCES:
        case EPERM:
        case EROFS:
        case EISDIR: return E_ACCESSDENIED;
        case ENOSPC:
        case EDQUOT:
        case EFBIG: return E_DISK_FULL;
        case ENOMEM: return E_OUTOFMEMORY;
        case ENAMETOOLONG: return E_NAME_TOO_LONG;
        case EMFILE:
        case ENFILE: return E_TOO_MANY_OPEN_FILES;
        default: return E_FAIL;
    }
}

}  // namespace os
