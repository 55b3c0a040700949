#include "VersionText.h"

#include <windows.h>

#include <vector>

std::string GetFileVersionText(const char* path) {
    if (!path) return std::string();
    DWORD handle = 0;
    const DWORD size = GetFileVersionInfoSizeA(path, &handle);
    if (size == 0) return std::string();
    std::vector<char> info(size);
    if (!GetFileVersionInfoA(path, 0, size, info.data())) return std::string();
    VS_FIXEDFILEINFO* fixed = nullptr;
    UINT fixedSize = 0;
    char root[] = "\\";
    if (!VerQueryValueA(info.data(), root, reinterpret_cast<void**>(&fixed), &fixedSize) || !fixed ||
        fixedSize < sizeof(VS_FIXEDFILEINFO))
        return std::string();
    return FormatFileVersion(fixed->dwFileVersionMS, fixed->dwFileVersionLS);
}
