#include "maps/texture_set.h"

#include <cassert>

#include "settings/tool_parameters.h"

namespace maps {

bool CompanionFileName(const std::wstring& name, std::wstring* companion) {
    assert(companion != nullptr);
    constexpr std::size_t kComponentChars = 255;
    // Only '/' separates folders here; a backslash is an ordinary character of a name.
    const auto slash = name.find_last_of(L'/');
    const std::size_t fileStart = slash == std::wstring::npos ? 0 : slash + 1;
    const auto dot = name.find_last_of(L'.');
    const std::size_t extStart = (dot == std::wstring::npos || dot < fileStart) ? name.size() : dot;

    const std::wstring directory = name.substr(0, fileStart);
    const std::wstring file = name.substr(fileStart, extStart - fileStart);
    const std::wstring extension = L".winter" + name.substr(extStart);
    if (directory.size() > kComponentChars || file.size() > kComponentChars || extension.size() > kComponentChars)
        return false;
    std::wstring result = directory + file + extension;
    if (result.size() > kMaxPathChars) return false;
    *companion = std::move(result);
    return true;
}

}  // namespace maps
