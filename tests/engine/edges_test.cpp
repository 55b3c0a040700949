// What may leave the disk is the listed entries and what is inside listed
// folders, nothing else: the walk and the deletion at the edges of the path
// rules (dot-ended roots, links, shared aliases, long paths, code pages).
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "Delete.h"
#include "PathForms.h"
#include "PathText.h"
#include "RowCollector.h"
#include "Scan.h"
#include "SimulatedVolume.h"

namespace {

constexpr ScanOptions kNames{1, 0, 0, 0};
constexpr ScanOptions kHiddenOnly{0, 1, 0, 0};

std::vector<std::string> Search(SimulatedVolume& v, const std::string& root, ScanState& state,
                                ScanOptions options = kNames) {
    RowCollector rows;
    state.stopRequested = 0;
    ScanFolder(v, root, options, rows, state);
    return rows.Paths();
}

TEST(Edges, ARootEndingInADotOrBlankListsItselfNotItsTwin) {
    struct Case {
        const char* root;
        std::vector<std::string> rows;  // expected; all are then deleted
        int unsearched;
    } cases[] = {
        {"D:\\work\\dir.", {"D:\\work\\dir.\\a.", "D:\\work\\dir.\\sub\\c."}, 0},
        {"D:\\work\\dir.\\", {"D:\\work\\dir.\\a.", "D:\\work\\dir.\\sub\\c."}, 0},
        {"D:\\work\\trail ", {"D:\\work\\trail \\b."}, 0},
        {"d:\\WORK\\dir.\\sub", {"d:\\work\\dir.\\sub\\c."}, 0},
        {"\\\\?\\D:\\work\\dir.", {"D:\\work\\dir.\\a.", "D:\\work\\dir.\\sub\\c."}, 0},
        {"D:\\work\\gone.", {}, 1},  // only its twin exists
    };
    for (bool aliases : {true, false}) {
        for (const Case& c : cases) {
            SimulatedVolume v;
            v.AddDrive('D', aliases);
            for (const char* f :
                 {"D:\\work\\dir.\\a.", "D:\\work\\dir.\\keep", "D:\\work\\dir.\\sub\\c.", "D:\\work\\dir\\a.",
                  "D:\\work\\dir\\sub\\c.", "D:\\work\\trail \\b.", "D:\\work\\trail\\b.", "D:\\work\\gone\\z."})
                v.AddFile(f);
            std::vector<std::string> before = v.ListTree("D:");
            ScanState state;
            std::vector<std::string> rows = Search(v, c.root, state);
            EXPECT_EQ(rows, c.rows) << c.root << " aliases " << aliases;
            EXPECT_EQ(state.unsearched, c.unsearched) << c.root;
            DeleteSession session(v);
            for (const auto& r : rows) EXPECT_TRUE(session.DeleteListedPath(r)) << r;
            std::vector<std::string> after = v.ListTree("D:");
            for (const auto& p : before) {
                bool listed = std::any_of(rows.begin(), rows.end(), [&](const std::string& r) {
                    return EqualsIgnoreCase(r, p) ||
                           (p.size() > r.size() && p[r.size()] == '\\' && EqualsIgnoreCase(r, p.substr(0, r.size())));
                });
                EXPECT_EQ(std::count(after.begin(), after.end(), p), listed ? 0 : 1) << c.root << ": " << p;
            }
        }
    }
}

TEST(Edges, AFolderThatBecameALinkLeadsNoDeletionOutOfTheTree) {
    // Rows listed while D:\r\sub and D:\r\aux were folders; then each was
    // swapped for a junction to D:\precious.
    auto make = [](SimulatedVolume& v) {
        v.AddDrive('D');
        v.AddFile("D:\\precious\\a.");
        v.AddFile("D:\\precious\\keep.txt");
        v.AddFile("D:\\r\\x.");
    };
    auto swap = [](SimulatedVolume& v, const char* name) {
        v.AddLink(std::string("D:\\r\\") + name, "D:\\precious", true, kTagMountPoint);
    };
    const std::vector<std::string> precious = {"D:\\precious\\a.", "D:\\precious\\keep.txt"};
    {
        // A link as a folder on the way: refused.
        SimulatedVolume v;
        make(v);
        swap(v, "sub");
        EXPECT_FALSE(DeleteListedPath(v, "D:\\r\\sub\\a."));
        DeleteSession session(v);
        EXPECT_FALSE(session.DeleteListedPath("D:\\r\\sub\\a."));
        EXPECT_EQ(v.ListTree("D:\\precious"), precious);
    }
    {
        // A listed folder that became a link after the batch listed its
        // parent: the link goes, never what it leads to.
        SimulatedVolume v;
        make(v);
        v.AddFolder("D:\\r\\aux");
        DeleteSession session(v);
        EXPECT_TRUE(session.DeleteListedPath("D:\\r\\x."));  // lists D:\r while aux is a folder
        v.Find("D:\\r")->children.erase(std::find_if(v.Find("D:\\r")->children.begin(), v.Find("D:\\r")->children.end(),
                                                     [](auto& c) { return c->name == "aux"; }));
        swap(v, "aux");
        EXPECT_TRUE(session.DeleteListedPath("D:\\r\\aux"));
        EXPECT_FALSE(v.Exists("D:\\r\\aux"));
        EXPECT_EQ(v.ListTree("D:\\precious"), precious);
    }
}

TEST(Edges, SharedAliasesNeverLeadToTheOtherEntry) {
    // Two folders share one alias, as Wine's hashed aliases can. Deep enough
    // that the long form of a row passes 259 bytes and only aliases fit.
    SimulatedVolume v;
    v.AddDrive('D');
    std::string base = "D:\\" + std::string(100, 'p');
    v.AddFolder(base, 0, "PPPPPP~1");
    std::string a = base + "\\Project A " + std::string(150, 'a');
    std::string b = base + "\\Project B " + std::string(150, 'b');
    v.AddFolder(a, fs_attr::kHidden, "PROJEC~1");
    v.AddFolder(b, 0, "PROJEC~1");
    v.AddFile(a + "\\victim.", 0, "VICTIM~1");
    v.AddFile(b + "\\victim.", 0, "VICTIM~1");
    v.AddFile(a + "\\nul", 0, "");
    v.AddFile(b + "\\nul", 0, "");
    ASSERT_GT(b.size() + 8, 259u);

    // The walk: each folder listed once, under its own name.
    ScanState state;
    RowCollector rows;
    ScanFolder(v, base, kNames, rows, state);
    std::vector<std::string> names;
    for (const auto& r : rows.rows) names.push_back(r.bracketedName);
    std::sort(names.begin(), names.end());
    std::vector<std::string> expected = {"[nul]", "[nul]", "[victim.]", "[victim.]"};
    EXPECT_EQ(names, expected);
    for (const auto& r : rows.rows) EXPECT_EQ(r.path, "");  // too long for column 0

    // Typed through the shared alias, the row names neither entry for certain.
    std::string typed = "D:\\PPPPPP~1\\PROJEC~1\\victim.";
    EXPECT_FALSE(DeleteListedPath(v, typed));
    EXPECT_TRUE(v.Exists(a + "\\victim.") && v.Exists(b + "\\victim."));

    // Deletion takes long names only, even an alias that is unique; by its
    // long names (too long for a plain path) B goes with its entries and
    // nothing of A.
    std::string bByAlias = "D:\\PPPPPP~1\\Project B " + std::string(150, 'b');
    EXPECT_FALSE(DeleteListedPath(v, bByAlias));
    EXPECT_TRUE(v.Exists(b));
    EXPECT_TRUE(DeleteListedPath(v, b));
    EXPECT_FALSE(v.Exists(b));
    EXPECT_TRUE(v.Exists(a + "\\victim.") && v.Exists(a + "\\nul"));
}

TEST(Edges, DeepFolderChildrenGoByAliasWhereTheirLongFormDoesNotFit) {
    SimulatedVolume v;
    v.AddDrive('D');
    std::string folder = "D:\\" + std::string(200, 'd') + "\\aux";
    v.AddFolder(folder);
    v.AddFile(folder + "\\" + std::string(50, 'c') + ".txt");  // long form 260+ bytes
    v.AddFile(folder + "\\short.");
    v.AddFile("D:\\" + std::string(200, 'd') + "\\keep");
    EXPECT_TRUE(DeleteListedPath(v, folder));
    EXPECT_FALSE(v.Exists(folder));
    EXPECT_TRUE(v.Exists("D:\\" + std::string(200, 'd') + "\\keep"));

    v.AddFile("D:\\" + std::string(200, 'd') + "\\" + std::string(70, 'e') + ".", 0, "EEEEEE~1");
    EXPECT_FALSE(DeleteListedPath(v, "D:\\DDDDDD~1\\EEEEEE~1"));  // deletion: long names only
    std::string deep = "D:\\" + std::string(200, 'd') + "\\" + std::string(70, 'e') + ".";
    EXPECT_TRUE(DeleteListedPath(v, deep));
    EXPECT_FALSE(v.Exists(deep));
    EXPECT_TRUE(v.Exists("D:\\" + std::string(200, 'd') + "\\keep"));
}

// Every form of root is opened by handles: its rows name their entries in
// full and delete exactly them.
TEST(Edges, EveryFormOfRootIsWalkedByHandles) {
    struct Case {
        const char* root;
        std::vector<std::string> rows;
    };
    const std::vector<std::string> sub = {"D:\\work\\sub\\con", "D:\\work\\sub\\x."};
    const Case cases[] = {
        {"D:sub", sub},
        {"sub", sub},
        {"\\work\\sub", sub},
        {"d:\\WORK\\sub\\", {"d:\\work\\sub\\con", "d:\\work\\sub\\x."}},
        {"\\\\?\\D:\\work\\sub", sub},
        {"\\\\.\\D:\\work\\.\\sub\\..\\sub", sub},
        {"D:/work/sub", sub},
        {"\\\\server\\share\\sub", {"\\\\server\\share\\sub\\con", "\\\\server\\share\\sub\\x."}},
        {"\\\\?\\UNC\\server\\share\\sub", {"\\\\server\\share\\sub\\con", "\\\\server\\share\\sub\\x."}},
        {"D:\\work\\sub\\con*", {"D:\\work\\sub\\con"}},
        {"D:\\work\\sub\\*.*", sub},
        {"D:\\work\\sub\\*", sub},
        {"D:*",
         {"D:\\work\\al\\report of the year.", "D:\\work\\al\\x.", "D:\\work\\sub\\con", "D:\\work\\sub\\x.",
          "D:\\work\\x."}},
        {"D:\\work\\sub\\nothing*", {}},
        // A pattern matches an entry's 8.3 alias as FindFirstFile does.
        {"D:\\work\\al\\*T~1", {"D:\\work\\al\\report of the year."}},
        {"\\\\server\\share\\sub\\C?N*", {"\\\\server\\share\\sub\\con"}},
        {"\\\\?\\UNC\\server\\share\\al\\*T~1", {"\\\\server\\share\\al\\report of the year."}},
        {"sub\\c*", {"D:\\work\\sub\\con"}},
        {"D:..\\work\\sub\\x*", {"D:\\work\\sub\\x."}},
    };
    for (const Case& c : cases) {
        SimulatedVolume v;
        v.AddDrive('D');
        for (const char* f : {"D:\\work\\sub\\x.", "D:\\work\\sub\\con", "D:\\work\\sub\\keep", "D:\\work\\x.",
                              "D:\\work\\al\\report of the year.", "D:\\work\\al\\x."})
            v.AddFile(f);
        v.AddShare("\\\\server\\share", "D:\\work");
        v.currentFolder = u"D:\\work";
        v.currentFolders['D'] = u"D:\\work";
        ScanState state;
        RowCollector rows;
        ScanFolder(v, std::string(c.root), kNames, rows, state);
        std::vector<std::string> paths = rows.Paths();
        std::sort(paths.begin(), paths.end());
        EXPECT_EQ(paths, c.rows) << c.root;
        EXPECT_EQ(state.unsearched, 0) << c.root;
        DeleteSession session(v);
        for (const ResultRow& row : rows.rows) EXPECT_TRUE(session.Delete(row).ok) << c.root << ": " << row.path;
        for (std::string row : c.rows) {
            // Where the row's entry was, as the volume names it.
            for (const char* alias : {"\\\\server\\share", "d:\\work"})
                if (row.rfind(alias, 0) == 0) row = "D:\\work" + row.substr(std::string(alias).size());
            EXPECT_FALSE(v.Exists(row)) << c.root << ": " << row;
        }
        EXPECT_TRUE(v.Exists("D:\\work\\sub\\keep")) << c.root;
    }
}

// A row of a pattern root carries what its entry is, like any other row: a
// namesake made in its place after the search stays.
TEST(Edges, APatternRootsRowIsNotANewcomerOfItsName) {
    SimulatedVolume v;
    v.AddDrive('D');
    v.AddFile("D:\\sub\\con");
    ScanState state;
    RowCollector rows;
    ScanFolder(v, std::string("D:\\sub\\con*"), kNames, rows, state);
    ASSERT_EQ(rows.Paths(), std::vector<std::string>{"D:\\sub\\con"});
    v.Remove(v.Find("D:\\sub\\con"));
    v.AddFile("D:\\sub\\con");
    DeleteSession session(v);
    EXPECT_FALSE(session.Delete(rows.rows[0]).ok);
    EXPECT_TRUE(v.Exists("D:\\sub\\con"));
}

TEST(Edges, WhatTheSearchCouldNotLookAtIsCounted) {
    struct Case {
        const char* what;
        void (*setup)(SimulatedVolume&);
        int unsearched;
    } cases[] = {
        {"an empty drive root", [](SimulatedVolume&) {}, 0},
        {"a folder that refuses its listing",
         [](SimulatedVolume& v) {
             v.AddFolder("D:\\closed");
             v.Find("D:\\closed")->openError = fs_error::kAccessDenied;
         },
         1},
        {"a listing cut short",
         [](SimulatedVolume& v) {
             v.AddFile("D:\\cut\\1.");
             v.AddFile("D:\\cut\\2.");
             v.Find("D:\\cut")->failAfter = 3;
             v.Find("D:\\cut")->failError = fs_error::kAccessDenied;
         },
         1},
        {"a link, which is never entered on purpose",
         [](SimulatedVolume& v) { v.AddLink("D:\\link", "D:\\elsewhere"); }, 0},
        {"a folder deeper than any path can reach: opened by handle, searched",
         [](SimulatedVolume& v) {
             std::string deep = "D:";
             while (deep.size() < 250) deep += "\\folder";
             v.AddFile(deep + "\\deeper\\x.");
         },
         0},
    };
    for (const Case& c : cases) {
        SimulatedVolume v;
        v.AddDrive('D', false);
        c.setup(v);
        ScanState state;
        Search(v, "D:\\", state, kHiddenOnly);
        EXPECT_EQ(state.unsearched, c.unsearched) << c.what;
    }
}

TEST(Edges, AWesternFolderNameIsCutAtItsOwnBackslash) {
    // Under 1252 é (E9) is a letter; read as a GBK lead byte it swallows the
    // "\" after it and the children of D:\d were taken for those of café.
    SimulatedVolume v(1252);
    v.AddDrive('D');
    for (const char* f :
         {"D:\\d\\caf\xE9\\x", "D:\\d\\caf\xE9\\sub\\y", "D:\\d\\x", "D:\\d\\sub\\y", "D:\\d\\caf\xE9\\\xFC."})
        v.AddFile(f);
    ScanState state;
    std::vector<std::string> rows = Search(v, "D:\\d\\caf\xE9\\", state);
    EXPECT_EQ(rows, std::vector<std::string>{"D:\\d\\caf\xE9\\\xFC."});
    EXPECT_TRUE(DeleteListedPath(v, "D:\\d\\caf\xE9"));
    std::vector<std::string> expected = {"D:\\d\\sub", "D:\\d\\sub\\y", "D:\\d\\x"};
    EXPECT_EQ(v.ListTree("D:\\d"), expected);
}

}  // namespace
