#include "ScanText.h"

#include <cstdlib>

#include <algorithm>
#include <cstdio>

#include "FileSystem.h"
#include "PathText.h"

namespace {

template <typename... Args>
std::string Format(const char* format, Args... args) {
    char buffer[512];
    std::snprintf(buffer, sizeof buffer, format, args...);
    return buffer;
}

std::string Pick(Language language, const char* english, const char* chinese) {
    return language == Language::Chinese ? chinese : english;
}

std::string ElapsedText(Language language, uint32_t ms) {
    // The window's rule: below a second in milliseconds, else whole seconds.
    if (ms < 1000) return Format(language == Language::Chinese ? u8"共花时: %u 毫秒" : "Time: %u ms", ms);
    return Format(language == Language::Chinese ? u8"共花时: %u 秒" : "Time: %u s", ms / 1000);
}

}  // namespace

UsageError ParseScanCommand(const std::vector<std::string>& args, ScanCommand& command, std::string& offending) {
    command = ScanCommand();
    UsageError error = UsageError::None;
    bool optionsEnded = false;
    for (size_t i = 0; i < args.size(); ++i) {
        const std::string& arg = args[i];
        if (!optionsEnded && arg == "/?") {
            command.help = true;
            continue;
        }
        if (optionsEnded || arg.empty() || arg[0] != '-' || arg == "-") {
            command.folders.push_back(arg);
            continue;
        }
        if (arg == "--")
            optionsEnded = true;
        else if (arg == "-h" || arg == "--help")
            command.help = true;
        else if (arg == "--hidden")
            command.options.hidden = 1;
        else if (arg == "--readonly")
            command.options.readOnly = 1;
        else if (arg == "--system")
            command.options.system = 1;
        else if (arg == "--no-names")
            command.options.malformedNames = 0;
        else if (arg == "--delete")
            command.remove = true;
        else if (arg == "--rename")
            command.rename = true;
        else if (arg == "--yes" || arg == "-y")
            command.yes = true;
        else if (arg == "--json")
            command.json = true;
        else if (arg == "--quiet")
            command.quiet = true;
        else if (arg == "-0")
            command.nulSeparated = true;
        else if (arg == "--utf8")
            command.utf8 = true;
        else if (arg == "--plain-fails")
            command.plainFails = true;
        else if (arg == "--version")
            command.version = true;
        else if (arg == "--exclude" || arg == "--max-depth" || arg == "--from") {
            if (i + 1 >= args.size()) {
                if (error == UsageError::None) {
                    error = UsageError::MissingValue;
                    offending = arg;
                }
                continue;
            }
            const std::string& value = args[++i];
            if (arg == "--from") {
                command.hasFrom = true;
                command.from = value;
                continue;
            }
            if (arg == "--exclude") {
                command.exclude.push_back(value);
                continue;
            }
            char* end = nullptr;
            const long depth = std::strtol(value.c_str(), &end, 10);
            if (value.empty() || *end != '\0' || depth < 0 || depth > 100000) {
                if (error == UsageError::None) {
                    error = UsageError::BadDepth;
                    offending = value;
                }
                continue;
            }
            command.maxDepth = static_cast<int>(depth);
        } else if (error == UsageError::None) {
            error = UsageError::UnknownOption;
            offending = arg;
        }
    }
    if (command.help || command.version) return UsageError::None;
    if (error != UsageError::None) return error;
    if (command.hasFrom && (!command.folders.empty() || !command.exclude.empty() || command.maxDepth >= 0))
        return UsageError::FromWithSearch;
    if (command.folders.empty() && !command.hasFrom) return UsageError::NoFolder;
    // "*" and "?" are never part of a name; "\\?\" starts a verbatim path.
    for (const std::string& folder : command.folders) {
        const size_t from = folder.compare(0, 4, "\\\\?\\") == 0 ? 4 : 0;
        if (folder.find_first_of("*?", from) != std::string::npos) {
            offending = folder;
            return UsageError::Pattern;
        }
    }
    const ScanOptions& o = command.options;
    if (!o.malformedNames && !o.hidden && !o.readOnly && !o.system) return UsageError::NothingToFind;
    if (command.rename && command.remove) return UsageError::DeleteWithRename;
    // A script that says --yes but forgot --delete expects a deletion that would not happen.
    if (command.yes && !command.remove && !command.rename) return UsageError::YesWithoutDelete;
    // Renaming asks, acts and reports as deleting does.
    if (command.rename) command.remove = true;
    // The answer would be read from the same stream as the list.
    if (command.hasFrom && command.from == "-" && command.remove && !command.yes) return UsageError::FromStdinAsks;
    if (command.quiet && command.json) return UsageError::QuietWithJson;
    // -0 feeds paths to another program; outcomes, JSON and counters have no place in it.
    if (command.nulSeparated && (command.json || command.quiet || command.remove))
        return UsageError::NulSeparatedWithOthers;
    return UsageError::None;
}

int ExitCodeFor(int rowsListed, const DeleteTally& tally, int unsearched, bool interrupted) {
    // An incomplete answer is never "clean": a stop, then a failure, then a
    // search that saw only part of the tree outrank what was found.
    if (interrupted) return kExitInterrupted;
    if (tally.confirmed && (tally.failed > 0 || tally.kept > 0)) return kExitDeleteFailed;
    if (unsearched > 0) return kExitSearchedInPart;
    if (!tally.asked) return rowsListed > 0 ? kExitListed : kExitClean;
    if (!tally.confirmed) return kExitListed;
    return kExitClean;
}

bool IsYesAnswer(std::string_view line) {
    size_t begin = line.find_first_not_of(" \t\r\n");
    if (begin == std::string_view::npos) return false;
    size_t end = line.find_last_not_of(" \t\r\n");
    std::string word(line.substr(begin, end - begin + 1));
    for (char& c : word)
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    return word == "y" || word == "yes";
}

std::string HelpText(Language language) {
    if (language == Language::Chinese)
        return u8"用法: OrvelleScan [选项] 文件夹...\n"
               u8"\n"
               u8"像 Orvelle 窗口的搜索一样搜索每个文件夹，列出名称不合 Windows 规则的文件和\n"
               u8"文件夹（以点或空格结尾，或是 nul、com1.txt 这样的设备名），再给出统计。\n"
               u8"标准输出只有结果: 每个列出的项目一行，找到即输出，各栏以 Tab 分隔: 路径、\n"
               u8"[名称]、folder 或 file、列出的原因（- 名称畸形，R 只读，S 系统，H 隐藏），\n"
               u8"以及详细原因和本机判断，例如 device-name-with-extension;plain-path-fails\n"
               u8"（原因见 --json；plain-path-works: 本机用普通路径可以访问，plain-path-fails:\n"
               u8"不能）。\n"
               u8"列出的文件夹不再向下搜索。统计、询问和删除的汇总在标准错误输出。\n"
               u8"同一文件夹给出两次，或在另一个给出的文件夹之中，只搜索一次。\n"
               u8"文件夹不能含有通配符 * 或 ?。\n"
               u8"\n"
               u8"  --hidden     同时列出隐藏的项目\n"
               u8"  --readonly   同时列出只读的项目\n"
               u8"  --system     同时列出系统项目\n"
               u8"  --no-names   不列出畸形名称（与上面三项之一合用）\n"
               u8"  --delete     列出全部项目后询问一次 (y/N)，再删除（文件夹连同其中的一切）；\n"
               u8"               然后每个项目再输出一行结果: 行的五栏，再加 deleted、failed 或\n"
               u8"               kept，系统错误代码（无错误为 0）和英文原因\n"
               u8"  --rename     不删除，而是询问一次后把列出的项目重命名为合法名称（内容不变，\n"
               u8"               不会覆盖已有项目）；结果行为 renamed 和新名称\n"
               u8"  --yes        与 --delete 或 --rename 合用: 不询问\n"
               u8"  --json       每个项目一个 JSON 对象（一行一个，\"record\":\"row\"），--delete 时\n"
               u8"               再每项一个 \"record\":\"outcome\"（含 outcome、error、reason），\n"
               u8"               最后是统计对象 \"record\":\"summary\"；总是 UTF-8。每项含\n"
               u8"               \"listed_for\"（以逗号分隔的原因: trailing-dot、trailing-blank、\n"
               u8"               device-name、device-name-with-extension、refused-character、\n"
               u8"               read-only、system、hidden）和 \"plain_path_works\"（true: 在本机\n"
               u8"               的 Windows 上普通路径可以访问该项目）\n"
               u8"  --plain-fails  只列出在本机用普通路径无法访问的项目（由本机 Windows 自己的\n"
               u8"               路径规则判断；例如 Windows 11 上的 con.txt、任何系统上的 COM0\n"
               u8"               不列出）；其他项目当作未列出，文件夹照常进入\n"
               u8"  -0           只输出路径，每个路径后跟一个 NUL 字符（供 xargs -0 等使用）\n"
               u8"  --utf8       重定向时文本行和消息用 UTF-8 而不是 ANSI 代码页\n"
               u8"  --exclude GLOB  不列出也不进入名称匹配 GLOB 的项目（* 和 ?，不分大小写；\n"
               u8"               可重复），例如 --exclude .git --exclude node_modules\n"
               u8"  --max-depth N  只进入根下 N 层文件夹（0: 只看根中的项目）\n"
               u8"  --from 文件  不搜索，而是列出文件中的路径（- 为标准输入）: 每行一个路径\n"
               u8"               （ANSI 代码页，--utf8 时为 UTF-8），或之前 --json 输出的行\n"
               u8"               （取其 \"path\"）。每个路径按磁盘上保存的名称逐级精确打开；\n"
               u8"               不完全相同的（结尾的点、大小写、短名称）记为 failed，其他都不动\n"
               u8"  --quiet      只输出计数和用时\n"
               u8"  --version    显示版本\n"
               u8"  -h, --help   显示本说明\n"
               u8"  --           其后都是文件夹，即使以 \"-\" 开头\n"
               u8"\n"
               u8"按 Ctrl+C 会在两个项目之间停止搜索或删除，并仍然给出统计。读取输出的程序\n"
               u8"关闭了管道时（例如 | head），在下一次写入失败时同样停止，退出代码 130。\n"
               u8"\n"
               u8"退出代码:\n"
               u8"  0  没有列出任何项目，或列出的项目全部删除\n"
               u8"  1  列出了项目而未删除（没有 --delete，或回答了否）\n"
               u8"  2  有列出的项目删除失败\n"
               u8"  3  用法错误，文件夹不存在，或给出了通配符\n"
               u8"  4  只搜索了一部分：有文件夹无法搜索（统计中的“未能搜索”），或 --from 的\n"
               u8"     路径不在原处\n"
               u8"  130  Ctrl+C 停止了搜索或删除，或读取输出的程序已关闭\n"
               u8"  同时适用多个时取最先的一个: 130、3、2、4、1、0。\n"
               u8"\n"
               u8"示例:\n"
               u8"  OrvelleScan D:\\projects\n"
               u8"  OrvelleScan --delete --yes --json . > cleaned.json\n"
               u8"  OrvelleScan --json . > found.json  （检查后）  OrvelleScan --from found.json --delete\n"
               u8"  OrvelleScan -0 --utf8 . | xargs -0 ls -ld\n";
    return "Usage: OrvelleScan [options] FOLDER...\n"
           "\n"
           "Searches each FOLDER as the Orvelle window's search does and lists the files\n"
           "and folders whose names break the Windows rules (a trailing dot or blank, a\n"
           "device name such as nul or com1.txt), then the counts. Standard output holds\n"
           "results only: each listed entry is a line, written as it is found, of\n"
           "tab-separated fields: path, [name], folder or file, why it was listed (- its\n"
           "name, R read-only, S system, H hidden), and the reasons in full with this\n"
           "Windows' verdict, e.g. device-name-with-extension;plain-path-fails (the words\n"
           "as in --json; plain-path-works: its ordinary path reaches it here,\n"
           "plain-path-fails: it does not). A listed folder is not searched\n"
           "further. The counts, the question and the deletion's tally go to standard\n"
           "error. A FOLDER given twice, or inside another FOLDER, is searched once. A\n"
           "FOLDER with a wildcard (* or ?) is refused.\n"
           "\n"
           "  --hidden     also list hidden entries\n"
           "  --readonly   also list read-only entries\n"
           "  --system     also list system entries\n"
           "  --no-names   leave out malformed names (with one of the three above)\n"
           "  --delete     after listing, ask once (y/N), then delete every listed entry\n"
           "               (a folder with everything in it); then one more line per\n"
           "               entry: the row's five fields, then deleted, failed or kept,\n"
           "               the system's error code (0 when none) and a reason\n"
           "  --rename     instead of deleting, ask once, then give each listed entry a\n"
           "               name Windows accepts in its folder (contents kept, nothing\n"
           "               replaced); outcome lines say renamed and end with the new name\n"
           "  --yes        with --delete or --rename: do not ask\n"
           "  --json       one JSON object per line for each entry (\"record\":\"row\"),\n"
           "               with --delete then one \"record\":\"outcome\" each (with\n"
           "               outcome, error and reason), then a \"record\":\"summary\";\n"
           "               always UTF-8. Each entry has \"listed_for\" (comma-separated:\n"
           "               trailing-dot, trailing-blank, device-name,\n"
           "               device-name-with-extension, refused-character, read-only,\n"
           "               system, hidden) and \"plain_path_works\" (true when its\n"
           "               ordinary path reaches it on the Windows running here)\n"
           "  --plain-fails  list only entries whose ordinary path does not reach them\n"
           "               on this Windows, by its own path rules (con.txt on Windows 11\n"
           "               or COM0 anywhere is left out); the others count as unlisted,\n"
           "               and such a folder is entered\n"
           "  -0           print only the paths, each followed by a NUL (for xargs -0)\n"
           "  --utf8       text rows and messages in UTF-8 instead of the ANSI code page\n"
           "               when redirected\n"
           "  --exclude GLOB  neither list nor enter entries whose name matches GLOB\n"
           "               (* and ?, without regard to case; repeatable), e.g.\n"
           "               --exclude .git --exclude node_modules\n"
           "  --max-depth N  enter at most N levels of folders below each FOLDER (0: only\n"
           "               the entries of FOLDER itself)\n"
           "  --from FILE  instead of searching, list the paths in FILE (- for stdin):\n"
           "               one a line (ANSI code page, UTF-8 with --utf8), or the lines\n"
           "               of an earlier --json run (their \"path\"). Each is opened by\n"
           "               the exact names stored on disk; one that is not there exactly\n"
           "               (a trailing dot, case, a short name) fails, nothing else is\n"
           "               touched\n"
           "  --quiet      print only the counters and timings\n"
           "  --version    print the version\n"
           "  -h, --help   this text\n"
           "  --           all that follows are folders, even when they begin with \"-\"\n"
           "\n"
           "Ctrl+C stops the search or the deletion between two entries; the counts are\n"
           "still printed. When the program reading the output has closed the pipe (as\n"
           "| head does), the next write fails and the search stops the same way, with\n"
           "exit code 130.\n"
           "\n"
           "Exit codes:\n"
           "  0  nothing listed, or everything listed was deleted\n"
           "  1  entries listed and left in place (no --delete, or the answer was no)\n"
           "  2  some listed entry could not be deleted\n"
           "  3  bad usage, a folder that does not exist, or a wildcard\n"
           "  4  searched only in part: some folder could not be searched (the counts say\n"
           "     how many), or a path of --from is not there exactly\n"
           "  130  Ctrl+C stopped the search or the deletion, or the output's reader left\n"
           "  When several apply, the first of 130, 3, 2, 4, 1, 0 is given.\n"
           "\n"
           "Examples:\n"
           "  OrvelleScan D:\\projects\n"
           "  OrvelleScan --delete --yes --json . > cleaned.json\n"
           "  OrvelleScan --json . > found.json   (review it, then)\n"
           "  OrvelleScan --from found.json --delete\n"
           "  OrvelleScan -0 --utf8 . | xargs -0 ls -ld\n";
}

std::string UsageErrorText(Language language, UsageError error) {
    std::string text;
    switch (error) {
    case UsageError::None: return std::string();
    case UsageError::UnknownOption: text = Pick(language, "unknown option", u8"未知选项"); break;
    case UsageError::NoFolder: text = Pick(language, "no folder given", u8"没有指定文件夹"); break;
    case UsageError::NothingToFind:
        text = Pick(language, "--no-names without --hidden, --readonly or --system lists nothing",
                    u8"--no-names 须与 --hidden、--readonly 或 --system 合用，否则什么也不会列出");
        break;
    case UsageError::YesWithoutDelete:
        text = Pick(language, "--yes only goes with --delete or --rename", u8"--yes 只能与 --delete 或 --rename 合用");
        break;
    case UsageError::QuietWithJson:
        text = Pick(language, "--quiet and --json exclude each other", u8"--quiet 与 --json 不能同时使用");
        break;
    case UsageError::NulSeparatedWithOthers:
        text = Pick(language, "-0 goes with neither --json, --quiet nor --delete",
                    u8"-0 不能与 --json、--quiet 或 --delete 同时使用");
        break;
    case UsageError::Pattern:
        text = Pick(language, "a folder, not a pattern: \"*\" and \"?\" are not taken",
                    u8"只接受文件夹，不接受通配符 \"*\" 和 \"?\"");
        break;
    case UsageError::BadDepth:
        text = Pick(language, "--max-depth takes a number of 0 or more", u8"--max-depth 须跟一个不小于 0 的数");
        break;
    case UsageError::DeleteWithRename:
        text = Pick(language, "--delete and --rename exclude each other", u8"--delete 与 --rename 不能同时使用");
        break;
    case UsageError::FromWithSearch:
        text = Pick(language, "--from takes its paths from a list: no FOLDER, --exclude or --max-depth with it",
                    u8"--from 从列表读取路径，不能再给出文件夹、--exclude 或 --max-depth");
        break;
    case UsageError::FromStdinAsks:
        text = Pick(language, "--from - reads the list from stdin, so --delete and --rename need --yes with it",
                    u8"--from - 从标准输入读取列表，--delete 或 --rename 须同时给出 --yes");
        break;
    case UsageError::MissingValue:
        text = Pick(language, "this option needs a value after it", u8"此选项后面须跟一个值");
        break;
    }
    return text + Pick(language, " (OrvelleScan --help shows the usage)\n", u8"（OrvelleScan --help 显示用法）\n");
}

std::string SearchSummaryText(Language language, const ScanCounts& c) {
    std::string text;
    if (language == Language::Chinese) {
        text = Format(c.readerGone ? u8"输出的读取方已关闭，已停止，共搜索了%d个目录和%d个文件\n"
                      : c.stopped ? u8"已按 Ctrl+C 停止，共搜索了%d个目录和%d个文件\n"
                                  : u8"搜索完成，共搜索了%d个目录和%d个文件\n",
                      c.foldersSearched, c.filesSearched);
        text += Format(u8"找到了畸形目录: %d 个\n", c.malformedFolders);
        text += Format(u8"找到了畸形文件: %d 个\n", c.malformedFiles);
        text += Format(u8"未能搜索: %d 个（拒绝访问或路径过长）\n", c.unsearched);
    } else {
        text = Format(c.readerGone ? "Stopped: the output's reader has gone, after searching %d folders and %d files\n"
                      : c.stopped  ? "Stopped by Ctrl+C after searching %d folders and %d files\n"
                                   : "Searched %d folders and %d files\n",
                      c.foldersSearched, c.filesSearched);
        text += Format("Malformed folders found: %d\n", c.malformedFolders);
        text += Format("Malformed files found: %d\n", c.malformedFiles);
        text += Format("Could not be searched: %d (access denied or path too long)\n", c.unsearched);
    }
    return text + ElapsedText(language, c.elapsedMs) + "\n";
}

std::string DeletePromptText(Language language, int rows) {
    return Format(language == Language::Chinese
                      ? u8"确定删除以上 %d 项（文件夹连同其中的一切）？删除后无法恢复。(y/N) "
                      : "Delete the %d entries listed above (folders with everything in them)? "
                        "This cannot be undone. (y/N) ",
                  rows);
}

std::string RenamePromptText(Language language, int rows) {
    return Format(language == Language::Chinese
                      ? u8"确定把以上 %d 项重命名为合法名称（内容不变）？(y/N) "
                      : "Rename the %d entries listed above to names Windows accepts (contents kept)? (y/N) ",
                  rows);
}

std::string DeleteSummaryText(Language language, const DeleteTally& t) {
    // A stopped run says so first: what it did is no finished deletion.
    const bool stopped = t.kept > 0 || t.interrupted;
    if (t.renaming) {
        if (!t.confirmed) return Pick(language, "Nothing was renamed.\n", u8"未重命名任何项目。\n");
        if (stopped)
            return Format(language == Language::Chinese ? u8"已停止，重命名成功 %d 个，失败 %d 个，未重命名 %d 个。\n"
                                                        : "Stopped; renamed: %d, failed: %d, not renamed: %d.\n",
                          t.deleted, t.failed, t.kept);
        return Format(
            language == Language::Chinese ? u8"重命名完毕，成功 %d 个，失败 %d 个。\n" : "Renamed: %d, failed: %d.\n",
            t.deleted, t.failed);
    }
    if (!t.confirmed) return Pick(language, "Nothing was deleted.\n", u8"未删除任何项目。\n");
    if (stopped && t.readerGone)
        return Format(language == Language::Chinese
                          ? u8"输出的读取方已关闭，已停止，删除成功 %d 个，删除失败 %d 个，未删除 %d 个。\n"
                          : "Stopped: the output's reader has gone; deleted: %d, failed: %d, not deleted: %d.\n",
                      t.deleted, t.failed, t.kept);
    if (stopped)
        return Format(language == Language::Chinese
                          ? u8"已按 Ctrl+C 停止，删除成功 %d 个，删除失败 %d 个，未删除 %d 个。\n"
                          : "Stopped by Ctrl+C; deleted: %d, failed: %d, not deleted: %d.\n",
                      t.deleted, t.failed, t.kept);
    return Format(
        language == Language::Chinese ? u8"删除完毕，删除成功 %d 个，删除失败 %d 个。\n" : "Deleted: %d, failed: %d.\n",
        t.deleted, t.failed);
}

std::string ProgressText(Language language, int foldersSearched, int filesSearched) {
    return Format(
        language == Language::Chinese ? u8"已搜索 %d 个目录和 %d 个文件..." : "Searched %d folders and %d files...",
        foldersSearched, filesSearched);
}

std::string FolderMissingText(Language language) { return Pick(language, "folder not found: ", u8"找不到文件夹: "); }

std::string NotAFolderText(Language language) { return Pick(language, "not a folder: ", u8"不是文件夹: "); }

std::string UnconvertibleArgumentText(Language language, int argumentNumber) {
    return Format(language == Language::Chinese ? u8"第 %d 个参数中有当前 ANSI 代码页无法表示的字符\n"
                                                : "argument %d holds characters the ANSI code page cannot express\n",
                  argumentNumber);
}

std::string VersionText(const char* version) { return std::string("OrvelleScan ") + version + "\n"; }

const char* TypeWord(bool isFolder) { return isFolder ? "folder" : "file"; }

const char* OutcomeWord(int outcome) {
    switch (outcome) {
    case kOutcomeDeleted: return "deleted";
    case kOutcomeRenamed: return "renamed";
    case kOutcomeFailed: return "failed";
    case kOutcomeKept:
    case kOutcomeDeclined: return "kept";
    default: return "listed";
    }
}

std::string RowLine(const std::string& path, const std::string& name, bool isFolder, const std::string& attribute) {
    std::string line;
    line.reserve(path.size() + name.size() + 20);
    line += path;
    line += "\t[";
    line += name;
    line += "]\t";
    line += TypeWord(isFolder);
    line += '\t';
    line += attribute;
    line += '\n';
    return line;
}

std::string OutcomeReason(int outcome, uint32_t error) {
    switch (outcome) {
    case kOutcomeListed: return "listed";
    case kOutcomeDeleted: return "deleted";
    case kOutcomeRenamed: return "renamed";
    case kOutcomeKept: return "stopped before its turn";
    case kOutcomeDeclined: return "not confirmed";
    default: break;
    }
    switch (error) {
    case fs_error::kFileNotFound:
    case fs_error::kPathNotFound: return "no longer there";
    case fs_error::kAccessDenied: return "access denied";
    case fs_error::kSharingViolation: return "in use by another program";
    case fs_error::kDirNotEmpty: return "folder not empty";
    case fs_error::kNotTheListedEntry: return "not the entry that was listed";
    case fs_error::kReparseRefused: return "a link: neither followed nor deleted through its target";
    case fs_error::kInvalidName: return "the system cannot open this name";
    case fs_error::kNoLegalName: return "no legal name to give it";
    case fs_error::kCancelled: return "stopped while its folder was emptied";
    case fs_error::kAlreadyExists: return "every name tried is taken";
    case 19:  // ERROR_WRITE_PROTECT
        return "write-protected";
    case 0: return "could not be deleted";
    default: return "system error " + std::to_string(error);
    }
}

std::string ListedForWords(uint32_t listedFor) {
    static const std::pair<uint32_t, const char*> kWords[] = {
        {kListedTrailingDot, "trailing-dot"},
        {kListedTrailingBlank, "trailing-blank"},
        {kListedDeviceName, "device-name"},
        {kListedDeviceNameWithExtension, "device-name-with-extension"},
        {kListedRefusedCharacter, "refused-character"},
        {kListedReadOnly, "read-only"},
        {kListedSystem, "system"},
        {kListedHidden, "hidden"},
    };
    std::string words;
    for (const auto& word : kWords) {
        if (!(listedFor & word.first)) continue;
        if (!words.empty()) words += ',';
        words += word.second;
    }
    return words;
}

std::string WithWhyListed(std::string record, uint32_t listedFor, bool plainPathWorks, bool json, int after) {
    if (record.size() < 2) return record;
    if (json) {
        record.resize(record.size() - 2);  // the closing brace and the line break
        return record + ",\"listed_for\":\"" + ListedForWords(listedFor) +
               "\",\"plain_path_works\":" + (plainPathWorks ? "true" : "false") + "}\n";
    }
    record.pop_back();
    // Counted from the end: the fields after it never hold a tab, a path may.
    size_t at = record.size();
    for (int i = 0; i < after && at != std::string::npos && at > 0; ++i) at = record.rfind('\t', at - 1);
    if (at == std::string::npos) at = record.size();
    const std::string field =
        "\t" + ListedForWords(listedFor) + (plainPathWorks ? ";plain-path-works" : ";plain-path-fails");
    return record.insert(at, field) + "\n";
}

std::string OutcomeLine(const std::string& path, const std::string& name, bool isFolder, const std::string& attribute,
                        int outcome, uint32_t error) {
    std::string line = RowLine(path, name, isFolder, attribute);
    line.pop_back();
    return line + "\t" + OutcomeWord(outcome) + "\t" + std::to_string(error) + "\t" + OutcomeReason(outcome, error) +
           "\n";
}

std::string UnresolvedLine(const std::string& path, const std::string& name, uint32_t error) {
    std::string line = RowLine(path, name, false, "");
    const size_t type = line.rfind("\tfile\t");
    line.replace(type, 6, "\t-\t");
    line.pop_back();
    // An empty fifth field where a row says why it is listed.
    return line + "\t\t" + OutcomeWord(kOutcomeFailed) + "\t" + std::to_string(error) + "\t" +
           OutcomeReason(kOutcomeFailed, error) + "\n";
}

namespace {

bool ReadJsonString(std::string_view text, size_t& at, std::string& out);

template <typename T>
int ReadHex(const std::string& text, T& value) {
    if (text.empty() || text.size() > 16) return 0;
    uint64_t v = 0;
    for (char c : text) {
        v <<= 4;
        if (c >= '0' && c <= '9')
            v |= static_cast<uint64_t>(c - '0');
        else if (c >= 'a' && c <= 'f')
            v |= static_cast<uint64_t>(c - 'a' + 10);
        else
            return 0;
    }
    value = static_cast<T>(v);
    return 1;
}

}  // namespace

std::vector<ListedPath> ReadPathList(std::string_view content, bool utf8Lines) {
    if (content.substr(0, 3) == "\xEF\xBB\xBF") {
        content.remove_prefix(3);
        utf8Lines = true;
    }
    const char separator = content.find('\0') != std::string_view::npos ? '\0' : '\n';
    std::vector<ListedPath> paths;
    int number = 0;
    for (size_t at = 0; at < content.size();) {
        size_t end = content.find(separator, at);
        if (end == std::string_view::npos) end = content.size();
        std::string_view item = content.substr(at, end - at);
        at = end + 1;
        ++number;
        if (separator == '\n' && !item.empty() && item.back() == '\r') item.remove_suffix(1);
        if (item.empty()) continue;
        ListedPath path;
        path.line = number;
        if (separator == '\n' && item[0] == '{') {
            std::vector<std::pair<std::string, std::string>> members;
            path.utf8 = true;
            path.wtf8 = true;
            if (ReadJsonStrings(item, members)) {
                bool row = true;
                int identity = 0;
                for (const auto& member : members) {
                    const std::string& value = member.second;
                    if (member.first == "record") row = value == "row";
                    if (member.first == "path") path.text = value;
                    if (member.first == "file_id") identity += ReadHex(value, path.id);
                    if (member.first == "created") identity += ReadHex(value, path.created);
                    if (member.first == "written") identity += ReadHex(value, path.written);
                    if (member.first == "size") identity += ReadHex(value, path.size);
                }
                if (!row) continue;
                path.hasIdentity = identity == 4;
                // Some of it, not all: what the entry was cannot be told.
                if (identity != 0 && identity != 4) path.unreadable = true;
            } else {
                path.unreadable = true;
            }
        } else if (item[0] == '"') {
            // A quoted first field (see QuotedField), then a tab or the end.
            size_t at = 1;
            std::string text;
            if (ReadJsonString(item, at, text) && (at == item.size() || item[at] == '\t' || separator == '\0')) {
                path.text = std::move(text);
                path.utf8 = true;
                path.wtf8 = true;
            } else {
                path.unreadable = true;
            }
        } else {
            path.utf8 = utf8Lines;
            path.text.assign(item.substr(0, separator == '\n' ? item.find('\t') : std::string_view::npos));
        }
        paths.push_back(std::move(path));
    }
    return paths;
}

namespace {

// A JSON string from at (just past its opening quote) to its closing quote.
bool ReadJsonString(std::string_view text, size_t& at, std::string& out) {
    while (at < text.size()) {
        const unsigned char c = static_cast<unsigned char>(text[at++]);
        if (c == '"') return true;
        if (c < 0x20) return false;
        if (c != '\\') {
            out += static_cast<char>(c);
            continue;
        }
        if (at >= text.size()) return false;
        const char e = text[at++];
        switch (e) {
        case '"':
        case '\\':
        case '/': out += e; break;
        case 'b': out += '\b'; break;
        case 'f': out += '\f'; break;
        case 'n': out += '\n'; break;
        case 'r': out += '\r'; break;
        case 't': out += '\t'; break;
        case 'u': {
            unsigned code = 0;
            const auto hex4 = [&](unsigned& value) {
                if (at + 4 > text.size()) return false;
                value = 0;
                for (int i = 0; i < 4; ++i) {
                    const char h = text[at++];
                    value <<= 4;
                    if (h >= '0' && h <= '9')
                        value |= static_cast<unsigned>(h - '0');
                    else if (h >= 'a' && h <= 'f')
                        value |= static_cast<unsigned>(h - 'a' + 10);
                    else if (h >= 'A' && h <= 'F')
                        value |= static_cast<unsigned>(h - 'A' + 10);
                    else
                        return false;
                }
                return true;
            };
            if (!hex4(code)) return false;
            // A pair makes one character; a surrogate alone stays itself
            // (WTF-8), as a name on disk may hold one.
            if (code >= 0xD800 && code < 0xDC00 && at + 6 <= text.size() && text[at] == '\\' && text[at + 1] == 'u') {
                const size_t back = at;
                at += 2;
                unsigned low = 0;
                if (hex4(low) && low >= 0xDC00 && low <= 0xDFFF)
                    code = 0x10000 + ((code - 0xD800) << 10) + (low - 0xDC00);
                else
                    at = back;
            }
            AppendWtf8(out, code);
            break;
        }
        default: return false;
        }
    }
    return false;
}

void SkipBlanks(std::string_view text, size_t& at) {
    while (at < text.size() && (text[at] == ' ' || text[at] == '\t' || text[at] == '\r' || text[at] == '\n')) ++at;
}

}  // namespace

bool ReadJsonStrings(std::string_view text, std::vector<std::pair<std::string, std::string>>& members) {
    members.clear();
    size_t at = 0;
    SkipBlanks(text, at);
    if (at >= text.size() || text[at++] != '{') return false;
    SkipBlanks(text, at);
    if (at < text.size() && text[at] == '}') {
        ++at;
    } else {
        for (;;) {
            SkipBlanks(text, at);
            std::string key;
            if (at >= text.size() || text[at++] != '"' || !ReadJsonString(text, at, key)) return false;
            SkipBlanks(text, at);
            if (at >= text.size() || text[at++] != ':') return false;
            SkipBlanks(text, at);
            if (at >= text.size()) return false;
            if (text[at] == '"') {
                ++at;
                std::string value;
                if (!ReadJsonString(text, at, value)) return false;
                members.emplace_back(std::move(key), std::move(value));
            } else {
                // A number, true, false or null: only strings are kept.
                const size_t end = text.find_first_of(",} \t\r\n", at);
                if (end == at || end == std::string_view::npos) return false;
                at = end;
            }
            SkipBlanks(text, at);
            if (at < text.size() && text[at] == ',') {
                ++at;
                continue;
            }
            if (at < text.size() && text[at] == '}') {
                ++at;
                break;
            }
            return false;
        }
    }
    SkipBlanks(text, at);
    return at == text.size();
}

std::vector<std::string> FolderComponents(std::string_view absolute) {
    bool verbatim = false, share = false;
    if (absolute.size() >= 4 && absolute[0] == '\\' && absolute[1] == '\\' &&
        (absolute[2] == '?' || absolute[2] == '.') && absolute[3] == '\\') {
        verbatim = absolute[2] == '?';
        absolute.remove_prefix(4);
        // "\\?\UNC\server\share" is the share "\\server\share".
        if (absolute.size() >= 4 && EqualsIgnoreCase(absolute.substr(0, 4), "UNC\\")) {
            absolute.remove_prefix(4);
            share = true;
        }
    } else {
        share = absolute.size() >= 2 && absolute[0] == '\\' && absolute[1] == '\\';
    }
    std::vector<std::string> parts;
    if (share) parts.emplace_back("\\\\");  // a share never matches a relative "server\share"
    const size_t top = share ? 3 : 1;       // ".." stops at the drive or the share
    for (std::string_view part : SplitPathComponents(absolute)) {
        if (!verbatim && part == ".") continue;
        if (!verbatim && part == "..") {
            if (parts.size() > top) parts.pop_back();
            continue;
        }
        parts.emplace_back(part);
    }
    return parts;
}

std::vector<size_t> FoldersToSearch(const std::vector<std::vector<std::string>>& keys) {
    // a lies in b (or is b) when b's components begin a's.
    auto within = [](const std::vector<std::string>& a, const std::vector<std::string>& b) {
        return !b.empty() && b.size() <= a.size() && std::equal(b.begin(), b.end(), a.begin());
    };
    std::vector<size_t> kept;
    for (size_t i = 0; i < keys.size(); ++i) {
        bool covered = false;
        for (size_t j = 0; j < keys.size() && !covered; ++j) {
            if (i == j || !within(keys[i], keys[j])) continue;
            // The same folder twice: the first stands for both.
            covered = keys[i].size() > keys[j].size() || j < i;
        }
        if (!covered) kept.push_back(i);
    }
    return kept;
}

std::string WithIdentity(std::string record, uint64_t id, int64_t created, int64_t written, uint64_t size) {
    if (record.size() < 2) return record;
    record.resize(record.size() - 2);  // the closing brace and the line break
    record += Format(",\"file_id\":\"%016llx\",\"created\":\"%016llx\",\"written\":\"%016llx\",\"size\":\"%016llx\"}\n",
                     static_cast<unsigned long long>(id), static_cast<unsigned long long>(created),
                     static_cast<unsigned long long>(written), static_cast<unsigned long long>(size));
    return record;
}

std::string JsonString(std::string_view utf8) {
    std::string out;
    out.reserve(utf8.size() + 2);
    out += '"';
    for (size_t i = 0; i < utf8.size();) {
        const unsigned char c = static_cast<unsigned char>(utf8[i]);
        if (c >= 0x80) {
            size_t length = Utf8SequenceLength(utf8, i);
            if (length == 0 && IsEncodedSurrogate(utf8, i)) {
                // A lone surrogate of a name: its escape reads back to it.
                const unsigned unit = 0xD000u | ((static_cast<unsigned char>(utf8[i + 1]) & 0x3Fu) << 6) |
                                      (static_cast<unsigned char>(utf8[i + 2]) & 0x3Fu);
                out += Format("\\u%04x", unit);
                i += 3;
                continue;
            }
            if (length == 0) {
                out += "\xEF\xBF\xBD";
                ++i;
            } else {
                out.append(utf8.substr(i, length));
                i += length;
            }
            continue;
        }
        switch (c) {
        case '"': out += "\\\""; break;
        case '\\': out += "\\\\"; break;
        case '\n': out += "\\n"; break;
        case '\r': out += "\\r"; break;
        case '\t': out += "\\t"; break;
        default:
            if (c < 0x20)
                out += Format("\\u%04x", c);
            else
                out += static_cast<char>(c);
        }
        ++i;
    }
    out += '"';
    return out;
}

std::string JsonRow(std::string_view pathUtf8, std::string_view nameUtf8, bool isFolder, std::string_view attribute,
                    int outcome) {
    std::string out = "{\"record\":\"row\",\"path\":";
    out += JsonString(pathUtf8);
    out += ",\"name\":";
    out += JsonString(nameUtf8);
    out += ",\"type\":\"";
    out += TypeWord(isFolder);
    out += "\",\"attributes\":";
    out += JsonString(attribute);
    out += ",\"outcome\":\"";
    out += OutcomeWord(outcome);
    out += "\"}\n";
    return out;
}

std::string JsonOutcome(std::string_view pathUtf8, std::string_view nameUtf8, bool isFolder, std::string_view attribute,
                        int outcome, uint32_t error) {
    std::string out = JsonRow(pathUtf8, nameUtf8, isFolder, attribute, outcome);
    out.replace(0, std::string("{\"record\":\"row\"").size(), "{\"record\":\"outcome\"");
    out.resize(out.size() - 2);  // the closing brace and the line break
    out += Format(",\"error\":%u,\"reason\":", error);
    out += JsonString(OutcomeReason(outcome, error));
    return out + "}\n";
}

std::string JsonUnresolved(std::string_view pathUtf8, std::string_view nameUtf8, uint32_t error) {
    std::string out = JsonOutcome(pathUtf8, nameUtf8, false, "", kOutcomeFailed, error);
    out.replace(out.find(",\"type\":\"file\""), 14, ",\"type\":\"-\"");
    return out;
}

std::string FromSummaryText(Language language, int pathsRead, int rowsListed, int unresolved) {
    if (language == Language::Chinese)
        return Format(u8"读取了 %d 个路径，列出 %d 项，%d 个路径不在原处（名称不完全相同或已不存在）\n", pathsRead,
                      rowsListed, unresolved);
    return Format("Read %d paths: %d listed, %d not there exactly (another name, or gone)\n", pathsRead, rowsListed,
                  unresolved);
}

std::string UnreadableLineText(Language language, int line) {
    return Format(language == Language::Chinese ? u8"列表第 %d 行无法确切读回，未处理\n"
                                                : "line %d of the list cannot be read back exactly: left alone\n",
                  line);
}

std::string NoPathOnLineText(Language language, int line) {
    return Format(language == Language::Chinese ? u8"列表第 %d 行没有路径\n" : "line %d of the list holds no path\n",
                  line);
}

std::string ListUnreadableText(Language language) { return Pick(language, "cannot read the list ", u8"无法读取列表 "); }

std::string JsonSummary(const ScanCounts& c, int rowsListed, const DeleteTally& t, int exitCode) {
    return Format(
        "{\"record\":\"summary\",\"folders_searched\":%d,\"files_searched\":%d,"
        "\"malformed_folders\":%d,\"malformed_files\":%d,\"unsearched\":%d,\"unresolved\":%d,\"rows\":%d,"
        "\"deleted\":%d,\"failed\":%d,\"kept\":%d,\"stopped\":%s,\"elapsed_ms\":%u,\"exit_code\":%d}\n",
        c.foldersSearched, c.filesSearched, c.malformedFolders, c.malformedFiles, c.unsearched, c.unresolved,
        rowsListed, t.deleted, t.failed, t.kept, c.stopped ? "true" : "false", c.elapsedMs, exitCode);
}

std::string QuietWalkLine(int rowsListed, const ScanCounts& c, double walkMs) {
    return Format("rows %d folders %d files %d malformed-folders %d malformed-files %d unsearched %d walk-ms %.1f\n",
                  rowsListed, c.foldersSearched, c.filesSearched, c.malformedFolders, c.malformedFiles, c.unsearched,
                  walkMs);
}

std::string QuietDeleteLine(int deleted, int failed, double deleteMs) {
    return Format("deleted %d failed %d delete-ms %.1f\n", deleted, failed, deleteMs);
}
