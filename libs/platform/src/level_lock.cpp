#include "platform/level_lock.h"

#include <cassert>

namespace graphics {

LevelLock::LevelLock(IDirect3DTexture9* texture, UINT level, DWORD flags) : texture_(texture), level_(level) {
    assert(texture != nullptr);
    result_ = texture_->LockRect(level_, &rect_, nullptr, flags);
    locked_ = Succeeded(result_);
}

void LevelLock::unlock() {
    if (!locked_) return;
    locked_ = false;
    // What was written is in the texture whatever the unlock answers: its result
    // tells nothing the holder could act on.
    (void)texture_->UnlockRect(level_);
}

}  // namespace graphics
