#include "ListRules.h"

#include <cstdio>
#include <cstring>

#include "Entry.h"
#include "PathForms.h"
#include "ResultRow.h"

bool NextSortDescending(ListSortState& state, int column) {
    if (column == state.lastColumn) {
        state.lastDescending = !state.lastDescending;
    } else {
        state.lastColumn = column;
        state.lastDescending = false;
    }
    return state.lastDescending;
}

namespace {

// The next character of text as one value: a double-byte character by its
// code, a single-byte letter in lower case; 0 at the end.
unsigned NextUnit(const unsigned char*& p, bool (*isLeadByte)(unsigned char)) {
    unsigned c = *p;
    if (c == 0) return 0;
    if (isLeadByte(static_cast<unsigned char>(c)) && p[1] != 0) {
        unsigned unit = (c << 8) | p[1];
        p += 2;
        return unit;
    }
    ++p;
    if (c >= 'A' && c <= 'Z') c += 'a' - 'A';
    return c;
}

}  // namespace

int CompareSortKeys(const char* a, const char* b, bool (*isLeadByte)(unsigned char)) {
    const unsigned char* pa = reinterpret_cast<const unsigned char*>(a ? a : "");
    const unsigned char* pb = reinterpret_cast<const unsigned char*>(b ? b : "");
    for (;;) {
        unsigned ua = NextUnit(pa, isLeadByte);
        unsigned ub = NextUnit(pb, isLeadByte);
        if (ua != ub) return ua < ub ? -1 : 1;
        if (ua == 0) return 0;
    }
}

std::string SortKeyOf(const char* text, bool (*isLeadByte)(unsigned char)) {
    std::string key;
    const unsigned char* p = reinterpret_cast<const unsigned char*>(text ? text : "");
    for (unsigned unit; (unit = NextUnit(p, isLeadByte)) != 0;) {
        key += static_cast<char>(unit >> 8);
        key += static_cast<char>(unit & 0xFF);
    }
    return key;
}

const char* WindowsVersionName(unsigned long platformId, unsigned long major, unsigned long minor,
                               unsigned long build) {
    constexpr unsigned long kWindows9x = 1;  // VER_PLATFORM_WIN32_WINDOWS
    constexpr unsigned long kWindowsNt = 2;  // VER_PLATFORM_WIN32_NT
    constexpr unsigned long kBuild98 = 1998;
    constexpr unsigned long kBuild98SE = 2222;
    constexpr unsigned long kBuildMe = 3000;
    if (platformId == kWindows9x) {
        if (minor == 10 && build == kBuild98) return "Windows 98";
        if (minor == 10 && build == kBuild98SE) return "Windows 98 SE";
        if (minor == 90 && build == kBuildMe) return "Windows Me";
    } else if (platformId == kWindowsNt) {
        if (major <= 4) return "Windows NT";
        if (major == 5 && minor == 0) return "Windows 2000";
        if (major == 5 && minor == 1) return "Windows XP";
        if (major == 5 && minor == 2) return "Windows 2003";
        if (major == 6 && minor == 0) return "Windows Vista/2008";
        if (major == 6 && minor == 1) return "Windows 7/2008 R2";
    }
    return "Other Windows Version";
}

void DropCutCharacter(char* text, bool (*isLeadByte)(unsigned char)) {
    if (!text) return;
    size_t i = 0;
    while (text[i] != '\0') {
        if (isLeadByte(static_cast<unsigned char>(text[i]))) {
            if (text[i + 1] == '\0') {
                text[i] = '\0';
                return;
            }
            i += 2;
        } else {
            ++i;
        }
    }
}

FolderOpening ChooseFolderOpening(FileSystem& fs, const std::string& path, const std::string& type,
                                  const std::string& versionName) {
    FolderOpening opening;
    if (type == kTypeFolder) {
        opening.throughShell = true;
        if (versionName.find("2008") == std::string::npos) {
            // A trail byte of GBK is never 0x2E, so the last byte tells.
            opening.text = path + (!path.empty() && path.back() == '.' ? ".\\" : "\\");
        } else {
            // Its verbatim form, where the folder is there by its exact
            // name: the shell there drops a trailing dot otherwise.
            EntryPtr entry;
            std::string longPath;
            uint32_t error = 0;
            if (ResolveEntry(fs, path, true, entry, longPath, nullptr, error) && entry->isFolder)
                opening.text = "\\\\?\\" + path + "\\";
        }
    } else {
        opening.text = "explorer.exe \"" + ParentFolderOf(path) + "\"";
    }
    return opening;
}

std::string BuildReportText(const std::vector<std::string>& paths) {
    std::string text;
    for (const std::string& path : paths) {
        if (text.empty()) {
            text = path;
        } else {
            text += "\r\n";
            text += path;
        }
    }
    return text;
}

std::string BuildStatisticsText(int folders, int files) {
    char text[256];
    std::snprintf(text, sizeof text, "搜索结果:\n\n畸形目录：%d个，Orvelle：%d个，总数：%d个。", folders, files,
                  folders + files);
    return text;
}
