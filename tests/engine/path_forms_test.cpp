#include <gtest/gtest.h>

#include <string>

#include "PathForms.h"
#include "PathText.h"
#include "SimulatedVolume.h"

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
        {"\\\\server\\share\\f", "server\\share\\"},
        {"D:\\data\\" CHENG, "D:\\data\\"},
        {"D:\\" CHENG "\\x.", "D:\\" CHENG "\\"},
    };
    for (const Case& c : cases) EXPECT_EQ(ParentFolderOf(c.path), c.parent) << c.path;
}

// D:\Program Files\x, D:\data\{report., trail , con, con.txt, Test\, normal.txt},
// D:\dir.\inner.txt beside D:\dir\inner.txt, D:\誠\x.
void Populate(SimulatedVolume& v, char drive, bool aliases, bool deviceRoot = true) {
    v.AddDrive(drive, aliases, deviceRoot);
    std::string d(1, drive);
    v.AddFile(d + ":\\Program Files\\x");
    for (const char* f : {"report.", "trail ", "con", "con.txt", "normal.txt"}) v.AddFile(d + ":\\data\\" + f);
    v.AddFolder(d + ":\\data\\Test");
    v.AddFile(d + ":\\dir.\\inner.txt");
    v.AddFile(d + ":\\dir\\inner.txt");
    v.AddFile(d + ":\\" CHENG "\\x.");
}

TEST(ResolveLongPath, ReplacesComponentsWithStoredLongNames) {
    SimulatedVolume v;
    Populate(v, 'D', true);
    struct Case {
        const char* path;
        const char* expected;
    } cases[] = {
        {"D:\\PROGRA~1\\x", "D:\\Program Files\\x"},
        {"D:\\\\Program Files\\\\\\x\\", "D:\\Program Files\\x"},
        {"d:\\data\\Test", "d:\\data\\Test"},  // the drive is never looked up
        {"D:\\data\\test", "D:\\data\\Test"},  // no exact match: case-insensitive one
        {"D:\\DATA\\REPORT~1", "D:\\data\\report."},
        {"D:\\dir.\\inner.txt", "D:\\dir.\\inner.txt"},  // looked up inside dir., not its twin
        {"D:\\" CHENG "\\x.", "D:\\" CHENG "\\x."},
        {"D:\\data\\missing", ""},
        {"D:\\data\\..\\data", ""},  // "." and ".." never match
        {"D:\\data\\.", ""},
        {"", ""},
        {"D:", "D:"},
    };
    for (const auto& c : cases) EXPECT_EQ(ResolveLongPath(v, c.path), c.expected) << c.path;
}

struct DeviceCase {
    const char* path;
    const char* withAliases;     // expected device form on a volume with 8.3 aliases
    const char* withoutAliases;  // ... and on one without
    bool isFolder;
};

const DeviceCase kDeviceCases[] = {
    {"D:\\data\\report.", "\\\\.\\D:\\data\\REPORT~1", "\\\\?\\D:\\data\\report.", false},
    {"D:\\data\\trail ", "\\\\.\\D:\\data\\TRAIL~1", "\\\\?\\D:\\data\\trail ", false},
    {"D:\\data\\con", "\\\\.\\D:\\data\\con", "\\\\.\\D:\\data\\con", false},
    {"D:\\data\\normal.txt", "\\\\.\\D:\\data\\normal.txt", "\\\\.\\D:\\data\\normal.txt", false},
    {"D:\\dir.\\inner.txt", "\\\\.\\D:\\DIR~1\\inner.txt", "\\\\?\\D:\\dir.\\inner.txt", false},
    {"D:\\dir\\inner.txt", "\\\\.\\D:\\dir\\inner.txt", "\\\\.\\D:\\dir\\inner.txt", false},
    {"D:\\dir.", "\\\\.\\D:\\DIR~1", "\\\\?\\D:\\dir.", true},
    {"D:\\Program Files\\", "\\\\.\\D:\\PROGRA~1", "\\\\.\\D:\\Program Files", true},
    {"d:\\DATA\\Report.", "\\\\.\\d:\\data\\REPORT~1", "\\\\?\\d:\\data\\report.", false},
    {"D:\\" CHENG "\\x.", "\\\\.\\D:\\" CHENG "\\X~1", "\\\\?\\D:\\" CHENG "\\x.", false},
    {"D:\\", "\\\\.\\D:", "\\\\.\\D:", true},
    {"D:", "\\\\.\\D:", "\\\\.\\D:", true},
    {"D:\\data\\missing", "", "", false},
    {"D:\\nothing\\x", "", "", false},
};

TEST(ResolveDevicePath, UsesAliasesAndSwitchesToVerbatimForDottedLongNames) {
    for (bool aliases : {true, false}) {
        SimulatedVolume v;
        Populate(v, 'D', aliases);
        for (const DeviceCase& c : kDeviceCases) {
            bool isFolder = false;
            std::string device = ResolveDevicePath(v, c.path, isFolder);
            EXPECT_EQ(device, aliases ? c.withAliases : c.withoutAliases) << c.path << " aliases=" << aliases;
            EXPECT_EQ(isFolder, c.isFolder) << c.path << " aliases=" << aliases;
            // Whatever form it takes, it must reach the entry the row names, not a twin.
            if (!device.empty() && device.size() > 7) {
                SimulatedVolume::Node* named = v.Find(ResolveLongPath(v, c.path));
                ASSERT_NE(named, nullptr) << c.path;
                FindData self;
                uint32_t error = 0;
                auto listing = v.FindFirst(device.c_str(), self, error);
                ASSERT_TRUE(listing) << device;
                EXPECT_STREQ(self.name, named->name.c_str()) << device;
            }
        }
    }
}

TEST(ResolveDevicePath, TakesVerbatimPrefixWhenTheDriveDoesNotAnswer) {
    SimulatedVolume v;
    Populate(v, 'E', true, /*deviceRoot=*/false);
    bool isFolder = false;
    EXPECT_EQ(ResolveDevicePath(v, "E:\\data\\report.", isFolder), "\\\\?\\E:\\data\\REPORT~1");
    isFolder = false;
    EXPECT_EQ(ResolveDevicePath(v, "E:\\", isFolder), "\\\\?\\E:");
    EXPECT_TRUE(isFolder);
}

TEST(ResolveDevicePath, FolderAnswerFollowsTheLastLookup) {
    SimulatedVolume v;
    Populate(v, 'D', true);
    v.Find("D:\\data\\Test")->openError = 5;
    bool isFolder = false;
    // The listing of Test can't be opened: the answer stays that of Test.
    EXPECT_EQ(ResolveDevicePath(v, "D:\\data\\Test\\x", isFolder), "");
    EXPECT_TRUE(isFolder);
    // Entries were listed and none matched: false.
    isFolder = true;
    EXPECT_EQ(ResolveDevicePath(v, "D:\\data\\nothing", isFolder), "");
    EXPECT_FALSE(isFolder);
}

TEST(PathForms, NothingLongerThan259BytesComesBack) {
    SimulatedVolume v;
    v.AddDrive('D', false);
    std::string path = "D:";
    while (path.size() < 240) path += "\\folder";
    v.AddFile(path + "\\" + std::string(30, 'f'));  // 271 bytes in all
    v.AddFile(path + "\\short");
    bool isFolder = false;
    EXPECT_EQ(ResolveLongPath(v, path + "\\" + std::string(30, 'f')), "");
    EXPECT_EQ(ResolveDevicePath(v, path + "\\" + std::string(30, 'f'), isFolder), "");
    EXPECT_EQ(ResolveLongPath(v, path + "\\short"), path + "\\short");
    isFolder = false;
    EXPECT_EQ(ResolveDevicePath(v, path + "\\short", isFolder), "\\\\.\\" + path + "\\short");
}

}  // namespace
