#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <functional>
#include <string>
#include <vector>

#include "Delete.h"
#include "Reasons.h"
#include "RowCollector.h"
#include "Scan.h"
#include "SimulatedVolume.h"

namespace {

std::vector<std::string> Tree(const SimulatedVolume& v) { return v.ListTree("D:"); }

TEST(DeleteListedPath, RemovesALinkAsItselfAndLeavesItsTargetAlone) {
    for (uint32_t tag : {kTagMountPoint, kTagSymlink}) {
        SimulatedVolume v;
        v.AddDrive('D');
        v.AddFile("D:\\precious\\a.txt");
        v.AddFile("D:\\precious\\sub\\b.txt");
        v.AddLink("D:\\r\\con", "D:\\precious", true, tag);              // listed itself
        v.AddLink("D:\\r\\aux\\inner link", "D:\\precious", true, tag);  // inside a listed folder
        v.AddLink("D:\\r\\aux\\file link", "D:\\precious\\a.txt", false, kTagSymlink);
        EXPECT_TRUE(DeleteListedPath(v, "D:\\r\\con"));
        EXPECT_TRUE(DeleteListedPath(v, "D:\\r\\aux"));
        std::vector<std::string> expected = {"D:\\precious", "D:\\precious\\a.txt", "D:\\precious\\sub",
                                             "D:\\precious\\sub\\b.txt", "D:\\r"};
        EXPECT_EQ(Tree(v), expected);
    }
}

// A reparse point without a tag (Wine's view of a Linux symbolic link) is a
// link like any other: the walk does not enter it, and a listed folder that
// holds one fails rather than empty what it leads to.
TEST(DeleteListedPath, ALinkWithoutATagIsNeitherWalkedNorEmptied) {
    SimulatedVolume v;
    v.AddDrive('D');
    v.AddFile("D:\\precious\\con");
    v.AddLink("D:\\r\\top\\link", "D:\\precious", true, 0);
    v.AddLink("D:\\r\\a.\\inner", "D:\\precious", true, 0);
    ScanState state;
    struct : RowSink {
        std::vector<std::string> paths;
        void AppendRow(const ResultRow& row) override { paths.push_back(row.path); }
    } rows;
    ScanFolder(v, "D:\\r", ScanOptions{1, 0, 0, 0}, rows, state);
    EXPECT_EQ(rows.paths, std::vector<std::string>{"D:\\r\\a."});
    EXPECT_FALSE(DeleteListedPath(v, "D:\\r\\a."));
    EXPECT_TRUE(v.Exists("D:\\precious\\con"));
    EXPECT_TRUE(v.Exists("D:\\r\\a.\\inner"));
}

// An entry whose deletion fails keeps the attributes it had.
TEST(DeleteListedPath, AFailedDeletionPutsTheAttributesBack) {
    for (bool batch : {false, true}) {
        SimulatedVolume v;
        v.AddDrive('D');
        v.AddFile("D:\\r\\ro.", fs_attr::kReadOnly | fs_attr::kHidden)->lockedOpen = true;
        v.AddFile("D:\\r\\aux\\held", fs_attr::kReadOnly)->lockedOpen = true;
        DeleteSession session(v);
        for (const char* path : {"D:\\r\\ro.", "D:\\r\\aux"})
            EXPECT_FALSE(batch ? session.DeleteListedPath(path) : DeleteListedPath(v, path)) << path;
        EXPECT_EQ(v.Find("D:\\r\\ro.")->attributes, fs_attr::kReadOnly | fs_attr::kHidden);
        EXPECT_EQ(v.Find("D:\\r\\aux\\held")->attributes, fs_attr::kReadOnly);
    }
}

// A name the code page holds only approximately: its row has no path, and
// neither the look-alike nor a removal of the listed entry lets a namesake go
// in its place.
TEST(DeleteListedPath, ALookAlikeOrANamesakeNeverStandsInForTheListedEntry) {
    SimulatedVolume v;
    v.AddDrive('D');
    v.AddFile("D:\\r\\keep.txt");
    SimulatedVolume::Node* wide = v.AddFile("D:\\r\\wide.txt", fs_attr::kReadOnly);
    wide->name = "keep.txt";  // what best fit makes of it
    wide->inexact = true;
    v.AddFile("D:\\r\\Keep.");
    ScanState state;
    struct : RowSink {
        std::vector<std::string> paths;
        void AppendRow(const ResultRow& row) override { paths.push_back(row.path); }
    } rows;
    ScanFolder(v, "D:\\r", ScanOptions{1, 0, 1, 0}, rows, state);
    std::vector<std::string> expected = {"", "D:\\r\\Keep."};
    std::sort(rows.paths.begin(), rows.paths.end());
    EXPECT_EQ(rows.paths, expected);

    // Another program removes "Keep." and makes "keep." before the deletion.
    SimulatedVolume::Node* listed = v.Find("D:\\r\\Keep.");
    auto& siblings = listed->parent->children;
    siblings.erase(std::find_if(siblings.begin(), siblings.end(), [&](auto& c) { return c.get() == listed; }));
    v.AddFile("D:\\r\\keep.");
    DeleteSession session(v);
    for (const std::string& path : rows.paths) EXPECT_FALSE(session.DeleteListedPath(path)) << path;
    EXPECT_EQ(v.ListTree("D:\\r").size(), 3u);
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
    for (const char* p : {"\\\\.\\D:", "\\\\?\\D:\\", "\\\\.\\D:\\.", "D:\\"})
        EXPECT_FALSE(DeleteListedPath(v, p)) << p;
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

TEST(DeleteListedPath, AFolderWhoseListingFailsLosesNothing) {
    SimulatedVolume v;
    v.AddDrive('D');
    for (const char* f : {"1", "2", "3"}) v.AddFile(std::string("D:\\r\\com1\\") + f);
    v.Find("D:\\r\\com1")->failAfter = 3;  // ".", "..", "1", then error 59
    v.Find("D:\\r\\com1")->failError = 59;
    EXPECT_FALSE(DeleteListedPath(v, "D:\\r\\com1"));
    EXPECT_TRUE(v.removals.empty());
    EXPECT_EQ(v.ListTree("D:\\r\\com1").size(), 3u);
}

TEST(DeleteListedPath, AFolderGoesWhateverTheLengthOfThePathsInIt) {
    SimulatedVolume v;
    v.AddDrive('D', /*shortNames=*/false);
    std::string deep = "D:\\r\\lpt2";
    while (deep.size() < 400) deep += "\\level";
    v.AddFile(deep + "\\" + std::string(30, 'x'));
    EXPECT_TRUE(DeleteListedPath(v, "D:\\r\\lpt2"));
    EXPECT_EQ(v.ListTree("D:\\r"), std::vector<std::string>{});
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

TEST(DeleteListedPath, AnAliasSharedByTwoEntriesNeverDeletesTheOther) {
    // Where aliases are not unique (Wine makes them from hashes), a path
    // built from them could name a neighbour: the long names decide.
    SimulatedVolume v;
    v.AddDrive('D');
    v.AddFolder("D:\\Project A", 0, "PROJEC~1");
    v.AddFolder("D:\\Project B", 0, "PROJEC~1");
    v.AddFile("D:\\Project A\\nul");
    v.AddFile("D:\\Project B\\nul");
    v.AddFile("D:\\Project B\\m1report.", 0, "M1REPO~1");
    v.AddFile("D:\\Project B\\m2report.", 0, "M1REPO~1");
    EXPECT_TRUE(DeleteListedPath(v, "D:\\Project B\\nul"));
    EXPECT_TRUE(DeleteListedPath(v, "D:\\Project B\\m2report."));
    std::vector<std::string> expected = {"D:\\Project A", "D:\\Project A\\nul", "D:\\Project B",
                                         "D:\\Project B\\m1report."};
    EXPECT_EQ(Tree(v), expected);
}

// Faults between the search and the deletion, one batch each; the rows are
// the paths the search listed.
struct FaultCase {
    const char* what;
    std::function<void(SimulatedVolume&)> fault;
    std::vector<bool> results;           // per row
    std::vector<std::string> survivors;  // the tree afterwards
};

TEST(DeleteSession, FaultsBetweenSearchAndDeletion) {
    const std::vector<std::string> rows = {"D:\\r\\a.", "D:\\r\\con", "D:\\r\\aux"};
    const FaultCase cases[] = {
        {"nothing happened", [](SimulatedVolume&) {}, {true, true, true}, {"D:\\keep", "D:\\r"}},
        {"an entry vanished",
         [](SimulatedVolume& v) { v.Remove(v.Find("D:\\r\\a.")); },
         {false, true, true},
         {"D:\\keep", "D:\\r"}},
        {"a folder became a file of the same name",
         [](SimulatedVolume& v) {
             v.Find("D:\\r\\aux")->children.clear();
             v.Remove(v.Find("D:\\r\\aux"));
             v.AddFile("D:\\r\\aux");
         },
         {true, true, true},
         {"D:\\keep", "D:\\r"}},
        {"a file in the folder is held open",
         [](SimulatedVolume& v) { v.Find("D:\\r\\aux\\sub\\held")->lockedOpen = true; },
         {true, true, false},  // "sub" comes first and stops the folder
         {"D:\\keep", "D:\\r", "D:\\r\\aux", "D:\\r\\aux\\sub", "D:\\r\\aux\\sub\\held", "D:\\r\\aux\\z.txt"}},
        {"nested read-only folders",
         [](SimulatedVolume& v) {
             v.Find("D:\\r\\aux")->attributes |= fs_attr::kReadOnly;
             v.Find("D:\\r\\aux\\sub")->attributes |= fs_attr::kReadOnly;
         },
         {true, true, true},
         {"D:\\keep", "D:\\r"}},
        {"the listing of the folder fails midway",
         [](SimulatedVolume& v) {
             v.Find("D:\\r\\aux")->failAfter = 3;
             v.Find("D:\\r\\aux")->failError = fs_error::kAccessDenied;
         },
         {true, true, false},  // nothing in a folder it could not list whole is touched
         {"D:\\keep", "D:\\r", "D:\\r\\aux", "D:\\r\\aux\\sub", "D:\\r\\aux\\sub\\held", "D:\\r\\aux\\z.txt"}},
    };
    for (const FaultCase& c : cases) {
        SimulatedVolume v;
        v.AddDrive('D');
        v.AddFile("D:\\r\\a.");
        v.AddFile("D:\\r\\con");
        v.AddFile("D:\\r\\aux\\sub\\held");
        v.AddFile("D:\\r\\aux\\z.txt");
        v.AddFile("D:\\keep");
        c.fault(v);
        DeleteSession session(v);
        std::vector<bool> results;
        for (const auto& row : rows) results.push_back(session.DeleteListedPath(row));
        EXPECT_EQ(results, c.results) << c.what;
        EXPECT_EQ(Tree(v), c.survivors) << c.what;
        // A second pass finds nothing more to delete and deletes nothing more.
        for (size_t i = 0; i < rows.size(); ++i) {
            if (c.results[i]) {
                EXPECT_FALSE(session.DeleteListedPath(rows[i])) << c.what << " " << rows[i];
            }
        }
        EXPECT_EQ(Tree(v), c.survivors) << c.what;
    }
}

TEST(DeleteSession, ABatchListsNoFolderWhole) {
    SimulatedVolume v;
    v.AddDrive('D');
    std::vector<std::string> rows;
    for (int i = 0; i < 300; ++i) {
        rows.push_back("D:\\data\\flat\\nul." + std::to_string(i));
        v.AddFile(rows.back());
    }
    v.AddFile("D:\\data\\flat\\keep.txt");
    int listings = 0;
    v.beforeFindFirst = [&](const std::string&) { ++listings; };
    DeleteSession session(v);
    for (const auto& row : rows) EXPECT_TRUE(session.DeleteListedPath(row)) << row;
    EXPECT_EQ(listings, 0);  // each entry is looked up by its name, no folder is listed whole
    EXPECT_EQ(v.ListTree("D:\\data\\flat"), std::vector<std::string>{"D:\\data\\flat\\keep.txt"});
}

// A stop while a listed folder is being emptied: it ends between two of the
// folder's entries, what went stays gone, the rest and the folder stay, and
// the row fails as cancelled. The next row is not touched by the session's
// stop either: a stopped session starts no folder again.
TEST(DeleteSession, AStopEndsTheEmptyingOfAFolderBetweenTwoEntries) {
    SimulatedVolume v;
    v.AddDrive('D');
    for (int i = 0; i < 5; ++i) v.AddFile("D:\\r\\big.\\f" + std::to_string(i));
    v.AddFile("D:\\r\\next.\\f");
    std::atomic<bool> stop{false};
    int deleted = 0;
    v.beforeHandleCall = [&](const char* call, SimulatedVolume::Node*) {
        if (std::string(call) == "DeleteOpen" && ++deleted == 2) stop = true;
    };
    DeleteSession session(v);
    session.StopWhen(&stop);
    ResultRow big, next;
    big.path = "D:\\r\\big.";
    next.path = "D:\\r\\next.";
    Outcome outcome = session.Delete(big);
    EXPECT_FALSE(outcome.ok);
    EXPECT_EQ(outcome.error, fs_error::kCancelled);
    EXPECT_EQ(v.ListTree("D:\\r\\big.").size(), 3u);
    outcome = session.Delete(next);
    EXPECT_EQ(outcome.error, fs_error::kCancelled);
    EXPECT_TRUE(v.Exists("D:\\r\\next.\\f"));
    EXPECT_STREQ(ReasonTextOf(fs_error::kCancelled), "删除时被停止");
}

// Read-only belongs to the file, not to one of its names: deleting a listed
// hard link, or a folder that holds one, leaves the other name read-only,
// whether the system can pass over the bit or the bit is cleared for the
// deletion. Folder rows do not clear their entries' bits more than they need.
TEST(DeleteListedPath, AHardLinkGoesAndTheFilesOtherNameStaysReadOnly) {
    for (bool ignoresReadOnly : {false, true}) {
        for (const char* listed : {"D:\\r\\nul", "D:\\r\\aux"}) {
            SCOPED_TRACE(std::string(listed) + (ignoresReadOnly ? ", read-only passed over" : ", read-only cleared"));
            SimulatedVolume v;
            v.AddDrive('D');
            v.BehaviourOf('D').deleteIgnoresReadOnly = ignoresReadOnly;
            SimulatedVolume::Node* keep = v.AddFile("D:\\out\\keep", fs_attr::kReadOnly | fs_attr::kHidden);
            keep->content = "kept";
            SimulatedVolume::Node* name = v.AddHardLink("D:\\r\\nul", keep);
            v.AddHardLink("D:\\r\\aux\\inner", keep);
            uint32_t links = 0, error = 0;
            std::unique_ptr<Node> open =
                v.OpenChild(*v.OpenVolumeRoot(u"D:", error), u"r", FileSystem::OpenFor::kList, error);
            ASSERT_TRUE(open);
            std::unique_ptr<Node> file = v.OpenChild(*open, u"nul", FileSystem::OpenFor::kList, error);
            ASSERT_TRUE(file && v.LinkCount(*file, links, error));
            EXPECT_EQ(links, 3u);
            EXPECT_EQ(name->id, keep->id);
            file.reset();
            open.reset();

            EXPECT_TRUE(DeleteListedPath(v, listed));
            EXPECT_FALSE(v.Exists(listed));
            ASSERT_TRUE(v.Exists("D:\\out\\keep"));
            EXPECT_EQ(keep->attributes, fs_attr::kReadOnly | fs_attr::kHidden);
            EXPECT_EQ(keep->content, "kept");
        }
    }
}

// A file link that lists as a plain file and opens as its target (a Linux
// symbolic link under Wine) is not the listed entry: neither a deletion nor a
// rename through it reaches the target, outside the root or beside the link,
// listed itself or inside a listed folder. Where the system names paths
// without trailing dots and blanks (Wine), a plain "x." beside its twin "x"
// and a "..." still go.
TEST(DeleteListedPath, AFileLinkThatListsAsAFileIsRefused) {
    for (bool trimmedPaths : {false, true}) {
        SCOPED_TRACE(trimmedPaths ? "paths without trailing dots" : "exact paths");
        SimulatedVolume v;
        v.AddDrive('D');
        v.BehaviourOf('D').pathsDropTrailingDots = trimmedPaths;
        v.AddFile("D:\\out\\data")->content = "canary";
        v.AddFileLink("D:\\r\\nul", "D:\\out\\data");
        v.AddFileLink("D:\\r\\aux\\inner", "D:\\out\\data");
        v.AddFile("D:\\r\\keep")->content = "kept";
        v.AddFileLink("D:\\r\\keep.", "D:\\r\\keep");
        v.AddFile("D:\\r\\x.");
        v.AddFile("D:\\r\\x");
        v.AddFile("D:\\r\\...");
        RowCollector rows;
        ScanState state;
        ScanFolder(v, "D:\\r", ScanOptions{1, 0, 0, 0}, rows, state);
        ASSERT_EQ(rows.Paths(),
                  (std::vector<std::string>{"D:\\r\\nul", "D:\\r\\aux", "D:\\r\\keep.", "D:\\r\\x.", "D:\\r\\..."}));
        EXPECT_EQ(rows.rows[0].type, kTypeFile);
        EntrySession session(v);
        for (const ResultRow& row : rows.rows) {
            const bool link = row.path != "D:\\r\\x." && row.path != "D:\\r\\...";
            if (row.type == kTypeFile && link) {
                WideName now;
                Outcome renamed = session.Rename(*row.entry, now);
                EXPECT_FALSE(renamed.ok) << row.path;
                EXPECT_EQ(renamed.error, fs_error::kReparseRefused) << row.path;
            }
            Outcome deleted = session.Delete(*row.entry);
            EXPECT_EQ(deleted.ok, !link) << row.path;
            if (link) EXPECT_EQ(deleted.error, fs_error::kReparseRefused) << row.path;
        }
        EXPECT_EQ(Tree(v),
                  (std::vector<std::string>{"D:\\out", "D:\\out\\data", "D:\\r", "D:\\r\\aux", "D:\\r\\aux\\inner",
                                            "D:\\r\\keep", "D:\\r\\keep.", "D:\\r\\nul", "D:\\r\\x"}));
        EXPECT_EQ(v.Find("D:\\out\\data")->content, "canary");
        EXPECT_EQ(v.Find("D:\\r\\keep")->content, "kept");
    }
}

// A file link whose name and its target's differ only in trailing dots and
// blanks: where the system names handles without them (Wine), the path of
// the handle is the same for both, and only the folder tells that the
// handle's file is another entry's. The link fails; its target stays.
TEST(DeleteListedPath, AFileLinkToANameThatDiffersOnlyInTrailingDotsIsRefused) {
    const char* const cases[][2] = {{"x.", "x "}, {"......", "  "}, {"y. .", "y.."}};
    for (bool trimmedPaths : {false, true}) {
        for (const auto& c : cases) {
            SCOPED_TRACE(std::string(c[0]) + " -> " + c[1] + (trimmedPaths ? ", trimmed paths" : ""));
            SimulatedVolume v;
            v.AddDrive('D');
            v.BehaviourOf('D').pathsDropTrailingDots = trimmedPaths;
            const std::string link = std::string("D:\\r\\") + c[0], target = std::string("D:\\r\\") + c[1];
            v.AddFile(target)->content = "canary";
            v.AddFileLink(link, target);
            RowCollector rows;
            ScanState state;
            ScanFolder(v, "D:\\r", ScanOptions{1, 0, 0, 0}, rows, state);
            auto row =
                std::find_if(rows.rows.begin(), rows.rows.end(), [&](const ResultRow& r) { return r.path == link; });
            ASSERT_NE(row, rows.rows.end());
            EntrySession session(v);
            Outcome deleted = session.Delete(*row->entry);
            EXPECT_FALSE(deleted.ok);
            EXPECT_EQ(deleted.error, fs_error::kReparseRefused);
            const SimulatedVolume::Node* kept = v.Find(target);
            EXPECT_TRUE(kept && kept->content == "canary");
        }
    }
}

// A file link listed as a file whose target is then replaced by a link or a
// folder leads, as Linux resolves it, to the end of that chain: a folder
// there makes it list as a link without a tag. Neither the link at the target
// path nor what the chain ends in goes, whether the file link was listed
// itself or lies inside a listed folder.
TEST(DeleteListedPath, AFileLinkWhoseTargetBecameALinkOrAFolderIsRefused) {
    struct Case {
        const char* what;
        std::function<void(SimulatedVolume&)> replace;  // what comes to stand at D:\t
    };
    const Case cases[] = {
        {"junction", [](SimulatedVolume& v) { v.AddLink("D:\\t", "D:\\precious", true, kTagMountPoint); }},
        {"symbolic link", [](SimulatedVolume& v) { v.AddLink("D:\\t", "D:\\precious", true, kTagSymlink); }},
        {"folder", [](SimulatedVolume& v) { v.AddFile("D:\\t\\canary"); }},
        {"file link", [](SimulatedVolume& v) { v.AddFileLink("D:\\t", "D:\\precious\\a.txt"); }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        SimulatedVolume v;
        v.AddDrive('D');
        v.AddFile("D:\\precious\\a.txt")->content = "canary";
        v.AddFile("D:\\t");
        v.AddFileLink("D:\\r\\nul", "D:\\t");
        v.AddFileLink("D:\\r\\aux\\inner", "D:\\t");
        RowCollector rows;
        ScanState state;
        ScanFolder(v, "D:\\r", ScanOptions{1, 0, 0, 0}, rows, state);
        ASSERT_EQ(rows.Paths(), (std::vector<std::string>{"D:\\r\\nul", "D:\\r\\aux"}));
        v.Remove(v.Find("D:\\t"));
        c.replace(v);
        const std::vector<std::string> before = Tree(v);
        EntrySession session(v);
        for (const ResultRow& row : rows.rows) EXPECT_FALSE(session.Delete(*row.entry).ok) << row.path;
        EXPECT_EQ(Tree(v), before);
        EXPECT_EQ(v.Find("D:\\precious\\a.txt")->content, "canary");
    }
}

}  // namespace
