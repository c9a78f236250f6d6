#include "background_load.h"

#include <new>
#include <system_error>
#include <utility>

namespace maps {

BackgroundLoad::BackgroundLoad(Load load, const std::wstring& name) : load_(load), name_(name) {
    try {
        thread_ = std::thread(&BackgroundLoad::Run, this);
        started_ = true;
    } catch (const std::system_error&) {
        // one thread, then: Finish loads
    } catch (const std::bad_alloc&) {
    }
}

BackgroundLoad::~BackgroundLoad() {
    Wait();
    if (texture_ != nullptr) texture_->Release();
}

void BackgroundLoad::Run() {
    // Nothing may escape a thread; the loading calls return their failures, and
    // exhausted memory is one of them.
    try {
        result_ = load_(name_, &texture_);
    } catch (const std::bad_alloc&) {
        result_ = E_OUTOFMEMORY;
    }
}

void BackgroundLoad::Wait() {
    if (thread_.joinable()) thread_.join();
}

bool BackgroundLoad::Discard() {
    Wait();
    if (texture_ != nullptr) texture_->Release();
    texture_ = nullptr;
    return std::exchange(started_, false);
}

HRESULT BackgroundLoad::Finish(IDirect3DTexture9** texture) {
    Wait();
    if (!started_ || result_ == E_OUTOFMEMORY) Run();
    *texture = std::exchange(texture_, nullptr);
    return result_;
}

}  // namespace maps
