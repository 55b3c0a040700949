#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "Delete.h"
#include "SimulatedVolume.h"

namespace {

std::vector<std::string> Tree(const SimulatedVolume& v) { return v.ListTree("D:"); }

TEST(DeleteListedPath, RemovesALinkAsItselfAndLeavesItsTargetAlone) {
    for (uint32_t tag : {kTagMountPoint, kTagSymlink}) {
        SimulatedVolume v;
        v.AddDrive('D');
        v.AddFile("D:\\precious\\a.txt");
        v.AddFile("D:\\precious\\sub\\b.txt");
        v.AddLink("D:\\r\\con", "D:\\precious", true, tag);                  // listed itself
        v.AddLink("D:\\r\\aux\\inner link", "D:\\precious", true, tag);      // inside a listed folder
        v.AddLink("D:\\r\\aux\\file link", "D:\\precious\\a.txt", false, kTagSymlink);
        EXPECT_TRUE(DeleteListedPath(v, "D:\\r\\con"));
        EXPECT_TRUE(DeleteListedPath(v, "D:\\r\\aux"));
        std::vector<std::string> expected = {"D:\\precious", "D:\\precious\\a.txt", "D:\\precious\\sub",
                                             "D:\\precious\\sub\\b.txt", "D:\\r"};
        EXPECT_EQ(Tree(v), expected);
    }
}

TEST(DeleteListedPath, ACloudPlaceholderFolderIsEmptiedLikeAnyFolder) {
    SimulatedVolume v;
    v.AddDrive('D');
    SimulatedVolume::Node* cloud = v.AddFolder("D:\\r\\prn");
    cloud->attributes |= fs_attr::kReparsePoint;
    cloud->tag = kTagCloud;
    v.AddFile("D:\\r\\prn\\x");
    EXPECT_TRUE(DeleteListedPath(v, "D:\\r\\prn"));
    EXPECT_FALSE(v.Exists("D:\\r\\prn"));
}

TEST(DeleteListedPath, NeverTouchesADriveRootOrClimbsOutOfThePath) {
    const char* paths[] = {"D:\\", "D:", "d:\\\\", "D:\\data\\..", "D:\\data\\.", "D:\\data\\..\\..", ""};
    for (const char* p : paths) {
        SimulatedVolume v;
        v.AddDrive('D');
        v.AddFile("D:\\data\\x.");
        v.AddFile("D:\\other.txt");
        EXPECT_FALSE(DeleteListedPath(v, p)) << p;
        EXPECT_TRUE(v.removals.empty()) << p;
    }
    SimulatedVolume v;
    v.AddDrive('D');
    v.AddFile("D:\\a");
    for (const char* p : {"\\\\.\\D:", "\\\\?\\D:\\", "\\\\.\\D:\\.", "D:\\"}) EXPECT_FALSE(DeleteTree(v, p, true)) << p;
    EXPECT_TRUE(v.Exists("D:\\a"));
}

TEST(DeleteListedPath, ResetsAttributesOfFilesAndNestedFolders) {
    SimulatedVolume v;
    v.AddDrive('D');
    v.AddFolder("D:\\r\\nul", fs_attr::kReadOnly);
    v.AddFolder("D:\\r\\nul\\inner", fs_attr::kReadOnly | fs_attr::kHidden);
    v.AddFile("D:\\r\\nul\\inner\\f", fs_attr::kReadOnly | fs_attr::kSystem | fs_attr::kHidden);
    v.AddFile("D:\\r\\rhs.", fs_attr::kReadOnly | fs_attr::kSystem | fs_attr::kHidden);
    EXPECT_TRUE(DeleteListedPath(v, "D:\\r\\nul"));
    EXPECT_TRUE(DeleteListedPath(v, "D:\\r\\rhs."));
    EXPECT_EQ(Tree(v), std::vector<std::string>{"D:\\r"});
}

TEST(DeleteListedPath, ListingFailureEndsTheFolderWithoutRepeats) {
    SimulatedVolume v;
    v.AddDrive('D');
    for (const char* f : {"1", "2", "3"}) v.AddFile(std::string("D:\\r\\com1\\") + f);
    v.Find("D:\\r\\com1")->failAfter = 3;  // ".", "..", "1", then error 59
    v.Find("D:\\r\\com1")->failError = 59;
    EXPECT_FALSE(DeleteListedPath(v, "D:\\r\\com1"));
    std::vector<std::string> expected = {"\\\\.\\D:\\r\\com1\\1", "\\\\.\\D:\\r\\com1"};
    EXPECT_EQ(v.removals, expected);  // "1" once, then the folder is tried (and is not empty)
}

TEST(DeleteListedPath, AChildPathBeyond259BytesFailsTheFolder) {
    SimulatedVolume v;
    v.AddDrive('D', /*shortNames=*/false);
    std::string deep = "D:\\r\\lpt2";
    while (deep.size() < 240) deep += "\\level";
    v.AddFile(deep + "\\" + std::string(30, 'x'));
    EXPECT_FALSE(DeleteListedPath(v, "D:\\r\\lpt2"));
    EXPECT_TRUE(v.Exists(deep + "\\" + std::string(30, 'x')));
    for (const auto& p : v.removals) EXPECT_LT(p.size(), 260u);
}

TEST(DeleteListedPath, ChildrenWithDottedLongNamesAreReachedVerbatim) {
    // No aliases: "\\.\" would strip "sub." to "sub" and "f." to "f".
    SimulatedVolume v;
    v.AddDrive('D', /*shortNames=*/false);
    v.AddFile("D:\\r\\con\\sub.\\f.");
    v.AddFile("D:\\r\\con\\sub\\f");
    v.AddFile("D:\\r\\con\\f");
    v.AddFile("D:\\r\\con\\f.");
    v.AddFile("D:\\r\\sub\\f");
    EXPECT_TRUE(DeleteListedPath(v, "D:\\r\\con"));
    std::vector<std::string> expected = {"D:\\r", "D:\\r\\sub", "D:\\r\\sub\\f"};
    EXPECT_EQ(Tree(v), expected);
}

}  // namespace
