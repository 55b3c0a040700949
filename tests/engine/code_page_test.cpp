#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "CodePage.h"
#include "PathText.h"

namespace {

// The same bytes are cut differently by each code page: a byte 0x80-0xFF is a
// whole letter in 1252 and in 932's half-width katakana, but starts a two-byte
// character (whose second byte may be "\") in the double-byte pages.
TEST(CodePage, PathsAreCutByTheActivePage) {
    struct Case {
        unsigned page;
        const char* path;
        std::vector<std::string> parts;
        bool endsInBackslash;
        bool endsInDot;
    } cases[] = {
        // café: é (E9) is a letter, so the "\" after it separates.
        {1252, "D:\\d\\caf\xE9\\x", {"D:", "d", "caf\xE9", "x"}, false, false},
        {1252, "D:\\caf\xE9\\", {"D:", "caf\xE9"}, true, false},
        {1252, "D:\\\xFC.", {"D:", "\xFC."}, false, true},
        // In GBK the same bytes make one character E9 5C.
        {936, "D:\\d\\caf\xE9\\x", {"D:", "d", "caf\xE9\\x"}, false, false},
        {936, "D:\\\xD5\\", {"D:", "\xD5\\"}, false, false},
        // Half-width katakana (A1-DF) are single bytes in Shift-JIS; 83 5C is ソ.
        {932, "D:\\\xB6\\x.", {"D:", "\xB6", "x."}, false, true},
        {932, "D:\\\x83\\\\x", {"D:", "\x83\\", "x"}, false, false},
        {932, "D:\\\xE0\\.", {"D:", "\xE0\\."}, false, true},
        // UHC has no trail byte 5C: a lead byte before "\" stands alone.
        {949, "D:\\\xB0\\x", {"D:", "\xB0", "x"}, false, false},
        {949, "D:\\\xB0\xA1\\", {"D:", "\xB0\xA1"}, true, false},
        // Big5: 許 is B3 5C; A1 40 is one character.
        {950, "D:\\\xB3\\\\y\\", {"D:", "\xB3\\", "y"}, true, false},
        {950, "D:\\\xB3\\.", {"D:", "\xB3\\."}, false, true},
    };
    for (const Case& c : cases) {
        ScopedActiveCodePage page(c.page);
        auto parts = SplitPathComponents(c.path);
        std::vector<std::string> got(parts.begin(), parts.end());
        EXPECT_EQ(got, c.parts) << c.page << " " << c.path;
        EXPECT_EQ(EndsWithChar(c.path, '\\'), c.endsInBackslash) << c.page << " " << c.path;
        EXPECT_EQ(EndsInDotOrBlank(c.path), c.endsInDot) << c.page << " " << c.path;
    }
}

TEST(CodePage, LeadBytesOfTheBuiltInPages) {
    struct Case {
        unsigned page;
        unsigned char byte;
        bool lead;
    } cases[] = {
        {936, 0x80, false}, {936, 0x81, true},   {936, 0xFE, true},   {936, 0xFF, false}, {932, 0x9F, true},
        {932, 0xA1, false}, {932, 0xDF, false},  {932, 0xE0, true},   {932, 0xFD, false}, {949, 0x81, true},
        {950, 0xA4, true},  {1252, 0xE9, false}, {1251, 0xFF, false}, {437, 0x81, false},
    };
    for (const Case& c : cases)
        EXPECT_EQ(CodePage::Builtin(c.page).IsLead(c.byte), c.lead) << c.page << " " << int(c.byte);
    EXPECT_FALSE(CodePage::Builtin(1252).IsDoubleByte());
}

TEST(CodePage, ATableFromTheSystemKeepsKnownTrailBytes) {
    CodePage sjis = CodePage::FromLeadBytes(932, [](unsigned char c) { return c >= 0x81 && c <= 0x9F; });
    EXPECT_TRUE(sjis.IsLead(0x81));
    EXPECT_FALSE(sjis.IsLead(0xE0));  // what the system says wins over the table
    EXPECT_FALSE(sjis.IsTrail(0x7F));
    CodePage unknown = CodePage::FromLeadBytes(51949, [](unsigned char c) { return c >= 0xA1; });
    EXPECT_TRUE(unknown.IsLead(0xA1));
    EXPECT_TRUE(unknown.IsTrail(0x5C));
    CodePage single = CodePage::FromLeadBytes(1252, [](unsigned char) { return false; });
    EXPECT_FALSE(single.IsDoubleByte());
}

TEST(CodePage, ScopedPagesNestAndRestore) {
    unsigned before = ActiveCodePage().Number();
    {
        ScopedActiveCodePage outer(1252);
        EXPECT_FALSE(IsAnsiLeadByte(0xE9));
        {
            ScopedActiveCodePage inner(932);
            EXPECT_TRUE(IsAnsiLeadByte(0xE0));
            EXPECT_FALSE(IsAnsiLeadByte(0xB6));
        }
        EXPECT_EQ(ActiveCodePage().Number(), 1252u);
    }
    EXPECT_EQ(ActiveCodePage().Number(), before);
}

}  // namespace
