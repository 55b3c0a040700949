// The name rules as one table: which names are listed and why, and whether
// the plain path of such an entry reaches it under the path rules of Windows
// 10 and of Windows 11 (the simulated volume) and on the system the tests run
// on (real files; under Wine, whose path rules are those of Windows 10).
#include <gtest/gtest.h>

#include <map>
#include <string>
#include <vector>

#include "Delete.h"
#include "Entry.h"
#include "Names.h"
#include "RowCollector.h"
#include "Scan.h"
#include "SimulatedVolume.h"

#ifdef _WIN32
#include <windows.h>

#include "ExactAnsi.h"
#include "Win32FileSystem.h"
#endif

namespace {

constexpr uint32_t kDot = kListedTrailingDot;
constexpr uint32_t kBlank = kListedTrailingBlank;
constexpr uint32_t kDevice = kListedDeviceName;
constexpr uint32_t kDeviceExt = kListedDeviceNameWithExtension;
constexpr uint32_t kRefused = kListedRefusedCharacter;

struct RuleCase {
    const char16_t* name;
    uint32_t listedFor;  // with the name rules alone; 0: not listed
    bool plain10;        // its plain path reaches it under Windows 10 rules
    bool plain11;        // ... under Windows 11 rules
    bool onDisk;         // a file of that name can be made (no ":" or refused character)
};

// clang-format off
const RuleCase kRuleCases[] = {
    // The project's own rules: a trailing dot or blank, a device name alone
    // or with an extension. Windows 11 opens a device name with an extension
    // as an ordinary file; "nul" alone it still takes for the device.
    {u"nul", kDevice, false, false, true},
    {u"a.", kDot, false, false, true},
    {u"a ", kBlank, false, false, true},
    {u"con.txt", kDeviceExt, false, true, true},
    {u"nul.tar.gz", kDeviceExt, false, true, true},
    {u"aux.h", kDeviceExt, false, true, true},
    {u"Com3", kDevice, false, true, true},
    // Blanks between the device word and the extension: Windows up to 10
    // drops them and opens the device (under Wine GetFullPathNameW gives \\.\nul).
    {u"nul .txt", kDeviceExt, false, true, true},
    {u"prn .log", kDeviceExt, false, true, true},
    {u"COM1  .txt", kDeviceExt, false, true, true},
    // COM0 and LPT0 stay listed, but every path call opens them as files;
    // git's is_valid_win32_path tests take com0.c as a valid name, Go's
    // filepath IsLocal tests for Windows take com0 as a local name.
    {u"COM0", kDevice, true, true, true},
    {u"LPT0", kDevice, true, true, true},
    {u"com0.c", kDeviceExt, true, true, true},
    {u"lpt0.log", kDeviceExt, true, true, true},
    // Look-alikes are ordinary names.
    {u"nulx .txt", 0, true, true, true},
    {u"nu l.txt", 0, true, true, true},
    {u"con-.txt", 0, true, true, true},
    {u"console", 0, true, true, true},
    {u"com10", 0, true, true, true},
    // CPython's ntpath.isreserved tests: reserved are a trailing dot or blank,
    // control characters, * ? " < > : |, the device names with conin$,
    // conout$ and com/lpt with a superscript digit, and a device name followed
    // by blanks, by an extension or by ":"; not reserved are bar.com9 and bar.lpt9.
    {u"foo.", kDot, false, false, true},
    {u"foo ", kBlank, false, false, true},
    {u"\ffoo", kRefused, false, false, false},
    {u"foo*bar", kRefused, false, false, false},
    {u"foo?bar", kRefused, false, false, false},
    {u"foo\"bar", kRefused, false, false, false},
    {u"foo<bar", kRefused, false, false, false},
    {u"foo>bar", kRefused, false, false, false},
    {u"foo:bar", kRefused, false, false, false},
    {u"foo|bar", kRefused, false, false, false},
    {u"conin$", kDevice, false, true, true},
    {u"conout$", kDevice, false, true, true},
    {u"com\u00B9", kDevice, false, true, true},
    {u"lpt\u00B3", kDevice, false, true, true},
    {u"NUL.txt", kDeviceExt, false, true, true},
    {u"PRN  ", kBlank | kDevice, false, false, true},
    {u"AUX  .txt", kDeviceExt, false, true, true},
    {u"COM1:bar", kDevice | kRefused, false, false, false},
    {u"LPT9   :bar", kDevice | kRefused, false, false, false},
    {u"bar.com9", 0, true, true, true},
    {u"bar.lpt9", 0, true, true, true},
    // git's is_valid_win32_path tests: valid are comm, conout.c, com0.c and
    // lptN; invalid are "win32 . .", colon:test, AUX.c, "conOut$  .xyz",
    // lpt8, com9.c, lpt*, Nul and PRN.
    {u"comm", 0, true, true, true},
    {u"conout.c", 0, true, true, true},
    {u"lptN", 0, true, true, true},
    {u"win32 . .", kDot, false, false, true},
    {u"colon:test", kRefused, false, false, false},
    {u"AUX.c", kDeviceExt, false, true, true},
    {u"conOut$  .xyz", kDeviceExt, false, true, true},
    {u"lpt8", kDevice, false, true, true},
    {u"com9.c", kDeviceExt, false, true, true},
    {u"lpt*", kRefused, false, false, false},
    {u"Nul", kDevice, false, false, false},  // "nul" is there already, and folders ignore case
    {u"PRN.", kDot | kDevice, false, false, true},
    // Go's filepath IsLocal tests for Windows: "nul : a" and "com¹ : a" are
    // device names (blanks, then a stream), dollar$ is no special name.
    {u"nul : a", kDevice | kRefused, false, false, false},
    {u"com\u00B9 : a", kDevice | kRefused, false, false, false},
    {u"dollar$", 0, true, true, true},
    // The stream of a device, alone or before an extension.
    {u"CON:", kDevice | kRefused, false, false, false},
    {u"nul:.txt", kDeviceExt | kRefused, false, false, false},
};
// clang-format on

std::string Shown(const std::u16string& name) {
    std::string out;
    for (char16_t c : name) {
        if (c >= 0x20 && c < 0x7F)
            out += static_cast<char>(c);
        else
            out += "\\u" + std::to_string(static_cast<unsigned>(c));
    }
    return "'" + out + "'";
}

const ScanOptions kNames{1, 0, 0, 0};

TEST(NameRules, TheClassifierListsEachNameForItsReasons) {
    for (const RuleCase& c : kRuleCases) {
        const char* text = nullptr;
        EXPECT_EQ(IsMalformedEntry(c.name, 0, kNames, text), c.listedFor != 0) << Shown(c.name);
        EXPECT_EQ(ListedReasons(c.name, 0, kNames), c.listedFor) << Shown(c.name);
        // A legal name for it is one that no rule lists.
        const WideName legal = LegalNameFor(c.name);
        EXPECT_FALSE(IsMalformedEntry(legal, 0, kNames, text)) << Shown(c.name) << " -> " << Shown(legal);
        if (c.listedFor == 0) EXPECT_EQ(legal, c.name);
    }
    // Attribute reasons come beside the name's, for the options that ask for them.
    const uint32_t all = fs_attr::kReadOnly | fs_attr::kHidden | fs_attr::kSystem;
    EXPECT_EQ(ListedReasons(u"nul", all, ScanOptions{1, 1, 0, 1}), kDevice | kListedHidden | kListedSystem);
    EXPECT_EQ(ListedReasons(u"plain", all, ScanOptions{1, 0, 1, 0}), kListedReadOnly);
    EXPECT_EQ(ListedReasons(u"nul", all, ScanOptions{0, 0, 0, 0}), 0u);
}

// The rows of a search on the simulated volume, by stored name.
std::map<std::u16string, ResultRow> RowsByName(SimulatedVolume& volume, bool onlyPlainPathFails, size_t& count) {
    ScanState state;
    state.onlyPlainPathFails = onlyPlainPathFails;
    RowCollector rows;
    ScanFolder(volume, "D:\\t", ScanOptions{1, 1, 0, 0}, rows, state);
    std::map<std::u16string, ResultRow> byName;
    for (const ResultRow& row : rows.rows) byName[row.wideName] = row;
    EXPECT_EQ(state.rowsListed, static_cast<int>(rows.rows.size()));
    count = rows.rows.size();
    return byName;
}

bool IsAscii(const char16_t* name) {
    for (; *name; ++name)
        if (*name >= 0x80) return false;
    return true;
}

std::string Ascii(const char16_t* name) {
    std::string out;
    for (; *name; ++name) out += static_cast<char>(*name);
    return out;
}

// Each row carries its reasons and the verdict of the rules the volume
// models; asked for the failing ones only, the search leaves out what the
// plain path reaches and enters such a folder.
TEST(NameRules, RowsSayWhyAndWhatThisWindowsMakesOfTheirPlainPath) {
    for (auto rules : {SimulatedVolume::PlainPathRules::kWindows10, SimulatedVolume::PlainPathRules::kWindows11}) {
        const bool ten = rules == SimulatedVolume::PlainPathRules::kWindows10;
        SimulatedVolume volume(1252);
        volume.AddDrive('D');
        volume.plainPathRules = rules;
        volume.AddFolder("D:\\t");
        for (const RuleCase& c : kRuleCases)
            if (c.onDisk && IsAscii(c.name)) volume.AddFile("D:\\t\\" + Ascii(c.name));
        volume.AddFolder("D:\\t\\plain", fs_attr::kHidden);
        volume.AddFile("D:\\t\\plain\\con.txt");

        size_t count = 0;
        std::map<std::u16string, ResultRow> rows = RowsByName(volume, false, count);
        for (const RuleCase& c : kRuleCases) {
            if (!c.onDisk || !IsAscii(c.name)) continue;
            auto row = rows.find(c.name);
            ASSERT_EQ(row != rows.end(), c.listedFor != 0) << Shown(c.name);
            if (row == rows.end()) continue;
            EXPECT_EQ(row->second.listedFor, c.listedFor) << Shown(c.name);
            EXPECT_EQ(row->second.plainPathWorks, ten ? c.plain10 : c.plain11) << Shown(c.name) << " ten " << ten;
        }
        ASSERT_EQ(rows.count(u"plain"), 1u);
        EXPECT_EQ(rows[u"plain"].listedFor, kListedHidden);
        EXPECT_TRUE(rows[u"plain"].plainPathWorks);
        EXPECT_EQ(rows.count(u"con.txt"), 1u);  // the one in t, not in the listed folder

        std::map<std::u16string, ResultRow> failing = RowsByName(volume, true, count);
        for (const auto& row : failing) EXPECT_FALSE(row.second.plainPathWorks) << Shown(row.first);
        EXPECT_EQ(failing.count(u"plain"), 0u);
        size_t expected = 0;
        for (const RuleCase& c : kRuleCases)
            if (c.onDisk && IsAscii(c.name) && c.listedFor != 0 && !(ten ? c.plain10 : c.plain11)) ++expected;
        // Under Windows 10 rules plain\con.txt, found once plain is entered, is one of them.
        EXPECT_EQ(count, expected + (ten ? 1 : 0));
    }
}

#ifdef _WIN32

std::wstring Wide(const char16_t* name) { return std::wstring(name, name + std::char_traits<char16_t>::length(name)); }

std::wstring TempFolder() {
    wchar_t temp[MAX_PATH];
    GetTempPathW(MAX_PATH, temp);
    static int serial = 0;
    for (;;) {
        std::wstring path = std::wstring(temp) + L"orvelle-rules-" + std::to_wstring(GetCurrentProcessId()) + L"-" +
                            std::to_wstring(++serial);
        if (CreateDirectoryW(path.c_str(), nullptr)) return path;
    }
}

// Wine, unlike Windows 10, takes no superscript digit for a port: there the
// plain path of com¹ reaches the file.
bool WineDiffersFromWindows10(const std::u16string& name) {
    return name.size() == 4 && (name[3] == 0xB9 || name[3] == 0xB2 || name[3] == 0xB3);
}

bool Exists(const std::wstring& path) {
    return GetFileAttributesW((L"\\\\?\\" + path).c_str()) != INVALID_FILE_ATTRIBUTES;
}

// The table on real files: made under their exact names, listed or not, the
// plain-path verdict this system gives (Wine: the rules of Windows 10), and
// each listed one deleted as itself while the look-alikes stay.
TEST(NameRules, RealFilesAreListedJudgedAndDeletedAsThemselves) {
    const std::wstring root = TempFolder();
    for (const RuleCase& c : kRuleCases) {
        if (!c.onDisk) continue;
        HANDLE h = CreateFileW((L"\\\\?\\" + root + L"\\" + Wide(c.name)).c_str(), GENERIC_WRITE, 0, nullptr,
                               CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
        ASSERT_NE(h, INVALID_HANDLE_VALUE) << Shown(c.name) << " " << GetLastError();
        CloseHandle(h);
    }
    HANDLE h = CreateFileW((L"\\\\?\\" + root + L"\\plain").c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                           FILE_ATTRIBUTE_HIDDEN, nullptr);
    ASSERT_NE(h, INVALID_HANDLE_VALUE);
    CloseHandle(h);

    std::string narrowRoot;
    ASSERT_TRUE(WideToAnsiExactly(root, narrowRoot));
    ScanState state;
    RowCollector rows;
    ScanFolder(TheFileSystem(), narrowRoot, ScanOptions{1, 1, 0, 0}, rows, state);
    std::map<std::u16string, ResultRow> byName;
    for (const ResultRow& row : rows.rows) byName[row.wideName] = row;
    for (const RuleCase& c : kRuleCases) {
        if (!c.onDisk) continue;
        auto row = byName.find(c.name);
        ASSERT_EQ(row != byName.end(), c.listedFor != 0) << Shown(c.name);
        if (row == byName.end()) continue;
        EXPECT_EQ(row->second.listedFor, c.listedFor) << Shown(c.name);
        EXPECT_EQ(row->second.plainPathWorks, c.plain10 != WineDiffersFromWindows10(c.name)) << Shown(c.name);
    }
    ASSERT_EQ(byName.count(u"plain"), 1u);
    EXPECT_EQ(byName[u"plain"].listedFor, kListedHidden);
    EXPECT_TRUE(byName[u"plain"].plainPathWorks);

    DeleteSession session(TheFileSystem());
    for (const ResultRow& row : rows.rows) {
        EXPECT_TRUE(session.Delete(row).ok) << Shown(row.wideName);
        EXPECT_FALSE(Exists(root + L"\\" + std::wstring(row.wideName.begin(), row.wideName.end())))
            << Shown(row.wideName);
    }
    for (const RuleCase& c : kRuleCases) {
        if (!c.onDisk || c.listedFor != 0) continue;
        EXPECT_TRUE(Exists(root + L"\\" + Wide(c.name))) << Shown(c.name);
        DeleteFileW((L"\\\\?\\" + root + L"\\" + Wide(c.name)).c_str());
    }
    EXPECT_TRUE(RemoveDirectoryW(root.c_str())) << GetLastError();
}

#endif

}  // namespace
