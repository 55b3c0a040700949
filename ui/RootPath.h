// The folder a search starts from, as the path field holds it.
#pragma once

#include <cstddef>
#include <string>

// The longest root the field takes, in UTF-16 units: a MAX_PATH path.
inline constexpr size_t kMaxRootLength = 259;

// A root from outside the field (the command line, a drop, the settings file)
// as the field takes it: a longer one is refused (empty), never cut, since a
// cut path names some other folder.
inline std::wstring AcceptRootPath(std::wstring path) {
    if (path.size() > kMaxRootLength) path.clear();
    return path;
}
