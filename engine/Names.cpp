#include "Names.h"

#include <cstring>

#include "CodePage.h"
#include "FileSystem.h"
#include "PathText.h"

const char kAttrTextName[] = "-";
const char kAttrTextReadOnly[] = "R";
const char kAttrTextSystem[] = "S";
const char kAttrTextHidden[] = "H";

namespace {

char Lower(char ch) { return (ch >= 'A' && ch <= 'Z') ? static_cast<char>(ch - 'A' + 'a') : ch; }

// Whether name starts with word (ASCII, lower case) without regard to case,
// and what follows it.
bool StartsWithWord(const char* name, const char* word, const char*& rest) {
    size_t i = 0;
    for (; word[i] != '\0'; ++i)
        if (Lower(name[i]) != word[i]) return false;
    rest = name + i;
    return true;
}

bool EndsStem(const char* rest) { return *rest == '\0' || *rest == '.'; }

// The digit of COM and LPT: 0-9, and the superscripts one to three, which
// Windows reserves as well; as one byte only Western code pages have them.
size_t PortDigitLength(const char* rest) {
    if (*rest >= '0' && *rest <= '9') return 1;
    const unsigned char c = static_cast<unsigned char>(*rest);
    if (ActiveCodePage().Number() == 1252 && (c == 0xB9 || c == 0xB2 || c == 0xB3)) return 1;
    return 0;
}

}  // namespace

bool IsReservedDeviceName(const char* name) {
    const char* rest = nullptr;
    for (const char* word : {"aux", "con", "nul", "prn", "conin$", "conout$"})
        if (StartsWithWord(name, word, rest) && EndsStem(rest)) return true;
    for (const char* word : {"com", "lpt"}) {
        if (!StartsWithWord(name, word, rest)) continue;
        const size_t digit = PortDigitLength(rest);
        if (digit > 0 && EndsStem(rest + digit)) return true;
    }
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
