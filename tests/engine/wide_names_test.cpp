// Real entries whose names the ANSI code page holds only approximately, and
// folder links as Wine shows Linux symbolic links (a reparse point without a
// tag). Windows only: the names are made through the W functions.
#include <gtest/gtest.h>
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cwchar>
#include <string>
#include <vector>

#include "Delete.h"
#include "ExactAnsi.h"
#include "RowCollector.h"
#include "Scan.h"
#include "Win32FileSystem.h"

namespace {

std::wstring TempFolder() {
    wchar_t temp[MAX_PATH];
    GetTempPathW(MAX_PATH, temp);
    static int serial = 0;
    std::wstring base = temp;
    for (;;) {
        std::wstring path =
            base + L"orvelle-wide-" + std::to_wstring(GetCurrentProcessId()) + L"-" + std::to_wstring(++serial);
        if (CreateDirectoryW(path.c_str(), nullptr)) return path;
    }
}

void RemoveAll(const std::wstring& folder) {
    std::wstring v = L"\\\\?\\" + folder;
    WIN32_FIND_DATAW d;
    HANDLE h = FindFirstFileW((v + L"\\*").c_str(), &d);
    if (h != INVALID_HANDLE_VALUE) {
        do {
            std::wstring name = d.cFileName;
            if (name == L"." || name == L"..") continue;
            std::wstring child = folder + L"\\" + name;
            SetFileAttributesW((L"\\\\?\\" + child).c_str(), FILE_ATTRIBUTE_NORMAL);
            if (d.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)
                RemoveAll(child);
            else
                DeleteFileW((L"\\\\?\\" + child).c_str());
        } while (FindNextFileW(h, &d));
        FindClose(h);
    }
    RemoveDirectoryW(v.c_str());
}

void MakeFile(const std::wstring& path, DWORD attributes = FILE_ATTRIBUTE_NORMAL) {
    HANDLE h = CreateFileW((L"\\\\?\\" + path).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, attributes, nullptr);
    ASSERT_NE(h, INVALID_HANDLE_VALUE);
    CloseHandle(h);
}

bool Exists(const std::wstring& path) {
    return GetFileAttributesW((L"\\\\?\\" + path).c_str()) != INVALID_FILE_ATTRIBUTES;
}

std::string Narrow(const std::wstring& wide) {
    std::string out;
    EXPECT_TRUE(WideToAnsiExactly(wide, out));
    return out;
}

constexpr ScanOptions kReadOnly = {0, 0, 1, 0};

// Windows refuses a conversion to UTF-8 that carries flags other than
// WC_ERR_INVALID_CHARS or asks whether a default character was used, so with
// UTF-8 as the ANSI page such a call would refuse every name and argument;
// Wine accepts it, so the rule is checked here for every page Windows can
// have as its ANSI page. Elsewhere best fit must be switched off.
TEST(WideNames, TheExactConversionCallIsOneWindowsTakes) {
    for (UINT page :
         {874u, 932u, 936u, 949u, 950u, 1250u, 1251u, 1252u, 1253u, 1254u, 1255u, 1256u, 1257u, 1258u, 65001u}) {
        const ExactConversionCall call = ExactConversionFor(page);
        if (page == CP_UTF8) {
            constexpr unsigned long kErrInvalidChars = 0x80;  // WC_ERR_INVALID_CHARS, Vista on
            EXPECT_EQ(call.flags & ~kErrInvalidChars, 0u) << page;
            EXPECT_FALSE(call.reportsDefaultUsed) << page;
        } else {
            EXPECT_TRUE(call.flags & WC_NO_BEST_FIT_CHARS) << page;
            EXPECT_TRUE(call.reportsDefaultUsed) << page;
        }
    }
}

// The exact conversion holds what the page holds and refuses the rest, under
// every page these tests run in, UTF-8 among them (where the system takes no
// best-fit flag at all and refusing everything would be the easy mistake).
TEST(WideNames, ExactConversionHoldsWhatThePageHolds) {
    struct Case {
        const wchar_t* text;
        std::vector<UINT> pages;  // the code pages that hold it
    } cases[] = {
        {L"nul.txt", {936, 932, 1252, 65001}},
        {L"\x8AA0.", {936, 932, 65001}},  // 誠
        {L"\xFF4B", {936, 932, 65001}},   // a full-width k, best fit "k" in 1252
        {L"\x0174x.", {65001}},           // Ŵ
        {L"\xD83D\xDE00", {65001}},       // a character beyond the BMP
        {L"a\xD800", {}},                 // a lone surrogate is nothing any page holds
    };
    const UINT page = GetACP();
    ASSERT_TRUE(page == 936 || page == 932 || page == 1252 || page == 65001) << page;
    for (const Case& c : cases) {
        const bool held = std::find(c.pages.begin(), c.pages.end(), page) != c.pages.end();
        std::string ansi;
        EXPECT_EQ(WideToAnsiExactly(std::wstring(c.text), ansi), held) << page << " " << ansi;
        if (!held) continue;
        std::wstring back;
        EXPECT_TRUE(AnsiToWide(ansi, back));
        EXPECT_EQ(back, c.text);
        if (page == CP_UTF8) {
            char utf8[32] = {};
            WideCharToMultiByte(CP_UTF8, 0, c.text, -1, utf8, sizeof utf8, nullptr, nullptr);
            EXPECT_EQ(ansi, utf8);
        }
    }
}

}  // namespace

// The look-alike of a name (best fit under 1252 and 932, "?" under 936) names
// another entry or none: such a row shows no path, so deleting every row's
// path removes nothing, least of all the twin the look-alike names.
TEST(WideNames, ALookAlikeNeverStandsForTheListedEntry) {
    struct Case {
        const wchar_t* listed;  // read-only, listed by that option
        const wchar_t* twin;    // what its look-alike would name
        const wchar_t* folder;  // made first when the twin sits inside it
    };
    const Case cases[] = {
        {L"\xFF4B\xFF45\xFF45\xFF50.txt", L"keep.txt", nullptr},  // ｋｅｅｐ.txt
        {L"sub\xFF3Ckeep.txt", L"sub\\keep.txt", L"sub"},         // sub＼keep.txt
        {L"z\x00A5w", L"z\\w", L"z"},                             // z¥w
        {L"\x0174x", L"Wx", nullptr},                             // Ŵx
    };
    int tried = 0;
    for (const Case& c : cases) {
        std::string exact;
        if (WideToAnsiExactly(std::wstring(c.listed), exact)) continue;  // this code page holds it
        const std::wstring twinName = c.twin;
        ++tried;
        std::wstring root = TempFolder();
        if (c.folder) CreateDirectoryW((L"\\\\?\\" + root + L"\\" + c.folder).c_str(), nullptr);
        MakeFile(root + L"\\" + twinName);
        MakeFile(root + L"\\" + c.listed, FILE_ATTRIBUTE_READONLY);

        ScanState state;
        RowCollector rows;
        ScanFolder(TheFileSystem(), Narrow(root), kReadOnly, rows, state);
        ASSERT_EQ(rows.rows.size(), 1u);
        EXPECT_EQ(rows.rows[0].path, "");
        DeleteSession session(TheFileSystem());
        for (const ResultRow& row : rows.rows) EXPECT_FALSE(session.DeleteListedPath(row.path));
        EXPECT_TRUE(Exists(root + L"\\" + twinName));
        EXPECT_TRUE(Exists(root + L"\\" + c.listed));
        // The row itself knows its entry: deleting it removes the listed entry, never the twin.
        EXPECT_EQ(rows.rows[0].wideName,
                  std::u16string(c.listed + std::wstring(c.listed).rfind(L'\\') + 1, c.listed + wcslen(c.listed)));
        EXPECT_TRUE(session.Delete(rows.rows[0]).ok) << rows.rows[0].bracketedName;
        EXPECT_FALSE(Exists(root + L"\\" + c.listed));
        EXPECT_TRUE(Exists(root + L"\\" + twinName));
        MakeFile(root + L"\\" + c.listed, FILE_ATTRIBUTE_READONLY);
        // The look-alike typed by hand reaches the twin, if anything, never the listed entry.
        std::string lookAlike;
        WideToAnsiExactly(std::wstring(c.listed), lookAlike);
        DeleteListedPath(TheFileSystem(), Narrow(root) + "\\" + lookAlike);
        EXPECT_TRUE(Exists(root + L"\\" + c.listed));
        RemoveAll(root);
    }
    if (tried == 0) GTEST_SKIP() << "this code page holds every name of the table";
}

// A folder link that Wine shows without a tag is never entered by the walk,
// and never emptied by the deletion of the listed folder that holds it. The
// tree comes from the Linux side (tests/engine/links_fixture.sh).
TEST(Links, ATaglessFolderLinkIsNeitherWalkedNorEmptied) {
    const char* tree = std::getenv("ORVELLE_LINK_TREE");
    const char* target = std::getenv("ORVELLE_LINK_TARGET");
    if (!tree || !target) GTEST_SKIP() << "run through links_fixture.sh";
    std::string root = tree;
    ScanState state;
    RowCollector rows;
    ScanFolder(TheFileSystem(), root, ScanOptions{1, 0, 0, 0}, rows, state);
    std::vector<std::string> names;
    for (const ResultRow& r : rows.rows) names.push_back(r.bracketedName);
    EXPECT_EQ(names, std::vector<std::string>{"[a.]"});  // con behind top\link is not reached

    ASSERT_EQ(rows.rows.size(), 1u);
    // Under Wine the link cannot be removed as itself; the deletion fails and
    // the target keeps what it holds.
    EXPECT_FALSE(DeleteListedPath(TheFileSystem(), rows.rows[0].path));
    for (const std::string& kept :
         {std::string(target) + "\\con", std::string(target) + "\\data.txt", root + "\\top\\plain.txt"})
        EXPECT_NE(GetFileAttributesA(("\\\\?\\" + kept).c_str()), INVALID_FILE_ATTRIBUTES) << kept;
}

// Beside its namesakes in other forms, a malformed name the code page lacks
// is listed and deleted as itself; so is an entry deeper than any path of
// 260 characters reaches.
TEST(WideNames, NamesOutsideTheCodePageAndDeepEntriesAreDeletedAsThemselves) {
    const std::wstring root = TempFolder();
    const std::wstring listed = L"\x0174x.";  // Ŵx.
    // ŵx is Ŵx in another case: one of the two only.
    for (const wchar_t* name : {L"\x0175x", L"Wx.", L"x."}) MakeFile(root + L"\\" + name);
    MakeFile(root + L"\\" + listed);
    std::wstring deep = root;
    while (deep.size() < 320) {
        deep += L"\\folder-of-some-length";
        ASSERT_TRUE(CreateDirectoryW((L"\\\\?\\" + deep).c_str(), nullptr));
    }
    MakeFile(deep + L"\\nul");
    MakeFile(deep + L"\\keep");

    ScanState state;
    RowCollector rows;
    ScanFolder(TheFileSystem(), Narrow(root), ScanOptions{1, 0, 0, 0}, rows, state);
    EXPECT_EQ(state.unsearched, 0);
    std::vector<std::u16string> names;
    for (const ResultRow& row : rows.rows) names.push_back(row.wideName);
    std::sort(names.begin(), names.end());
    std::string exact;
    const bool inPage = WideToAnsiExactly(listed, exact);
    std::vector<std::u16string> expected = {u"Wx.", u"nul", u"x.", u"\u0174x."};
    std::sort(expected.begin(), expected.end());
    EXPECT_EQ(names, expected);

    DeleteSession session(TheFileSystem());
    for (const ResultRow& row : rows.rows) {
        if (row.wideName == u"\u0174x." && !inPage) {
            EXPECT_EQ(row.path, "");
        }
        if (row.wideName == u"\u0174x." || row.wideName == u"nul") {
            EXPECT_TRUE(session.Delete(row).ok);
        }
    }
    EXPECT_FALSE(Exists(root + L"\\" + listed));
    EXPECT_FALSE(Exists(deep + L"\\nul"));
    for (const wchar_t* name : {L"\x0175x", L"Wx.", L"x."}) EXPECT_TRUE(Exists(root + L"\\" + name)) << name;
    EXPECT_TRUE(Exists(deep + L"\\keep"));
    RemoveAll(root);
}

uint64_t FileIdOf(const std::wstring& path) {
    HANDLE h = CreateFileW((L"\\\\?\\" + path).c_str(), FILE_READ_ATTRIBUTES,
                           FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
                           FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    BY_HANDLE_FILE_INFORMATION info = {};
    const bool ok = h != INVALID_HANDLE_VALUE && GetFileInformationByHandle(h, &info);
    if (h != INVALID_HANDLE_VALUE) CloseHandle(h);
    return ok ? (uint64_t{info.nFileIndexHigh} << 32 | info.nFileIndexLow) : 0;
}

std::vector<ResultRow> SearchNames(const std::string& root) {
    ScanState state;
    RowCollector rows;
    ScanFolder(TheFileSystem(), root, ScanOptions{1, 0, 0, 0}, rows, state);
    EXPECT_EQ(state.unsearched, 0) << root;
    return rows.rows;
}

// A file deleted and made again under its name gets the inode just freed, so
// its id, from ext4 under Wine: the row of the old one fails, the newcomer stays.
TEST(WideNames, ANewcomerOnTheFreedIdIsNotTheListedEntry) {
    const std::wstring root = TempFolder();
    const std::wstring nul = root + L"\\nul";
    MakeFile(nul);
    MakeFile(root + L"\\keep");
    std::vector<ResultRow> rows = SearchNames(Narrow(root));
    ASSERT_EQ(rows.size(), 1u);
    const uint64_t listed = rows[0].entry->id;
    ASSERT_EQ(listed, FileIdOf(nul));
    // ext4 hands the inode on at once; a few tries where another process takes it first.
    bool sameId = false;
    for (int attempt = 0; attempt < 20 && !sameId; ++attempt) {
        ASSERT_TRUE(DeleteFileW((L"\\\\?\\" + nul).c_str()));
        MakeFile(nul);
        sameId = FileIdOf(nul) == listed;
    }
    if (!sameId) std::printf("note: the new file got an id of its own here\n");
    DeleteSession session(TheFileSystem());
    const Outcome outcome = session.Delete(rows[0]);
    EXPECT_FALSE(outcome.ok);
    EXPECT_EQ(outcome.error, fs_error::kNotTheListedEntry);
    EXPECT_TRUE(Exists(nul));
    EXPECT_TRUE(Exists(root + L"\\keep"));
    RemoveAll(root);
}

// Read-only is the file's: a listed hard link, or a listed folder holding
// one, goes, and the file's unlisted name keeps the bit.
TEST(WideNames, AHardLinkGoesAndTheFilesOtherNameStaysReadOnly) {
    const std::wstring root = TempFolder();
    ASSERT_TRUE(CreateDirectoryW((L"\\\\?\\" + root + L"\\out").c_str(), nullptr));
    ASSERT_TRUE(CreateDirectoryW((L"\\\\?\\" + root + L"\\aux").c_str(), nullptr));
    const std::wstring keep = root + L"\\out\\keep";
    MakeFile(keep);
    ASSERT_TRUE(CreateHardLinkW((L"\\\\?\\" + root + L"\\nul").c_str(), (L"\\\\?\\" + keep).c_str(), nullptr));
    ASSERT_TRUE(CreateHardLinkW((L"\\\\?\\" + root + L"\\aux\\inner").c_str(), (L"\\\\?\\" + keep).c_str(), nullptr));
    ASSERT_TRUE(SetFileAttributesW((L"\\\\?\\" + keep).c_str(), FILE_ATTRIBUTE_READONLY));
    ASSERT_NE(GetFileAttributesW((L"\\\\?\\" + root + L"\\nul").c_str()) & FILE_ATTRIBUTE_READONLY, 0u);
    std::vector<ResultRow> rows = SearchNames(Narrow(root));
    ASSERT_EQ(rows.size(), 2u);
    DeleteSession session(TheFileSystem());
    for (const ResultRow& row : rows) {
        EXPECT_TRUE(session.Delete(row).ok) << row.path;
        EXPECT_FALSE(Exists(root + L"\\" + std::wstring(row.wideName.begin(), row.wideName.end())));
        const DWORD attributes = GetFileAttributesW((L"\\\\?\\" + keep).c_str());
        ASSERT_NE(attributes, INVALID_FILE_ATTRIBUTES) << row.path;
        EXPECT_NE(attributes & FILE_ATTRIBUTE_READONLY, 0u) << row.path;
    }
    SetFileAttributesW((L"\\\\?\\" + keep).c_str(), FILE_ATTRIBUTE_NORMAL);
    RemoveAll(root);
}

// A share (a folder of the Linux side reached as \\server\share through
// the prefix's dosdevices/unc) lists what the same folder lists by its
// drive path, names Win32 refuses included, and its rows delete; a name
// Wine cannot open is reported as such, not as gone. The tree comes from
// tests/engine/links_fixture.sh.
TEST(Links, AShareListsWhatItsFolderListsAndItsRowsDelete) {
    const char* share = std::getenv("ORVELLE_SHARE");
    const char* tree = std::getenv("ORVELLE_SHARE_TREE");
    if (!share || !tree) GTEST_SKIP() << "run through links_fixture.sh";
    auto shape = [](const std::vector<ResultRow>& rows, const std::string& root) {
        std::vector<std::string> out;
        for (const ResultRow& r : rows) {
            std::string line = std::string(r.wideName.begin(), r.wideName.end()) + "|" + r.type + "|" + r.attribute;
            line += "|" + (r.path.size() > root.size() ? r.path.substr(root.size()) : "<" + r.path + ">");
            out.push_back(line);
        }
        std::sort(out.begin(), out.end());
        return out;
    };
    const std::vector<ResultRow> byDrive = SearchNames(tree);
    const std::vector<ResultRow> byShare = SearchNames(share);
    EXPECT_EQ(shape(byShare, share), shape(byDrive, tree));
    EXPECT_GE(byShare.size(), 6u);
    std::vector<ResultRow> byVerbatim = SearchNames("\\\\?\\UNC\\" + std::string(share + 2));
    EXPECT_EQ(byVerbatim.size(), byShare.size());

    DeleteSession session(TheFileSystem());
    for (const ResultRow& row : byShare) {
        const Outcome outcome = session.Delete(row);
        const bool refusedName = row.wideName.find_first_of(u":|") != std::u16string::npos;
        if (refusedName) {
            EXPECT_FALSE(outcome.ok) << row.bracketedName;
            EXPECT_EQ(outcome.error, fs_error::kInvalidName) << row.bracketedName;
        } else {
            EXPECT_TRUE(outcome.ok) << row.bracketedName << " error " << outcome.error;
        }
    }
    std::vector<ResultRow> left = SearchNames(tree);
    for (const ResultRow& row : left)
        EXPECT_NE(row.wideName.find_first_of(u":|"), std::u16string::npos) << row.bracketedName;
    EXPECT_NE(GetFileAttributesA((std::string(tree) + "\\keep").c_str()), INVALID_FILE_ATTRIBUTES);
}

// A Linux symbolic link to a file lists as a plain file and opens as its
// target: neither deleting nor renaming the listed link reaches the target
// outside the root, and nothing of it moves into the root.
TEST(Links, AFileLinkThatListsAsAFileIsRefused) {
    const char* tree = std::getenv("ORVELLE_FILE_LINK_TREE");
    const char* target = std::getenv("ORVELLE_LINK_TARGET");
    if (!tree || !target) GTEST_SKIP() << "run through links_fixture.sh";
    std::vector<ResultRow> rows = SearchNames(tree);
    ASSERT_EQ(rows.size(), 3u);  // nul, keep. (a link to keep beside it), and aux that holds another link
    EntrySession session(TheFileSystem());
    for (const ResultRow& row : rows) {
        const Outcome deleted = session.Delete(*row.entry);
        EXPECT_FALSE(deleted.ok) << row.bracketedName;
        EXPECT_EQ(deleted.error, fs_error::kReparseRefused) << row.bracketedName;
        if (row.type != kTypeFile) continue;
        WideName now;
        const Outcome renamed = session.Rename(*row.entry, now);
        EXPECT_FALSE(renamed.ok) << row.bracketedName;
        EXPECT_EQ(renamed.error, fs_error::kReparseRefused) << row.bracketedName;
    }
    EXPECT_EQ(SearchNames(tree).size(), 3u);
    for (const char* name : {"\\nul_", "\\keep_"})
        EXPECT_EQ(GetFileAttributesA((std::string(tree) + name).c_str()), INVALID_FILE_ATTRIBUTES) << name;
    EXPECT_NE(GetFileAttributesA((std::string(tree) + "\\keep").c_str()), INVALID_FILE_ATTRIBUTES);
    EXPECT_NE(GetFileAttributesA((std::string(target) + "\\data.txt").c_str()), INVALID_FILE_ATTRIBUTES);
}

// A 32-bit process on 64-bit Windows is shown SysWOW64 where it asks for
// System32 unless it turns the redirection off: the walk of System32 would list
// SysWOW64's entries under System32's name, and a deletion would remove the twin.
TEST(Wow64, System32IsSystem32ForTheWalkAndTheDeletion) {
    BOOL wow64 = FALSE;
    if (!IsWow64Process(GetCurrentProcess(), &wow64) || !wow64)
        GTEST_SKIP() << "not a 32-bit process on 64-bit Windows";
    wchar_t windows[MAX_PATH] = {};
    ASSERT_GT(GetWindowsDirectoryW(windows, MAX_PATH), 0u);
    const std::wstring name = L"orvelle-wow64-" + std::to_wstring(GetCurrentProcessId());
    const std::wstring system32 = std::wstring(windows) + L"\\System32\\" + name;
    const std::wstring syswow64 = std::wstring(windows) + L"\\SysWOW64\\" + name;
    PVOID old = nullptr;
    ASSERT_TRUE(Wow64DisableWow64FsRedirection(&old));
    bool made = CreateDirectoryW((L"\\\\?\\" + system32).c_str(), nullptr) &&
                CreateDirectoryW((L"\\\\?\\" + syswow64).c_str(), nullptr);
    if (made) {
        MakeFile(system32 + L"\\only64.");
        MakeFile(syswow64 + L"\\only32.");
    }
    Wow64RevertWow64FsRedirection(old);
    ASSERT_TRUE(made);

    ScanState state;
    RowCollector rows;
    ScanFolder(TheFileSystem(), Narrow(system32), ScanOptions{1, 0, 0, 0}, rows, state);
    std::vector<std::string> names;
    for (const ResultRow& row : rows.rows) names.push_back(row.bracketedName);
    EXPECT_EQ(names, std::vector<std::string>{"[only64.]"});
    {
        DeleteSession session(TheFileSystem());  // closed before the folder goes
        for (const ResultRow& row : rows.rows) EXPECT_TRUE(session.Delete(row).ok);
    }
    // The folder by its path as a row shows it (stored names, as a deletion takes them).
    ASSERT_EQ(rows.rows.size(), 1u);
    const std::string folder = rows.rows[0].path.substr(0, rows.rows[0].path.rfind('\\'));
    EXPECT_TRUE(DeleteListedPath(TheFileSystem(), folder)) << folder;

    ASSERT_TRUE(Wow64DisableWow64FsRedirection(&old));
    const bool system32Gone = !Exists(system32);
    const bool twinStays = Exists(syswow64 + L"\\only32.");
    RemoveAll(syswow64);
    RemoveAll(system32);
    Wow64RevertWow64FsRedirection(old);
    EXPECT_TRUE(system32Gone);
    EXPECT_TRUE(twinStays);
}
