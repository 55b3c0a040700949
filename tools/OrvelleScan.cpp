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

std::wstring WideOf(const WideName& name) { return std::wstring(name.begin(), name.end()); }

std::u16string WideNameOf(const std::wstring& text) { return std::u16string(text.begin(), text.end()); }

// A row's path and name in UTF-16, exactly: the path as column 0 shows it
// (the drive as typed) where it can, else from the chain of stored names,
// whatever its length or characters.
std::u16string RowPathWide(const ResultRow& row) {
    if (!row.path.empty()) return WideNameOf(Widen(row.path, CP_ACP));
    return row.entry ? WidePathOf(*row.entry) : std::u16string();
}

std::u16string RowNameWide(const ResultRow& row, const std::string& ansiName) {
    return row.wideName.empty() ? WideNameOf(Widen(ansiName, CP_ACP)) : row.wideName;
}

// A path or name as a field of a text row: as it stands where the row's
// encoding holds it exactly and nothing in it would split the row, else in
// the quoted form, which --from reads back to the same units.
std::string TextField(const std::u16string& text, bool utf8) {
    if (!NeedsQuoting(text)) {
        if (utf8) return Wtf8Of(text);
        std::string ansi;
        if (WideToAnsiExactly(WideOf(text), ansi)) return ansi;
    }
    return QuotedField(text);
}

// The same for a -0 item: only NUL ends one, so a TAB or a line break stands
// as it is; what the encoding cannot hold is quoted.
std::string NulField(const std::u16string& text, bool utf8) {
    std::u16string probe = text;
    for (char16_t& c : probe)
        if (c < 0x20) c = u'_';
    if (!NeedsQuoting(probe)) {
        if (utf8) return Wtf8Of(text);
        std::string ansi;
        if (WideToAnsiExactly(WideOf(text), ansi)) return ansi;
    }
    return QuotedField(text);
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
        const std::u16string path = RowPathWide(row), name = RowNameWide(row, entry.name);
        if (command.json) {
            std::string record =
                listed ? JsonRow(Wtf8Of(path), Wtf8Of(name), entry.isFolder, row.attribute, kOutcomeListed)
                       : JsonOutcome(Wtf8Of(path), Wtf8Of(name), entry.isFolder, row.attribute, entry.outcome,
                                     entry.error);
            record = WithWhyListed(record, row.listedFor, row.plainPathWorks, true);
            if (entry.outcome == kOutcomeRenamed) record = WithNewName(record, Wtf8Of(entry.newName), true);
            // What the entry is goes with it, so that --from acts on it alone.
            if (const EntryRef* e = row.entry.get())
                record = WithIdentity(record, e->id, e->created, e->written, e->size);
            out.Utf8(record);
            return;
        }
        if (command.nulSeparated) {
            out.Row(NulField(path, false) + '\0', NulField(path, true) + '\0');
            return;
        }
        // One form: UTF-8 where it is shown so (a console, --utf8), else the ANSI code page.
        const bool utf8 = command.utf8 || out.IsConsole();
        const std::string p = TextField(path, utf8), n = TextField(name, utf8);
        std::string line;
        if (listed)
            line =
                WithWhyListed(RowLine(p, n, entry.isFolder, row.attribute), row.listedFor, row.plainPathWorks, false);
        else if (entry.outcome == kOutcomeRenamed)
            line = WithNewName(Why(OutcomeLine(p, n, entry.isFolder, row.attribute, entry.outcome, 0), row),
                               TextField(entry.newName, utf8), false);
        else
            line = Why(OutcomeLine(p, n, entry.isFolder, row.attribute, entry.outcome, entry.error), row);
        if (utf8)
            out.Row(std::string(), line);
        else
            out.Row(line, std::string());
    }

private:
    // An outcome line with the row's fifth field before its three outcome fields.
    static std::string Why(std::string line, const ResultRow& row) {
        return WithWhyListed(std::move(line), row.listedFor, row.plainPathWorks, false, 3);
    }

    const ScanCommand& m_command;
    OutStream& m_out;
    Ticker& m_ticker;
};

// The arguments exactly as given, in WTF-8 (UTF-8 that keeps a lone
// surrogate): a folder whose name the ANSI code page lacks is searched as
// itself, never as a look-alike.
void ReadArguments(std::vector<std::string>& args) {
    int count = 0;
    LPWSTR* argv = CommandLineToArgvW(GetCommandLineW(), &count);
    if (!argv) return;
    for (int i = 1; i < count; ++i) args.push_back(Wtf8Of(WideNameOf(argv[i])));
    LocalFree(argv);
}

std::u16string WideArgument(const std::string& wtf8) {
    std::u16string wide;
    Utf16OfWtf8(wtf8, wide);
    return wide;
}

enum class FolderCheck { Ok, Missing, NotAFolder };

// Whether a folder argument names a folder, found as the search will find it:
// from its volume's top folder by handles (made absolute first when relative).
// entry receives what it is, or stays null when it is there but cannot be
// opened (access denied: the walk counts it as not searched).
FolderCheck CheckFolder(FileSystem& fs, const std::u16string& folder, EntryPtr& entry) {
    TypedPath typed;
    std::string longPath;
    NodeInfo info;
    uint32_t error = 0;
    entry.reset();
    if (SplitTypedPath(fs, folder, PathUse::kRoot, typed, error) &&
        OpenTypedPath(fs, typed, false, entry, longPath, info, nullptr, error))
        return entry->isFolder ? FolderCheck::Ok : FolderCheck::NotAFolder;
    entry.reset();
    const bool missing = error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND ||
                         error == ERROR_INVALID_NAME || error == ERROR_INVALID_DRIVE || error == ERROR_BAD_PATHNAME ||
                         error == ERROR_BAD_NETPATH || error == ERROR_BAD_NET_NAME || error == ERROR_NOT_READY ||
                         error == ERROR_DIRECTORY || error == fs_error::kNotTheListedEntry;
    return missing ? FolderCheck::Missing : FolderCheck::Ok;
}

// What a folder is, as a key FoldersToSearch compares: its volume, then the
// file id of every folder from the top down. Two spellings of one folder
// (case, aliases, "." and "..", prefixes) get one key; a folder inside another
// starts with the other's key. A trailing dot or blank is part of a name, so
// "a." and "a" are two folders.
std::vector<std::string> FolderKey(const EntryPtr& entry, const std::u16string& typed) {
    std::vector<std::string> key;
    if (!entry) {
        key.push_back("?" + Wtf8Of(typed));  // not opened: only itself
        return key;
    }
    for (const EntryRef* at = entry.get(); at; at = at->parent.get()) {
        if (at->parent) {
            char id[24];
            std::snprintf(id, sizeof id, "%016llx", static_cast<unsigned long long>(at->id));
            key.insert(key.begin(), id);
        } else {
            std::u16string volume = at->name;
            for (char16_t& c : volume)
                if (c >= u'a' && c <= u'z') c = static_cast<char16_t>(c - u'a' + u'A');
            key.insert(key.begin(), Wtf8Of(volume));
        }
    }
    return key;
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

// The bytes of a --from list: a file (named as the argument gave it), or stdin ("-").
bool ReadList(const std::string& from, std::string& bytes) {
    HANDLE in = GetStdHandle(STD_INPUT_HANDLE);
    HANDLE file = INVALID_HANDLE_VALUE;
    if (from != "-") {
        const std::wstring wide = WideOf(WideArgument(from));
        if (wide.empty()) return false;
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
void WriteUnresolved(const ScanCommand& command, OutStream& out, OutStream& err, const std::u16string& path,
                     uint32_t error) {
    const size_t slash = path.rfind(u'\\');
    const std::u16string name = slash == std::u16string::npos ? path : path.substr(slash + 1);
    if (command.json) {
        out.Utf8(JsonUnresolved(Wtf8Of(path), Wtf8Of(name), error));
    } else {
        OutStream& to = command.nulSeparated ? err : out;
        const bool utf8 = command.utf8 || to.IsConsole();
        const std::string line = UnresolvedLine(TextField(path, utf8), TextField(name, utf8), error);
        to.Row(utf8 ? std::string() : line, utf8 ? line : std::string());
    }
    // Streamed like the rows around it.
    if (!out.IsConsole()) out.Flush();
    if (out.ReaderGone()) OnReaderGone();
}

// --from: each path of the list resolved by exact stored names and listed as
// a row, as a search would have listed its entry. A JSON row of this program
// also says what its entry was: a path where something else stands now is not
// acted on. Returns the paths read.
int ListFromPaths(const std::vector<ListedPath>& list, const ScanCommand& command, Language language, FileSystem& fs,
                  ConsoleSink& sink, OutStream& out, OutStream& err, ScanState& state, ScanCounts& counts) {
    const ScanOptions every{1, 1, 1, 1};
    std::set<WideName> listed;
    int read = 0;
    for (const ListedPath& item : list) {
        if (StopRequested()) break;
        ++read;
        if (item.text.empty() || item.unreadable) {
            err.Message(kProgram + (item.unreadable ? UnreadableLineText(language, item.line)
                                                    : NoPathOnLineText(language, item.line)));
            ++counts.unresolved;
            continue;
        }
        std::u16string wide;
        bool ok;
        if (item.wtf8) {
            ok = Utf16OfWtf8(item.text, wide);
        } else {
            std::wstring w;
            ok = item.utf8 ? Utf8ToWide(item.text, w) : AnsiToWide(item.text, w);
            wide = WideNameOf(w);
        }
        if (!ok) {
            err.Message(kProgram + UnreadableLineText(language, item.line));
            ++counts.unresolved;
            continue;
        }
        EntryPtr entry;
        std::string longPath;
        NodeInfo info;
        uint32_t error = fs_error::kInvalidName;
        ok = !wide.empty() && ResolveWidePath(fs, wide, true, entry, longPath, info, error);
        // A drive's top folder is no entry to delete or rename.
        if (ok && !entry->parent) {
            ok = false;
            error = fs_error::kInvalidName;
        }
        if (ok && item.hasIdentity) {
            Identity was;
            was.id = item.id;
            was.created = item.created;
            was.written = item.written;
            was.size = item.size;
            if (!SameEntry(was, info, entry->isFolder)) {
                ok = false;
                error = fs_error::kNotTheListedEntry;
            }
        }
        if (!ok) {
            ++counts.unresolved;
            if (!command.quiet) WriteUnresolved(command, out, err, wide, error);
            continue;
        }
        // Given twice, or inside a folder listed before: that row covers it,
        // and a second deletion would only fail on what the first removed.
        bool covered = false;
        for (const EntryRef* at = entry.get(); at && !covered; at = at->parent.get())
            covered = listed.count(WidePathOf(*at)) != 0;
        if (covered) continue;
        // With --plain-fails a path its plain path reaches is left out as unlisted.
        if (command.plainFails && fs.PlainPathReaches(WidePathOf(*entry->parent), entry->name)) continue;
        listed.insert(WidePathOf(*entry));
        const char* attributeText = kAttrTextName;
        const bool malformed = IsMalformedEntry(entry->name, info.attributes, every, attributeText);
        std::string ansiName;
        fs.ToAnsi(entry->name, ansiName);
        if (longPath.size() >= static_cast<size_t>(kMaxPath)) longPath.clear();
        ResultRow row = MakeResultRow(std::move(longPath), ansiName.c_str(), info.attributes, attributeText);
        row.entry = entry;
        row.wideName = entry->name;
        NoteWhyListed(fs, row, *entry->parent, info.attributes, every);
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
    ReadArguments(args);
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
            err.Wide(WideOf(WideArgument(offending)));
            err.Message(": ");
        }
        err.Message(UsageErrorText(language, usage));
        return kExitUsage;
    }

    // Every folder is checked before anything is walked or deleted: a typing
    // error in a script must not leave half of the job done.
    FileSystem& fs = TheFileSystem();
    std::vector<std::u16string> given;
    std::vector<std::vector<std::string>> keys;
    bool allThere = true;
    for (const std::string& argument : command.folders) {
        const std::u16string folder = WideArgument(argument);
        EntryPtr entry;
        FolderCheck check = CheckFolder(fs, folder, entry);
        if (check != FolderCheck::Ok) {
            err.Message(kProgram +
                        (check == FolderCheck::Missing ? FolderMissingText(language) : NotAFolderText(language)));
            err.Wide(WideOf(folder));
            err.Message("\n");
            allThere = false;
        }
        given.push_back(folder);
        keys.push_back(FolderKey(entry, folder));
    }
    if (!allThere) return kExitUsage;
    // A folder given twice, or inside another, would list its entries twice
    // and have the second deletion fail on what the first removed.
    std::vector<std::u16string> folders;
    for (size_t index : FoldersToSearch(keys)) folders.push_back(given[index]);

    ScanState state;
    state.ResetCounters();
    state.stopRequested = 0;
    for (const std::string& glob : command.exclude) {
        const std::u16string wide = WideArgument(glob);
        if (!wide.empty()) state.exclude.push_back(wide);
    }
    state.maxDepth = command.maxDepth;
    state.onlyPlainPathFails = command.plainFails;
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
            err.Wide(WideOf(WideArgument(command.from)));
            err.Message("\n");
            return kExitUsage;
        }
        pathsRead =
            ListFromPaths(ReadPathList(bytes, command.utf8), command, language, fs, sink, out, err, state, counts);
    }
    for (const std::u16string& folder : folders) {
        if (StopRequested()) break;
        ScanFolder(fs, std::u16string_view(folder), command.options, sink, state);
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
