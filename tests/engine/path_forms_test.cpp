#include <gtest/gtest.h>

#include <algorithm>
#include <string>

#include "PathForms.h"
#include "PathText.h"

namespace {

// GBK characters whose second byte is "\": 誠 (D5 5C) and 乗 (81 5C).
#define CHENG "\xD5\x5C"
#define CHENG_UTF8 "誠"
#define JOU "\x81\x5C"

TEST(PathText, SplitsAndTestsByCharacter) {
    struct Case {
        const char* path;
        std::vector<std::string> parts;
        bool endsInBackslash;
    } cases[] = {
        {"D:\\a\\b.txt", {"D:", "a", "b.txt"}, false},
        {"\\\\D:\\\\a\\\\\\", {"D:", "a"}, true},
        {"", {}, false},
        {"D:\\" CHENG, {"D:", CHENG}, false},
        {"D:\\" CHENG "\\" JOU "x\\", {"D:", CHENG, JOU "x"}, true},
        {"D:\\" CHENG CHENG "\\y", {"D:", CHENG CHENG, "y"}, false},
    };
    for (const Case& c : cases) {
        auto parts = SplitPathComponents(c.path);
        std::vector<std::string> got(parts.begin(), parts.end());
        EXPECT_EQ(got, c.parts) << c.path;
        EXPECT_EQ(EndsWithChar(c.path, '\\'), c.endsInBackslash) << c.path;
    }
    EXPECT_TRUE(EqualsIgnoreCase("Program Files", "PROGRAM files"));
    // 0x81 0x61 and 0x81 0x41 are two different characters, not "a" and "A".
    EXPECT_FALSE(EqualsIgnoreCase("\x81\x61", "\x81\x41"));
}

TEST(ParentFolderOf, KeepsEveryComponentButTheLast) {
    struct Case {
        const char* path;
        const char* parent;
    } cases[] = {
        {"D:\\a\\b.txt", "D:\\a\\"},
        {"D:\\\\a\\\\\\b", "D:\\a\\"},
        {"D:\\a\\", "D:\\a\\"},
        {"b.txt", ""},
        {"", ""},
        {"\\\\server\\share\\f", "\\\\server\\share\\"},
        {"\\\\?\\D:\\a\\b.", "\\\\?\\D:\\a\\"},
        {"D:\\data\\" CHENG, "D:\\data\\"},
        {"D:\\" CHENG "\\x.", "D:\\" CHENG "\\"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(ParentFolderOf(c.path), c.parent) << c.path;
        // The UTF-16 form cuts at the same places (an ASCII path reads the same in both).
        const std::string path = c.path, parent = c.parent;
        if (std::any_of(path.begin(), path.end(), [](char ch) { return ch & 0x80; })) continue;
        EXPECT_EQ(ParentFolderOf(std::u16string(path.begin(), path.end())),
                  std::u16string(parent.begin(), parent.end()))
            << c.path;
    }
    EXPECT_EQ(ParentFolderOf(u"D:\\\U0001F600\\a."), u"D:\\\U0001F600\\");
}

}  // namespace
