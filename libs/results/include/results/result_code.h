#pragma once
// Result codes in the layout of COM results: 0 is success, anything else a failure.
#include <cstdint>

using HRESULT = std::int32_t;

// The code whose 32 bits are `bits`, as the platform writes its codes in hex.
constexpr HRESULT ResultFromBits(std::uint32_t bits) { return static_cast<HRESULT>(bits); }

// The platform's names of the codes.
// NOLINTBEGIN(readability-identifier-naming)
constexpr HRESULT S_OK = 0;
constexpr HRESULT S_FALSE = 1;
constexpr HRESULT E_FAIL = ResultFromBits(0x80004005u);
constexpr HRESULT E_OUTOFMEMORY = ResultFromBits(0x8007000Eu);
constexpr HRESULT E_INVALIDARG = ResultFromBits(0x80070057u);
constexpr HRESULT E_ACCESSDENIED = ResultFromBits(0x80070005u);
constexpr HRESULT E_FILE_NOT_FOUND = ResultFromBits(0x80070002u);
constexpr HRESULT E_PATH_NOT_FOUND = ResultFromBits(0x80070003u);
constexpr HRESULT E_TOO_MANY_OPEN_FILES = ResultFromBits(0x80070004u);
constexpr HRESULT E_DISK_FULL = ResultFromBits(0x80070070u);
constexpr HRESULT E_NAME_TOO_LONG = ResultFromBits(0x800700CEu);
constexpr HRESULT D3DERR_INVALIDCALL = ResultFromBits(0x8876086Cu);
constexpr HRESULT D3DERR_NOTAVAILABLE = ResultFromBits(0x8876086Au);
constexpr HRESULT D3DERR_OUTOFVIDEOMEMORY = ResultFromBits(0x8876017Cu);
constexpr HRESULT D3DERR_WASSTILLDRAWING = ResultFromBits(0x8876021Cu);
constexpr HRESULT D3DXERR_INVALIDDATA = ResultFromBits(0x88760B59u);
// NOLINTEND(readability-identifier-naming)

// A success code: not negative. The tool's steps and calls count only 0 as success.
constexpr bool Succeeded(HRESULT r) { return r >= 0; }
