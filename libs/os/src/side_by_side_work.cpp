#include "os/side_by_side_work.h"

#include <new>
#include <system_error>
#include <thread>

namespace os {

void RunSideBySide(const std::function<void()>& here, const std::function<void()>& beside) {
    bool besideFailed = false;
    const auto guarded = [&] {
        try {
            beside();
        } catch (const std::bad_alloc&) {
            besideFailed = true;
        }
    };
    std::thread helper;
    try {
        helper = std::thread(guarded);
    } catch (const std::system_error&) {
        guarded();
    }
    bool hereFailed = false;
    try {
        here();
    } catch (const std::bad_alloc&) {
        hereFailed = true;
    }
    if (helper.joinable()) helper.join();
    if (hereFailed || besideFailed) throw std::bad_alloc();
}

}  // namespace os
