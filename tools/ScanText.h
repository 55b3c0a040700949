// What the console front end decides and writes, as pure functions: its
// arguments, its messages in two languages, the JSON records and the exit code.
//
// Two encodings meet here. Messages are UTF-8 (u8 literals, whatever the
// compiler's execution charset); the caller turns them into UTF-16 for a
// console or the ANSI code page for a file. Paths and names are the rows' own
// bytes in the ANSI code page and are never mixed into a message string.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "Names.h"
#include "ExactText.h"

enum class Language { English, Chinese };

struct ScanCommand {
    ScanOptions options{1, 0, 0, 0};
    bool remove = false;
    bool rename = false;  // --rename: rescue instead of delete (remove is set too: the same question and tally)
    bool yes = false;
    bool json = false;
    bool quiet = false;         // counters and timings only, for the benchmarks
    bool nulSeparated = false;  // -0: each path and a NUL, nothing else
    bool utf8 = false;          // text rows and messages in UTF-8 when not on a console
    bool plainFails = false;    // --plain-fails: only entries whose plain path does not reach them here
    bool help = false;
    bool version = false;
    std::vector<std::string> exclude;  // --exclude GLOB, as typed (ANSI)
    int maxDepth = -1;                 // --max-depth N; -1: no bound
    bool hasFrom = false;              // --from FILE: the paths to list instead of a search
    std::string from;                  // FILE as typed (ANSI), "-" for stdin
    std::vector<std::string> folders;
};

enum class UsageError {
    None,
    UnknownOption,
    NoFolder,
    NothingToFind,
    YesWithoutDelete,
    QuietWithJson,
    NulSeparatedWithOthers,
    Pattern,
    BadDepth,      // --max-depth without a number of 0 or more
    MissingValue,  // --exclude or --max-depth as the last argument
    DeleteWithRename,
    FromWithSearch,  // --from with a FOLDER, --exclude or --max-depth
    FromStdinAsks,   // --from - with --delete or --rename but without --yes: stdin holds the list
};

// Reads the arguments after the program name. "--" ends the options, so a
// folder may begin with "-". Help, then the version, win over every other
// complaint. A folder holding "*" or "?" (past a "\\?\" prefix) is refused:
// the search takes folders, never patterns.
UsageError ParseScanCommand(const std::vector<std::string>& args, ScanCommand& command, std::string& offending);

// Exit codes, as --help and the README list them.
constexpr int kExitClean = 0;   // nothing listed, or everything listed was deleted
constexpr int kExitListed = 1;  // entries listed and left in place
constexpr int kExitDeleteFailed = 2;
constexpr int kExitUsage = 3;           // bad usage, or a folder that does not exist
constexpr int kExitSearchedInPart = 4;  // some folder could not be searched
constexpr int kExitInterrupted = 130;   // Ctrl+C stopped the search or the deletion

struct DeleteTally {
    bool asked = false;      // --delete with rows to delete
    bool confirmed = false;  // --yes, or the question answered yes
    int deleted = 0;
    int failed = 0;
    int kept = 0;             // confirmed but not tried: Ctrl+C stopped the deletion
    bool readerGone = false;  // the stop came from the output's reader leaving, not from Ctrl+C
    bool renaming = false;    // --rename: "deleted" counts the entries renamed
    // A stop came while the confirmed deletion ran (a folder under way then fails).
    bool interrupted = false;
};

// When several apply, the first of 130, 2, 4, 1, 0 (3 is decided before any search).
int ExitCodeFor(int rowsListed, const DeleteTally& tally, int unsearched = 0, bool interrupted = false);

// "y" or "yes" in any letter case, blanks around it allowed; anything else,
// an empty line included, is no.
bool IsYesAnswer(std::string_view line);

struct ScanCounts {
    int foldersSearched = 0;
    int filesSearched = 0;
    int malformedFolders = 0;
    int malformedFiles = 0;
    int unsearched = 0;
    int unresolved = 0;  // --from: paths that are not there exactly, or lines without one
    uint32_t elapsedMs = 0;
    bool stopped = false;     // Ctrl+C ended the walk early
    bool readerGone = false;  // the reader of stdout went away: the walk stopped as for Ctrl+C
};

// --- messages (UTF-8, lines end in "\n") ----------------------------------

std::string HelpText(Language language);
std::string UsageErrorText(Language language, UsageError error);  // "--help" follows the offending argument
std::string SearchSummaryText(Language language, const ScanCounts& counts);
std::string DeletePromptText(Language language, int rows);  // no line break: the answer follows
std::string RenamePromptText(Language language, int rows);
std::string DeleteSummaryText(Language language, const DeleteTally& tally);
std::string ProgressText(Language language, int foldersSearched, int filesSearched);
// The parts around a folder argument in an error line.
std::string FolderMissingText(Language language);
std::string NotAFolderText(Language language);
std::string UnconvertibleArgumentText(Language language, int argumentNumber);  // a whole line
std::string VersionText(const char* version);

// --- rows -----------------------------------------------------------------

const char* TypeWord(bool isFolder);  // "folder" / "file"
const char* OutcomeWord(int outcome);

// kOutcomeKept: confirmed, but a stop came first; kOutcomeDeclined: the
// question was answered no. Both read "kept".
enum RowOutcome { kOutcomeListed, kOutcomeDeleted, kOutcomeFailed, kOutcomeKept, kOutcomeDeclined, kOutcomeRenamed };

// Why an entry ended as it did, in short English whatever the language, for
// scripts: error is the system's code of a failed deletion, 0 otherwise.
std::string OutcomeReason(int outcome, uint32_t error);

// path TAB [name] TAB folder|file TAB attribute, in the rows' own bytes.
std::string RowLine(const std::string& path, const std::string& name, bool isFolder, const std::string& attribute);
// The row's four fields, then TAB outcome TAB error TAB reason: what became of
// it. The console puts the row's fifth field (WithWhyListed) before the outcome.
std::string OutcomeLine(const std::string& path, const std::string& name, bool isFolder, const std::string& attribute,
                        int outcome, uint32_t error);

// Why a row is listed, in short English words joined by commas
// ("trailing-dot,hidden"): the ListedReason bits in their order.
std::string ListedForWords(uint32_t listedFor);
// A row's record with why it is listed and this system's verdict on its plain
// path: JSON members "listed_for" (the words above) and "plain_path_works"
// (true|false) appended; or a text field, the words, ";" and plain-path-works
// or plain-path-fails, put before the last `after` fields (the three of an
// outcome line), so that it is always the fifth.
std::string WithWhyListed(std::string record, uint32_t listedFor, bool plainPathWorks, bool json, int after = 0);

// --- the paths of --from -------------------------------------------------

// One path of a --from list, as read: in the ANSI code page, or UTF-8 (a JSON
// row's path, or a line of a list read with --utf8 or after a UTF-8 BOM).
// A JSON string and a quoted text field give WTF-8: UTF-8 that may also hold
// a lone surrogate, as names on disk may (see Utf16OfWtf8).
struct ListedPath {
    std::string text;  // empty: the line holds no path (a row whose path could not be shown)
    bool utf8 = false;
    bool wtf8 = false;        // text came from an escaped form: decode with Utf16OfWtf8
    bool unreadable = false;  // the line cannot be read back for certain (a broken quoted field)
    int line = 0;             // 1-based line, or item of a NUL-separated list
    // What the entry was when its row was written (a JSON row of this
    // program): the path is acted on only while that is what is there.
    bool hasIdentity = false;
    uint64_t id = 0;
    int64_t created = 0;
    int64_t written = 0;
    uint64_t size = 0;
};

// Reads a --from list: one path a line (CR LF or LF), or NUL-separated when it
// holds a NUL (the -0 form). A line beginning with "{" is a JSON object of an
// earlier --json run: a "row" record gives its "path", other records (outcome,
// summary) are skipped. A text row of an earlier run gives its first field
// (a path never holds a tab). Empty lines are skipped.
std::vector<ListedPath> ReadPathList(std::string_view content, bool utf8Lines);

// The string members of one flat JSON object; false when the line is not one.
// Strings come out as WTF-8: "\\uD800" alone is kept as that unit.
bool ReadJsonStrings(std::string_view line, std::vector<std::pair<std::string, std::string>>& members);

// The outcome of a --from path that could not be listed: the path as read, its
// last component as the name, "-" for the type, no attribute and an empty
// fifth field.
std::string UnresolvedLine(const std::string& path, const std::string& name, uint32_t error);
std::string JsonUnresolved(std::string_view pathUtf8, std::string_view nameUtf8, uint32_t error);
std::string FromSummaryText(Language language, int pathsRead, int rowsListed, int unresolved);
std::string NoPathOnLineText(Language language, int line);    // a whole line
std::string UnreadableLineText(Language language, int line);  // a whole line
std::string ListUnreadableText(Language language);            // the file's name follows

// --- the folders to search ------------------------------------------------

// The components of an absolute folder as they decide what it is: without a
// "\\?\" or "\\.\" prefix, empty components dropped, and (but in the "\\?\"
// form, which the system takes as it stands) "." and ".." folded. A trailing
// dot or blank stays: "a." and "a" are different folders.
std::vector<std::string> FolderComponents(std::string_view absolute);

// Which folders to search, by index: a folder given twice is searched once
// (the first), and one inside another given folder not at all. keys are
// FolderComponents made case-blind by the caller.
std::vector<size_t> FoldersToSearch(const std::vector<std::vector<std::string>>& keys);

// --- JSON (one object a line; text arguments already UTF-8) ---------------

// A JSON string literal with its quotes. A lone surrogate (WTF-8) is written
// as its \\uXXXX escape, which ReadJsonStrings reads back to the same unit;
// other bytes that are no UTF-8 become U+FFFD, so the output always parses.
std::string JsonString(std::string_view utf8);
// A listed entry: record "row", outcome "listed".
std::string JsonRow(std::string_view pathUtf8, std::string_view nameUtf8, bool isFolder, std::string_view attribute,
                    int outcome);
// What became of it after --delete: record "outcome", the row's fields, then error and reason.
std::string JsonOutcome(std::string_view pathUtf8, std::string_view nameUtf8, bool isFolder, std::string_view attribute,
                        int outcome, uint32_t error);
// A record with the entry's identity added before its closing brace:
// "file_id", "created", "written" and "size", each 16 hex digits.
std::string WithIdentity(std::string record, uint64_t id, int64_t created, int64_t written, uint64_t size);
std::string JsonSummary(const ScanCounts& counts, int rowsListed, const DeleteTally& tally, int exitCode);

// The counters line of --quiet, which the benchmark script reads.
std::string QuietWalkLine(int rowsListed, const ScanCounts& counts, double walkMs);
std::string QuietDeleteLine(int deleted, int failed, double deleteMs);
