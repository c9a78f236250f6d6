#pragma once
// Two pieces of work at once, on this thread and one more.
#include <functional>

namespace os {

// Runs `beside` on a new thread while `here` runs on this one, and returns when
// both are done; both run on this thread, one after the other, when no thread can
// be started. std::bad_alloc thrown by either is thrown here, after both have
// ended; they must throw nothing else.
void RunSideBySide(const std::function<void()>& here, const std::function<void()>& beside);

}  // namespace os
