// The name test of stored (wide) names against a plain restatement of the naming rules.
#include <cctype>
#include <cstring>
#include <string>

#include "FileSystem.h"
#include "Entry.h"
#include "FuzzInput.h"
#include "Names.h"

static bool ReservedByRule(const std::string& name) {
    std::string stem = name.substr(0, name.find('.'));
    for (char& c : stem) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    if (stem == "aux" || stem == "con" || stem == "nul" || stem == "prn" || stem == "conin$" || stem == "conout$")
        return true;
    return stem.size() == 4 && (stem.compare(0, 3, "com") == 0 || stem.compare(0, 3, "lpt") == 0) && stem[3] >= '0' &&
           stem[3] <= '9';
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    FuzzInput in(data, size);
    uint8_t flags = in.Byte();
    uint32_t attributes = in.U32();
    std::string name = in.Text(300);
    ScanOptions options{static_cast<uint8_t>(flags & 1), static_cast<uint8_t>((flags >> 1) & 1),
                        static_cast<uint8_t>((flags >> 2) & 1), static_cast<uint8_t>((flags >> 3) & 1)};
    // The bytes as a stored name, each a code unit (so the superscript digits
    // come up too).
    const std::u16string wide(reinterpret_cast<const unsigned char*>(name.data()),
                              reinterpret_cast<const unsigned char*>(name.data()) + name.size());
    const char* text = nullptr;
    const bool listed = IsMalformedEntry(wide, attributes, options, text);
    if (wide.empty() || wide == u"." || wide == u"..") {
        FUZZ_CHECK(!listed);
        return 0;
    }
    const char* nameText = nullptr;
    const bool byName = options.malformedNames && IsMalformedEntry(wide, 0, ScanOptions{1, 0, 0, 0}, nameText);
    // What the plain rules say is always listed by name.
    if (options.malformedNames && (name.back() == '.' || name.back() == ' ' || ReservedByRule(name)))
        FUZZ_CHECK(byName);
    const bool byAttr = (options.readOnly && (attributes & fs_attr::kReadOnly)) ||
                        (options.system && (attributes & fs_attr::kSystem)) ||
                        (options.hidden && (attributes & fs_attr::kHidden));
    FUZZ_CHECK(listed == (byName || byAttr));
    if (byName) FUZZ_CHECK(text == kAttrTextName);
    if (listed && !byName) {
        const char* expected = (options.readOnly && (attributes & fs_attr::kReadOnly)) ? kAttrTextReadOnly
                               : (options.system && (attributes & fs_attr::kSystem))   ? kAttrTextSystem
                                                                                       : kAttrTextHidden;
        FUZZ_CHECK(text == expected);
    }
    // The reasons agree with the listing, and the legal name the rescue gives
    // is one no name rule lists.
    FUZZ_CHECK(listed == (ListedReasons(wide, attributes, options) != 0));
    const WideName legal = LegalNameFor(wide);
    FUZZ_CHECK(legal.empty() || !IsMalformedEntry(legal, 0, ScanOptions{1, 0, 0, 0}, nameText));
    return 0;
}
