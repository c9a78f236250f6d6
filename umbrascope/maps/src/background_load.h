#pragma once
// One map loaded on a thread of its own while the calling thread loads another:
// both decoders run at once, and the outcome is taken where the step would have
// loaded the map itself.
#include <string>
#include <thread>

#include "platform/d3d9.h"

namespace maps {

class BackgroundLoad {
public:
    using Load = HRESULT (*)(const std::wstring& name, IDirect3DTexture9** texture);

    // Starts load(name) on a new thread. When no thread can be had, nothing starts
    // here and finish loads the map itself, in turn.
    BackgroundLoad(Load load, const std::wstring& name);
    // Waits for a load still running; a texture nobody took is released, as if it
    // had never been loaded.
    ~BackgroundLoad();
    BackgroundLoad(const BackgroundLoad&) = delete;
    BackgroundLoad& operator=(const BackgroundLoad&) = delete;

    // Waits for the load and drops what it loaded, so that finish loads the map in
    // turn; for when the other map ran out of memory and must be judged alone.
    // False when there was no load to drop.
    bool discard();

    // Waits for the load and returns its result; the texture goes to `texture`
    // (null when the load failed). A load that ran out of memory beside the other
    // map is made once more, in turn, as loading one after the other would have
    // made it. Once only.
    [[nodiscard]] HRESULT finish(IDirect3DTexture9** texture);

private:
    void run();
    void wait();

    Load load_;
    const std::wstring& name_;
    IDirect3DTexture9* texture_ = nullptr;
    HRESULT result_ = S_OK;
    bool started_ = false;  // a load ran or runs on the thread, and still counts
    std::thread thread_;
};

}  // namespace maps
