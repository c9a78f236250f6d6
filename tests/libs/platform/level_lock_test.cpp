#include <gtest/gtest.h>

#include "platform/d3d9.h"
#include "platform/level_lock.h"
#include "test_device.h"

namespace {

using graphics::LevelLock;

class LevelLockTest : public testing::Test {
protected:
    // Whether anyone holds level 0 now: a lock of it fails exactly then.
    bool levelHeld() {
        D3DLOCKED_RECT probe{};
        if (texture_->LockRect(0, &probe, nullptr, D3DLOCK_READONLY) != S_OK) return true;
        EXPECT_EQ(texture_->UnlockRect(0), S_OK);
        return false;
    }

    TestTexture graphics_{4, 4};
    IDirect3DTexture9* texture_ = graphics_.texture;
};

TEST_F(LevelLockTest, HoldsTheLevelForItsScopeAndWritesReachTheTexture) {
    {
        LevelLock lock(texture_, 0, 0);
        ASSERT_EQ(lock.result(), S_OK);
        ASSERT_NE(lock.bits(), nullptr);
        static_cast<float*>(lock.bits())[5] = 2.5f;
        EXPECT_TRUE(levelHeld());
    }
    EXPECT_FALSE(levelHeld());
    LevelLock again(texture_, 0, D3DLOCK_READONLY);
    ASSERT_EQ(again.result(), S_OK);
    EXPECT_EQ(static_cast<const float*>(again.bits())[5], 2.5f);
}

// A failed lock reports the failure and, ending, leaves the holder's lock alone.
TEST_F(LevelLockTest, FailedLockReleasesNothing) {
    D3DLOCKED_RECT held{};
    ASSERT_EQ(texture_->LockRect(0, &held, nullptr, 0), S_OK);
    {
        LevelLock lock(texture_, 0, 0);
        EXPECT_EQ(lock.result(), D3DERR_INVALIDCALL);
        EXPECT_EQ(lock.bits(), nullptr);
    }
    EXPECT_TRUE(levelHeld());
    EXPECT_EQ(texture_->UnlockRect(0), S_OK);

    LevelLock beyond(texture_, 7, 0);  // a 4 x 4 texture has three levels
    EXPECT_EQ(beyond.result(), D3DERR_INVALIDCALL);
}

// After an explicit unlock the lock is gone: one taken since is not undone.
TEST_F(LevelLockTest, UnlockIsOnce) {
    D3DLOCKED_RECT other{};
    {
        LevelLock lock(texture_, 0, 0);
        ASSERT_EQ(lock.result(), S_OK);
        lock.unlock();
        EXPECT_EQ(lock.bits(), nullptr);
        ASSERT_EQ(texture_->LockRect(0, &other, nullptr, 0), S_OK);
        lock.unlock();
    }
    EXPECT_TRUE(levelHeld());
    EXPECT_EQ(texture_->UnlockRect(0), S_OK);
}

}  // namespace
