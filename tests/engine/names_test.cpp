#include <gtest/gtest.h>

#include <cstring>

#include <string>

#include "CodePage.h"
#include "FileSystem.h"
#include "Names.h"

namespace {

const ScanOptions kNames{1, 0, 0, 0};
const ScanOptions kAll{1, 1, 1, 1};
const ScanOptions kAttrsOnly{0, 1, 1, 1};
const ScanOptions kNone{0, 0, 0, 0};
constexpr uint32_t kRHS = fs_attr::kReadOnly | fs_attr::kHidden | fs_attr::kSystem;

struct NameCase {
    const char* name;
    uint32_t attributes;
    ScanOptions options;
    bool listed;
    const char* text;  // expected attribute text when listed
};

const NameCase kNameCases[] = {
    // "." and ".." and the empty name are never listed.
    {".", fs_attr::kHidden, kAll, false, nullptr},
    {"..", kRHS, kAll, false, nullptr},
    {"", kRHS, kAll, false, nullptr},
    // Trailing dot or blank, whatever the attributes: "-".
    {"...", 0, kNames, true, "-"},
    {"report.", fs_attr::kReadOnly, kAll, true, "-"},
    {"trail ", fs_attr::kHidden, kAll, true, "-"},
    {"a.", 0, kNames, true, "-"},
    {" ", 0, kNames, true, "-"},
    // Reserved device names: six stems, digits 0-9 for com and lpt, any extension.
    {"CON", 0, kNames, true, "-"},
    {"con.txt", 0, kNames, true, "-"},
    {"Com3", 0, kNames, true, "-"},
    {"lpt0.log", 0, kNames, true, "-"},
    {"COM0", 0, kNames, true, "-"},
    {"LPT9", 0, kNames, true, "-"},
    {"nul.tar.gz", 0, kNames, true, "-"},
    {"Prn.log", 0, kNames, true, "-"},
    {"aux", fs_attr::kDirectory, kNames, true, "-"},
    {"com10", 0, kNames, false, nullptr},
    {"console", 0, kNames, false, nullptr},
    {"lpt", 0, kNames, false, nullptr},
    {"auxx", 0, kNames, false, nullptr},
    {"nul1", 0, kNames, false, nullptr},
    {"lpt1x", 0, kNames, false, nullptr},
    {"coma", 0, kNames, false, nullptr},
    {"clock$", 0, kNames, false, nullptr},
    // The console's own names, alone or with an extension.
    {"CONIN$", 0, kNames, true, "-"},
    {"conout$.log", 0, kNames, true, "-"},
    {"Conin$", fs_attr::kDirectory, kNames, true, "-"},
    {"conin", 0, kNames, false, nullptr},
    {"conout$x", 0, kNames, false, nullptr},
    {"nullx.txt", 0, kNames, false, nullptr},
    {"co", 0, kNames, false, nullptr},
    {"\x8C.", 0, kNames, true, "-"},  // a stray lead byte does not swallow the dot
    // Name rules off: device names and dots are nothing special.
    {"con", 0, kAttrsOnly, false, nullptr},
    {"report.", 0, kNone, false, nullptr},
    // Attribute rules, in the order read-only, system, hidden.
    {"f", kRHS, kAll, true, "R"},
    {"f", kRHS, ScanOptions{0, 1, 0, 1}, true, "S"},
    {"f", fs_attr::kHidden | fs_attr::kSystem, kAttrsOnly, true, "S"},
    {"f", fs_attr::kHidden, kAttrsOnly, true, "H"},
    {"f", fs_attr::kHidden | fs_attr::kDirectory, ScanOptions{0, 1, 0, 0}, true, "H"},
    {"f", fs_attr::kHidden, ScanOptions{0, 0, 1, 1}, false, nullptr},
    {"f", kRHS, kNone, false, nullptr},
    {"plain.txt", fs_attr::kArchive, kAll, false, nullptr},
};

// The bytes of a case as stored code units, one each.
std::u16string Units(const char* name) {
    const unsigned char* at = reinterpret_cast<const unsigned char*>(name);
    return std::u16string(at, at + std::strlen(name));
}

TEST(IsMalformedEntry, ListsByNameThenByAttribute) {
    for (const NameCase& c : kNameCases) {
        const char* text = nullptr;
        bool listed = IsMalformedEntry(Units(c.name), c.attributes, c.options, text);
        EXPECT_EQ(listed, c.listed) << "name '" << c.name << "'";
        if (c.listed && listed) {
            EXPECT_STREQ(text, c.text) << "name '" << c.name << "'";
        }
    }
}

// COM and LPT with a superscript one to three are reserved too, as stored
// names, whatever the code page.
TEST(IsReservedDeviceName, SuperscriptPortsWhereTheCodePageHasThem) {
    struct Case {
        const char* name;
        bool under1252;
    };
    const Case cases[] = {
        {"COM\xB9", true},
        {"com\xB2.log", true},
        {"LPT\xB3", true},
        {"lpt\xB9.txt", true},
        {"COM\xB9"
         "0",
         false},
        {"COM\xBC", false},
        {"LPT\xB2x", false},
    };
    for (unsigned page : {1252u, 936u}) {
        ScopedActiveCodePage active(page);
        for (const Case& c : cases)
            EXPECT_EQ(IsReservedDeviceName(Units(c.name)), c.under1252) << c.name << " under " << page;
    }
}

TEST(IsMalformedEntry, AttributeTextIsOneOfTheSharedConstants) {
    // Rows keep the pointer, so every answer must point at static storage.
    const char* text = nullptr;
    ASSERT_TRUE(IsMalformedEntry(u"x", fs_attr::kHidden, kAttrsOnly, text));
    EXPECT_EQ(text, kAttrTextHidden);
    ASSERT_TRUE(IsMalformedEntry(u"x.", 0, kNames, text));
    EXPECT_EQ(text, kAttrTextName);
}

}  // namespace
