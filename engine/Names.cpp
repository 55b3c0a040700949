#include "Names.h"

#include <cstring>

#include "CodePage.h"
#include "FileSystem.h"
#include "PathText.h"

const char kAttrTextName[] = "-";
const char kAttrTextReadOnly[] = "R";
const char kAttrTextSystem[] = "S";
const char kAttrTextHidden[] = "H";

// The attribute rules, in their order: read-only, system, hidden.
static bool ListedForAttributes(uint32_t attributes, const ScanOptions& options, const char*& attributeText) {
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

namespace {

char16_t LowerW(char16_t ch) { return (ch >= u'A' && ch <= u'Z') ? static_cast<char16_t>(ch - u'A' + u'a') : ch; }

bool StartsWithWordW(std::u16string_view name, const char* word, size_t& rest) {
    size_t i = 0;
    for (; word[i] != '\0'; ++i)
        if (i >= name.size() || LowerW(name[i]) != static_cast<char16_t>(word[i])) return false;
    rest = i;
    return true;
}

bool IsPortDigitW(char16_t c) { return (c >= u'0' && c <= u'9') || c == 0xB9 || c == 0xB2 || c == 0xB3; }

bool HasCharWin32Refuses(std::u16string_view name) {
    for (char16_t c : name)
        if (c < 32 || c == u'<' || c == u'>' || c == u':' || c == u'"' || c == u'|' || c == u'?' || c == u'*' ||
            c == u'/' || c == u'\\')
            return true;
    return false;
}

// Whether stem, all of it, is a device word.
bool IsDeviceWord(std::u16string_view stem) {
    size_t rest = 0;
    for (const char* word : {"aux", "con", "nul", "prn", "conin$", "conout$"})
        if (StartsWithWordW(stem, word, rest) && rest == stem.size()) return true;
    for (const char* word : {"com", "lpt"})
        if (StartsWithWordW(stem, word, rest) && rest + 1 == stem.size() && IsPortDigitW(stem[rest])) return true;
    return false;
}

enum class DeviceForm { kNone, kAlone, kWithExtension };

// How a plain path takes the name: its trailing dots and blanks go, the stem
// ends at the first "." or ":" and loses the blanks before it. What follows a
// ":" alone names a stream of the device; a "." after the stem, an extension.
DeviceForm DeviceFormOf(std::u16string_view name, size_t* wordLength = nullptr) {
    size_t end = name.size();
    while (end > 0 && (name[end - 1] == u'.' || name[end - 1] == u' ')) --end;
    const std::u16string_view kept = name.substr(0, end);
    const size_t cut = kept.find_first_of(u".:");
    std::u16string_view stem = kept.substr(0, cut);
    while (!stem.empty() && stem.back() == u' ') stem.remove_suffix(1);
    if (!IsDeviceWord(stem)) return DeviceForm::kNone;
    if (wordLength) *wordLength = stem.size();
    if (cut == std::u16string_view::npos || kept.find(u'.', cut) == std::u16string_view::npos)
        return DeviceForm::kAlone;
    return DeviceForm::kWithExtension;
}

}  // namespace

bool IsReservedDeviceName(std::u16string_view name) { return DeviceFormOf(name) != DeviceForm::kNone; }

size_t DeviceWordLength(std::u16string_view name) {
    size_t length = 0;
    return DeviceFormOf(name, &length) == DeviceForm::kNone ? 0 : length;
}

bool IsMalformedEntry(std::u16string_view name, uint32_t attributes, const ScanOptions& options,
                      const char*& attributeText) {
    if (name.empty() || IsDotOrDotDot(name)) return false;
    attributeText = kAttrTextName;
    if (options.malformedNames) {
        const char16_t last = name.back();
        if (last == u'.' || last == u' ') return true;
        if (IsReservedDeviceName(name) || HasCharWin32Refuses(name)) return true;
    }
    return ListedForAttributes(attributes, options, attributeText);
}

uint32_t ListedReasons(std::u16string_view name, uint32_t attributes, const ScanOptions& options) {
    if (name.empty() || IsDotOrDotDot(name)) return 0;
    uint32_t reasons = 0;
    if (options.malformedNames) {
        if (name.back() == u'.') reasons |= kListedTrailingDot;
        if (name.back() == u' ') reasons |= kListedTrailingBlank;
        const DeviceForm form = DeviceFormOf(name);
        if (form == DeviceForm::kAlone) reasons |= kListedDeviceName;
        if (form == DeviceForm::kWithExtension) reasons |= kListedDeviceNameWithExtension;
        if (HasCharWin32Refuses(name)) reasons |= kListedRefusedCharacter;
    }
    if (options.readOnly && (attributes & fs_attr::kReadOnly)) reasons |= kListedReadOnly;
    if (options.system && (attributes & fs_attr::kSystem)) reasons |= kListedSystem;
    if (options.hidden && (attributes & fs_attr::kHidden)) reasons |= kListedHidden;
    return reasons;
}

bool MatchesGlob(std::u16string_view glob, std::u16string_view name) {
    size_t g = 0, n = 0, star = std::u16string_view::npos, resume = 0;
    while (n < name.size()) {
        if (g < glob.size() && glob[g] == u'*') {
            star = g++;
            resume = n;
        } else if (g < glob.size() && (glob[g] == u'?' || LowerW(glob[g]) == LowerW(name[n]))) {
            ++g;
            ++n;
        } else if (star != std::u16string_view::npos) {
            g = star + 1;
            n = ++resume;
        } else {
            return false;
        }
    }
    while (g < glob.size() && glob[g] == u'*') ++g;
    return g == glob.size();
}
