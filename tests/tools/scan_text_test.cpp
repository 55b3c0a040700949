// The console front end's decisions and texts: arguments, exit codes, the
// answer to its question, the JSON it writes and the summary lines.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "ScanText.h"

namespace {

TEST(ScanCommandLine, OptionsFoldersAndMisuse) {
    struct Case {
        std::vector<std::string> args;
        UsageError error;
        std::vector<std::string> folders;
    } cases[] = {
        {{"D:\\a"}, UsageError::None, {"D:\\a"}},
        {{"--hidden", "D:\\a", "E:\\"}, UsageError::None, {"D:\\a", "E:\\"}},
        {{"--delete", "--yes", "x"}, UsageError::None, {"x"}},
        {{"--no-names", "--system", "x"}, UsageError::None, {"x"}},
        // After "--" everything is a folder, also what looks like an option.
        {{"--", "-odd", "--delete"}, UsageError::None, {"-odd", "--delete"}},
        {{"-"}, UsageError::None, {"-"}},
        {{}, UsageError::NoFolder, {}},
        {{"--delete"}, UsageError::NoFolder, {}},
        {{"--bogus", "x"}, UsageError::UnknownOption, {"x"}},
        {{"--no-names", "x"}, UsageError::NothingToFind, {"x"}},
        {{"--yes", "x"}, UsageError::YesWithoutDelete, {"x"}},
        {{"--quiet", "--json", "x"}, UsageError::QuietWithJson, {"x"}},
        {{"-0", "--utf8", "x"}, UsageError::None, {"x"}},
        {{"--utf8", "--json", "x"}, UsageError::None, {"x"}},
        // -0 prints bare paths: nothing else may share its stream.
        {{"-0", "--json", "x"}, UsageError::NulSeparatedWithOthers, {"x"}},
        {{"-0", "--quiet", "x"}, UsageError::NulSeparatedWithOthers, {"x"}},
        {{"-0", "--delete", "--yes", "x"}, UsageError::NulSeparatedWithOthers, {"x"}},
        // A wildcard is no folder; the "?" of a verbatim prefix is no wildcard.
        {{"dev\\co*"}, UsageError::Pattern, {"dev\\co*"}},
        {{"Z:*"}, UsageError::Pattern, {"Z:*"}},
        {{"D:\\a", "D:\\b?c"}, UsageError::Pattern, {"D:\\a", "D:\\b?c"}},
        {{"--", "*"}, UsageError::Pattern, {"*"}},
        {{"\\\\?\\D:\\a"}, UsageError::None, {"\\\\?\\D:\\a"}},
        {{"\\\\?\\D:\\a?"}, UsageError::Pattern, {"\\\\?\\D:\\a?"}},
        {{"\\\\.\\D:\\a?"}, UsageError::Pattern, {"\\\\.\\D:\\a?"}},
        // The value after --exclude is a glob, never a folder or a pattern refused.
        {{"--exclude", "node_*", "x"}, UsageError::None, {"x"}},
        {{"--max-depth", "0", "x"}, UsageError::None, {"x"}},
        {{"--max-depth", "-1", "x"}, UsageError::BadDepth, {"x"}},
        {{"--max-depth", "two", "x"}, UsageError::BadDepth, {"x"}},
        {{"x", "--exclude"}, UsageError::MissingValue, {"x"}},
        {{"--rename", "--yes", "x"}, UsageError::None, {"x"}},
        {{"--rename", "--delete", "x"}, UsageError::DeleteWithRename, {"x"}},
        // --from reads its paths from a list: nothing to search beside it.
        {{"--from", "list.txt"}, UsageError::None, {}},
        {{"--from", "-", "--delete", "--yes"}, UsageError::None, {}},
        {{"--from", "list.txt", "--rename"}, UsageError::None, {}},
        {{"--from", "list.txt", "x"}, UsageError::FromWithSearch, {"x"}},
        {{"--from", "list.txt", "--max-depth", "1"}, UsageError::FromWithSearch, {}},
        {{"--from", "list.txt", "--exclude", ".git"}, UsageError::FromWithSearch, {}},
        {{"--from"}, UsageError::MissingValue, {}},
        // The answer to the question would come from the list's own stream.
        {{"--from", "-", "--delete"}, UsageError::FromStdinAsks, {}},
        {{"--from", "-", "--rename"}, UsageError::FromStdinAsks, {}},
    };
    for (const Case& c : cases) {
        ScanCommand command;
        std::string offending;
        std::string label;
        for (const std::string& a : c.args) label += a + " ";
        EXPECT_EQ(ParseScanCommand(c.args, command, offending), c.error) << label;
        EXPECT_EQ(command.folders, c.folders) << label;
    }

    ScanCommand command;
    std::string offending;
    ASSERT_EQ(ParseScanCommand({"--no-names", "--readonly", "--hidden", "--delete", "--json", "f"}, command, offending),
              UsageError::None);
    EXPECT_EQ(command.options.malformedNames, 0);
    EXPECT_EQ(command.options.readOnly, 1);
    EXPECT_EQ(command.options.hidden, 1);
    EXPECT_EQ(command.options.system, 0);
    EXPECT_TRUE(command.remove && command.json);
    EXPECT_FALSE(command.yes);

    // The first unknown option is named; help wins over any complaint.
    EXPECT_EQ(ParseScanCommand({"--x", "--y", "f"}, command, offending), UsageError::UnknownOption);
    EXPECT_EQ(offending, "--x");
    for (const char* help : {"-h", "--help", "/?"}) {
        EXPECT_EQ(ParseScanCommand({"--bogus", help}, command, offending), UsageError::None) << help;
        EXPECT_TRUE(command.help) << help;
    }
    // The version needs no folder and wins over a complaint too.
    EXPECT_EQ(ParseScanCommand({"--version"}, command, offending), UsageError::None);
    EXPECT_TRUE(command.version);
    EXPECT_EQ(ParseScanCommand({"--bogus", "--version", "a*"}, command, offending), UsageError::None);
    EXPECT_TRUE(command.version);
    EXPECT_EQ(ParseScanCommand({"ok", "dev\\co*", "x?"}, command, offending), UsageError::Pattern);
    EXPECT_EQ(offending, "dev\\co*");
    EXPECT_EQ(VersionText("1.3.0.0"), "OrvelleScan 1.3.0.0\n");
    ASSERT_EQ(
        ParseScanCommand({"--exclude", ".git", "--exclude", "*.tmp", "--max-depth", "3", "f"}, command, offending),
        UsageError::None);
    EXPECT_EQ(command.exclude, (std::vector<std::string>{".git", "*.tmp"}));
    EXPECT_EQ(command.maxDepth, 3);
    EXPECT_FALSE(command.plainFails);
    ASSERT_EQ(ParseScanCommand({"--plain-fails", "--delete", "f"}, command, offending), UsageError::None);
    EXPECT_TRUE(command.plainFails && command.remove);
}

// The --from list in each form it may come in: lines, a NUL-separated list,
// text rows and JSON records of an earlier run.
TEST(ScanFromList, EveryFormGivesItsPaths) {
    struct Expected {
        std::string text;
        bool utf8;
        int line;
    };
    struct Case {
        const char* what;
        std::string content;
        bool utf8Lines;
        std::vector<Expected> paths;
    } cases[] = {
        {"CR LF lines, blanks kept, empty lines skipped",
         "D:\\a.\r\n\r\nD:\\trail \nD:\\nul",
         false,
         {{"D:\\a.", false, 1}, {"D:\\trail ", false, 3}, {"D:\\nul", false, 4}}},
        {"--utf8", "D:\\x\n", true, {{"D:\\x", true, 1}}},
        {"a UTF-8 BOM",
         "\xEF\xBB\xBF"
         "D:\\\xE8\xAA\xA0\n",
         false,
         {{"D:\\\xE8\xAA\xA0", true, 1}}},
        {"-0 output", std::string("D:\\a\nb\0D:\\c\0", 12), false, {{"D:\\a\nb", false, 1}, {"D:\\c", false, 2}}},
        {"text rows and outcomes: the first field",
         "D:\\nul\t[nul]\tfile\t-\nD:\\a.\t[a.]\tfile\t-\tkept\t0\tnot confirmed\n\t[\xA4]\tfile\t-\n",
         false,
         {{"D:\\nul", false, 1}, {"D:\\a.", false, 2}, {"", false, 3}}},
        {"JSON rows: the path of each row record, escapes read",
         "{\"record\":\"row\",\"path\":\"D:\\\\a.\",\"name\":\"a.\",\"type\":\"file\"}\n"
         "{\"record\":\"outcome\",\"path\":\"D:\\\\a.\",\"error\":0}\n"
         "{\"record\":\"row\",\"path\":\"D:\\\\\\u8aa0\\ud83d\\ude00 \\\"q\\\"\"}\n"
         "{\"record\":\"summary\",\"rows\":2,\"stopped\":false}\n",
         false,
         {{"D:\\a.", true, 1}, {"D:\\\xE8\xAA\xA0\xF0\x9F\x98\x80 \"q\"", true, 3}}},
        {"a broken JSON line holds no path",
         "{\"record\":\"row\",\"path\":\"D:\\\\a\n{\"path\":1}\n",
         false,
         {{"", true, 1}, {"", true, 2}}},
    };
    for (const Case& c : cases) {
        const std::vector<ListedPath> paths = ReadPathList(c.content, c.utf8Lines);
        ASSERT_EQ(paths.size(), c.paths.size()) << c.what;
        for (size_t i = 0; i < paths.size(); ++i) {
            EXPECT_EQ(paths[i].text, c.paths[i].text) << c.what << " " << i;
            EXPECT_EQ(paths[i].utf8, c.paths[i].utf8) << c.what << " " << i;
            EXPECT_EQ(paths[i].line, c.paths[i].line) << c.what << " " << i;
        }
    }
    // What a path that is not there becomes: the row's fields, "-" for the
    // unknown type, then the outcome.
    EXPECT_EQ(UnresolvedLine("D:\\gone.", "gone.", 2), "D:\\gone.\t[gone.]\t-\t\t\tfailed\t2\tno longer there\n");
    EXPECT_EQ(JsonUnresolved("D:\\gone.", "gone.", 3),
              "{\"record\":\"outcome\",\"path\":\"D:\\\\gone.\",\"name\":\"gone.\",\"type\":\"-\",\"attributes\":\"\","
              "\"outcome\":\"failed\",\"error\":3,\"reason\":\"no longer there\"}\n");
}

TEST(ScanExitCode, EveryOutcome) {
    auto tally = [](bool asked, bool confirmed, int deleted, int failed, int kept) {
        DeleteTally t;
        t.asked = asked;
        t.confirmed = confirmed;
        t.deleted = deleted;
        t.failed = failed;
        t.kept = kept;
        return t;
    };
    struct Case {
        const char* what;
        int rows;
        DeleteTally tally;
        int code;
    } cases[] = {
        {"nothing found", 0, tally(false, false, 0, 0, 0), kExitClean},
        {"rows, no --delete", 3, tally(false, false, 0, 0, 0), kExitListed},
        {"question answered no", 3, tally(true, false, 0, 0, 0), kExitListed},
        {"all deleted", 3, tally(true, true, 3, 0, 0), kExitClean},
        {"one failed", 3, tally(true, true, 2, 1, 0), kExitDeleteFailed},
        {"all failed", 3, tally(true, true, 0, 3, 0), kExitDeleteFailed},
        {"Ctrl+C left some", 3, tally(true, true, 1, 0, 2), kExitDeleteFailed},
    };
    for (const Case& c : cases) EXPECT_EQ(ExitCodeFor(c.rows, c.tally), c.code) << c.what;

    // A search that saw only part of the tree is never clean, and a stop says so above all.
    struct Incomplete {
        const char* what;
        int rows;
        DeleteTally tally;
        int unsearched;
        bool interrupted;
        int code;
    } incomplete[] = {
        {"in part, nothing found", 0, tally(false, false, 0, 0, 0), 2, false, kExitSearchedInPart},
        {"in part, rows left", 3, tally(false, false, 0, 0, 0), 1, false, kExitSearchedInPart},
        {"in part, all deleted", 3, tally(true, true, 3, 0, 0), 1, false, kExitSearchedInPart},
        {"in part, one failed", 3, tally(true, true, 2, 1, 0), 1, false, kExitDeleteFailed},
        {"Ctrl+C in the search", 0, tally(false, false, 0, 0, 0), 0, true, kExitInterrupted},
        {"Ctrl+C in the deletion", 3, tally(true, true, 1, 0, 2), 4, true, kExitInterrupted},
    };
    for (const Incomplete& c : incomplete)
        EXPECT_EQ(ExitCodeFor(c.rows, c.tally, c.unsearched, c.interrupted), c.code) << c.what;
}

TEST(ScanPrompt, OnlyAnExplicitYesDeletes) {
    for (const char* yes : {"y", "Y", "yes", "YES", " y\r", "yes\r\n", "\tYes "}) EXPECT_TRUE(IsYesAnswer(yes)) << yes;
    for (const char* no : {"", "\n", "n", "no", "N", "ye", "yess", "y y", "yes please", "1", u8"是"})
        EXPECT_FALSE(IsYesAnswer(no)) << no;
}

TEST(ScanJson, StringsEscapedAndAlwaysValidUtf8) {
    struct Case {
        std::string in;
        std::string out;
    } cases[] = {
        {"", "\"\""},
        {"C:\\a\\b", "\"C:\\\\a\\\\b\""},
        {"say \"hi\"", "\"say \\\"hi\\\"\""},
        {"tab\there\nline\r", "\"tab\\there\\nline\\r\""},
        {std::string("\x01\x1f", 2), "\"\\u0001\\u001f\""},
        {std::string("nul\0x", 5), "\"nul\\u0000x\""},
        {u8"誠.txt", u8"\"誠.txt\""},
        {u8"\U0001F600", u8"\"\U0001F600\""},
        // Bytes that are no UTF-8: a stray trail byte, a cut sequence, an
        // overlong "/", a surrogate, and GBK bytes that reached us unconverted.
        {"a\x80z", u8"\"a\uFFFDz\""},
        {"\xE8\xAA", u8"\"\uFFFD\uFFFD\""},
        {"\xC0\xAF", u8"\"\uFFFD\uFFFD\""},
        // A lone surrogate of a name (WTF-8) is written as its escape.
        {"\xED\xA0\x80", "\"\\ud800\""},
        {"\xD5\x5C", u8"\"\uFFFD\\\\\""},
    };
    for (const Case& c : cases) EXPECT_EQ(JsonString(c.in), c.out) << c.in;
}

TEST(ScanJson, RowAndSummaryRecords) {
    EXPECT_EQ(JsonRow(u8"D:\\x\\誠\\con", "con", false, "-", kOutcomeListed),
              u8"{\"record\":\"row\",\"path\":\"D:\\\\x\\\\誠\\\\con\",\"name\":\"con\",\"type\":\"file\","
              u8"\"attributes\":\"-\",\"outcome\":\"listed\"}\n");
    EXPECT_NE(JsonRow("", "a.", true, "H", kOutcomeFailed)
                  .find("\"type\":\"folder\",\"attributes\":\"H\","
                        "\"outcome\":\"failed\""),
              std::string::npos);

    ScanCounts counts;
    counts.foldersSearched = 12;
    counts.filesSearched = 345;
    counts.malformedFolders = 1;
    counts.malformedFiles = 2;
    counts.unsearched = 4;
    counts.unresolved = 5;
    counts.elapsedMs = 3700;
    counts.stopped = true;
    DeleteTally tally;
    tally.asked = tally.confirmed = true;
    tally.deleted = 1;
    tally.failed = 1;
    tally.kept = 1;
    EXPECT_EQ(
        JsonSummary(counts, 3, tally, 2),
        "{\"record\":\"summary\",\"folders_searched\":12,\"files_searched\":345,\"malformed_folders\":1,"
        "\"malformed_files\":2,\"unsearched\":4,\"unresolved\":5,\"rows\":3,\"deleted\":1,\"failed\":1,\"kept\":1,"
        "\"stopped\":true,\"elapsed_ms\":3700,\"exit_code\":2}\n");
}

TEST(ScanRows, TheRowsOwnBytesPassUnchanged) {
    // 誠 in GBK ends in 0x5C, the byte of "\".
    const std::string path = "D:\\\xD5\x5C\\prn.doc";
    EXPECT_EQ(RowLine(path, "prn.doc", false, "-"), path + "\t[prn.doc]\tfile\t-\n");
    EXPECT_EQ(RowLine("", "a. ", true, "H"), "\t[a. ]\tfolder\tH\n");
}

// Why a row is listed, as words: a JSON member beside the verdict, and the
// fifth field of a text row, also of an outcome line whose path holds a tab.
TEST(ScanRows, WhyListedAndThePlainPathVerdict) {
    EXPECT_EQ(ListedForWords(0), "");
    EXPECT_EQ(ListedForWords(kListedTrailingDot | kListedHidden), "trailing-dot,hidden");
    EXPECT_EQ(ListedForWords(0xFF),
              "trailing-dot,trailing-blank,device-name,device-name-with-extension,refused-character,read-only,"
              "system,hidden");

    EXPECT_EQ(
        WithWhyListed(RowLine("D:\\x\\nul .txt", "nul .txt", false, "-"), kListedDeviceNameWithExtension, false, false),
        "D:\\x\\nul .txt\t[nul .txt]\tfile\t-\tdevice-name-with-extension;plain-path-fails\n");
    EXPECT_EQ(WithWhyListed(OutcomeLine("D:\\a\tb\\COM0", "COM0", false, "-", kOutcomeDeleted, 0), kListedDeviceName,
                            true, false, 3),
              "D:\\a\tb\\COM0\t[COM0]\tfile\t-\tdevice-name;plain-path-works\tdeleted\t0\tdeleted\n");

    const std::string json = WithWhyListed(JsonRow("D:\\con.txt", "con.txt", false, "-", kOutcomeListed),
                                           kListedDeviceNameWithExtension, false, true);
    EXPECT_EQ(json,
              "{\"record\":\"row\",\"path\":\"D:\\\\con.txt\",\"name\":\"con.txt\",\"type\":\"file\","
              "\"attributes\":\"-\",\"outcome\":\"listed\",\"listed_for\":\"device-name-with-extension\","
              "\"plain_path_works\":false}\n");
    // Rows of this kind still come back through --from, by their path alone.
    std::vector<std::pair<std::string, std::string>> members;
    EXPECT_TRUE(ReadJsonStrings(json.substr(0, json.size() - 1), members));
    const std::string text =
        WithWhyListed(RowLine("D:\\a.", "a.", false, "H"), kListedTrailingDot | kListedHidden, false, false);
    const std::vector<ListedPath> paths = ReadPathList(json + text, false);
    ASSERT_EQ(paths.size(), 2u);
    EXPECT_EQ(paths[0].text, "D:\\con.txt");
    EXPECT_EQ(paths[1].text, "D:\\a.");
}

// After --delete each entry's outcome is its row again, with three fields more.
TEST(ScanRows, OutcomesInTheRowFormat) {
    const std::string path = "D:\\\xD5\x5C\\prn.doc";
    struct Case {
        int outcome;
        uint32_t error;
        const char* tail;
    } cases[] = {
        {kOutcomeDeleted, 0, "\tdeleted\t0\tdeleted\n"},
        {kOutcomeFailed, 5, "\tfailed\t5\taccess denied\n"},
        {kOutcomeFailed, 32, "\tfailed\t32\tin use by another program\n"},
        {kOutcomeFailed, 2, "\tfailed\t2\tno longer there\n"},
        {kOutcomeFailed, 145, "\tfailed\t145\tfolder not empty\n"},
        {kOutcomeFailed, 1006, "\tfailed\t1006\tnot the entry that was listed\n"},
        {kOutcomeFailed, 4321, "\tfailed\t4321\tsystem error 4321\n"},
        {kOutcomeKept, 0, "\tkept\t0\tstopped before its turn\n"},
        {kOutcomeDeclined, 0, "\tkept\t0\tnot confirmed\n"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(OutcomeLine(path, "prn.doc", false, "-", c.outcome, c.error), path + "\t[prn.doc]\tfile\t-" + c.tail)
            << c.tail;

    EXPECT_EQ(JsonOutcome(u8"D:\\誠\\con", "con", true, "H", kOutcomeFailed, 32),
              u8"{\"record\":\"outcome\",\"path\":\"D:\\\\誠\\\\con\",\"name\":\"con\",\"type\":\"folder\","
              u8"\"attributes\":\"H\",\"outcome\":\"failed\",\"error\":32,\"reason\":\"in use by another program\"}\n");
    EXPECT_EQ(JsonOutcome("p", "n", false, "-", kOutcomeDeleted, 0),
              "{\"record\":\"outcome\",\"path\":\"p\",\"name\":\"n\",\"type\":\"file\",\"attributes\":\"-\","
              "\"outcome\":\"deleted\",\"error\":0,\"reason\":\"deleted\"}\n");
}

// Folder keys as the tool makes them case-blind: ASCII is enough here.
std::vector<std::string> Key(const std::string& folder) {
    std::vector<std::string> key = FolderComponents(folder);
    for (std::string& part : key)
        for (char& c : part)
            if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
    return key;
}

TEST(ScanFolders, EachFolderSearchedOnce) {
    using Parts = std::vector<std::string>;
    EXPECT_EQ(FolderComponents("D:\\a\\\\b\\"), (Parts{"D:", "a", "b"}));
    EXPECT_EQ(FolderComponents("D:\\a\\.\\b\\..\\c"), (Parts{"D:", "a", "c"}));
    EXPECT_EQ(FolderComponents("D:\\..\\.."), (Parts{"D:"}));
    // Trailing dots and blanks are names; the verbatim form folds nothing.
    EXPECT_EQ(FolderComponents("D:\\a.\\b \\c.."), (Parts{"D:", "a.", "b ", "c.."}));
    EXPECT_EQ(FolderComponents("\\\\?\\D:\\a\\..\\b."), (Parts{"D:", "a", "..", "b."}));
    EXPECT_EQ(FolderComponents("\\\\.\\D:\\a\\..\\b"), (Parts{"D:", "b"}));
    EXPECT_EQ(FolderComponents("\\\\srv\\share\\x"), (Parts{"\\\\", "srv", "share", "x"}));
    EXPECT_EQ(FolderComponents("\\\\?\\UNC\\srv\\share\\x"), (Parts{"\\\\", "srv", "share", "x"}));
    EXPECT_EQ(FolderComponents("\\\\srv\\share\\..\\.."), (Parts{"\\\\", "srv", "share"}));
    // 誠's second byte is "\": no separator.
    EXPECT_EQ(FolderComponents("D:\\\xD5\x5C\\x"), (Parts{"D:", "\xD5\x5C", "x"}));

    struct Case {
        std::vector<std::string> folders;
        std::vector<size_t> searched;
    } cases[] = {
        {{"D:\\a", "E:\\a"}, {0, 1}},
        {{"D:\\a", "D:\\a"}, {0}},
        {{"D:\\a", "d:\\A\\"}, {0}},
        {{"D:\\a", "\\\\?\\D:\\A"}, {0}},
        {{"D:\\a\\b", "D:\\a"}, {1}},
        {{"D:\\a", "D:\\x\\..\\a\\b", "D:\\a\\c\\d"}, {0}},
        {{"D:\\", "D:\\a", "E:\\a"}, {0, 2}},
        // A trailing dot or blank makes another folder, never the same or a parent.
        {{"D:\\a", "D:\\a."}, {0, 1}},
        {{"D:\\a.\\b", "D:\\a"}, {0, 1}},
        {{"D:\\a ", "D:\\a \\b"}, {0}},
        {{"D:\\ab", "D:\\a"}, {0, 1}},
        {{"D:\\a\\b", "D:\\a\\b", "D:\\a"}, {2}},
        {{"\\\\srv\\share", "\\\\srv\\share\\x", "srv\\share\\x"}, {0, 2}},
    };
    for (const Case& c : cases) {
        std::vector<std::vector<std::string>> keys;
        std::string label;
        for (const std::string& folder : c.folders) {
            keys.push_back(Key(folder));
            label += folder + " ";
        }
        EXPECT_EQ(FoldersToSearch(keys), c.searched) << label;
    }
}

TEST(ScanSummary, TheWindowsCountsInBothLanguages) {
    ScanCounts counts;
    counts.foldersSearched = 12;
    counts.filesSearched = 345;
    counts.malformedFolders = 1;
    counts.malformedFiles = 2;
    counts.unsearched = 3;
    counts.elapsedMs = 3700;
    EXPECT_EQ(SearchSummaryText(Language::Chinese, counts),
              u8"搜索完成，共搜索了12个目录和345个文件\n找到了畸形目录: 1 个\n找到了畸形文件: 2 个\n"
              u8"未能搜索: 3 个（拒绝访问或路径过长）\n共花时: 3 秒\n");
    EXPECT_EQ(SearchSummaryText(Language::English, counts),
              "Searched 12 folders and 345 files\nMalformed folders found: 1\nMalformed files found: 2\n"
              "Could not be searched: 3 (access denied or path too long)\nTime: 3 s\n");

    // The window's time rule: milliseconds below one second, else whole seconds.
    struct Case {
        uint32_t ms;
        const char* chinese;
        const char* english;
    } times[] = {
        {0, u8"共花时: 0 毫秒\n", "Time: 0 ms\n"},
        {999, u8"共花时: 999 毫秒\n", "Time: 999 ms\n"},
        {1000, u8"共花时: 1 秒\n", "Time: 1 s\n"},
        {1999, u8"共花时: 1 秒\n", "Time: 1 s\n"},
        {0xFFFFFFFFu, u8"共花时: 4294967 秒\n", "Time: 4294967 s\n"},
    };
    for (const auto& t : times) {
        counts.elapsedMs = t.ms;
        for (Language language : {Language::Chinese, Language::English}) {
            std::string text = SearchSummaryText(language, counts);
            std::string last = language == Language::Chinese ? t.chinese : t.english;
            ASSERT_GE(text.size(), last.size());
            EXPECT_EQ(text.substr(text.size() - last.size()), last) << t.ms;
        }
    }

    counts.stopped = true;
    EXPECT_EQ(
        SearchSummaryText(Language::Chinese, counts).rfind(u8"已按 Ctrl+C 停止，共搜索了12个目录和345个文件\n", 0), 0u);
    EXPECT_EQ(SearchSummaryText(Language::English, counts).rfind("Stopped by Ctrl+C after searching 12 folders", 0),
              0u);
    counts.readerGone = true;
    EXPECT_EQ(SearchSummaryText(Language::English, counts)
                  .rfind("Stopped: the output's reader has gone, after searching 12 folders", 0),
              0u);
}

TEST(ScanSummary, DeletionOutcomes) {
    DeleteTally tally;
    tally.asked = true;
    EXPECT_EQ(DeleteSummaryText(Language::Chinese, tally), u8"未删除任何项目。\n");
    EXPECT_EQ(DeleteSummaryText(Language::English, tally), "Nothing was deleted.\n");
    tally.confirmed = true;
    tally.deleted = 2;
    tally.failed = 1;
    EXPECT_EQ(DeleteSummaryText(Language::Chinese, tally), u8"删除完毕，删除成功 2 个，删除失败 1 个。\n");
    // A stop is said first, and never after a "finished" line.
    tally.kept = 4;
    EXPECT_EQ(DeleteSummaryText(Language::Chinese, tally),
              u8"已按 Ctrl+C 停止，删除成功 2 个，删除失败 1 个，未删除 4 个。\n");
    EXPECT_EQ(DeleteSummaryText(Language::English, tally),
              "Stopped by Ctrl+C; deleted: 2, failed: 1, not deleted: 4.\n");
    tally.readerGone = true;
    EXPECT_EQ(DeleteSummaryText(Language::English, tally),
              "Stopped: the output's reader has gone; deleted: 2, failed: 1, not deleted: 4.\n");
    // Stopped inside the last folder: nothing left untried, and still no "finished".
    tally.kept = 0;
    tally.readerGone = false;
    tally.interrupted = true;
    EXPECT_EQ(DeleteSummaryText(Language::Chinese, tally),
              u8"已按 Ctrl+C 停止，删除成功 2 个，删除失败 1 个，未删除 0 个。\n");
    tally.renaming = true;
    EXPECT_EQ(DeleteSummaryText(Language::English, tally), "Stopped; renamed: 2, failed: 1, not renamed: 0.\n");
}

TEST(ScanUsage, YesNamesBothCommandsItGoesWith) {
    EXPECT_EQ(UsageErrorText(Language::English, UsageError::YesWithoutDelete)
                  .find("--yes only goes with --delete or --rename"),
              0u);
    EXPECT_NE(UsageErrorText(Language::Chinese, UsageError::YesWithoutDelete)
                  .find(u8"--yes 只能与 --delete 或 --rename 合用"),
              std::string::npos);
}

TEST(ScanHelp, NamesEveryOptionAndExitCode) {
    for (Language language : {Language::Chinese, Language::English}) {
        const std::string help = HelpText(language);
        for (const char* option : {"--hidden",
                                   "--readonly",
                                   "--system",
                                   "--no-names",
                                   "--delete",
                                   "--rename",
                                   "--from",
                                   "--exclude",
                                   "--max-depth",
                                   "--yes",
                                   "--json",
                                   "--quiet",
                                   "--help",
                                   "-0 ",
                                   "--utf8",
                                   "--version",
                                   "  0  ",
                                   "  1  ",
                                   "  2  ",
                                   "  3  ",
                                   "  4  ",
                                   "  130  ",
                                   "OrvelleScan D:\\projects",
                                   "--delete --yes --json"})
            EXPECT_NE(help.find(option), std::string::npos) << option;
    }
}

}  // namespace

// A row that leaves the program comes back naming the same entry: a name with
// a TAB or a line break never splits its row, and a name no UTF-8 carries (a
// lone surrogate) is never read back as a neighbour with U+FFFD in its place.
TEST(RowsComeBack, TextAndJsonRowsReadBackToTheSameUnits) {
    const std::u16string names[] = {
        u"keep\tx", u"keep\nx.",      u"k\xD800", u"k\xDC00z", u"\"q",
        u"a\\b",    u"\xD83D\xDE00.", u"誠.",     u"k\xFFFD",  std::u16string(u"k\xD800\xD800", 3),
    };
    for (const std::u16string& name : names) {
        const std::u16string path = u"D:\\F\\" + name;
        const std::string label = Wtf8Of(path);
        // Only what would split the row or has no UTF-8 needs the quoted form;
        // a quote inside a path (not at its start) does not.
        const bool plain =
            name == u"\xD83D\xDE00." || name == u"誠." || name == u"k\xFFFD" || name == u"\"q" || name == u"a\\b";
        EXPECT_EQ(NeedsQuoting(path), !plain) << label;
        EXPECT_EQ(NeedsQuoting(name), !plain || name == u"\"q") << label;

        const std::string text = RowLine(QuotedField(path), QuotedField(name), false, "-");
        const std::string json = WithIdentity(JsonRow(Wtf8Of(path), Wtf8Of(name), false, "-", kOutcomeListed), 0x1234,
                                              -5, 0x7fffffffffffffff, 42);
        for (const std::string& content : {text, json, text + "\r\n" + json}) {
            const std::vector<ListedPath> read = ReadPathList(content, false);
            ASSERT_FALSE(read.empty()) << label;
            for (const ListedPath& item : read) {
                ASSERT_FALSE(item.unreadable) << label;
                ASSERT_TRUE(item.wtf8) << label;
                std::u16string back;
                ASSERT_TRUE(Utf16OfWtf8(item.text, back)) << label;
                EXPECT_EQ(back, path) << label;
            }
        }
        const ListedPath fromJson = ReadPathList(json, false).front();
        ASSERT_TRUE(fromJson.hasIdentity) << label;
        EXPECT_EQ(fromJson.id, 0x1234u);
        EXPECT_EQ(fromJson.created, -5);
        EXPECT_EQ(fromJson.written, 0x7fffffffffffffff);
        EXPECT_EQ(fromJson.size, 42u);
    }
    // Two names that a lossy form would make one stay two.
    std::u16string a, b;
    ASSERT_TRUE(Utf16OfWtf8(ReadPathList(QuotedField(u"D:\\k\xD800"), false).front().text, a));
    ASSERT_TRUE(Utf16OfWtf8(ReadPathList(QuotedField(u"D:\\k\xFFFD"), false).front().text, b));
    EXPECT_NE(a, b);
}

TEST(RowsComeBack, LinesThatCannotBeReadBackForCertainFailAlone) {
    const char* lines[] = {
        "\"D:\\\\a\tx",                                                                // a quoted field without its end
        "\"D:\\\\a\"x\t[a]",                                                           // something after it but a tab
        "\"D:\\\\a\\q\"",                                                              // an escape JSON lacks
        "{\"record\":\"row\",\"path\":\"D:\\\\a\",\"file_id\":\"00000000000000ff\"}",  // part of an identity
        "{\"record\":\"row\",\"path\":\"D:\\\\a\"",                                    // a broken JSON row
    };
    for (const char* line : lines) {
        const std::vector<ListedPath> read = ReadPathList(std::string(line) + "\nD:\\b\n", false);
        ASSERT_EQ(read.size(), 2u) << line;
        EXPECT_TRUE(read[0].unreadable || read[0].text.empty()) << line;
        EXPECT_EQ(read[1].text, "D:\\b") << line;
        EXPECT_FALSE(read[1].unreadable) << line;
    }
    // Bytes that are neither UTF-8 nor a surrogate are refused, not guessed.
    std::u16string out;
    EXPECT_FALSE(Utf16OfWtf8("a\x80", out));
    EXPECT_FALSE(Utf16OfWtf8("\xED\xA0\x80\xED\xB0\x80", out));  // a pair in halves
}

// Each reason says what happened: a deletion the system refused for the name
// is not "no legal name", an entry that is there is not "no longer there".
TEST(OutcomeReasons, ReadTrueForEveryCode) {
    const struct {
        uint32_t error;
        const char* reason;
    } cases[] = {
        {2, "no longer there"},
        {123, "the system cannot open this name"},
        {161, "no legal name to give it"},
        {1006, "not the entry that was listed"},
        {1920, "a link: neither followed nor deleted through its target"},
        {1223, "stopped while its folder was emptied"},
        {4321, "system error 4321"},
    };
    for (const auto& c : cases) EXPECT_EQ(OutcomeReason(kOutcomeFailed, c.error), c.reason) << c.error;
}
