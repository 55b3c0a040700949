#include "Names.h"

#include <cstring>

#include "FileSystem.h"
#include "PathText.h"

const char kAttrTextName[] = "-";
const char kAttrTextReadOnly[] = "R";
const char kAttrTextSystem[] = "S";
const char kAttrTextHidden[] = "H";

bool IsReservedDeviceName(const char* name) {
    if (std::strlen(name) < 3) return false;
    char c[5] = {};
    for (int i = 0; i < 5 && name[i] != '\0'; ++i) {
        char ch = name[i];
        c[i] = (ch >= 'A' && ch <= 'Z') ? static_cast<char>(ch - 'A' + 'a') : ch;
    }
    auto stem = [&](const char* s) { return c[0] == s[0] && c[1] == s[1] && c[2] == s[2]; };
    if (stem("aux") || stem("con") || stem("nul") || stem("prn")) return c[3] == '\0' || c[3] == '.';
    if (stem("com") || stem("lpt"))
        return c[3] >= '0' && c[3] <= '9' && (c[4] == '\0' || c[4] == '.');
    return false;
}

bool IsMalformedEntry(const char* name, uint32_t attributes, const ScanOptions& options,
                      const char*& attributeText) {
    if (name[0] == '\0' || std::strcmp(name, ".") == 0 || std::strcmp(name, "..") == 0) return false;
    attributeText = kAttrTextName;
    if (options.malformedNames) {
        if (EndsInDotOrBlank(name)) return true;
        if (IsReservedDeviceName(name)) return true;
    }
    if (options.readOnly && (attributes & fs_attr::kReadOnly)) {
        attributeText = kAttrTextReadOnly;
        return true;
    }
    if (options.system && (attributes & fs_attr::kSystem)) {
        attributeText = kAttrTextSystem;
        return true;
    }
    if (options.hidden && (attributes & fs_attr::kHidden)) {
        attributeText = kAttrTextHidden;
        return true;
    }
    return false;
}
