// Console front end of the engine: walks folders as the window's search does,
// prints one line (or JSON object) per listed entry and the counts, and with
// --delete deletes the listed entries through the window's deletion.
// OrvelleScan --help describes the options and the exit codes.
#include <windows.h>
#include <shellapi.h>

#include <algorithm>
#include <set>
#include <string>
#include <vector>

#include "Delete.h"
#include "Entry.h"
#include "ExactAnsi.h"
#include "Names.h"
#include "PathText.h"
#include "ResultRow.h"
#include "Scan.h"
#include "ScanText.h"
#include "Version.h"
#include "Win32FileSystem.h"

namespace {

const char kProgram[] = "OrvelleScan: ";
constexpr DWORD kProgressMs = 250;  // at most four redraws a second

// Raised by Ctrl+C; the walk has its own flag in ScanState.
volatile LONG g_stop = 0;
// Raised when the reader of stdout has gone: nobody can see what follows.
volatile LONG g_readerGone = 0;
ScanState* g_walk = nullptr;

BOOL WINAPI OnConsoleControl(DWORD event) {
    if (event != CTRL_C_EVENT && event != CTRL_BREAK_EVENT) return FALSE;
    InterlockedExchange(&g_stop, 1);
    if (g_walk) g_walk->stopRequested = 1;
    return TRUE;
}

bool Interrupted() { return InterlockedCompareExchange(&g_stop, 0, 0) != 0; }
bool ReaderGone() { return InterlockedCompareExchange(&g_readerGone, 0, 0) != 0; }
bool StopRequested() { return Interrupted() || ReaderGone(); }

void OnReaderGone() {
    InterlockedExchange(&g_readerGone, 1);
    if (g_walk) g_walk->stopRequested = 1;
}

Language UserLanguage() {
    return PRIMARYLANGID(GetUserDefaultUILanguage()) == LANG_CHINESE ? Language::Chinese : Language::English;
}

std::wstring Widen(const std::string& text, UINT codePage) {
    if (text.empty()) return std::wstring();
    int n = MultiByteToWideChar(codePage, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
    std::wstring wide(static_cast<size_t>(n), L'\0');
    MultiByteToWideChar(codePage, 0, text.data(), static_cast<int>(text.size()), &wide[0], n);
    return wide;
}

std::string Narrow(const std::wstring& text, UINT codePage) {
    if (text.empty()) return std::string();
    int n = WideCharToMultiByte(codePage, 0, text.data(), static_cast<int>(text.size()), nullptr, 0, nullptr, nullptr);
    std::string narrow(static_cast<size_t>(n), '\0');
    WideCharToMultiByte(codePage, 0, text.data(), static_cast<int>(text.size()), &narrow[0], n, nullptr, nullptr);
    return narrow;
}

std::string AnsiToUtf8(const std::string& text) { return Narrow(Widen(text, CP_ACP), CP_UTF8); }

std::wstring WideOf(const WideName& name) { return std::wstring(name.begin(), name.end()); }

// A row's name and path in UTF-8: from the stored wide name and the chain of
// wide names to it when the row has them, so that a character the ANSI code
// page lacks (whose row shows no path there) still arrives as itself.
std::string NameUtf8(const ResultRow& row, const std::string& ansiName) {
    return row.wideName.empty() ? AnsiToUtf8(ansiName) : Narrow(WideOf(row.wideName), CP_UTF8);
}

std::string PathUtf8(const ResultRow& row) {
    // A path the code page holds converts exactly, with the drive as typed.
    if (!row.path.empty() || !row.entry) return AnsiToUtf8(row.path);
    return Narrow(WideOf(WidePathOf(*row.entry)), CP_UTF8);
}

bool IsConsoleHandle(HANDLE handle) {
    DWORD mode;
    return handle && handle != INVALID_HANDLE_VALUE && GetConsoleMode(handle, &mode);
}

// A standard stream, buffered. A console gets UTF-16 through WriteConsoleW,
// so every name shows whatever the console's code page; anything else gets
// bytes: messages and text rows in the ANSI code page (UTF-8 with --utf8),
// JSON in UTF-8.
class OutStream {
public:
    OutStream(DWORD which, bool utf8 = false)
        : m_handle(GetStdHandle(which)), m_console(IsConsoleHandle(m_handle)), m_utf8(utf8) {}
    ~OutStream() { Flush(); }

    bool IsConsole() const { return m_console; }
    bool HasPending() const { return !m_bytes.empty() || !m_wide.empty(); }
    // A write found the pipe closed at the other end: what follows is dropped.
    bool ReaderGone() const { return m_gone; }
    void UseUtf8(bool utf8) { m_utf8 = utf8; }

    void Message(const std::string& utf8) {
        if (m_console)
            m_wide += Widen(utf8, CP_UTF8);
        else if (m_utf8)
            m_bytes += utf8;
        else
            m_bytes += Narrow(Widen(utf8, CP_UTF8), CP_ACP);
        FlushIfFull();
    }
    // Text in the ANSI code page exactly, as arguments arrive.
    void Ansi(const std::string& bytes) {
        if (m_console)
            m_wide += Widen(bytes, CP_ACP);
        else if (m_utf8)
            m_bytes += AnsiToUtf8(bytes);
        else
            m_bytes += bytes;
        FlushIfFull();
    }
    // A text row: its own ANSI bytes, or its UTF-8 form made from the wide names.
    void Row(const std::string& ansi, const std::string& utf8) {
        if (m_console)
            m_wide += Widen(utf8, CP_UTF8);
        else
            m_bytes += m_utf8 ? utf8 : ansi;
        FlushIfFull();
    }
    void Utf8(const std::string& bytes) {
        if (m_console)
            m_wide += Widen(bytes, CP_UTF8);
        else
            m_bytes += bytes;
        FlushIfFull();
    }
    void Wide(const std::wstring& text) {
        if (m_console)
            m_wide += text;
        else
            m_bytes += Narrow(text, m_utf8 ? CP_UTF8 : CP_ACP);
        FlushIfFull();
    }

    void Flush() {
        if (!m_handle || m_handle == INVALID_HANDLE_VALUE || m_gone) {
            m_bytes.clear();
            m_wide.clear();
            return;
        }
        // Consoles of older Windows refuse large writes.
        for (size_t at = 0; at < m_wide.size();) {
            DWORD chunk = static_cast<DWORD>(std::min<size_t>(m_wide.size() - at, 8192)), written = 0;
            if (!WriteConsoleW(m_handle, m_wide.data() + at, chunk, &written, nullptr) || written == 0) break;
            at += written;
        }
        for (size_t at = 0; at < m_bytes.size();) {
            DWORD written = 0;
            if (!WriteFile(m_handle, m_bytes.data() + at, static_cast<DWORD>(m_bytes.size() - at), &written, nullptr) ||
                written == 0) {
                const DWORD error = GetLastError();
                m_gone = error == ERROR_NO_DATA || error == ERROR_BROKEN_PIPE;
                break;  // a closed pipe: the rest has nowhere to go
            }
            at += written;
        }
        m_bytes.clear();
        m_wide.clear();
    }

private:
    void FlushIfFull() {
        if (m_bytes.size() >= 64 * 1024 || m_wide.size() >= 16 * 1024) Flush();
    }

    HANDLE m_handle;
    bool m_console;
    bool m_utf8;
    bool m_gone = false;
    std::string m_bytes;
    std::wstring m_wide;
};

// The progress line on a console's stderr, and the moments a console's
// stdout is flushed, both at most four times a second.
class Ticker {
public:
    Ticker(OutStream& out, OutStream& err, const ScanState& state, Language language, bool progress)
        : m_out(out),
          m_err(err),
          m_state(state),
          m_language(language),
          m_progress(progress && err.IsConsole()),
          m_active(m_progress || out.IsConsole()),
          m_last(GetTickCount()) {}

    void Tick() {
        if (!m_active) return;
        DWORD now = GetTickCount();
        if (now - m_last < kProgressMs) return;
        m_last = now;
        if (m_out.HasPending()) {
            Erase();
            m_out.Flush();
        }
        if (!m_progress) return;
        std::wstring line =
            L"\r" + Widen(ProgressText(m_language, m_state.foldersSearched, m_state.filesSearched), CP_UTF8);
        size_t columns = Columns(line);
        if (columns < m_shown) line.append(m_shown - columns, L' ');
        m_shown = std::max(m_shown, columns);
        m_err.Wide(line);
        m_err.Flush();
    }

    // After the walk the counts stand still: only the flushing goes on.
    void EndProgress() {
        Erase();
        m_progress = false;
    }

    // Clears the progress line so that other output starts at the left edge.
    void Erase() {
        if (m_shown == 0) return;
        m_err.Wide(L"\r" + std::wstring(m_shown, L' ') + L"\r");
        m_err.Flush();
        m_shown = 0;
    }

private:
    // A wide CJK character takes two console cells.
    static size_t Columns(const std::wstring& text) {
        size_t columns = 0;
        for (wchar_t c : text) columns += c >= 0x1100 ? 2 : (c == L'\r' ? 0 : 1);
        return columns;
    }

    OutStream& m_out;
    OutStream& m_err;
    const ScanState& m_state;
    Language m_language;
    bool m_progress;
    bool m_active;
    DWORD m_last;
    size_t m_shown = 0;
};

struct ListedEntry {
    ResultRow row;  // what the deletion goes by
    std::string name;
    bool isFolder = false;
    int outcome = kOutcomeListed;
    uint32_t error = 0;
    WideName newName;  // with --rename, what the entry is called now
};

// Appends the new name of a renamed row: a last field of a text line, a
// "new_name" member of a JSON record.
std::string WithNewName(std::string line, const std::string& newName, bool json) {
    if (line.size() < 2) return line;
    if (json) {
        line.resize(line.size() - 2);  // the closing brace and the line break
        return line + ",\"new_name\":" + JsonString(newName) + "}\n";
    }
    line.pop_back();
    return line + "\t" + newName + "\n";
}

// Rows as they arrive: written at once, and kept when they are to be deleted.
class ConsoleSink : public RowSink {
public:
    ConsoleSink(const ScanCommand& command, OutStream& out, Ticker& ticker)
        : m_command(command), m_out(out), m_ticker(ticker) {}

    std::vector<ListedEntry> entries;

    void AppendRow(const ResultRow& row) override {
        ListedEntry entry;
        entry.row = row;
        entry.name = row.bracketedName.substr(1, row.bracketedName.size() - 2);
        entry.isFolder = row.type == kTypeFolder;
        if (!m_command.quiet) {
            WriteRow(m_command, m_out, entry);
            // A reader at the other end of a pipe sees each row as it is found.
            if (!m_out.IsConsole()) m_out.Flush();
            if (m_out.ReaderGone()) OnReaderGone();
        }
        if (m_command.remove) entries.push_back(std::move(entry));
        m_ticker.Tick();
    }
    void Idle() override { m_ticker.Tick(); }

    // The row, or with an outcome what became of it, in the form asked for.
    static void WriteRow(const ScanCommand& command, OutStream& out, const ListedEntry& entry) {
        const ResultRow& row = entry.row;
        const bool listed = entry.outcome == kOutcomeListed;
        if (command.json) {
            const std::string path = PathUtf8(row), name = NameUtf8(row, entry.name);
            std::string record =
                listed ? JsonRow(path, name, entry.isFolder, row.attribute, kOutcomeListed)
                       : JsonOutcome(path, name, entry.isFolder, row.attribute, entry.outcome, entry.error);
            if (entry.outcome == kOutcomeRenamed)
                record = WithNewName(record, Narrow(WideOf(entry.newName), CP_UTF8), true);
            out.Utf8(record);
        } else if (command.nulSeparated) {
            out.Row(row.path + '\0', PathUtf8(row) + '\0');
        } else {
            // The UTF-8 form is made only where it is shown.
            const bool utf8 = command.utf8 || out.IsConsole();
            const std::string path = utf8 ? PathUtf8(row) : std::string(), name = utf8 ? NameUtf8(row, entry.name) : "";
            if (listed)
                out.Row(RowLine(row.path, entry.name, entry.isFolder, row.attribute),
                        utf8 ? RowLine(path, name, entry.isFolder, row.attribute) : std::string());
            else if (entry.outcome == kOutcomeRenamed) {
                std::string ansi;
                WideToAnsiExactly(std::wstring(entry.newName.begin(), entry.newName.end()), ansi);
                out.Row(WithNewName(OutcomeLine(row.path, entry.name, entry.isFolder, row.attribute, entry.outcome, 0),
                                    ansi, false),
                        utf8 ? WithNewName(OutcomeLine(path, name, entry.isFolder, row.attribute, entry.outcome, 0),
                                           Narrow(WideOf(entry.newName), CP_UTF8), false)
                             : std::string());
            } else
                out.Row(OutcomeLine(row.path, entry.name, entry.isFolder, row.attribute, entry.outcome, entry.error),
                        utf8 ? OutcomeLine(path, name, entry.isFolder, row.attribute, entry.outcome, entry.error)
                             : std::string());
        }
    }

private:
    const ScanCommand& m_command;
    OutStream& m_out;
    Ticker& m_ticker;
};

// The arguments in the ANSI code page, as the engine takes paths. A character
// the code page lacks would be replaced by a look-alike (a "best fit") and
// could name another folder, so such an argument is refused: its 1-based
// number, or 0 when all converted.
int ReadArguments(std::vector<std::string>& args) {
    int count = 0;
    LPWSTR* argv = CommandLineToArgvW(GetCommandLineW(), &count);
    if (!argv) return 0;
    int bad = 0;
    for (int i = 1; i < count && !bad; ++i) {
        std::string narrow;
        if (!WideToAnsiExactly(std::wstring(argv[i]), narrow))
            bad = i;
        else
            args.push_back(narrow);
    }
    LocalFree(argv);
    return bad;
}

bool IsDriveOnly(const std::string& path) {
    return path.size() == 2 && path[1] == ':' &&
           ((path[0] >= 'A' && path[0] <= 'Z') || (path[0] >= 'a' && path[0] <= 'z'));
}

bool IsPrefixed(const std::string& path) { return HasWin32Prefix(path); }

// The current folder of the process, or of one drive ("D:"), exactly: empty
// when the code page cannot hold it.
std::string CurrentFolder(const wchar_t* drive) {
    wchar_t full[32768];
    DWORD n = drive ? GetFullPathNameW(drive, 32768, full, nullptr) : GetCurrentDirectoryW(32768, full);
    std::string narrow;
    if (n == 0 || n >= 32768 || !WideToAnsiExactly(full, n, narrow)) return std::string();
    return narrow;
}

// A relative folder becomes absolute, so that the rows' paths can be deleted
// from anywhere. Only the current folder is put in front: the components as
// typed stay what they are, since the system's own normalisation would drop a
// trailing dot or blank and walk the twin ("a." as "a"). A bare drive ("D:")
// and "D:sub" start from that drive's current folder, as the system takes
// them. Device paths, shares and absolute paths stay as typed.
std::string AbsoluteFolder(const std::string& folder) {
    if (IsPrefixed(folder) || folder.empty()) return folder;
    if (folder.size() >= 2 && folder[0] == '\\' && folder[1] == '\\') return folder;
    const bool drive = folder.size() >= 2 && folder[1] == ':' && !IsAnsiLeadByte(static_cast<unsigned char>(folder[0]));
    if (drive && folder.size() >= 3 && folder[2] == '\\') return folder;
    std::string base, rest;
    if (drive) {
        const wchar_t letter[3] = {static_cast<wchar_t>(static_cast<unsigned char>(folder[0])), L':', 0};
        base = CurrentFolder(letter);
        rest = folder.substr(2);
    } else if (folder[0] == '\\') {
        base = CurrentFolder(nullptr).substr(0, 2);  // the current drive
        rest = folder.substr(1);
    } else {
        base = CurrentFolder(nullptr);
        rest = folder;
    }
    if (base.empty()) return folder;
    if (rest.empty()) return base;
    return base + (base.back() == '\\' ? "" : "\\") + rest;
}

enum class FolderCheck { Ok, Missing, NotAFolder };

FolderCheck CheckFolder(const std::string& folder) {
    std::string target = folder;
    if (IsDriveOnly(target)) target += '\\';
    DWORD attributes = GetFileAttributesA(target.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES) {
        DWORD error = GetLastError();
        // Access denied and the like: it exists; the walk counts it as not searched.
        bool missing = error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND || error == ERROR_INVALID_NAME ||
                       error == ERROR_INVALID_DRIVE || error == ERROR_BAD_PATHNAME || error == ERROR_BAD_NETPATH ||
                       error == ERROR_BAD_NET_NAME || error == ERROR_NOT_READY || error == ERROR_DIRECTORY;
        return missing ? FolderCheck::Missing : FolderCheck::Ok;
    }
    return (attributes & FILE_ATTRIBUTE_DIRECTORY) ? FolderCheck::Ok : FolderCheck::NotAFolder;
}

// One line from stdin: typed on a console, or fed through a pipe or file.
std::string ReadAnswer() {
    HANDLE in = GetStdHandle(STD_INPUT_HANDLE);
    if (IsConsoleHandle(in)) {
        std::wstring line;
        wchar_t buffer[256];
        DWORD read = 0;
        while (line.find(L'\n') == std::wstring::npos && ReadConsoleW(in, buffer, 256, &read, nullptr) && read > 0)
            line.append(buffer, read);
        return Narrow(line, CP_UTF8);
    }
    std::string line;
    char c;
    DWORD read = 0;
    // Byte by byte, so nothing after the answer's line is taken from the stream.
    while (in && in != INVALID_HANDLE_VALUE && ReadFile(in, &c, 1, &read, nullptr) && read == 1 && c != '\n') line += c;
    return line;
}

double Milliseconds(const LARGE_INTEGER& from, const LARGE_INTEGER& to) {
    LARGE_INTEGER f;
    QueryPerformanceFrequency(&f);
    return 1000.0 * static_cast<double>(to.QuadPart - from.QuadPart) / static_cast<double>(f.QuadPart);
}

// The components of a folder as the file system compares names: without
// regard to case (one fixed table, not the user's locale).
std::vector<std::string> FolderKey(const std::string& absolute) {
    std::vector<std::string> key = FolderComponents(absolute);
    for (std::string& part : key) {
        std::wstring wide = Widen(part, CP_ACP);
        if (wide.empty()) continue;
        std::wstring upper(wide.size(), L'\0');
        if (LCMapStringW(LOCALE_INVARIANT, LCMAP_UPPERCASE, wide.data(), static_cast<int>(wide.size()), &upper[0],
                         static_cast<int>(upper.size())) == static_cast<int>(wide.size()))
            part = Narrow(upper, CP_UTF8);
        else
            part = Narrow(wide, CP_UTF8);
    }
    return key;
}

// The bytes of a --from list: a file named in the ANSI code page, or stdin ("-").
bool ReadList(const std::string& from, std::string& bytes) {
    HANDLE in = GetStdHandle(STD_INPUT_HANDLE);
    HANDLE file = INVALID_HANDLE_VALUE;
    if (from != "-") {
        std::wstring wide;
        if (!AnsiToWide(from, wide) || wide.empty()) return false;
        file = CreateFileW(wide.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                           FILE_ATTRIBUTE_NORMAL, nullptr);
        if (file == INVALID_HANDLE_VALUE) return false;
        in = file;
    }
    char buffer[65536];
    DWORD read = 0;
    bool ok = in && in != INVALID_HANDLE_VALUE;
    while (ok && !StopRequested()) {
        if (!ReadFile(in, buffer, sizeof buffer, &read, nullptr)) {
            // The writer of a pipe closing its end is the end of the list.
            ok = GetLastError() == ERROR_BROKEN_PIPE;
            break;
        }
        if (read == 0) break;
        bytes.append(buffer, read);
    }
    if (file != INVALID_HANDLE_VALUE) CloseHandle(file);
    return ok;
}

bool Utf8ToWide(const std::string& text, std::wstring& wide) {
    wide.clear();
    if (text.empty()) return true;
    int n = MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, text.data(), static_cast<int>(text.size()), nullptr, 0);
    if (n <= 0) return false;
    wide.resize(static_cast<size_t>(n));
    return MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, text.data(), static_cast<int>(text.size()), &wide[0],
                               n) == n;
}

// A path of the list that is not there exactly: its outcome in the row form,
// written where the rows go (to stderr with -0, whose stdout holds paths only).
void WriteUnresolved(const ScanCommand& command, OutStream& out, OutStream& err, const ListedPath& item,
                     const std::wstring& wide, uint32_t error) {
    // The last component, found in the wide form: a trail byte may equal "\\".
    const size_t slash = wide.rfind(L'\\');
    const std::wstring wideName = slash == std::wstring::npos ? wide : wide.substr(slash + 1);
    std::string ansiPath = item.text, ansiName;
    if (item.utf8) WideToAnsiExactly(wide, ansiPath);
    WideToAnsiExactly(wideName, ansiName);
    const std::string utf8Path = item.utf8 ? item.text : AnsiToUtf8(item.text), utf8Name = Narrow(wideName, CP_UTF8);
    if (command.json) {
        out.Utf8(JsonUnresolved(utf8Path, utf8Name, error));
    } else {
        OutStream& to = command.nulSeparated ? err : out;
        to.Row(UnresolvedLine(ansiPath, ansiName, error), UnresolvedLine(utf8Path, utf8Name, error));
    }
    // Streamed like the rows around it.
    if (!out.IsConsole()) out.Flush();
    if (out.ReaderGone()) OnReaderGone();
}

// --from: each path of the list resolved by exact stored names and listed as
// a row, as a search would have listed its entry. Returns the paths read.
int ListFromPaths(const std::vector<ListedPath>& list, const ScanCommand& command, Language language, FileSystem& fs,
                  ConsoleSink& sink, OutStream& out, OutStream& err, ScanState& state, ScanCounts& counts) {
    const ScanOptions every{1, 1, 1, 1};
    std::set<WideName> listed;
    int read = 0;
    for (const ListedPath& item : list) {
        if (StopRequested()) break;
        ++read;
        if (item.text.empty()) {
            err.Message(kProgram + NoPathOnLineText(language, item.line));
            ++counts.unresolved;
            continue;
        }
        std::wstring wide;
        bool ok = item.utf8 ? Utf8ToWide(item.text, wide) : AnsiToWide(item.text, wide);
        EntryPtr entry;
        std::string longPath;
        NodeInfo info;
        uint32_t error = fs_error::kInvalidName;
        if (ok && !wide.empty())
            ok = ResolveWidePath(fs, WideName(wide.begin(), wide.end()), true, entry, longPath, info, error);
        else
            ok = false;
        // A drive's top folder is no entry to delete or rename.
        if (ok && !entry->parent) {
            ok = false;
            error = fs_error::kInvalidName;
        }
        if (!ok) {
            ++counts.unresolved;
            if (!command.quiet) WriteUnresolved(command, out, err, item, wide, error);
            continue;
        }
        // Given twice, or inside a folder listed before: that row covers it,
        // and a second deletion would only fail on what the first removed.
        bool covered = false;
        for (const EntryRef* at = entry.get(); at && !covered; at = at->parent.get())
            covered = listed.count(WidePathOf(*at)) != 0;
        if (covered) continue;
        listed.insert(WidePathOf(*entry));
        const char* attributeText = kAttrTextName;
        const bool malformed = IsMalformedEntry(entry->name, info.attributes, every, attributeText);
        std::string ansiName;
        fs.ToAnsi(entry->name, ansiName);
        if (longPath.size() >= static_cast<size_t>(kMaxPath)) longPath.clear();
        ResultRow row = MakeResultRow(std::move(longPath), ansiName.c_str(), info.attributes, attributeText);
        row.entry = entry;
        row.wideName = entry->name;
        if (malformed) ++(entry->isFolder ? counts.malformedFolders : counts.malformedFiles);
        sink.AppendRow(row);
        ++state.rowsListed;
    }
    return read;
}

int Run() {
    const Language language = UserLanguage();
    OutStream out(STD_OUTPUT_HANDLE);
    OutStream err(STD_ERROR_HANDLE);

    std::vector<std::string> args;
    if (int bad = ReadArguments(args)) {
        err.Message(kProgram + UnconvertibleArgumentText(language, bad));
        return kExitUsage;
    }
    ScanCommand command;
    std::string offending;
    UsageError usage = ParseScanCommand(args, command, offending);
    out.UseUtf8(command.utf8);
    err.UseUtf8(command.utf8);
    if (command.help) {
        out.Message(HelpText(language));
        return kExitClean;
    }
    if (command.version) {
        out.Message(VersionText(ORVELLE_VERSION_TEXT));
        return kExitClean;
    }
    if (usage != UsageError::None) {
        err.Message(kProgram);
        if (!offending.empty()) {
            err.Ansi(offending);
            err.Message(": ");
        }
        err.Message(UsageErrorText(language, usage));
        return kExitUsage;
    }

    // Every folder is checked before anything is walked or deleted: a typing
    // error in a script must not leave half of the job done.
    std::vector<std::string> given;
    bool allThere = true;
    for (const std::string& argument : command.folders) {
        std::string folder = AbsoluteFolder(argument);
        FolderCheck check = CheckFolder(folder);
        if (check != FolderCheck::Ok) {
            err.Message(kProgram +
                        (check == FolderCheck::Missing ? FolderMissingText(language) : NotAFolderText(language)));
            err.Ansi(argument);
            err.Message("\n");
            allThere = false;
        }
        given.push_back(folder);
    }
    if (!allThere) return kExitUsage;
    // A folder given twice, or inside another, would list its entries twice
    // and have the second deletion fail on what the first removed.
    std::vector<std::vector<std::string>> keys;
    for (const std::string& folder : given) keys.push_back(FolderKey(folder));
    std::vector<std::string> folders;
    for (size_t index : FoldersToSearch(keys)) folders.push_back(given[index]);

    FileSystem& fs = TheFileSystem();
    ScanState state;
    state.ResetCounters();
    state.stopRequested = 0;
    for (const std::string& glob : command.exclude) {
        WideName wide;
        if (TheFileSystem().ToWide(glob, wide)) state.exclude.push_back(wide);
    }
    state.maxDepth = command.maxDepth;
    g_walk = &state;
    SetConsoleCtrlHandler(OnConsoleControl, TRUE);

    // Counts of folders searched mean nothing while a list is read.
    Ticker ticker(out, err, state, language, !command.quiet && !command.hasFrom);
    ConsoleSink sink(command, out, ticker);
    LARGE_INTEGER start, end;
    QueryPerformanceCounter(&start);
    ScanCounts counts;
    int pathsRead = 0;
    if (command.hasFrom) {
        std::string bytes;
        if (!ReadList(command.from, bytes)) {
            ticker.EndProgress();
            g_walk = nullptr;
            err.Message(kProgram + ListUnreadableText(language));
            err.Ansi(command.from);
            err.Message("\n");
            return kExitUsage;
        }
        pathsRead =
            ListFromPaths(ReadPathList(bytes, command.utf8), command, language, fs, sink, out, err, state, counts);
    }
    for (const std::string& folder : folders) {
        if (StopRequested()) break;
        ScanFolder(fs, folder, command.options, sink, state);
    }
    QueryPerformanceCounter(&end);
    ticker.EndProgress();
    g_walk = nullptr;

    counts.foldersSearched = state.foldersSearched;
    counts.filesSearched = state.filesSearched;
    counts.malformedFolders += state.malformedFolders;
    counts.malformedFiles += state.malformedFiles;
    counts.unsearched = state.unsearched;
    counts.stopped = StopRequested();
    counts.readerGone = ReaderGone();
    const double walkMs = Milliseconds(start, end);
    counts.elapsedMs = static_cast<uint32_t>(walkMs);
    const int rowsListed = state.rowsListed;

    // The rows are the results; the counts are for the person watching.
    out.Flush();
    if (command.quiet)
        out.Message(QuietWalkLine(rowsListed, counts, walkMs));
    else if (!command.json)
        err.Message(command.hasFrom ? FromSummaryText(language, pathsRead, rowsListed, counts.unresolved)
                                    : SearchSummaryText(language, counts));
    err.Flush();

    DeleteTally tally;
    tally.renaming = command.rename;
    if (command.remove && rowsListed > 0) {
        tally.asked = true;
        if (command.yes) {
            tally.confirmed = !counts.stopped;
        } else if (!counts.stopped) {
            // Every row it asks about is out before the question.
            out.Flush();
            err.Message(command.rename ? RenamePromptText(language, rowsListed)
                                       : DeletePromptText(language, rowsListed));
            err.Flush();
            tally.confirmed = IsYesAnswer(ReadAnswer()) && !StopRequested();
            // A typed answer ends its own line; a fed one is not echoed.
            if (!IsConsoleHandle(GetStdHandle(STD_INPUT_HANDLE))) err.Message("\n");
        }
    }
    if (tally.asked) {
        QueryPerformanceCounter(&start);
        DeleteSession session(fs);  // as the window deletes its rows: one batch
        EntrySession renamer(fs);
        for (ListedEntry& entry : sink.entries) {
            if (!tally.confirmed) {
                entry.outcome = StopRequested() ? kOutcomeKept : kOutcomeDeclined;
            } else if (StopRequested()) {
                entry.outcome = kOutcomeKept;
                ++tally.kept;
            } else {
                Outcome result;
                if (command.rename) {
                    if (entry.row.entry)
                        result = renamer.Rename(*entry.row.entry, entry.newName);
                    else
                        result.error = fs_error::kFileNotFound;
                } else {
                    result = session.Delete(entry.row);
                }
                entry.outcome = result.ok ? (command.rename ? kOutcomeRenamed : kOutcomeDeleted) : kOutcomeFailed;
                entry.error = result.ok ? 0 : result.error;
                ++(result.ok ? tally.deleted : tally.failed);
            }
            if (!command.quiet) {
                ConsoleSink::WriteRow(command, out, entry);
                if (!out.IsConsole()) out.Flush();
                if (out.ReaderGone()) OnReaderGone();
            }
            ticker.Tick();
        }
        QueryPerformanceCounter(&end);
        if (command.quiet && tally.confirmed)
            out.Message(QuietDeleteLine(tally.deleted, tally.failed, Milliseconds(start, end)));
    }
    out.Flush();
    tally.readerGone = ReaderGone() && !Interrupted();
    tally.interrupted = tally.confirmed && StopRequested();
    if (tally.asked && !command.quiet && !command.json) err.Message(DeleteSummaryText(language, tally));

    const int exitCode = ExitCodeFor(rowsListed, tally, counts.unsearched + counts.unresolved, StopRequested());
    if (command.json) out.Utf8(JsonSummary(counts, rowsListed, tally, exitCode));
    return exitCode;
}

}  // namespace

int main() { return Run(); }
