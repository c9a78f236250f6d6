#include "platform/result_reason.h"

#include "platform/wide_text.h"
#include "results/describe_result.h"

namespace platform {

std::string ResultReason(HRESULT result) {
    if (result == E_DISK_FULL) return "There is not enough space on the disk";
    if (result == E_NAME_TOO_LONG) return "The file name is too long";
    std::string text = NarrowToBytes(DescribeResult(result));
    if (!text.empty() && text.back() == '.') text.pop_back();
    return text;
}

}  // namespace platform
