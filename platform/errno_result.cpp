#include "platform/errno_result.h"

#include <cerrno>

HRESULT ResultFromErrno(int error) {
    switch (error) {
        case ENOENT:
        case ENOTDIR: return ResultFromBits(0x80070003u);  // the path (its directory) is missing
        case EACCES:
        case EPERM:
        case EROFS:
        case EISDIR: return ResultFromBits(0x80070005u);
        case ENOSPC:
        case EDQUOT:
        case EFBIG: return ResultFromBits(0x80070070u);  // disk full
        case ENOMEM: return E_OUTOFMEMORY;
        case ENAMETOOLONG: return ResultFromBits(0x800700CEu);
        case EMFILE:
        case ENFILE: return ResultFromBits(0x80070004u);  // too many open files
        default: return E_FAIL;
    }
}
