#pragma once
// Saving textures as files that take their names together.
#include <memory>
#include <string>
#include <vector>

#include "platform/d3d9.h"

namespace os {
class AtomicFile;
}

namespace graphics {

// DDS files of textures, each written and flushed to disk under a temporary name
// and given its own name by commit(): the time in which some names hold new
// content and others old is that of a few renames, none of which a termination
// signal can split. Whatever has not been committed is removed when this ends.
class PendingSaves {
public:
    PendingSaves();
    ~PendingSaves();
    PendingSaves(const PendingSaves&) = delete;
    PendingSaves& operator=(const PendingSaves&) = delete;

    // Writes `texture` (one this library created; no level of it locked) with all
    // its levels, the header and level 0 first, from the texture's own memory.
    // Results as D3DXSaveTextureToFileW's, D3DERR_INVALIDCALL also for a locked
    // level; on a failure nothing of this file remains and earlier saves are still
    // pending. Nothing escapes: exhausted memory is E_OUTOFMEMORY.
    [[nodiscard]] HRESULT save(const wchar_t* destFile, IDirect3DBaseTexture9* texture);

    // Renames the saved files into place in the order saved, stopping at the first
    // that fails, then flushes the directories of those renamed. The renames take
    // their turn with other processes' commits into the same directories
    // (DirectoryTurns). S_OK or the first error. Nothing is pending afterwards,
    // whatever the outcome.
    [[nodiscard]] HRESULT commit();

private:
    std::vector<std::unique_ptr<os::AtomicFile>> files_;
};

// S_OK when a save to `destFile` could put a file there: nothing is there, or a
// regular file, directly or through symbolic links. Otherwise the refusal a save
// would meet: E_ACCESSDENIED for a directory, device, FIFO or socket in the way or
// a link that may not be followed (ResolveSaveTarget),
// E_PATH_NOT_FOUND for a missing directory or an empty name, D3DERR_INVALIDCALL for
// a null name, or the error met looking.
[[nodiscard]] HRESULT CheckSaveTarget(const wchar_t* destFile);

}  // namespace graphics
