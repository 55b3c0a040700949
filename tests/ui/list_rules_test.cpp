// The result list's rules without a window: sort direction and order, version
// names, how a folder is opened, the report bytes and the statistics text.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "CodePage.h"
#include "ListRules.h"
#include "PathForms.h"
#include "SimulatedVolume.h"

namespace {

int Sign(int v) { return v < 0 ? -1 : v > 0 ? 1 : 0; }

TEST(ListSort, DirectionFollowsTheClicks) {
    // Each row: the column clicked, then the direction that click sorts in.
    struct Click {
        int column;
        bool descending;
    };
    const Click clicks[] = {
        {0, true},                           // the very first click on column 0 reverses the start state
        {0, false},                          // again: reversed again
        {1, false},                          // another column starts ascending
        {1, true},  {3, false}, {0, false},  // back on column 0 after another one: ascending
        {0, true},
    };
    ListSortState state;
    int step = 0;
    for (const Click& c : clicks) {
        EXPECT_EQ(NextSortDescending(state, c.column), c.descending) << "click " << step;
        EXPECT_EQ(state.lastColumn, c.column) << "click " << step;
        EXPECT_EQ(state.lastDescending, c.descending) << "click " << step;
        ++step;
    }
}

TEST(ListSort, MultibyteComparisonWithoutLetterCase) {
    ScopedActiveCodePage gbk(936);
    struct Case {
        const char* a;
        const char* b;
        int sign;
    };
    const Case cases[] = {
        {"abc", "ABC", 0},
        {"D:\\Data\\x.", "d:\\data\\X.", 0},
        {"a", "B", -1},
        {"B", "a", 1},
        {"", "", 0},
        {"", "a", -1},
        {"-", "H", -1},
        {"H", "R", -1},
        {"R", "S", -1},
        {"文件", "文件夹", -1},  // a prefix sorts first
        {"文件夹", "文件", 1},
        {"z", "文件", -1},             // any single byte before a double-byte character
        {"未操作", "失败", 1},         // by code value: CE B4 above CA A7
        {"\x81\x41", "\x81\x61", -1},  // trail bytes that look like letters are no letters
        {"\x81\x61", "\x81\x41", 1},
        {"x\x81\x41y", "X\x81\x41Y", 0},
        {"\x81", "\x81", 0},  // a lead byte at the end compares as a byte
    };
    for (const Case& c : cases) {
        EXPECT_EQ(Sign(CompareSortKeys(c.a, c.b, IsAnsiLeadByte)), c.sign) << c.a << " vs " << c.b;
        EXPECT_EQ(Sign(CompareSortKeys(c.b, c.a, IsAnsiLeadByte)), -c.sign) << c.b << " vs " << c.a;
        // The keys a sort makes once per row order the texts the same way.
        EXPECT_EQ(Sign(SortKeyOf(c.a, IsAnsiLeadByte).compare(SortKeyOf(c.b, IsAnsiLeadByte))), c.sign)
            << c.a << " vs " << c.b;
    }
}

TEST(WindowsVersion, NamesByPlatformAndVersion) {
    struct Case {
        unsigned long platform, major, minor, build;
        const char* name;
    };
    const Case cases[] = {
        {1, 4, 10, 1998, "Windows 98"},
        {1, 4, 10, 2222, "Windows 98 SE"},
        {1, 4, 90, 3000, "Windows Me"},
        {1, 4, 0, 950, "Other Windows Version"},  // Windows 95
        {1, 4, 10, 2000, "Other Windows Version"},
        {2, 3, 51, 1057, "Windows NT"},
        {2, 4, 0, 1381, "Windows NT"},
        {2, 5, 0, 2195, "Windows 2000"},
        {2, 5, 1, 2600, "Windows XP"},
        {2, 5, 2, 3790, "Windows 2003"},
        {2, 5, 3, 0, "Other Windows Version"},
        {2, 6, 0, 6002, "Windows Vista/2008"},
        {2, 6, 1, 7601, "Windows 7/2008 R2"},
        {2, 6, 2, 9200, "Other Windows Version"},
        {2, 10, 0, 19045, "Other Windows Version"},
        {0, 5, 1, 2600, "Other Windows Version"},
    };
    for (const Case& c : cases)
        EXPECT_STREQ(WindowsVersionName(c.platform, c.major, c.minor, c.build), c.name)
            << c.platform << " " << c.major << "." << c.minor << "." << c.build;
}

TEST(CellText, AHalfCharacterAtTheCutIsDropped) {
    ScopedActiveCodePage gbk(936);
    struct Case {
        const char* in;
        const char* out;
    };
    const Case cases[] = {
        {"abc", "abc"},
        {"", ""},
        {"ab\xCE", "ab"},
        {"\xCE\xC4", "\xCE\xC4"},
        {"\xCE\xC4\xBC", "\xCE\xC4"},
        {"a\x81\x5C", "a\x81\x5C"},  // a trail byte 0x5C is part of the character
        {"\x81\x5C\x81", "\x81\x5C"},
    };
    for (const Case& c : cases) {
        char buffer[16] = {};
        std::string(c.in).copy(buffer, sizeof buffer - 1);
        DropCutCharacter(buffer, IsAnsiLeadByte);
        EXPECT_STREQ(buffer, c.out) << c.in;
    }
}

class FolderOpeningTest : public ::testing::Test {
protected:
    void SetUp() override {
        volume.AddDrive('D');
        volume.AddFolder("D:\\data\\abc.");
        volume.AddFolder("D:\\data\\abc");
        volume.AddFile("D:\\data\\sub\\x.txt");
    }
    std::string DeviceForm(const std::string& path) { return volume.Exists(path) ? "\\\\?\\" + path + "\\" : ""; }
    SimulatedVolume volume;
};

TEST_F(FolderOpeningTest, FolderRowsOpenThePathItselfOrItsDeviceForm) {
    struct Case {
        const char* path;
        const char* version;
        const char* target;  // null: the device form of the path
    };
    const Case cases[] = {
        {"D:\\data\\abc", "Windows XP", "D:\\data\\abc\\"},
        {"D:\\data\\abc.", "Windows XP", "D:\\data\\abc..\\"},
        {"D:\\data\\abc.", "Other Windows Version", "D:\\data\\abc..\\"},
        {"D:\\data\\abc.", "Windows 2003", "D:\\data\\abc..\\"},
        {"D:\\data\\gone", "Windows XP", "D:\\data\\gone\\"},
        {"D:\\data\\abc.", "Windows 7/2008 R2", nullptr},
        {"D:\\data\\abc.", "Windows Vista/2008", nullptr},
        {"D:\\data\\abc", "Windows 7/2008 R2", nullptr},
        {"D:\\data\\gone", "Windows 7/2008 R2", ""},  // an unresolved path goes to the shell empty
    };
    for (const Case& c : cases) {
        FolderOpening o = ChooseFolderOpening(volume, c.path, "文件夹", c.version);
        EXPECT_TRUE(o.throughShell) << c.path;
        std::string expected = c.target ? c.target : DeviceForm(c.path);
        EXPECT_EQ(o.text, expected) << c.path << " on " << c.version;
        if (!c.target) {
            EXPECT_FALSE(expected.empty()) << c.path;
            EXPECT_EQ(expected.rfind("\\\\", 0), 0u) << expected;  // the device form, not the plain path
        }
    }
}

TEST_F(FolderOpeningTest, FileRowsStartExplorerOnTheFolderThatHoldsThem) {
    struct Case {
        const char* path;
        const char* type;
        const char* commandLine;
    };
    const Case cases[] = {
        {"D:\\data\\sub\\x.txt", "文件", "explorer.exe \"D:\\data\\sub\\\""},
        {"D:\\data\\sub\\x.txt", "其他", "explorer.exe \"D:\\data\\sub\\\""},  // unknown type: a file row
        {"D:\\data\\abc", "文件夹 ", "explorer.exe \"D:\\data\\\""},           // not exactly the folder text
        {"D:\\data\\abc", "", "explorer.exe \"D:\\data\\\""},
        {"D:\\\\data\\\\sub\\x.txt", "文件", "explorer.exe \"D:\\data\\sub\\\""},
        {"x.txt", "文件", "explorer.exe \"\""},
    };
    for (const char* version : {"Windows XP", "Windows 7/2008 R2"}) {
        for (const Case& c : cases) {
            FolderOpening o = ChooseFolderOpening(volume, c.path, c.type, version);
            EXPECT_FALSE(o.throughShell) << c.path;
            EXPECT_EQ(o.text, c.commandLine) << c.path << " (" << c.type << ") on " << version;
        }
    }
}

TEST(Report, LinesSeparatedByCrLfAndNoneAtTheEnd) {
    struct Case {
        std::vector<std::string> paths;
        std::string bytes;
    };
    const Case cases[] = {
        {{}, ""},
        {{"P1"}, "P1"},
        {{"P1", "P2", "P3"}, "P1\r\nP2\r\nP3"},
        {{"", "", "P"}, "P"},  // empty paths add nothing while the text is empty
        {{"P", ""}, "P\r\n"},  // and an empty line later on
        {{"", "P", "", "Q"}, "P\r\n\r\nQ"},
        {{"D:\\奬状\\a.", "D:\\b "}, "D:\\奬状\\a.\r\nD:\\b "},
    };
    for (const Case& c : cases) EXPECT_EQ(BuildReportText(c.paths), c.bytes);
}

TEST(Statistics, CountsAndTheirSum) {
    EXPECT_EQ(BuildStatisticsText(2, 3), "搜索结果:\n\n畸形目录：2个，Orvelle：3个，总数：5个。");
    EXPECT_EQ(BuildStatisticsText(0, 0), "搜索结果:\n\n畸形目录：0个，Orvelle：0个，总数：0个。");
}

}  // namespace
