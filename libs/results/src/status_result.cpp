#include "results/status_result.h"

HRESULT ResultOfStatus(const status::Status& status) noexcept {
    switch (status.code) {
        case status::Code::Ok: return S_OK;
        case status::Code::InvalidData: return D3DXERR_INVALIDDATA;
        case status::Code::NotFound: return E_FILE_NOT_FOUND;
        case status::Code::PathNotFound: return E_PATH_NOT_FOUND;
        case status::Code::AccessDenied: return E_ACCESSDENIED;
        case status::Code::DiskFull: return E_DISK_FULL;
        case status::Code::NameTooLong: return E_NAME_TOO_LONG;
        case status::Code::TooManyOpenFiles: return E_TOO_MANY_OPEN_FILES;
        case status::Code::OutOfMemory: return E_OUTOFMEMORY;
        case status::Code::InvalidArgument: return E_INVALIDARG;
        case status::Code::Failed: break;
    }
    return E_FAIL;
}
