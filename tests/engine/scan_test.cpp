#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <string>
#include <vector>

#include "RowCollector.h"
#include "Delete.h"
#include "Scan.h"
#include "SimulatedVolume.h"

namespace {

constexpr ScanOptions kNames{1, 0, 0, 0};
constexpr ScanOptions kHiddenOnly{0, 1, 0, 0};

struct Walk {
    SimulatedVolume v;
    ScanState state;
    RowCollector rows;
    std::vector<std::string> patterns;

    Walk() {
        v.AddDrive('D');
        v.beforeFindFirst = [this](const std::string& p) {
            patterns.push_back(p);
            if (onList) onList(p);
        };
    }
    std::function<void(const std::string&)> onList;
    void Run(const std::string& root, ScanOptions options = kNames) {
        state.ResetCounters();
        state.stopRequested = 0;
        ScanFolder(v, root, options, rows, state);
        EXPECT_EQ(state.rowsListed, state.malformedFolders + state.malformedFiles);
        EXPECT_EQ(state.rowsListed, static_cast<int>(rows.rows.size()));
    }
};

TEST(ScanFolder, NothingHappensWithoutOptionsOrRoot) {
    Walk w;
    w.v.AddFile("D:\\r\\con");
    w.Run("D:\\r", ScanOptions{0, 0, 0, 0});
    w.Run("", kNames);
    EXPECT_TRUE(w.patterns.empty());
    EXPECT_EQ(w.state.filesSearched, 0);
}

TEST(ScanFolder, ListedFoldersAreNotEnteredAndOthersAreEnteredByLongName) {
    Walk w;
    w.v.AddFile("D:\\r\\Long Folder Name\\deep.");
    w.v.AddFile("D:\\r\\Long Folder Name\\ok.txt");
    w.v.AddFile("D:\\r\\aux\\inside.");
    w.v.AddFolder("D:\\r\\aux\\sub");
    w.v.AddFolder("D:\\r\\empty");
    w.Run("D:\\r");

    ASSERT_EQ(w.rows.rows.size(), 2u);
    EXPECT_EQ(w.rows.rows[0].path, "D:\\r\\Long Folder Name\\deep.");
    EXPECT_EQ(w.rows.rows[0].bracketedName, "[deep.]");
    EXPECT_EQ(w.rows.rows[0].type, "文件");
    EXPECT_EQ(w.rows.rows[1].path, "D:\\r\\aux");
    EXPECT_EQ(w.rows.rows[1].type, "文件夹");
    EXPECT_EQ(w.rows.rows[1].result, "未操作");
    EXPECT_EQ(w.state.foldersSearched, 3);  // Long Folder Name, aux, empty
    EXPECT_EQ(w.state.filesSearched, 2);    // deep., ok.txt
    EXPECT_EQ(w.state.malformedFolders, 1);
    EXPECT_EQ(w.state.malformedFiles, 1);
    auto listed = [&](const std::string& p) {
        return std::find(w.patterns.begin(), w.patterns.end(), p) != w.patterns.end();
    };
    EXPECT_TRUE(listed("\\\\?\\D:\\r\\Long Folder Name\\*"));
    EXPECT_TRUE(listed("\\\\?\\D:\\r\\empty\\*"));
    EXPECT_FALSE(listed("\\\\?\\D:\\r\\aux\\*"));
}

TEST(ScanFolder, HiddenOnlyListsAHiddenFolderWithoutCountingItsContents) {
    Walk w;
    w.v.AddFolder("D:\\r\\secret", fs_attr::kHidden);
    w.v.AddFile("D:\\r\\secret\\a");
    w.v.AddFile("D:\\r\\b", fs_attr::kHidden);
    w.Run("D:\\r", kHiddenOnly);
    ASSERT_EQ(w.rows.rows.size(), 2u);
    EXPECT_EQ(w.rows.rows[0].attribute, "H");
    EXPECT_EQ(w.rows.rows[1].attribute, "H");
    EXPECT_EQ(w.state.foldersSearched, 1);
    EXPECT_EQ(w.state.filesSearched, 1);
}

TEST(ScanFolder, DottedFolderWithoutAliasIsWalkedItselfNotItsTwin) {
    // Name rules off, so "dir." is not listed and has to be entered; without
    // aliases only "\\?\" reaches it.
    SimulatedVolume v;
    v.AddDrive('D', /*shortNames=*/false);
    v.AddFile("D:\\r\\dir.\\in-dotted", fs_attr::kHidden);
    v.AddFile("D:\\r\\dir\\in-twin", fs_attr::kHidden);
    ScanState state;
    RowCollector rows;
    ScanFolder(v, "D:\\r", kHiddenOnly, rows, state);
    std::vector<std::string> paths = rows.Paths();
    std::sort(paths.begin(), paths.end());
    std::vector<std::string> expected = {"D:\\r\\dir.\\in-dotted", "D:\\r\\dir\\in-twin"};
    EXPECT_EQ(paths, expected);
}

TEST(ScanFolder, RootForms) {
    struct Case {
        const char* root;
        std::vector<std::string> paths;
    } cases[] = {
        {"D:", {"D:\\x.", "D:\\sub\\con", "D:\\sub\\con.txt"}},
        {"D:\\", {"D:\\x.", "D:\\sub\\con", "D:\\sub\\con.txt"}},
        {"D:\\\\sub\\\\", {"D:\\sub\\con", "D:\\sub\\con.txt"}},
        {"D:\\sub\\*", {"D:\\sub\\con", "D:\\sub\\con.txt"}},
        // A pattern root: entries follow its folder, and sub-folders it
        // matches are walked as folders, not as the pattern again.
        {"D:\\s*", {"D:\\sub\\con", "D:\\sub\\con.txt"}},
        {"D:\\sub\\con*", {"D:\\sub\\con", "D:\\sub\\con.txt"}},
        {"D:\\missing", {}},
    };
    for (const Case& c : cases) {
        Walk w;
        w.v.AddFile("D:\\x.");
        w.v.AddFile("D:\\sub\\con");
        w.v.AddFile("D:\\sub\\con.txt");
        w.v.AddFile("D:\\sub\\fine");
        w.Run(c.root);
        EXPECT_EQ(w.rows.Paths(), c.paths) << c.root;
    }
}

TEST(ScanFolder, StopEndsEveryLevelAtItsNextStep) {
    Walk w;
    w.v.AddFile("D:\\r\\a\\b\\c\\one.");
    w.v.AddFile("D:\\r\\a\\b\\c\\two.");
    w.v.AddFile("D:\\r\\a\\b\\later.");
    w.v.AddFile("D:\\r\\a\\later.");
    w.v.AddFile("D:\\r\\z\\later.");
    w.onList = [&](const std::string& p) {
        if (p == "\\\\?\\D:\\r\\a\\b\\c\\*") w.state.stopRequested = 1;
    };
    w.Run("D:\\r");
    EXPECT_TRUE(w.rows.rows.empty());
    EXPECT_EQ(w.patterns.back(), "\\\\?\\D:\\r\\a\\b\\c\\*");
    EXPECT_EQ(w.state.foldersSearched, 3);
}

TEST(ScanFolder, LinksAreCountedButNeverEntered) {
    Walk w;
    w.v.AddFile("D:\\target\\victim.");
    w.v.AddLink("D:\\r\\junction", "D:\\target", true, kTagMountPoint);
    w.v.AddLink("D:\\r\\loop", "D:\\r", true, kTagSymlink);
    w.v.AddFolder("D:\\r\\cloud");
    w.v.Find("D:\\r\\cloud")->attributes |= fs_attr::kReparsePoint;
    w.v.Find("D:\\r\\cloud")->tag = kTagCloud;
    w.v.AddFile("D:\\r\\cloud\\synced.");
    w.Run("D:\\r");
    EXPECT_EQ(w.rows.Paths(), std::vector<std::string>{"D:\\r\\cloud\\synced."});
    EXPECT_EQ(w.state.foldersSearched, 3);
}

TEST(ScanFolder, ListingFailuresEndThatFolderOnly) {
    Walk w;
    for (const char* f : {"1.", "2.", "3.", "4."}) w.v.AddFile(std::string("D:\\r\\broken\\") + f);
    w.v.Find("D:\\r\\broken")->failAfter = 3;  // ".", "..", "1." then error 5
    w.v.Find("D:\\r\\broken")->failError = fs_error::kAccessDenied;
    w.v.AddFile("D:\\r\\closed\\x.");
    w.v.Find("D:\\r\\closed")->openError = fs_error::kAccessDenied;
    w.v.AddFile("D:\\r\\zz.");
    w.Run("D:\\r");
    std::vector<std::string> expected = {"D:\\r\\broken\\1.", "D:\\r\\zz."};
    EXPECT_EQ(w.rows.Paths(), expected);
    EXPECT_EQ(w.state.foldersSearched, 2);  // closed is counted though it can't be listed
}

TEST(ScanFolder, EntriesBeyond259BytesAreListedWithoutPathAndFoldersGoOnByHandle) {
    // A row never depends on whether a path to its entry fits: folders are
    // opened relative to their parent, however deep.
    for (bool aliases : {true, false}) {
        SimulatedVolume v;
        v.AddDrive('D', aliases);
        std::string deep = "D:\\r";
        while (deep.size() < 240) deep += "\\level";
        v.AddFile(deep + "\\fits.");
        v.AddFile(deep + "\\" + std::string(40, 'n') + ".");  // 280 bytes
        v.AddFile(deep + "\\" + std::string(12, 'm') + "\\inner.");
        std::string deeper = deep;
        while (deeper.size() < 600) deeper += "\\further";
        v.AddFile(deeper + "\\far.");
        ScanState state;
        RowCollector rows;
        ScanFolder(v, "D:\\r", kNames, rows, state);
        std::vector<std::string> names;
        for (const auto& r : rows.rows) names.push_back(r.bracketedName + r.path);
        std::sort(names.begin(), names.end());
        std::vector<std::string> expected = {"[" + std::string(40, 'n') + ".]", "[far.]", "[fits.]" + deep + "\\fits.",
                                             "[inner.]"};
        std::sort(expected.begin(), expected.end());
        EXPECT_EQ(names, expected) << aliases;
        EXPECT_EQ(state.unsearched, 0) << aliases;
        // Each row is deleted as itself, at any depth.
        DeleteSession session(v);
        for (const auto& r : rows.rows) EXPECT_TRUE(session.Delete(r).ok) << r.bracketedName;
        EXPECT_FALSE(v.Exists(deeper + "\\far."));
        EXPECT_TRUE(v.Exists(deeper));
    }
}

TEST(ScanFolder, ColumnZeroShowsLongNamesAndRowsKeepWalkOrder) {
    Walk w;
    w.v.AddFile("D:\\Data\\Reports 2024\\Q1 summary.");
    w.v.AddFile("D:\\Data\\Reports 2024\\lpt1.log");
    w.v.AddFile("D:\\Data\\nul");
    w.Run("d:\\data");  // typed in the wrong case
    std::vector<std::string> expected = {"d:\\Data\\Reports 2024\\Q1 summary.", "d:\\Data\\Reports 2024\\lpt1.log",
                                         "d:\\Data\\nul"};
    EXPECT_EQ(w.rows.Paths(), expected);
}

TEST(ScanFolder, ListsEveryFolderOnceWhateverTheRowsInIt) {
    // Column 0 must not cost a listing of every ancestor per row: a folder
    // with thousands of stray files would take minutes.
    Walk w;
    for (const char* folder : {"c1", "c2", "c3"})
        for (int i = 0; i < 50; ++i) w.v.AddFile(std::string("D:\\a\\b\\") + folder + "\\nul." + std::to_string(i));
    w.v.AddFile("D:\\a\\b\\c2\\d\\z.");
    w.Run("D:\\a\\b");
    EXPECT_EQ(w.state.rowsListed, 151);
    EXPECT_EQ(w.rows.rows[150].path, "D:\\a\\b\\c3\\nul.49");
    // The root is looked up name by name, not listed; then one listing per
    // folder walked.
    std::vector<std::string> expected = {"\\\\?\\D:\\a\\b\\*", "\\\\?\\D:\\a\\b\\c1\\*", "\\\\?\\D:\\a\\b\\c2\\*",
                                         "\\\\?\\D:\\a\\b\\c2\\d\\*", "\\\\?\\D:\\a\\b\\c3\\*"};
    EXPECT_EQ(w.patterns, expected);
}

TEST(ScanFolder, DotComponentsOfARootFoldAsWin32FoldsThem) {
    // "D:\r\.." is D:\ as Win32 reads it; under "\\?\" the same text names
    // nothing, and the search says it could not look.
    struct Case {
        const char* root;
        std::vector<std::string> paths;
        int unsearched;
    } cases[] = {
        {"D:\\r\\..", {"D:\\x."}, 0},
        {"D:\\.\\r\\.\\", {"D:\\r\\y."}, 0},
        {"\\\\?\\D:\\r\\..", {}, 1},
    };
    for (const Case& c : cases) {
        Walk w;
        w.v.AddFile("D:\\x.");
        w.v.AddFile("D:\\r\\y.");
        w.Run(c.root);
        std::vector<std::string> paths = w.rows.Paths();
        if (std::string(c.root) == "D:\\r\\..") paths.resize(1);
        EXPECT_EQ(paths, c.paths) << c.root;
        EXPECT_EQ(w.state.unsearched, c.unsearched) << c.root;
    }
}

TEST(ScanState, ResetClearsCountersAndPaths) {
    ScanState s;
    s.rowsListed = 3;
    s.filesSearched = 9;
    s.longEntryPath[0] = 'x';
    s.ResetCounters();
    EXPECT_EQ(s.rowsListed, 0);
    EXPECT_EQ(s.filesSearched, 0);
    char copy[kMaxPath];
    s.CopyLongEntryPath(copy);
    EXPECT_STREQ(copy, "");
}

}  // namespace

TEST(ScanFilters, ExcludedNamesAreNeitherListedNorEnteredAndDepthIsBounded) {
    struct Case {
        std::vector<std::u16string> exclude;
        int maxDepth;
        std::vector<std::string> paths;
    };
    const Case cases[] = {
        {{},
         -1,
         {"D:\\r\\.git\\nul", "D:\\r\\a\\b\\deep.", "D:\\r\\a\\mid.", "D:\\r\\node_modules\\x.", "D:\\r\\top."}},
        {{u".GIT", u"node_*"}, -1, {"D:\\r\\a\\b\\deep.", "D:\\r\\a\\mid.", "D:\\r\\top."}},
        {{u"*."}, -1, {"D:\\r\\.git\\nul"}},
        {{}, 0, {"D:\\r\\top."}},
        {{}, 1, {"D:\\r\\.git\\nul", "D:\\r\\a\\mid.", "D:\\r\\node_modules\\x.", "D:\\r\\top."}},
    };
    for (const Case& c : cases) {
        Walk w;
        for (const char* f :
             {"D:\\r\\top.", "D:\\r\\.git\\nul", "D:\\r\\node_modules\\x.", "D:\\r\\a\\mid.", "D:\\r\\a\\b\\deep."})
            w.v.AddFile(f);
        w.state.exclude = c.exclude;
        w.state.maxDepth = c.maxDepth;
        w.Run("D:\\r");
        std::vector<std::string> paths = w.rows.Paths();
        std::sort(paths.begin(), paths.end());
        EXPECT_EQ(paths, c.paths) << c.maxDepth;
    }
    EXPECT_TRUE(MatchesGlob(u"*.LOG", u"build.log"));
    EXPECT_FALSE(MatchesGlob(u"a?c", u"ac"));
}
