#pragma once
// The run's graphics state and the steps that create, load and save it.
#include <string>

#include "platform/d3d9.h"

// The fields carry the names the steps' messages give the objects. Each is null
// until the step that creates it succeeds, and owns one reference.
// NOLINTBEGIN(readability-identifier-naming)
struct TextureSetRecord {
    IDirect3D9* Direct3D = nullptr;
    IDirect3DDevice9* Device = nullptr;
    IDirect3DTexture9* HeightMap = nullptr;
    IDirect3DTexture9* TreeMap = nullptr;
    IDirect3DTexture9* OutTexture = nullptr;
};

extern TextureSetRecord TextureSet;
// NOLINTEND(readability-identifier-naming)

// Creates the graphics object and its device on `window` (any handle), into an
// empty TextureSet. 0 or E_FAIL, whichever call failed; prints nothing.
[[nodiscard]] HRESULT InitDevice(HWND window);

// Loads the height map and the tree map at OutRez x OutRez and creates the output
// texture, printing its progress. Needs the device and validated settings, and no
// texture yet. 0, or the failing call's own result after its error line; the
// textures made before the failure stay in TextureSet.
[[nodiscard]] HRESULT LoadTextures();

// Saves the output texture under Outfname and under its ".winter" companion,
// printing its progress. Needs the output texture, unlocked. 0; E_ACCESSDENIED after
// the error line, nothing written, when either name is the file of an input map;
// or E_FAIL after the error line, a first file saved staying when the second
// cannot be.
[[nodiscard]] HRESULT WriteHorizonMapFile();

namespace maps {

// Releases what exists, in the order OutTexture, TreeMap, HeightMap, Device,
// Direct3D, and empties the record. Any state will do; a second call does nothing.
void ReleaseTextureSet();

// The output name with ".winter" put in front of its extension (the part of the
// last path component, after the last '/', from its last dot on). False when a component or the result
// would not fit the path buffers (directory, name and extension 255 characters,
// extension with ".winter" 255, whole path 259); `companion` (not null) is then
// unchanged. Exhausted memory escapes as std::bad_alloc.
[[nodiscard]] bool CompanionFileName(const std::wstring& name, std::wstring* companion);

}  // namespace maps
