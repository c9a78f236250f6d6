// Saving a texture as a DDS file: the header, then every level, level 0 first.
#include <new>
#include <set>
#include <string>
#include <vector>

#include "dds/dds_header.h"
#include "os/atomic_file.h"
#include "os/directory_turns.h"
#include "platform/d3d9.h"
#include "platform/texture_files.h"
#include "platform/wide_text.h"
#include "results/status_result.h"
#include "texture.h"

namespace graphics {
namespace {

// Every level locked read-only for as long as the save reads them.
class ChainLock {
public:
    explicit ChainLock(Texture* texture) : texture_(texture) {}
    ~ChainLock() {
        if (bits_ != nullptr) texture_->unlockChain();
    }
    ChainLock(const ChainLock&) = delete;
    ChainLock& operator=(const ChainLock&) = delete;

    [[nodiscard]] HRESULT lock(const Texture::LevelZeroWork& meanwhile) {
        return texture_->lockChain(&bits_, &bytes_, meanwhile);
    }
    const void* bits() const { return bits_; }
    std::size_t bytes() const { return bytes_; }

private:
    Texture* texture_;
    const void* bits_ = nullptr;
    std::size_t bytes_ = 0;
};

}  // namespace

PendingSaves::PendingSaves() = default;

PendingSaves::~PendingSaves() {
    // Last first, so that the signals each temporary name holds are released in
    // the reverse order of their hold.
    while (!files_.empty()) files_.pop_back();
}

HRESULT PendingSaves::save(const wchar_t* destFile, IDirect3DBaseTexture9* base) {
    auto* texture = dynamic_cast<Texture*>(base);
    if (destFile == nullptr || texture == nullptr) return D3DERR_INVALIDCALL;
    try {
        D3DSURFACE_DESC top{};
        if (const HRESULT hr = texture->GetLevelDesc(0, &top); hr != S_OK) return hr;
        if (top.Format != D3DFMT_A32B32G32R32F) return D3DERR_INVALIDCALL;
        auto file = std::make_unique<os::AtomicFile>();
        if (const HRESULT hr = ResultOfStatus(file->open(platform::NarrowToBytes(destFile))); hr != S_OK) return hr;
        const auto header = dds::FloatRgbaHeader(top.Width, top.Height, texture->GetLevelCount());
        // Level 0 goes to the disk while the levels below it are brought up to date.
        std::size_t topBytes = 0;
        const auto writeTop = [&](const void* level0, std::size_t bytes) {
            topBytes = bytes;
            const HRESULT hr = ResultOfStatus(file->write(header.data(), header.size()));
            return hr == S_OK ? ResultOfStatus(file->write(level0, bytes)) : hr;
        };
        ChainLock chain(texture);
        if (const HRESULT hr = chain.lock(writeTop); hr != S_OK) return hr;
        const char* lower = static_cast<const char*>(chain.bits()) + topBytes;
        if (const HRESULT hr = ResultOfStatus(file->write(lower, chain.bytes() - topBytes)); hr != S_OK) return hr;
        if (const HRESULT hr = ResultOfStatus(file->finish()); hr != S_OK) return hr;
        files_.push_back(std::move(file));
        return S_OK;
    } catch (const std::bad_alloc&) {
        return E_OUTOFMEMORY;
    }
}

HRESULT PendingSaves::commit() {
    HRESULT result = S_OK;
    std::size_t committed = 0;
    {
        // Saves of other runs to the same names rename theirs before or after these,
        // never between, so that the names end up holding files of one run.
        std::vector<std::string> directories;
        try {
            for (const auto& file : files_) directories.push_back(os::DirectoryOf(file->targetPath()));
        } catch (const std::bad_alloc&) {
            directories.clear();  // renamed unguarded, as without locks
        }
        const os::DirectoryTurns turns(directories);
        os::TerminationSignalsBlocked quiet;
        for (; committed < files_.size(); ++committed) {
            result = ResultOfStatus(files_[committed]->commit(os::AtomicFile::DirectorySync::ByCaller));
            if (result != S_OK) break;
        }
    }
    try {
        std::set<std::string> directories;
        for (std::size_t i = 0; i < committed; ++i) directories.insert(os::DirectoryOf(files_[i]->targetPath()));
        for (const auto& directory : directories)
            if (const HRESULT hr = ResultOfStatus(os::SyncDirectory(directory)); hr != S_OK && result == S_OK)
                result = hr;
    } catch (const std::bad_alloc&) {
        if (result == S_OK) result = E_OUTOFMEMORY;
    }
    while (!files_.empty()) files_.pop_back();
    return result;
}

HRESULT CheckSaveTarget(const wchar_t* destFile) {
    if (destFile == nullptr) return D3DERR_INVALIDCALL;
    try {
        os::SaveTarget target;
        return ResultOfStatus(os::ResolveSaveTarget(platform::NarrowToBytes(destFile), &target));
    } catch (const std::bad_alloc&) {
        return E_OUTOFMEMORY;
    }
}

}  // namespace graphics

HRESULT D3DXSaveTextureToFileW(const wchar_t* destFile, D3DXIMAGE_FILEFORMAT format, IDirect3DBaseTexture9* base,
                               const void* /*palette*/) {
    if (format != D3DXIFF_DDS) return D3DERR_INVALIDCALL;
    try {
        graphics::PendingSaves saves;
        if (const HRESULT hr = saves.save(destFile, base); hr != S_OK) return hr;
        return saves.commit();
    } catch (const std::bad_alloc&) {
        return E_OUTOFMEMORY;
    }
}
