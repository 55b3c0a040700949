// Scenarios that run on every backend: the simulated volume with and without
// 8.3 aliases, and (on Windows) real folders in the temporary folder.
#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <string>
#include <vector>

#include "CodePage.h"
#include "Delete.h"
#include "RowCollector.h"
#include "Scan.h"
#include "TreeBackend.h"

namespace {

constexpr uint32_t kRHS = fs_attr::kReadOnly | fs_attr::kHidden | fs_attr::kSystem;
#define CHENG "\xD5\x5C"           // 誠, second byte "\"
#define JOU "\x81\x5C"             // 乗
#define BAOGAO "\xB1\xA8\xB8\xE6"  // 报告

class Scenario : public ::testing::TestWithParam<std::string> {
protected:
    void SetUp() override { tree = MakeBackend(GetParam()); }
    std::string Abs(const std::string& rel) const { return tree->Root() + "\\" + rel; }
    std::unique_ptr<TreeBackend> tree;
};

// The tree a user typically finds: every kind of malformed name, the normal
// entries that must survive, and names whose GBK bytes contain "\".
void MakeMalformedTree(TreeBackend& t) {
    for (const char* f : {"report.", "trail ", "con", "CON.txt", "nul.tar.gz", "com0", "lpt9.log", "...", "normal.txt",
                          "readme", CHENG ".txt", CHENG "\xB9\xFB.", BAOGAO " "})
        t.MakeFile(f);
    t.MakeFile("rhs.dat", kRHS);
    t.MakeFolder("aux");
    t.MakeFile("aux\\a.txt");
    t.MakeFile("aux\\b.", fs_attr::kReadOnly);
    t.MakeFolder("aux\\sub");
    t.MakeFolder("aux\\sub\\deeper");
    t.MakeFile("aux\\sub\\deeper\\c");
    t.MakeFolder("dir.");
    t.MakeFile("dir.\\inside-dotted.txt");
    t.MakeFolder("dir");
    t.MakeFile("dir\\inside-twin.txt");
    t.MakeFolder(JOU);
    t.MakeFile(JOU "\\x.");
    t.MakeFile(JOU "\\keep.txt");
    t.MakeFolder("keep");
    t.MakeFile("keep\\inner.txt");
}

struct Row {
    std::string rel, bracketed, type, attribute;
    bool operator<(const Row& o) const { return rel < o.rel; }
    bool operator==(const Row& o) const {
        return rel == o.rel && bracketed == o.bracketed && type == o.type && attribute == o.attribute;
    }
};

void PrintTo(const Row& r, std::ostream* os) { *os << "{" << r.rel << " " << r.bracketed << " " << r.attribute << "}"; }

std::vector<Row> Rows(const RowCollector& rows, const std::string& root) {
    std::vector<Row> out;
    for (const auto& r : rows.rows) {
        std::string rel =
            r.path.compare(0, root.size() + 1, root + "\\") == 0 ? r.path.substr(root.size() + 1) : "<" + r.path + ">";
        out.push_back({rel, r.bracketedName, r.type, r.attribute});
        EXPECT_EQ(r.result, "未操作");
    }
    std::sort(out.begin(), out.end());
    return out;
}

TEST_P(Scenario, MalformedTreeIsListedExactlyAndDeletedCompletely) {
    MakeMalformedTree(*tree);
    std::vector<std::string> before = tree->Tree();

    ScanState state;
    RowCollector rows;
    ScanFolder(tree->Fs(), tree->Root(), ScanOptions{1, 0, 0, 0}, rows, state);

    const char* F = "文件";
    const char* D = "文件夹";
    std::vector<Row> expected = {
        {"...", "[...]", F, "-"},
        {"CON.txt", "[CON.txt]", F, "-"},
        {"aux", "[aux]", D, "-"},
        {"com0", "[com0]", F, "-"},
        {"con", "[con]", F, "-"},
        {"dir.", "[dir.]", D, "-"},
        {"lpt9.log", "[lpt9.log]", F, "-"},
        {"nul.tar.gz", "[nul.tar.gz]", F, "-"},
        {"report.", "[report.]", F, "-"},
        {"trail ", "[trail ]", F, "-"},
        {JOU "\\x.", "[x.]", F, "-"},
        {BAOGAO " ", "[" BAOGAO " ]", F, "-"},
        {CHENG "\xB9\xFB.", "[" CHENG "\xB9\xFB.]", F, "-"},
    };
    std::sort(expected.begin(), expected.end());
    EXPECT_EQ(Rows(rows, tree->Root()), expected);
    EXPECT_EQ(state.rowsListed, 13);
    EXPECT_EQ(state.malformedFolders, 2);
    EXPECT_EQ(state.malformedFiles, 11);
    EXPECT_EQ(state.foldersSearched, 5);  // aux, dir., dir, 乗, keep
    // 10 listed at the top, 乗\x., then normal.txt, readme, 誠.txt, rhs.dat,
    // dir\inside-twin.txt, 乗\keep.txt, keep\inner.txt.
    EXPECT_EQ(state.filesSearched, 18);

    for (const auto& r : rows.rows) EXPECT_TRUE(DeleteListedPath(tree->Fs(), r.path)) << r.path;

    std::vector<std::string> survivors = {
        "dir",     "dir\\inside-twin.txt", "keep", "keep\\inner.txt", "normal.txt", "readme",
        "rhs.dat", CHENG ".txt",           JOU,    JOU "\\keep.txt"};
    std::sort(survivors.begin(), survivors.end());
    EXPECT_EQ(tree->Tree(), survivors);
    for (const auto& s : survivors) EXPECT_NE(std::find(before.begin(), before.end(), s), before.end());
}

TEST_P(Scenario, AttributeOptionsListByTheFirstMatchingRule) {
    // No names starting with "." here: Wine marks those hidden by itself.
    tree->MakeFile("rhs.dat", kRHS);
    tree->MakeFile("hidden.txt", fs_attr::kHidden);
    tree->MakeFile("system.bin", fs_attr::kSystem | fs_attr::kHidden);
    tree->MakeFile("report.");
    tree->MakeFile("plain.txt");
    tree->MakeFolder("aux");
    tree->MakeFile("aux\\b.", fs_attr::kReadOnly);
    tree->MakeFolder("secret", fs_attr::kHidden);
    tree->MakeFile("secret\\inner.txt", fs_attr::kReadOnly);
    ScanState state;
    RowCollector rows;
    ScanFolder(tree->Fs(), tree->Root(), ScanOptions{0, 1, 1, 1}, rows, state);
    std::vector<Row> expected = {
        {"aux\\b.", "[b.]", "文件", "R"},
        {"hidden.txt", "[hidden.txt]", "文件", "H"},
        {"rhs.dat", "[rhs.dat]", "文件", "R"},
        {"secret", "[secret]", "文件夹", "H"},
        {"system.bin", "[system.bin]", "文件", "S"},
    };
    EXPECT_EQ(Rows(rows, tree->Root()), expected);
    EXPECT_EQ(state.foldersSearched, 2);
    EXPECT_EQ(state.filesSearched, 6);
}

struct TwinCase {
    const char* setup[2];  // the malformed entry first, then its normal twin
    bool folders;
};

TEST_P(Scenario, DeletingAMalformedEntryNeverTouchesItsTwin) {
    const TwinCase cases[] = {
        {{"a.", "a"}, false},        {{"trail ", "trail"}, false},
        {{"con", "con.txt"}, false}, {{"report. ", "report"}, false},
        {{"dir.", "dir"}, true},     {{"sp ", "sp"}, true},
    };
    for (const TwinCase& c : cases) {
        tree = MakeBackend(GetParam());
        for (const char* name : c.setup) {
            if (c.folders) {
                tree->MakeFolder(name);
                tree->MakeFile(std::string(name) + "\\payload");
            } else {
                tree->MakeFile(name);
            }
        }
        EXPECT_TRUE(DeleteListedPath(tree->Fs(), Abs(c.setup[0]))) << c.setup[0];
        std::vector<std::string> left = tree->Tree();
        std::vector<std::string> expected = {c.setup[1]};
        if (c.folders) expected.push_back(std::string(c.setup[1]) + "\\payload");
        EXPECT_EQ(left, expected) << c.setup[0];
    }
}

TEST_P(Scenario, HeldOpenFileStopsItsFolderAndNothingElseIsLost) {
    tree->MakeFolder("nul");
    tree->MakeFile("nul\\open.bin");
    tree->MakeFile("outside.txt");
    tree->HoldOpen("nul\\open.bin");
    EXPECT_FALSE(DeleteListedPath(tree->Fs(), Abs("nul")));
    EXPECT_TRUE(tree->Exists("nul\\open.bin"));
    EXPECT_TRUE(tree->Exists("outside.txt"));
}

TEST_P(Scenario, ReadOnlyHiddenSystemFileIsDeletedAndASecondDeleteFails) {
    tree->MakeFile("lpt1.", kRHS);
    tree->MakeFile("lpt1");
    EXPECT_TRUE(DeleteListedPath(tree->Fs(), Abs("lpt1.")));
    EXPECT_FALSE(DeleteListedPath(tree->Fs(), Abs("lpt1.")));
    EXPECT_EQ(tree->Tree(), std::vector<std::string>{"lpt1"});
}

// A path names its entries by their exact long names: another case or an
// alias stands for nothing, so a namesake never goes in the listed one's place.
TEST_P(Scenario, OnlyTheExactLongNamesReachAnEntry) {
    tree->MakeFolder("Mixed Case");
    tree->MakeFile("Mixed Case\\Report.");
    tree->MakeFile("Mixed Case\\Report");
    const std::vector<std::string> all = {"Mixed Case", "Mixed Case\\Report", "Mixed Case\\Report."};
    for (const char* typed : {"\\MIXED CASE\\Report.", "\\Mixed Case\\report.", "\\mixed case\\REPORT."}) {
        EXPECT_FALSE(DeleteListedPath(tree->Fs(), tree->Root() + typed)) << typed;
        EXPECT_EQ(tree->Tree(), all) << typed;
    }
    EXPECT_TRUE(DeleteListedPath(tree->Fs(), tree->Root() + "\\Mixed Case\\Report."));
    std::vector<std::string> expected = {"Mixed Case", "Mixed Case\\Report"};
    EXPECT_EQ(tree->Tree(), expected);
}

// Names that each code page cuts its own way: a folder whose last byte is a
// GBK lead byte or a trail byte 5C, and a word of the page's letters.
struct PageNames {
    unsigned page;
    const char* folder;
    const char* word;
};
const PageNames kPages[] = {
    {936, "\xD5\x5C", "\xB1\xA8\xB8\xE6"},  // 誠, 报告
    {932, "\xB6", "\x83\x5C\xB6\xC0"},      // ｶ (half-width), ソｶﾀ
    {949, "\xB0\xA1", "\xC7\xD1\xB1\xDB"},  // 가, 한글
    {950, "\xB3\x5C", "\xA4\xA4\xA4\xE5"},  // 許, 中文
    {1252, "caf\xE9",
     "\xFC"
     "ber"},  // café, über
};

// Under every code page: the search lists exactly the malformed entries and
// deleting them leaves every neighbour, also the same-named children of the
// folder above.
TEST_P(Scenario, LocalNamesOfEachCodePage) {
    bool onDisk = GetParam() == "disk";
    for (const PageNames& names : kPages) {
        if (onDisk && names.page != ActiveCodePage().Number()) continue;  // the system's own page only
        ScopedActiveCodePage page(onDisk ? ActiveCodePage().Number() : names.page);
        tree = MakeBackend(GetParam());
        std::string f = names.folder, w = names.word;
        tree->MakeFolder(f);
        tree->MakeFile(f + "\\x.");
        tree->MakeFile(f + "\\keep");
        tree->MakeFolder(f + ".");
        tree->MakeFile(f + ".\\keep");
        tree->MakeFile(f + ".\\x.");
        tree->MakeFile("keep");
        tree->MakeFile("x");
        tree->MakeFile(w + " ");
        tree->MakeFile(w);

        ScanState state;
        RowCollector rows;
        ScanFolder(tree->Fs(), tree->Root(), ScanOptions{1, 0, 0, 0}, rows, state);
        std::vector<Row> expected = {
            {f + "\\x.", "[x.]", "文件", "-"},
            {f + ".", "[" + f + ".]", "文件夹", "-"},
            {w + " ", "[" + w + " ]", "文件", "-"},
        };
        std::sort(expected.begin(), expected.end());
        EXPECT_EQ(Rows(rows, tree->Root()), expected) << names.page;
        EXPECT_EQ(state.unsearched, 0) << names.page;

        for (const auto& r : rows.rows) EXPECT_TRUE(DeleteListedPath(tree->Fs(), r.path)) << names.page << r.path;
        std::vector<std::string> survivors = {f, f + "\\keep", "keep", "x", w};
        std::sort(survivors.begin(), survivors.end());
        EXPECT_EQ(tree->Tree(), survivors) << names.page;
    }
}

// What the delete mode does with one path of its command line: a folder whose
// name ends in a letter of the code page (é in 1252, a trail byte 5C in 936)
// goes with its contents, and the same-named entries of its parent stay.
TEST_P(Scenario, DeletingAFolderNamedInTheCodePageSparesItsParentsChildren) {
    bool onDisk = GetParam() == "disk";
    for (const PageNames& names : kPages) {
        if (onDisk && names.page != ActiveCodePage().Number()) continue;
        ScopedActiveCodePage page(onDisk ? ActiveCodePage().Number() : names.page);
        tree = MakeBackend(GetParam());
        std::string f = names.folder;
        tree->MakeFolder(f);
        for (const std::string& base : {f + "\\", std::string()}) {
            tree->MakeFolder(base + "sub");
            tree->MakeFile(base + "sub\\y");
            tree->MakeFile(base + "x", fs_attr::kReadOnly);
            tree->MakeFile(base + "con");
        }
        tree->MakeFolder(f + "\\" + f);
        EXPECT_TRUE(DeleteListedPath(tree->Fs(), Abs(f))) << names.page;
        std::vector<std::string> left = {"con", "sub", "sub\\y", "x"};
        EXPECT_EQ(tree->Tree(), left) << names.page;
    }
}

TEST_P(Scenario, ASearchFromADotEndedRootListsThatFolderAndSparesItsTwin) {
    tree->MakeFolder("dir.");
    tree->MakeFile("dir.\\a.");
    tree->MakeFile("dir.\\con");
    tree->MakeFile("dir.\\keep.txt");
    tree->MakeFolder("dir");
    tree->MakeFile("dir\\a.");
    tree->MakeFile("dir\\con");
    tree->MakeFile("dir\\twin.txt");
    ScanState state;
    RowCollector rows;
    ScanFolder(tree->Fs(), Abs("dir."), ScanOptions{1, 0, 0, 0}, rows, state);
    std::vector<Row> expected = {
        {"dir.\\a.", "[a.]", "文件", "-"},
        {"dir.\\con", "[con]", "文件", "-"},
    };
    EXPECT_EQ(Rows(rows, tree->Root()), expected);
    for (const auto& r : rows.rows) EXPECT_TRUE(DeleteListedPath(tree->Fs(), r.path)) << r.path;
    std::vector<std::string> left = {"dir", "dir.", "dir.\\keep.txt", "dir\\a.", "dir\\con", "dir\\twin.txt"};
    EXPECT_EQ(tree->Tree(), left);
}

INSTANTIATE_TEST_SUITE_P(Backends, Scenario, ::testing::ValuesIn(BackendKinds()),
                         [](const ::testing::TestParamInfo<std::string>& info) {
                             std::string n = info.param;
                             std::replace(n.begin(), n.end(), '-', '_');
                             return n;
                         });

}  // namespace
