#include "background_load.h"

#include <new>
#include <system_error>
#include <utility>

namespace maps {

BackgroundLoad::BackgroundLoad(Load load, const std::wstring& name) : load_(load), name_(name) {
    try {
        thread_ = std::thread(&BackgroundLoad::run, this);
        started_ = true;
    } catch (const std::system_error&) {
        // one thread, then: finish loads
    } catch (const std::bad_alloc&) {
    }
}

BackgroundLoad::~BackgroundLoad() {
    wait();
    if (texture_ != nullptr) texture_->Release();
}

void BackgroundLoad::run() {
    // Nothing may escape a thread; the loading calls return their failures, and
    // exhausted memory is one of them.
    try {
        result_ = load_(name_, &texture_);
    } catch (const std::bad_alloc&) {
        result_ = E_OUTOFMEMORY;
    }
}

void BackgroundLoad::wait() {
    if (thread_.joinable()) thread_.join();
}

bool BackgroundLoad::discard() {
    wait();
    if (texture_ != nullptr) texture_->Release();
    texture_ = nullptr;
    return std::exchange(started_, false);
}

HRESULT BackgroundLoad::finish(IDirect3DTexture9** texture) {
    wait();
    if (!started_ || result_ == E_OUTOFMEMORY) run();
    *texture = std::exchange(texture_, nullptr);
    return result_;
}

}  // namespace maps
