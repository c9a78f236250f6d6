#pragma once
// The run's graphics state and the steps that create, load and save it.
#include <string>

#include "platform/d3d9.h"

// The fields carry the names the steps' messages give the objects.
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

// Creates the graphics object and its device on `window`. 0 or E_FAIL; prints nothing.
[[nodiscard]] HRESULT InitDevice(HWND window);

// Loads the height map and the tree map at OutRez x OutRez and creates the output
// texture. 0, or the failing call's own result.
[[nodiscard]] HRESULT LoadTextures();

// Saves the output texture under Outfname and under its ".winter" companion.
// 0 or E_FAIL.
[[nodiscard]] HRESULT WriteHorizonMapFile();

namespace maps {

// Releases what exists, in the order OutTexture, TreeMap, HeightMap, Device,
// Direct3D, and empties the record.
void ReleaseTextureSet();

// The output name with ".winter" put in front of its extension (the part of the
// last path component from its last dot on). False when a component or the result
// would not fit the path buffers (directory, name and extension 255 characters,
// extension with ".winter" 255, whole path 259).
[[nodiscard]] bool CompanionFileName(const std::wstring& name, std::wstring* companion);

}  // namespace maps
