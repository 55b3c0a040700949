#include "SettingsRules.h"

#include "CodePage.h"

namespace {

bool IsSeparator(char c) { return c == '\\' || c == '/'; }

// What the profile reader trims around a value.
bool IsBlank(char c) { return c == ' ' || c == '\t' || c == '\v' || c == '\f' || c == '\x1a'; }

// Length of the leading drive and folder part, separator included; 0 when there is none.
size_t FolderPartLength(std::string_view path) {
    size_t end = 0;
    for (size_t i = 0; i < path.size(); ++i) {
        if (IsAnsiLeadByte(static_cast<unsigned char>(path[i])) && i + 1 < path.size()) {
            ++i;  // a trail byte is never a separator
            continue;
        }
        if (IsSeparator(path[i])) end = i + 1;
    }
    return end;
}

bool IsAbsolute(std::string_view path) {
    if (path.size() >= 3 && path[1] == ':' && IsSeparator(path[2])) return true;
    return path.size() >= 2 && IsSeparator(path[0]) && IsSeparator(path[1]);  // UNC or \\?\ form
}

}  // namespace

std::string SettingsPathBeside(std::string_view exePath, std::string_view fileName) {
    const std::string_view folder = exePath.substr(0, FolderPartLength(exePath));
    if (!IsAbsolute(folder) || fileName.empty()) return std::string();
    if (folder.size() + fileName.size() > kMaxSettingsPathLength) return std::string();
    std::string path(folder);
    path += fileName;
    return path;
}

std::optional<std::string> ProfileTextForValue(std::string_view value) {
    if (value.find_first_of("\r\n") != std::string_view::npos) return std::nullopt;
    bool quote = false;
    if (!value.empty()) {
        const char first = value.front(), last = value.back();
        quote =
            IsBlank(first) || IsBlank(last) || (value.size() >= 2 && (first == '"' || first == '\'') && last == first);
    }
    if (!quote) return std::string(value);
    std::string text;
    text.reserve(value.size() + 2);
    text += '"';
    text += value;
    text += '"';
    return text;
}

std::wstring AcceptSavedPath(std::wstring value) {
    if (value.size() > kMaxSettingsPathLength) value.clear();
    return value;
}
