#pragma once
// A texture level held locked for as long as a scope needs it.
#include "platform/d3d9.h"

namespace graphics {

// Locks the whole of one level of a texture when made and unlocks it when it ends,
// if the lock succeeded: no way out of a scope, a failure or an exception on the
// way, leaves the level locked. A failed lock unlocks nothing, so a lock someone
// else holds stays theirs.
class LevelLock {
public:
    // `texture` must not be null; `flags` is 0 or D3DLOCK_READONLY, as LockRect takes it.
    LevelLock(IDirect3DTexture9* texture, UINT level, DWORD flags);
    ~LevelLock() { unlock(); }
    LevelLock(const LevelLock&) = delete;
    LevelLock& operator=(const LevelLock&) = delete;

    // LockRect's result: S_OK when the level is locked, else its failure
    // (D3DERR_INVALIDCALL for a level already locked or out of range).
    [[nodiscard]] HRESULT result() const { return result_; }

    // The level's texels in packed rows; null unless the lock succeeded.
    [[nodiscard]] void* bits() const { return locked_ ? rect_.pBits : nullptr; }

    // Unlocks now, where the order of unlocks matters to the caller; later calls,
    // and the destructor's, do nothing.
    void unlock();

private:
    IDirect3DTexture9* texture_;
    UINT level_;
    D3DLOCKED_RECT rect_{};
    HRESULT result_;
    bool locked_ = false;
};

}  // namespace graphics
