// The real OrvelleScan.exe on real folders: started with its output in files
// and its answer fed through stdin, then the disk compared with what it listed.
#include <gtest/gtest.h>

#include <windows.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <ostream>
#include <map>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "Sandbox.h"

#ifndef ORVELLE_E2E_SCAN
#error "ORVELLE_E2E_SCAN: the built OrvelleScan.exe"
#endif

namespace {

using e2e::Sandbox;

constexpr DWORD kRunTimeoutMs = 60000;

// --- a JSON reader, enough for one flat object a line ---------------------

struct JsonValue {
    enum Kind { String, Number, Bool, Null } kind = Null;
    std::string text;  // UTF-8
    double number = 0;
    bool boolean = false;
};
using JsonObject = std::map<std::string, JsonValue>;

class JsonReader {
public:
    explicit JsonReader(const std::string& text) : m_text(text) {}

    bool Object(JsonObject& object) {
        Blanks();
        if (!Take('{')) return false;
        Blanks();
        if (Take('}')) return AtEnd();
        do {
            Blanks();
            std::string key;
            if (!String(key)) return false;
            Blanks();
            if (!Take(':')) return false;
            Blanks();
            JsonValue value;
            if (!Value(value)) return false;
            if (!object.emplace(key, value).second) return false;  // a key twice
            Blanks();
        } while (Take(','));
        return Take('}') && AtEnd();
    }

private:
    bool AtEnd() {
        Blanks();
        return m_at == m_text.size();
    }
    void Blanks() {
        while (m_at < m_text.size() && std::strchr(" \t\r\n", m_text[m_at]) && m_text[m_at]) ++m_at;
    }
    bool Take(char c) {
        if (m_at < m_text.size() && m_text[m_at] == c) {
            ++m_at;
            return true;
        }
        return false;
    }
    bool Value(JsonValue& value) {
        if (m_at >= m_text.size()) return false;
        if (m_text[m_at] == '"') {
            value.kind = JsonValue::String;
            return String(value.text);
        }
        for (const char* word : {"true", "false", "null"}) {
            if (m_text.compare(m_at, std::strlen(word), word) == 0) {
                m_at += std::strlen(word);
                value.kind = word[0] == 'n' ? JsonValue::Null : JsonValue::Bool;
                value.boolean = word[0] == 't';
                return true;
            }
        }
        const char* begin = m_text.c_str() + m_at;
        char* end = nullptr;
        value.number = std::strtod(begin, &end);
        if (end == begin) return false;
        value.kind = JsonValue::Number;
        m_at += static_cast<size_t>(end - begin);
        return true;
    }
    static void PutUtf8(std::string& out, unsigned code) {
        if (code < 0x80) {
            out += static_cast<char>(code);
        } else if (code < 0x800) {
            out += static_cast<char>(0xC0 | (code >> 6));
            out += static_cast<char>(0x80 | (code & 0x3F));
        } else if (code < 0x10000) {
            out += static_cast<char>(0xE0 | (code >> 12));
            out += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
            out += static_cast<char>(0x80 | (code & 0x3F));
        } else {
            out += static_cast<char>(0xF0 | (code >> 18));
            out += static_cast<char>(0x80 | ((code >> 12) & 0x3F));
            out += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
            out += static_cast<char>(0x80 | (code & 0x3F));
        }
    }
    bool Hex4(unsigned& code) {
        if (m_at + 4 > m_text.size()) return false;
        code = 0;
        for (int i = 0; i < 4; ++i) {
            char c = m_text[m_at++];
            code <<= 4;
            if (c >= '0' && c <= '9')
                code |= static_cast<unsigned>(c - '0');
            else if (c >= 'a' && c <= 'f')
                code |= static_cast<unsigned>(c - 'a' + 10);
            else if (c >= 'A' && c <= 'F')
                code |= static_cast<unsigned>(c - 'A' + 10);
            else
                return false;
        }
        return true;
    }
    bool String(std::string& out) {
        if (!Take('"')) return false;
        while (m_at < m_text.size()) {
            unsigned char c = static_cast<unsigned char>(m_text[m_at++]);
            if (c == '"') return true;
            if (c < 0x20) return false;  // control characters must be escaped
            if (c != '\\') {
                out += static_cast<char>(c);
                continue;
            }
            if (m_at >= m_text.size()) return false;
            char e = m_text[m_at++];
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
                unsigned code;
                if (!Hex4(code)) return false;
                if (code >= 0xD800 && code < 0xDC00) {
                    unsigned low;
                    if (!Take('\\') || !Take('u') || !Hex4(low) || low < 0xDC00 || low > 0xDFFF) return false;
                    code = 0x10000 + ((code - 0xD800) << 10) + (low - 0xDC00);
                }
                PutUtf8(out, code);
                break;
            }
            default: return false;
            }
        }
        return false;
    }

    const std::string& m_text;
    size_t m_at = 0;
};

// --- running the program --------------------------------------------------

std::string Utf8FromAnsi(const std::string& text) {
    if (text.empty()) return text;
    int n = MultiByteToWideChar(CP_ACP, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
    std::wstring wide(static_cast<size_t>(n), L'\0');
    MultiByteToWideChar(CP_ACP, 0, text.data(), static_cast<int>(text.size()), &wide[0], n);
    n = WideCharToMultiByte(CP_UTF8, 0, wide.data(), n, nullptr, 0, nullptr, nullptr);
    std::string utf8(static_cast<size_t>(n), '\0');
    WideCharToMultiByte(CP_UTF8, 0, wide.data(), static_cast<int>(wide.size()), &utf8[0], n, nullptr, nullptr);
    return utf8;
}

// One argument as CommandLineToArgvW reads it back: backslashes before a
// quote (or the closing quote) doubled. The second byte of a double-byte
// character is no backslash, even when it has the same value (誠).
std::string Quoted(const std::string& arg) {
    std::string out = "\"";
    size_t backslashes = 0;
    for (size_t i = 0; i < arg.size(); ++i) {
        const char c = arg[i];
        if (IsDBCSLeadByte(static_cast<BYTE>(c)) && i + 1 < arg.size()) {
            out.append(backslashes, '\\');
            backslashes = 0;
            out += c;
            out += arg[++i];
            continue;
        }
        if (c == '\\') {
            ++backslashes;
            continue;
        }
        out.append(c == '"' ? backslashes * 2 + 1 : backslashes, '\\');
        backslashes = 0;
        out += c;
    }
    out.append(backslashes * 2, '\\');
    return out + "\"";
}

std::vector<std::string> Lines(const std::string& text) {
    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        lines.push_back(line);
    }
    return lines;
}

struct ScanRun {
    DWORD exitCode = 0xFFFFFFFF;
    std::string out;
    std::string err;
};

struct ListedRow {
    std::string relative;  // below the tree, in the ANSI code page; "\" ends a folder
    std::string attribute;
    bool operator<(const ListedRow& o) const { return relative < o.relative; }
    bool operator==(const ListedRow& o) const { return relative == o.relative && attribute == o.attribute; }
};

std::ostream& operator<<(std::ostream& out, const ListedRow& row) {
    return out << row.relative << " " << row.attribute;
}

class OrvelleScanE2E : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(m_box.Create(e2e::HostPath(ORVELLE_E2E_SCAN), "OrvelleScan.exe"));
        ASSERT_TRUE(m_box.MakeFolder("tree"));
    }

    std::string Tree() const { return m_box.Path("tree"); }

    // Files, and folders when the name ends in "\", below tree\.
    void Make(const std::vector<std::string>& entries) {
        for (const std::string& entry : entries) {
            if (entry.back() == '\\')
                ASSERT_TRUE(m_box.MakeFolder("tree\\" + entry.substr(0, entry.size() - 1))) << entry;
            else
                ASSERT_TRUE(m_box.MakeFile("tree\\" + entry)) << entry;
        }
    }
    bool Exists(const std::string& relative) const {
        std::string name = relative.back() == '\\' ? relative.substr(0, relative.size() - 1) : relative;
        return m_box.Exists("tree\\" + name);
    }

    // Runs the program with `args`, stdin holding `input`, in `folder` (the sandbox when empty).
    ScanRun Scan(const std::vector<std::string>& args, const std::string& input = std::string(),
                 const std::string& folder = std::string()) {
        ScanRun run;
        static int counter = 0;
        const std::string stem = m_box.Path("io" + std::to_string(++counter));
        if (!m_box.MakeFile("io" + std::to_string(counter) + ".in", input) && !input.empty()) {
            ADD_FAILURE() << "cannot write stdin";
            return run;
        }
        SECURITY_ATTRIBUTES inherit = {sizeof inherit, nullptr, TRUE};
        HANDLE in =
            CreateFileA((stem + ".in").c_str(), GENERIC_READ, FILE_SHARE_READ, &inherit, OPEN_ALWAYS, 0, nullptr);
        HANDLE out =
            CreateFileA((stem + ".out").c_str(), GENERIC_WRITE, FILE_SHARE_READ, &inherit, CREATE_ALWAYS, 0, nullptr);
        HANDLE err =
            CreateFileA((stem + ".err").c_str(), GENERIC_WRITE, FILE_SHARE_READ, &inherit, CREATE_ALWAYS, 0, nullptr);
        std::string line = Quoted(m_box.Program());
        for (const std::string& arg : args) line += " " + Quoted(arg);
        STARTUPINFOA startup = {};
        startup.cb = sizeof startup;
        startup.dwFlags = STARTF_USESTDHANDLES;
        startup.hStdInput = in;
        startup.hStdOutput = out;
        startup.hStdError = err;
        PROCESS_INFORMATION info = {};
        const std::string cwd = folder.empty() ? m_box.Folder() : folder;
        std::vector<char> buffer(line.begin(), line.end());
        buffer.push_back('\0');
        const bool started = CreateProcessA(nullptr, buffer.data(), nullptr, nullptr, TRUE, 0, nullptr, cwd.c_str(),
                                            &startup, &info) != FALSE;
        CloseHandle(in);
        CloseHandle(out);
        CloseHandle(err);
        if (!started) {
            ADD_FAILURE() << "cannot start " << line;
            return run;
        }
        if (WaitForSingleObject(info.hProcess, kRunTimeoutMs) != WAIT_OBJECT_0) {
            TerminateProcess(info.hProcess, 99);
            ADD_FAILURE() << "still running: " << line;
        }
        GetExitCodeProcess(info.hProcess, &run.exitCode);
        CloseHandle(info.hProcess);
        CloseHandle(info.hThread);
        run.out = ReadAll(stem + ".out");
        run.err = ReadAll(stem + ".err");
        return run;
    }

    // Runs the program with `args`; once it has written to stderr (the walk
    // is over and it waits at its question), runs `race`, then answers "y".
    ScanRun ScanAndRaceAtTheQuestion(const std::vector<std::string>& args, const std::function<void()>& race) {
        ScanRun run;
        const std::string stem = m_box.Path("race");
        SECURITY_ATTRIBUTES inherit = {sizeof inherit, nullptr, TRUE};
        HANDLE readEnd = nullptr, writeEnd = nullptr;
        if (!CreatePipe(&readEnd, &writeEnd, &inherit, 0)) {
            ADD_FAILURE() << "no pipe";
            return run;
        }
        SetHandleInformation(writeEnd, HANDLE_FLAG_INHERIT, 0);
        HANDLE out =
            CreateFileA((stem + ".out").c_str(), GENERIC_WRITE, FILE_SHARE_READ, &inherit, CREATE_ALWAYS, 0, nullptr);
        HANDLE err =
            CreateFileA((stem + ".err").c_str(), GENERIC_WRITE, FILE_SHARE_READ, &inherit, CREATE_ALWAYS, 0, nullptr);
        std::string line = Quoted(m_box.Program());
        for (const std::string& arg : args) line += " " + Quoted(arg);
        STARTUPINFOA startup = {};
        startup.cb = sizeof startup;
        startup.dwFlags = STARTF_USESTDHANDLES;
        startup.hStdInput = readEnd;
        startup.hStdOutput = out;
        startup.hStdError = err;
        PROCESS_INFORMATION info = {};
        std::vector<char> buffer(line.begin(), line.end());
        buffer.push_back('\0');
        const bool started = CreateProcessA(nullptr, buffer.data(), nullptr, nullptr, TRUE, 0, nullptr,
                                            m_box.Folder().c_str(), &startup, &info) != FALSE;
        CloseHandle(readEnd);
        CloseHandle(out);
        CloseHandle(err);
        if (!started) {
            CloseHandle(writeEnd);
            ADD_FAILURE() << "cannot start " << line;
            return run;
        }
        bool asked = false;
        for (int waited = 0; waited < 300 && !asked; ++waited) {
            Sleep(100);
            // Shared for writing: the program still has the file open.
            HANDLE peek = CreateFileA((stem + ".err").c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                      nullptr, OPEN_EXISTING, 0, nullptr);
            DWORD size = peek == INVALID_HANDLE_VALUE ? 0 : GetFileSize(peek, nullptr);
            if (peek != INVALID_HANDLE_VALUE) CloseHandle(peek);
            asked = size > 0 && size != INVALID_FILE_SIZE && WaitForSingleObject(info.hProcess, 0) == WAIT_TIMEOUT;
        }
        EXPECT_TRUE(asked) << "no question came";
        Sleep(300);  // the question is written whole
        race();
        DWORD written = 0;
        WriteFile(writeEnd, "y\n", 2, &written, nullptr);
        CloseHandle(writeEnd);
        if (WaitForSingleObject(info.hProcess, kRunTimeoutMs) != WAIT_OBJECT_0) {
            TerminateProcess(info.hProcess, 99);
            ADD_FAILURE() << "still running: " << line;
        }
        GetExitCodeProcess(info.hProcess, &run.exitCode);
        CloseHandle(info.hProcess);
        CloseHandle(info.hThread);
        run.out = ReadAll(stem + ".out");
        run.err = ReadAll(stem + ".err");
        return run;
    }

    // The program started with its stdout (and stdin when asked) on pipes the
    // test holds, its stderr in a file: what arrives when can be watched.
    struct Started {
        HANDLE process = nullptr;
        HANDLE out = nullptr;  // the read end of its stdout
        HANDLE in = nullptr;   // the write end of its stdin, or null
        std::string errPath;
    };
    Started Start(const std::vector<std::string>& args, bool pipeStdin) {
        Started run;
        static int counter = 0;
        const std::string errName = "piped" + std::to_string(++counter) + ".err";
        run.errPath = m_box.Path(errName);
        SECURITY_ATTRIBUTES inherit = {sizeof inherit, nullptr, TRUE};
        HANDLE childOut = nullptr, childIn = nullptr;
        if (!CreatePipe(&run.out, &childOut, &inherit, 0)) return run;
        SetHandleInformation(run.out, HANDLE_FLAG_INHERIT, 0);
        if (pipeStdin) {
            if (!CreatePipe(&childIn, &run.in, &inherit, 0)) return run;
            SetHandleInformation(run.in, HANDLE_FLAG_INHERIT, 0);
        } else {
            childIn = CreateFileA("NUL", GENERIC_READ, FILE_SHARE_READ, &inherit, OPEN_EXISTING, 0, nullptr);
        }
        HANDLE err =
            CreateFileA(run.errPath.c_str(), GENERIC_WRITE, FILE_SHARE_READ, &inherit, CREATE_ALWAYS, 0, nullptr);
        std::string line = Quoted(m_box.Program());
        for (const std::string& arg : args) line += " " + Quoted(arg);
        STARTUPINFOA startup = {};
        startup.cb = sizeof startup;
        startup.dwFlags = STARTF_USESTDHANDLES;
        startup.hStdInput = childIn;
        startup.hStdOutput = childOut;
        startup.hStdError = err;
        PROCESS_INFORMATION info = {};
        std::vector<char> buffer(line.begin(), line.end());
        buffer.push_back('\0');
        if (CreateProcessA(nullptr, buffer.data(), nullptr, nullptr, TRUE, 0, nullptr, m_box.Folder().c_str(), &startup,
                           &info)) {
            run.process = info.hProcess;
            CloseHandle(info.hThread);
        } else {
            ADD_FAILURE() << "cannot start " << line;
        }
        // Only the child holds these now: its writes fail once the test closes its end.
        CloseHandle(childOut);
        CloseHandle(childIn);
        CloseHandle(err);
        return run;
    }

    // Reads what the pipe holds until done(text) or the time is up; false on timeout.
    template <typename Done>
    static bool ReadUntil(HANDLE pipe, std::string& text, DWORD timeoutMs, Done done) {
        const DWORD start = GetTickCount();
        while (!done(text)) {
            DWORD available = 0;
            if (!PeekNamedPipe(pipe, nullptr, 0, nullptr, &available, nullptr)) return done(text);
            if (available == 0) {
                if (GetTickCount() - start > timeoutMs) return false;
                Sleep(2);
                continue;
            }
            char buffer[4096];
            DWORD read = 0;
            if (!ReadFile(pipe, buffer, std::min<DWORD>(available, sizeof buffer), &read, nullptr)) return done(text);
            text.append(buffer, read);
        }
        return true;
    }

    static DWORD Finish(Started& run) {
        DWORD code = 0xFFFFFFFF;
        if (run.in) CloseHandle(run.in);
        if (run.out) {
            std::string rest;
            ReadUntil(run.out, rest, kRunTimeoutMs, [](const std::string&) { return false; });
            CloseHandle(run.out);
        }
        if (run.process) {
            if (WaitForSingleObject(run.process, kRunTimeoutMs) != WAIT_OBJECT_0) {
                TerminateProcess(run.process, 99);
                ADD_FAILURE() << "still running";
            }
            GetExitCodeProcess(run.process, &code);
            CloseHandle(run.process);
        }
        run = Started();
        return code;
    }

    static std::string ReadAll(const std::string& path) {
        std::string text;
        // The program may still be writing it.
        HANDLE file = CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                  OPEN_EXISTING, 0, nullptr);
        if (file == INVALID_HANDLE_VALUE) return text;
        char buffer[4096];
        DWORD read = 0;
        while (ReadFile(file, buffer, sizeof buffer, &read, nullptr) && read > 0) text.append(buffer, read);
        CloseHandle(file);
        return text;
    }

    // The rows of the text output, as relative paths with a "\" after folders.
    std::set<ListedRow> TextRows(const std::string& out) const {
        std::set<ListedRow> rows;
        const std::string prefix = Tree() + "\\";
        for (const std::string& line : Lines(out)) {
            std::vector<std::string> fields;
            std::istringstream in(line);
            for (std::string field; std::getline(in, field, '\t');) fields.push_back(field);
            if (fields.size() != 5) continue;  // outcome lines
            EXPECT_EQ(fields[0].compare(0, prefix.size(), prefix), 0) << line;
            std::string relative = fields[0].substr(std::min(prefix.size(), fields[0].size()));
            // The name column is the path's last component, between brackets.
            std::string name =
                relative.substr(relative.rfind('\\') == std::string::npos ? 0 : relative.rfind('\\') + 1);
            EXPECT_EQ(fields[1], "[" + name + "]") << line;
            EXPECT_TRUE(fields[2] == "folder" || fields[2] == "file") << line;
            rows.insert({relative + (fields[2] == "folder" ? "\\" : ""), fields[3]});
        }
        return rows;
    }

    Sandbox m_box;
};

// A tree with every kind of malformed name next to a well-formed twin, a
// listed folder with content, and 誠, whose second GBK byte is "\".
const std::vector<std::string> kTree = {
    "report.",          "report", "trail ",      "trail",       "con",
    "nul.tar.gz",       "ok.txt", "aux\\",       "aux\\in.txt", "aux\\deep\\",
    "aux\\deep\\x.txt", "dir.\\", "dir.\\a.txt", "dir\\",       "dir\\a.txt",
    "dir\\lpt9.log",    "誠\\",   "誠\\prn.doc", "誠\\誠.txt",  "notes\\",
    "notes\\readme.md",
};
const std::set<ListedRow> kListed = {
    {"report.", "-"}, {"trail ", "-"}, {"con", "-"},           {"nul.tar.gz", "-"},
    {"aux\\", "-"},   {"dir.\\", "-"}, {"dir\\lpt9.log", "-"}, {"誠\\prn.doc", "-"},
};
const std::vector<std::string> kKept = {"report", "trail", "ok.txt", "dir\\a.txt", "誠\\誠.txt", "notes\\readme.md"};

TEST_F(OrvelleScanE2E, ListsExactlyTheMalformedEntriesAndCounts) {
    Make(kTree);
    ScanRun run = Scan({Tree()});
    EXPECT_EQ(run.exitCode, 1u) << run.err;
    EXPECT_EQ(TextRows(run.out), kListed) << run.out;
    // stdout holds the rows and nothing else; four lines of counts and the
    // time, in the user's language, go to stderr.
    EXPECT_EQ(Lines(run.out).size(), kListed.size()) << run.out;
    EXPECT_EQ(Lines(run.err).size(), 5u) << run.err;
    EXPECT_EQ(run.err.find(Tree()), std::string::npos) << run.err;
    for (const ListedRow& row : kListed) EXPECT_TRUE(Exists(row.relative)) << row.relative;

    // Listed by attribute instead of by name; a hidden folder is not entered.
    ASSERT_TRUE(SetFileAttributesA(m_box.Path("tree\\notes").c_str(), FILE_ATTRIBUTE_HIDDEN));
    ASSERT_TRUE(SetFileAttributesA(m_box.Path("tree\\ok.txt").c_str(), FILE_ATTRIBUTE_READONLY));
    run = Scan({"--no-names", "--hidden", "--readonly", Tree()});
    EXPECT_EQ(run.exitCode, 1u) << run.err;
    EXPECT_EQ(TextRows(run.out), (std::set<ListedRow>{{"notes\\", "H"}, {"ok.txt", "R"}})) << run.out;
}

TEST_F(OrvelleScanE2E, JsonParsesBackToTheRowsAndCounts) {
    Make(kTree);
    ScanRun run = Scan({"--json", Tree()});
    EXPECT_EQ(run.exitCode, 1u) << run.err;
    std::vector<JsonObject> objects;
    for (const std::string& line : Lines(run.out)) {
        JsonObject object;
        ASSERT_TRUE(JsonReader(line).Object(object)) << line;
        objects.push_back(object);
    }
    ASSERT_EQ(objects.size(), kListed.size() + 1) << run.out;

    std::set<std::string> expected, seen;
    for (const ListedRow& row : kListed) {
        const bool folder = row.relative.back() == '\\';
        const std::string relative = folder ? row.relative.substr(0, row.relative.size() - 1) : row.relative;
        expected.insert(
            Utf8FromAnsi(Tree() + "\\" + relative) + "|" +
            Utf8FromAnsi(relative.substr(relative.rfind('\\') == std::string::npos ? 0 : relative.rfind('\\') + 1)) +
            "|" + (folder ? "folder" : "file") + "|" + row.attribute);
    }
    for (size_t i = 0; i + 1 < objects.size(); ++i) {
        JsonObject& o = objects[i];
        EXPECT_EQ(o["record"].text, "row");
        EXPECT_EQ(o["outcome"].text, "listed");
        seen.insert(o["path"].text + "|" + o["name"].text + "|" + o["type"].text + "|" + o["attributes"].text);
    }
    EXPECT_EQ(seen, expected);
    // The GBK name arrives as the character, not as its bytes.
    EXPECT_TRUE(seen.count(Utf8FromAnsi(Tree()) + u8"\\誠\\prn.doc|prn.doc|file|-")) << run.out;

    JsonObject& summary = objects.back();
    EXPECT_EQ(summary["record"].text, "summary");
    const std::map<std::string, double> counts = {
        {"folders_searched", 5}, {"files_searched", 12}, {"malformed_folders", 2},
        {"malformed_files", 6},  {"unsearched", 0},      {"rows", 8},
        {"deleted", 0},          {"failed", 0},          {"kept", 0},
        {"exit_code", 1},
    };
    for (const auto& count : counts) {
        EXPECT_EQ(summary[count.first].kind, JsonValue::Number) << count.first;
        EXPECT_EQ(summary[count.first].number, count.second) << count.first;
    }
    EXPECT_EQ(summary["stopped"].kind, JsonValue::Bool);
    EXPECT_FALSE(summary["stopped"].boolean);
}

TEST_F(OrvelleScanE2E, DeleteYesRemovesExactlyTheListedEntries) {
    Make(kTree);
    ScanRun run = Scan({"--delete", "--yes", "--json", Tree()});
    EXPECT_EQ(run.exitCode, 0u) << run.out << run.err;
    for (const ListedRow& row : kListed) EXPECT_FALSE(Exists(row.relative)) << row.relative;
    for (const std::string& kept : kKept) EXPECT_TRUE(Exists(kept)) << kept;
    // Every row first, then one outcome record per row, then the summary.
    std::vector<std::string> records, listed, outcomes;
    for (const std::string& line : Lines(run.out)) {
        JsonObject object;
        ASSERT_TRUE(JsonReader(line).Object(object)) << line;
        records.push_back(object["record"].text);
        if (object["record"].text == "row") listed.push_back(object["path"].text);
        if (object["record"].text != "outcome") continue;
        outcomes.push_back(object["path"].text);
        EXPECT_EQ(object["outcome"].text, "deleted") << line;
        EXPECT_EQ(object["error"].kind, JsonValue::Number) << line;
        EXPECT_EQ(object["error"].number, 0) << line;
        EXPECT_EQ(object["reason"].text, "deleted") << line;
        EXPECT_FALSE(object["type"].text.empty()) << line;
    }
    std::vector<std::string> order(kListed.size(), "row");
    order.insert(order.end(), kListed.size(), "outcome");
    order.push_back("summary");
    EXPECT_EQ(records, order) << run.out;
    EXPECT_EQ(outcomes, listed);

    // Nothing left to find: a second run is clean.
    run = Scan({"--delete", "--yes", Tree()});
    EXPECT_EQ(run.exitCode, 0u) << run.out;
    EXPECT_EQ(run.out, "");
}

// In text the outcomes are rows too: the row's four fields, then what became
// of it; the tally goes to stderr with the counts.
TEST_F(OrvelleScanE2E, TextOutcomesAreRowsAndTheTallyGoesToStderr) {
    Make(kTree);
    ScanRun run = Scan({"--delete", Tree()}, "n\n");
    EXPECT_EQ(run.exitCode, 1u) << run.err;
    std::vector<std::string> lines = Lines(run.out);
    ASSERT_EQ(lines.size(), 2 * kListed.size()) << run.out;
    for (size_t i = 0; i < kListed.size(); ++i) {
        const std::string& outcome = lines[kListed.size() + i];
        EXPECT_EQ(outcome, lines[i] + "\tkept\t0\tnot confirmed") << outcome;
    }
    EXPECT_EQ(TextRows(run.out), kListed);
    EXPECT_NE(run.err.find("(y/N)"), std::string::npos) << run.err;
    for (const ListedRow& row : kListed) EXPECT_TRUE(Exists(row.relative)) << row.relative;

    run = Scan({"--delete", "--yes", Tree()});
    EXPECT_EQ(run.exitCode, 0u) << run.err;
    lines = Lines(run.out);
    ASSERT_EQ(lines.size(), 2 * kListed.size()) << run.out;
    for (size_t i = 0; i < kListed.size(); ++i)
        EXPECT_EQ(lines[kListed.size() + i], lines[i] + "\tdeleted\t0\tdeleted") << lines[i];
    // The counts, then the tally: five lines and one.
    EXPECT_EQ(Lines(run.err).size(), 6u) << run.err;
    for (const ListedRow& row : kListed) EXPECT_FALSE(Exists(row.relative)) << row.relative;
}

TEST_F(OrvelleScanE2E, OnlyAYesOnStdinDeletes) {
    Make(kTree);
    for (const char* answer : {"", "\n", "n\n", "no\r\n", "yes please\n", "\ny\n"}) {
        ScanRun run = Scan({"--delete", Tree()}, answer);
        EXPECT_EQ(run.exitCode, 1u) << "answer [" << answer << "] " << run.err;
        EXPECT_NE(run.err.find("(y/N)"), std::string::npos) << run.err;
        for (const ListedRow& row : kListed) EXPECT_TRUE(Exists(row.relative)) << answer << row.relative;
    }
    ScanRun run = Scan({"--delete", Tree()}, "y\r\n");
    EXPECT_EQ(run.exitCode, 0u) << run.err;
    for (const ListedRow& row : kListed) EXPECT_FALSE(Exists(row.relative)) << row.relative;
    for (const std::string& kept : kKept) EXPECT_TRUE(Exists(kept)) << kept;
}

TEST_F(OrvelleScanE2E, RelativeFoldersAndTheGbkBackslashName) {
    // 誠 ends in the byte of "\": as the folder argument, relative and absolute.
    Make({"誠\\", "誠\\con", "誠\\a.", "誠\\a", "誠\\誠\\", "誠\\誠\\nul"});
    const std::set<ListedRow> listed = {{"誠\\con", "-"}, {"誠\\a.", "-"}, {"誠\\誠\\nul", "-"}};
    ScanRun run = Scan({Tree() + "\\誠"});
    EXPECT_EQ(run.exitCode, 1u) << run.err;
    EXPECT_EQ(TextRows(run.out), listed) << run.out;

    // Typed relative to the current folder, the rows still name absolute
    // paths, and the deletion reaches them.
    run = Scan({"--delete", "--yes", "誠"}, "", Tree());
    EXPECT_EQ(run.exitCode, 0u) << run.out << run.err;
    EXPECT_EQ(TextRows(run.out), listed) << run.out;
    for (const ListedRow& row : listed) EXPECT_FALSE(Exists(row.relative)) << row.relative;
    EXPECT_TRUE(Exists("誠\\a"));
    EXPECT_TRUE(Exists("誠\\誠\\"));
}

// The folder argument keeps its components as typed: a trailing dot is part of
// the name, so "a." is searched and never its twin "a"; a relative "a.\\s" is
// put under the current folder as it stands.
TEST_F(OrvelleScanE2E, AFolderArgumentIsNeverItsTwin) {
    Make({"a.\\", "a.\\con", "a.\\s\\", "a.\\s\\nul", "a\\", "a\\con", "a\\s\\", "a\\s\\nul"});
    ScanRun run = Scan({"--delete", "--yes", Tree() + "\\a.\\s"});
    EXPECT_EQ(run.exitCode, 0u) << run.out << run.err;
    EXPECT_FALSE(Exists("a.\\s\\nul"));
    EXPECT_TRUE(Exists("a\\s\\nul"));

    run = Scan({"--delete", "--yes", "a."}, "", Tree());
    EXPECT_EQ(run.exitCode, 0u) << run.out << run.err;
    EXPECT_FALSE(Exists("a.\\con"));
    for (const char* kept : {"a\\con", "a\\s\\nul"}) EXPECT_TRUE(Exists(kept)) << kept;
}

TEST_F(OrvelleScanE2E, ExitCodes) {
    Make({"clean\\", "clean\\ok.txt", "dirty\\", "dirty\\nul", "held\\", "held\\con\\", "held\\con\\open.txt",
          "held\\con\\other.txt", "file.txt"});
    auto tree = [&](const char* relative) { return Tree() + "\\" + relative; };

    struct Case {
        const char* what;
        std::vector<std::string> args;
        DWORD code;
    } cases[] = {
        {"nothing found", {tree("clean")}, 0},
        {"rows found", {tree("dirty")}, 1},
        {"help", {"--help"}, 0},
        {"unknown option", {"--bogus", tree("dirty")}, 3},
        {"no folder", {"--hidden"}, 3},
        {"missing folder", {tree("missing")}, 3},
        {"a file, not a folder", {tree("file.txt")}, 3},
        {"a pattern", {tree("dirt*")}, 3},
        {"a pattern among folders", {tree("dirty"), tree("di?ty")}, 3},
        {"a drive pattern", {"Z:*"}, 3},
        {"a pattern to delete", {"--delete", "--yes", tree("*")}, 3},
        {"-0 with --json", {"-0", "--json", tree("dirty")}, 3},
        {"version", {"--version"}, 0},
    };
    for (const Case& c : cases) {
        ScanRun run = Scan(c.args);
        EXPECT_EQ(run.exitCode, c.code) << c.what << "\n" << run.out << run.err;
        if (c.code == 3) {
            EXPECT_EQ(run.out, "") << c.what;
            EXPECT_NE(run.err, "") << c.what;
        }
    }

    // One missing folder among others stops everything before any deletion.
    ScanRun run = Scan({"--delete", "--yes", tree("dirty"), tree("missing")});
    EXPECT_EQ(run.exitCode, 3u) << run.out;
    EXPECT_TRUE(Exists("dirty\\nul"));
    EXPECT_NE(run.err.find(tree("missing")), std::string::npos) << run.err;

    // A file held open without delete sharing makes its folder's deletion fail.
    HANDLE open = CreateFileA(("\\\\?\\" + tree("held\\con\\open.txt")).c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                              OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(open, INVALID_HANDLE_VALUE);
    run = Scan({"--delete", "--yes", "--json", tree("held"), tree("dirty")});
    CloseHandle(open);
    EXPECT_EQ(run.exitCode, 2u) << run.out;
    EXPECT_TRUE(Exists("held\\con\\open.txt"));
    EXPECT_FALSE(Exists("dirty\\nul"));
    std::map<std::string, std::string> outcomes;
    for (const std::string& line : Lines(run.out)) {
        JsonObject object;
        ASSERT_TRUE(JsonReader(line).Object(object)) << line;
        if (object["record"].text == "outcome") {
            outcomes[object["name"].text] = object["outcome"].text;
            // The system's reason for the failure, as a code and in words.
            if (object["name"].text == "con") {
                EXPECT_EQ(object["error"].number, ERROR_SHARING_VIOLATION) << line;
                EXPECT_EQ(object["reason"].text, "in use by another program") << line;
            }
        }
        if (object["record"].text == "summary") {
            EXPECT_EQ(object["exit_code"].number, 2);
        }
    }
    EXPECT_EQ(outcomes, (std::map<std::string, std::string>{{"con", "failed"}, {"nul", "deleted"}}));
}

// The rows a --delete question is about are out before it: a script reading
// JSON sees every entry, then answers.
TEST_F(OrvelleScanE2E, TheQuestionComesAfterItsRows) {
    Make(kTree);
    Started run = Start({"--delete", "--json", Tree()}, true);
    ASSERT_NE(run.process, nullptr);
    std::string out;
    auto rows = [](const std::string& text) {
        size_t n = 0;
        for (size_t at = 0; (at = text.find("\"record\":\"row\"", at)) != std::string::npos; ++at) ++n;
        return n;
    };
    EXPECT_TRUE(ReadUntil(run.out, out, 20000, [&](const std::string& text) { return rows(text) == kListed.size(); }))
        << out;
    // The question waits for its answer, its rows already out.
    DWORD start = GetTickCount();
    while (ReadAll(run.errPath).find("(y/N)") == std::string::npos && GetTickCount() - start < 20000) Sleep(10);
    EXPECT_NE(ReadAll(run.errPath).find("(y/N)"), std::string::npos);
    EXPECT_EQ(WaitForSingleObject(run.process, 0), static_cast<DWORD>(WAIT_TIMEOUT));
    DWORD written = 0;
    EXPECT_TRUE(WriteFile(run.in, "n\n", 2, &written, nullptr));
    ReadUntil(run.out, out, kRunTimeoutMs,
              [](const std::string& text) { return text.find("\"record\":\"summary\"") != std::string::npos; });
    EXPECT_EQ(Finish(run), 1u);
    size_t kept = 0;
    for (const std::string& line : Lines(out)) {
        JsonObject object;
        ASSERT_TRUE(JsonReader(line).Object(object)) << line;
        if (object["record"].text != "outcome") continue;
        ++kept;
        EXPECT_EQ(object["outcome"].text, "kept") << line;
        EXPECT_EQ(object["reason"].text, "not confirmed") << line;
    }
    EXPECT_EQ(kept, kListed.size()) << out;
    for (const ListedRow& row : kListed) EXPECT_TRUE(Exists(row.relative)) << row.relative;
}

// A row reaches the pipe when it is found, not when the walk ends: here the
// one row is out while 800 more folders are still to be searched.
TEST_F(OrvelleScanE2E, RowsReachThePipeAsTheyAreFound) {
    Make({"first\\", "first\\con", "then\\"});
    for (int i = 0; i < 800; ++i) ASSERT_TRUE(m_box.MakeFolder("tree\\then\\d" + std::to_string(i)));
    Started run = Start({Tree() + "\\first", Tree() + "\\then"}, false);
    ASSERT_NE(run.process, nullptr);
    std::string out;
    ASSERT_TRUE(ReadUntil(run.out, out, kRunTimeoutMs,
                          [](const std::string& text) { return text.find('\n') != std::string::npos; }));
    const DWORD rowAt = GetTickCount();
    EXPECT_EQ(out, Tree() + "\\first\\con\t[con]\tfile\t-\tdevice-name;plain-path-fails\n");
    ASSERT_EQ(WaitForSingleObject(run.process, kRunTimeoutMs), WAIT_OBJECT_0);
    const DWORD endAt = GetTickCount();
    EXPECT_GE(endAt - rowAt, 100u) << "the row came " << endAt - rowAt << " ms before the end";
    const std::string errPath = run.errPath;
    EXPECT_EQ(Finish(run), 1u);
    EXPECT_NE(ReadAll(errPath).find("800"), std::string::npos) << ReadAll(errPath);
}

// Once the reader of its output has gone (as "| head" goes), nothing it
// would still write can be seen: it stops as for Ctrl+C, and deletes nothing.
TEST_F(OrvelleScanE2E, StopsWhenTheReaderHasGone) {
    Make(kTree);
    for (const std::vector<std::string>& args :
         {std::vector<std::string>{"--delete", "--yes", Tree()}, {"--delete", "--yes", "--json", Tree()}}) {
        Started run = Start(args, false);
        ASSERT_NE(run.process, nullptr);
        CloseHandle(run.out);
        run.out = nullptr;
        const std::string errPath = run.errPath;
        EXPECT_EQ(Finish(run), 130u) << args[2];
        for (const ListedRow& row : kListed) EXPECT_TRUE(Exists(row.relative)) << row.relative;
        // The counts, and that nothing was deleted.
        if (args.size() == 3) {
            EXPECT_EQ(Lines(ReadAll(errPath)).size(), 6u) << ReadAll(errPath);
        }
    }

    // A reader that takes the first row and goes, while many more follow.
    std::vector<std::string> many;
    for (int i = 0; i < 3000; ++i) many.push_back("many\\com" + std::to_string(i % 10) + "." + std::to_string(i));
    Make({"many\\"});
    Make(many);
    Started run = Start({Tree() + "\\many"}, false);
    ASSERT_NE(run.process, nullptr);
    std::string out;
    EXPECT_TRUE(ReadUntil(run.out, out, kRunTimeoutMs,
                          [](const std::string& text) { return text.find('\n') != std::string::npos; }));
    CloseHandle(run.out);
    run.out = nullptr;
    const std::string errPath = run.errPath;
    EXPECT_EQ(Finish(run), 130u);
    EXPECT_NE(ReadAll(errPath), "");
}

TEST_F(OrvelleScanE2E, NulSeparatedUtf8AndVersion) {
    Make(kTree);
    // Names the code page cannot hold: "ő" has no GBK form.
    const std::string tree = Tree();  // ASCII: the sandbox lies in the temporary folder
    const std::wstring wideTree(tree.begin(), tree.end());
    ASSERT_TRUE(CreateDirectoryW((L"\\\\?\\" + wideTree + L"\\\u0151").c_str(), nullptr)) << GetLastError();
    for (const wchar_t* file : {L"\\\u0151\\nul", L"\\\u0151."}) {
        HANDLE h =
            CreateFileW((L"\\\\?\\" + wideTree + file).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, 0, nullptr);
        ASSERT_NE(h, INVALID_HANDLE_VALUE) << GetLastError();
        CloseHandle(h);
    }
    const std::string tree8 = Utf8FromAnsi(Tree());
    std::set<std::string> extra = {tree8 + u8"\\\u0151\\nul\t[nul]\tfile\t-\tdevice-name;plain-path-fails",
                                   tree8 + u8"\\\u0151.\t[\u0151.]\tfile\t-\ttrailing-dot;plain-path-fails"};

    // Text rows in UTF-8: the ANSI rows converted, and the two rows ANSI can
    // only give in their quoted form with their paths and names as stored.
    ScanRun ansi = Scan({Tree()});
    ScanRun utf8 = Scan({"--utf8", Tree()});
    EXPECT_EQ(ansi.exitCode, 1u);
    EXPECT_EQ(utf8.exitCode, 1u);
    std::string escapedTree;
    for (char c : tree) escapedTree += c == '\\' ? std::string("\\\\") : std::string(1, c);
    const std::set<std::string> quoted = {
        "\"" + escapedTree + "\\\\\\u0151\\\\nul\"\t[nul]\tfile\t-\tdevice-name;plain-path-fails",
        "\"" + escapedTree + "\\\\\\u0151.\"\t[\"\\u0151.\"]\tfile\t-\ttrailing-dot;plain-path-fails",
    };
    std::set<std::string> expected = extra, got, quotedGot;
    for (const std::string& line : Lines(ansi.out)) {
        if (line[0] == '"')
            quotedGot.insert(line);  // the two the code page cannot hold
        else
            expected.insert(Utf8FromAnsi(line));
    }
    EXPECT_EQ(quotedGot, quoted) << ansi.out;
    for (const std::string& line : Lines(utf8.out)) got.insert(line);
    EXPECT_EQ(got, expected) << utf8.out;
    EXPECT_EQ(Lines(ansi.out).size(), kListed.size() + 2);
    // Messages follow: the counts in UTF-8 as well.
    EXPECT_EQ(Utf8FromAnsi(ansi.err).substr(0, 20), utf8.err.substr(0, 20));
    EXPECT_NE(ansi.err, utf8.err);

    // JSON takes the stored names too.
    ScanRun json = Scan({"--json", Tree()});
    std::set<std::string> jsonRows;
    for (const std::string& line : Lines(json.out)) {
        JsonObject object;
        ASSERT_TRUE(JsonReader(line).Object(object)) << line;
        if (object["record"].text == "row")
            jsonRows.insert(object["path"].text + "\t[" + object["name"].text + "]\t" + object["type"].text + "\t" +
                            object["attributes"].text + "\t" + object["listed_for"].text +
                            (object["plain_path_works"].boolean ? ";plain-path-works" : ";plain-path-fails"));
    }
    EXPECT_EQ(jsonRows, got);

    // -0: the paths alone, each ended by a NUL, in either encoding.
    for (bool inUtf8 : {false, true}) {
        ScanRun run =
            Scan(inUtf8 ? std::vector<std::string>{"-0", "--utf8", Tree()} : std::vector<std::string>{"-0", Tree()});
        EXPECT_EQ(run.exitCode, 1u);
        ASSERT_FALSE(run.out.empty());
        EXPECT_EQ(run.out.back(), '\0');
        EXPECT_EQ(run.out.find('\n'), std::string::npos);
        std::set<std::string> paths, want;
        for (size_t at = 0, end; (end = run.out.find('\0', at)) != std::string::npos; at = end + 1)
            paths.insert(run.out.substr(at, end - at));
        for (const std::string& line : Lines(inUtf8 ? utf8.out : ansi.out))
            want.insert(line.substr(0, line.find('\t')));  // a quoted path is quoted in both
        EXPECT_EQ(paths, want);
        EXPECT_EQ(Lines(run.err).size(), 5u) << run.err;
    }

    // The version of the version resource.
    ScanRun version = Scan({"--version"});
    EXPECT_EQ(version.exitCode, 0u);
    EXPECT_EQ(version.err, "");
    const std::string exe = e2e::HostPath(ORVELLE_E2E_SCAN);
    DWORD size = GetFileVersionInfoSizeA(exe.c_str(), nullptr);
    std::vector<BYTE> block(size);
    ASSERT_TRUE(size > 0 && GetFileVersionInfoA(exe.c_str(), 0, size, block.data()));
    char* text = nullptr;
    UINT length = 0;
    ASSERT_TRUE(VerQueryValueA(block.data(), "\\StringFileInfo\\080404b0\\ProductVersion",
                               reinterpret_cast<void**>(&text), &length));
    EXPECT_EQ(version.out, "OrvelleScan " + std::string(text) + "\n");
}

// A folder named twice, in another form, or inside another given folder is
// searched once: each entry listed once, and deleted once, so the second
// attempt cannot fail on what the first removed. "a." is not "a".
TEST_F(OrvelleScanE2E, AFolderGivenTwiceOrInsideAnotherIsSearchedOnce) {
    Make({"a\\", "a\\con", "a\\b\\", "a\\b\\nul", "a.\\", "a.\\prn", "a.\\b\\", "a.\\b\\aux"});
    const std::set<ListedRow> inA = {{"a\\con", "-"}, {"a\\b\\nul", "-"}};
    ScanRun run = Scan({Tree() + "\\a\\b", Tree() + "\\a", Tree() + "\\A\\", "a\\b", "\\\\?\\" + Tree() + "\\a",
                        Tree() + "\\a\\.\\b\\..", Tree() + "\\a.\\b"},
                       "", Tree());
    EXPECT_EQ(run.exitCode, 1u) << run.err;
    EXPECT_EQ(Lines(run.out).size(), inA.size() + 1) << run.out;
    std::set<ListedRow> expected = inA;
    expected.insert({"a.\\b\\aux", "-"});
    EXPECT_EQ(TextRows(run.out), expected) << run.out;

    run = Scan({"--delete", "--yes", "--json", Tree() + "\\a", Tree() + "\\a\\b", Tree() + "\\a"});
    EXPECT_EQ(run.exitCode, 0u) << run.out;
    EXPECT_FALSE(Exists("a\\con"));
    EXPECT_FALSE(Exists("a\\b\\nul"));
    for (const char* kept : {"a.\\prn", "a.\\b\\aux"}) EXPECT_TRUE(Exists(kept)) << kept;
}

}  // namespace

// The console program carries what the window program carries: the version
// and copyright, its icon, and a manifest with the same supported systems.
TEST(OrvelleScanResources, VersionIconAndManifest) {
    const std::string exe = e2e::HostPath(ORVELLE_E2E_SCAN);
    DWORD size = GetFileVersionInfoSizeA(exe.c_str(), nullptr);
    ASSERT_GT(size, 0u);
    std::vector<BYTE> block(size);
    ASSERT_TRUE(GetFileVersionInfoA(exe.c_str(), 0, size, block.data()));
    auto value = [&](const char* name) {
        char* text = nullptr;
        UINT length = 0;
        std::string path = std::string("\\StringFileInfo\\080404b0\\") + name;
        return VerQueryValueA(block.data(), path.c_str(), reinterpret_cast<void**>(&text), &length) && text
                   ? std::string(text)
                   : std::string("(missing)");
    };
    EXPECT_EQ(value("FileVersion"), "1.3.0.0");
    EXPECT_EQ(value("OriginalFilename"), "OrvelleScan.exe");
    EXPECT_EQ(value("LegalCopyright"), "Copyright (C) 2026 Voskar");

    HMODULE module = LoadLibraryExA(exe.c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
    ASSERT_NE(module, nullptr);
    EXPECT_NE(FindResourceA(module, MAKEINTRESOURCEA(1), MAKEINTRESOURCEA(14)), nullptr);  // RT_GROUP_ICON
    HRSRC found = FindResourceA(module, MAKEINTRESOURCEA(1), MAKEINTRESOURCEA(24));        // RT_MANIFEST
    ASSERT_NE(found, nullptr);
    const char* data = static_cast<const char*>(LockResource(LoadResource(module, found)));
    const std::string manifest(data, SizeofResource(module, found));
    for (const char* os : {"e2011457-1546-43c5-a5fe-008deee3d3f0", "35138b9a-5d96-4fbd-8e2d-a2440225f93a",
                           "4a2f28e3-53b9-4441-ba9c-d69d4a4a6e38", "1f676c76-80e1-4239-95bb-83d0f6d0da78",
                           "8e0f7a12-bfb3-4fe8-b9a5-48fd50a15a9a"})
        EXPECT_NE(manifest.find(os), std::string::npos) << os;
    EXPECT_NE(manifest.find("asInvoker"), std::string::npos);
    FreeLibrary(module);
}

// A name the ANSI code page lacks (Ŵx.) and an entry deeper than 300
// characters: listed, their JSON rows carry the exact names, and --delete
// removes each as itself while the look-alike's namesakes stay.
TEST_F(OrvelleScanE2E, NamesOutsideTheCodePageAndDeepEntriesAreDeletedAsThemselves) {
    Make({"keep\\"});
    for (const wchar_t* name : {L"tree\\\x0174x.", L"tree\\\x0175x", L"tree\\x"}) ASSERT_TRUE(m_box.MakeFileW(name));
    std::wstring deep = L"tree";
    while (m_box.PathW(deep).size() < 320) {
        deep += L"\\a folder of some length";
        ASSERT_TRUE(m_box.MakeFolderW(deep));
    }
    ASSERT_TRUE(m_box.MakeFileW(deep + L"\\nul"));
    ASSERT_TRUE(m_box.MakeFileW(deep + L"\\keep"));

    ScanRun run = Scan({"--delete", "--yes", "--json", Tree()});
    EXPECT_EQ(run.exitCode, 0u) << run.out << run.err;
    std::set<std::string> names, outcomes;
    std::string deepPath;
    for (const std::string& line : Lines(run.out)) {
        JsonObject object;
        ASSERT_TRUE(JsonReader(line).Object(object)) << line;
        if (object["record"].text != "outcome") continue;
        names.insert(object["name"].text);
        outcomes.insert(object["outcome"].text);
        if (object["name"].text == "nul") deepPath = object["path"].text;
    }
    EXPECT_EQ(names, (std::set<std::string>{u8"\u0174x.", "nul"})) << run.out;
    EXPECT_EQ(outcomes, std::set<std::string>{"deleted"}) << run.out;
    EXPECT_GT(deepPath.size(), 300u);
    EXPECT_EQ(deepPath.substr(deepPath.size() - 4), "\\nul");
    EXPECT_FALSE(m_box.ExistsW(L"tree\\\x0174x."));
    EXPECT_TRUE(m_box.ExistsW(L"tree\\\x0175x"));
    EXPECT_TRUE(m_box.ExistsW(L"tree\\x"));
    EXPECT_FALSE(m_box.ExistsW(deep + L"\\nul"));
    EXPECT_TRUE(m_box.ExistsW(deep + L"\\keep"));
}

// While OrvelleScan waits at its question another program changes the tree:
// a listed file is replaced by a namesake in another case, another is made
// anew under its own name, a listed folder is moved off and a new folder of
// its name made in its place. The answer "y"
// then deletes neither newcomer: only what was listed, where it still is.
TEST_F(OrvelleScanE2E, WhatChangesWhileTheQuestionWaitsIsNotDeleted) {
    Make({"Keep.", "box.\\", "box.\\inner.txt", "plain.", "keep", "nul"});
    ScanRun run = ScanAndRaceAtTheQuestion({"--delete", Tree()}, [&] {
        // Made anew under its name: ext4 hands it the inode just freed, so
        // its file id is the listed one's.
        ASSERT_TRUE(DeleteFileA(("\\\\?\\" + Tree() + "\\nul").c_str()));
        ASSERT_TRUE(m_box.MakeFile("tree\\nul", "newcomer"));
        ASSERT_TRUE(DeleteFileA(("\\\\?\\" + Tree() + "\\Keep.").c_str()));
        ASSERT_TRUE(m_box.MakeFile("tree\\keep.", "newcomer"));
        ASSERT_TRUE(MoveFileA(("\\\\?\\" + Tree() + "\\box.").c_str(), ("\\\\?\\" + Tree() + "\\moved").c_str()));
        ASSERT_TRUE(m_box.MakeFolder("tree\\box."));
        ASSERT_TRUE(m_box.MakeFile("tree\\box.\\precious.txt", "newcomer"));
    });
    EXPECT_NE(run.exitCode, 0u) << run.out << run.err;
    EXPECT_TRUE(Exists("keep.")) << "a namesake that came after the search went";
    EXPECT_TRUE(Exists("nul")) << "a newcomer with the listed one's file id went";
    EXPECT_TRUE(Exists("box.\\precious.txt")) << "a folder that took the listed one's name was emptied";
    EXPECT_FALSE(Exists("plain.")) << "the listed file that stayed as it was";
    EXPECT_TRUE(Exists("keep"));
    EXPECT_TRUE(m_box.Exists("tree\\moved\\inner.txt"));
}

// --exclude leaves out names (a glob, any case) and what is in them;
// --max-depth bounds how far below the folder the search goes.
TEST_F(OrvelleScanE2E, ExcludeAndMaxDepth) {
    Make({".git\\", ".git\\nul", "node_modules\\", "node_modules\\x.", "a\\", "a\\b\\", "a\\b\\deep.", "a\\mid.",
          "top."});
    ScanRun run = Scan({"--exclude", ".GIT", "--exclude", "node_*", Tree()});
    EXPECT_EQ(run.exitCode, 1u) << run.err;
    std::set<std::string> expected = {Tree() + "\\a\\b\\deep.", Tree() + "\\a\\mid.", Tree() + "\\top."}, got;
    for (const ListedRow& row : TextRows(run.out)) got.insert(Tree() + "\\" + row.relative);
    EXPECT_EQ(got, expected) << run.out;
    run = Scan({"--max-depth", "0", Tree()});
    got.clear();
    for (const ListedRow& row : TextRows(run.out)) got.insert(row.relative);
    EXPECT_EQ(got, std::set<std::string>{"top."}) << run.out;
    EXPECT_EQ(Scan({"--max-depth", "x", Tree()}).exitCode, 3u);
}

// Every row says why it is listed and whether this Windows reaches it by its
// plain path (Wine: the rules of Windows 10); --plain-fails lists only the
// entries it does not reach, enters a hidden folder it reaches, and deletes
// nothing else.
TEST_F(OrvelleScanE2E, RowsSayWhyAndPlainFailsKeepsWhatThisWindowsCannotOpen) {
    Make({"nul .txt", "COM0", "a.", "con.txt", "nulx .txt", "h\\", "h\\x."});
    ASSERT_TRUE(SetFileAttributesA(m_box.Path("tree\\h").c_str(), FILE_ATTRIBUTE_HIDDEN));
    ScanRun run = Scan({"--json", "--hidden", Tree()});
    EXPECT_EQ(run.exitCode, 1u) << run.err;
    std::map<std::string, std::string> why;
    for (const std::string& line : Lines(run.out)) {
        JsonObject object;
        ASSERT_TRUE(JsonReader(line).Object(object)) << line;
        if (object["record"].text != "row") continue;
        EXPECT_EQ(object["plain_path_works"].kind, JsonValue::Bool) << line;
        why[object["name"].text] =
            object["listed_for"].text + (object["plain_path_works"].boolean ? " works" : " fails");
    }
    EXPECT_EQ(why, (std::map<std::string, std::string>{{"nul .txt", "device-name-with-extension fails"},
                                                       {"COM0", "device-name works"},
                                                       {"a.", "trailing-dot fails"},
                                                       {"con.txt", "device-name-with-extension fails"},
                                                       {"h", "hidden works"}}))
        << run.out;

    run = Scan({"--plain-fails", "--hidden", Tree()});
    EXPECT_EQ(run.exitCode, 1u) << run.err;
    EXPECT_EQ(TextRows(run.out),
              (std::set<ListedRow>{{"nul .txt", "-"}, {"a.", "-"}, {"con.txt", "-"}, {"h\\x.", "-"}}))
        << run.out;
    EXPECT_NE(run.out.find("\t[nul .txt]\tfile\t-\tdevice-name-with-extension;plain-path-fails\n"), std::string::npos)
        << run.out;

    run = Scan({"--plain-fails", "--hidden", "--delete", "--yes", Tree()});
    EXPECT_EQ(run.exitCode, 0u) << run.out << run.err;
    for (const char* gone : {"nul .txt", "a.", "con.txt", "h\\x."}) EXPECT_FALSE(Exists(gone)) << gone;
    for (const char* kept : {"COM0", "nulx .txt", "h\\"}) EXPECT_TRUE(Exists(kept)) << kept;
}

// --rename keeps the data: a "nul" holding a command's output becomes "nul_"
// with its text, a torrent's "Album." becomes "Album" with its files, and a
// name already taken is never replaced.
TEST_F(OrvelleScanE2E, RenameGivesLegalNamesAndKeepsWhatTheyHold) {
    ASSERT_TRUE(m_box.MakeFile("tree\\nul", "error: the real output"));
    Make({"Album.\\", "Album.\\01 track.mp3", "con.txt", "con_.txt"});
    ScanRun run = Scan({"--rename", "--yes", "--json", Tree()});
    EXPECT_EQ(run.exitCode, 0u) << run.out << run.err;
    std::map<std::string, std::string> renamed;
    for (const std::string& line : Lines(run.out)) {
        JsonObject object;
        ASSERT_TRUE(JsonReader(line).Object(object)) << line;
        if (object["record"].text != "outcome") continue;
        EXPECT_EQ(object["outcome"].text, "renamed") << line;
        renamed[object["name"].text] = object["new_name"].text;
    }
    const std::map<std::string, std::string> expected = {
        {"nul", "nul_"}, {"Album.", "Album"}, {"con.txt", "con_ (2).txt"}};
    EXPECT_EQ(renamed, expected) << run.out;
    EXPECT_FALSE(Exists("nul"));
    EXPECT_EQ(ReadAll(m_box.Path("tree\\nul_")), "error: the real output");
    EXPECT_TRUE(Exists("Album\\01 track.mp3"));
    EXPECT_TRUE(Exists("con_.txt"));
    EXPECT_TRUE(Exists("con_ (2).txt"));
    // Nothing malformed is left.
    EXPECT_EQ(Scan({Tree()}).exitCode, 0u);
}

// --from lists the paths of a reviewed list and deletes exactly those: each
// by its exact stored names, so that a twin (a name without the trailing dot,
// "nul.txt" beside "nul", a namesake in another case) survives, and a path
// that is no longer there fails alone, making the run incomplete (4).
TEST_F(OrvelleScanE2E, FromDeletesTheListedPathsAndNeverTheirTwins) {
    ASSERT_TRUE(m_box.MakeFile("tree\\a.", "dot"));
    ASSERT_TRUE(m_box.MakeFile("tree\\a", "plain"));
    ASSERT_TRUE(m_box.MakeFile("tree\\nul", "output"));
    ASSERT_TRUE(m_box.MakeFile("tree\\nul.txt", "twin"));
    Make({"Album.\\", "Album.\\01.mp3", "Album\\", "Album\\02.mp3", "sub\\", "sub\\con"});
    auto tree = [&](const char* relative) { return Tree() + "\\" + relative; };
    // CR LF lines; a path twice and one inside a listed folder are listed once.
    const std::string list = tree("a.") + "\r\n" + tree("nul") + "\r\n" + tree("Album.") + "\r\n" + tree("gone.") +
                             "\r\n" + tree("A.") + "\r\n\r\n" + tree("sub\\CON") + "\r\n" + tree("nul") + "\r\n" +
                             tree("Album.\\01.mp3") + "\r\n";
    ASSERT_TRUE(m_box.MakeFile("list.txt", list));

    // Listing alone touches nothing; what is missing is reported, not listed.
    ScanRun run = Scan({"--from", m_box.Path("list.txt")});
    EXPECT_EQ(run.exitCode, 4u) << run.out << run.err;
    const std::set<ListedRow> listed = {{"a.", "-"}, {"nul", "-"}, {"Album.\\", "-"}};
    EXPECT_EQ(TextRows(run.out), listed) << run.out;
    const std::vector<std::string> failed = {tree("gone.") + "\t[gone.]\t-\t\t\tfailed\t2\tno longer there",
                                             tree("A.") + "\t[A.]\t-\t\t\tfailed\t2\tno longer there",
                                             tree("sub\\CON") + "\t[CON]\t-\t\t\tfailed\t2\tno longer there"};
    for (const std::string& line : failed) EXPECT_NE(run.out.find(line + "\n"), std::string::npos) << line;
    EXPECT_EQ(Lines(run.out).size(), listed.size() + failed.size()) << run.out;
    EXPECT_TRUE(Exists("a.") && Exists("nul") && Exists("Album.\\01.mp3"));

    run = Scan({"--from", m_box.Path("list.txt"), "--delete", "--yes"});
    EXPECT_EQ(run.exitCode, 4u) << run.out << run.err;
    for (const char* gone : {"a.", "nul", "Album.\\"}) EXPECT_FALSE(Exists(gone)) << gone;
    EXPECT_EQ(ReadAll(m_box.Path("tree\\a")), "plain");
    // A plain path would open the device.
    EXPECT_EQ(ReadAll("\\\\?\\" + m_box.Path("tree\\nul.txt")), "twin");
    EXPECT_TRUE(Exists("Album\\02.mp3"));
    EXPECT_TRUE(Exists("sub\\con"));
    const std::vector<std::string> lines = Lines(run.out);
    EXPECT_EQ(std::count_if(lines.begin(), lines.end(),
                            [](const std::string& l) { return l.find("\tdeleted\t0\tdeleted") != std::string::npos; }),
              3)
        << run.out;

    // Everything there: deleted and clean.
    ASSERT_TRUE(m_box.MakeFile("tree\\a.", "again"));
    ASSERT_TRUE(m_box.MakeFile("list2.txt", tree("a.") + "\n"));
    run = Scan({"--from", m_box.Path("list2.txt"), "--delete", "--yes"});
    EXPECT_EQ(run.exitCode, 0u) << run.out << run.err;
    EXPECT_FALSE(Exists("a."));
    EXPECT_EQ(ReadAll(m_box.Path("tree\\a")), "plain");
}

// The JSON rows of an earlier run are a list too: their "path" (UTF-8, so a
// name outside the ANSI code page arrives whole), the outcome and summary
// records skipped. Renaming goes the same way.
TEST_F(OrvelleScanE2E, FromTakesTheJsonRowsOfAnEarlierRun) {
    ASSERT_TRUE(m_box.MakeFile("tree\\nul", "the real output"));
    Make({"Album.\\", "Album.\\01.mp3", "con\\", "con\\x.txt", "a.", "a"});
    ASSERT_TRUE(m_box.MakeFileW(L"tree\\\x0174x."));
    ASSERT_TRUE(m_box.MakeFileW(L"tree\\\x0175x"));
    ScanRun found = Scan({"--json", Tree()});
    ASSERT_EQ(found.exitCode, 1u) << found.err;
    // Reviewed: the folder con is kept, so its row leaves the list.
    std::string reviewed;
    for (const std::string& line : Lines(found.out))
        if (line.find("\"name\":\"con\"") == std::string::npos) reviewed += line + "\n";
    ASSERT_TRUE(m_box.MakeFile("found.json", reviewed));

    ScanRun run = Scan({"--from", m_box.Path("found.json"), "--rename", "--yes", "--json"});
    EXPECT_EQ(run.exitCode, 0u) << run.out << run.err;
    std::map<std::string, std::string> renamed;
    for (const std::string& line : Lines(run.out)) {
        JsonObject object;
        ASSERT_TRUE(JsonReader(line).Object(object)) << line;
        if (object["record"].text == "outcome") renamed[object["name"].text] = object["new_name"].text;
        if (object["record"].text == "summary") {
            EXPECT_EQ(object["rows"].number, 4) << line;
            EXPECT_EQ(object["unresolved"].number, 0) << line;
        }
    }
    // "ŵx" holds the name "Ŵx" without regard to case.
    const std::map<std::string, std::string> expected = {
        {"nul", "nul_"}, {"Album.", "Album"}, {"a.", "a (2)"}, {u8"\u0174x.", u8"\u0174x (2)"}};
    EXPECT_EQ(renamed, expected) << run.out;
    EXPECT_EQ(ReadAll(m_box.Path("tree\\nul_")), "the real output");
    EXPECT_TRUE(Exists("Album\\01.mp3"));
    EXPECT_TRUE(Exists("con\\x.txt"));
    EXPECT_TRUE(m_box.ExistsW(L"tree\\\x0174x (2)"));
    EXPECT_TRUE(m_box.ExistsW(L"tree\\\x0175x"));

    // The same list again: every path is gone now, nothing else is touched.
    run = Scan({"--from", m_box.Path("found.json"), "--delete", "--yes", "--json"});
    EXPECT_EQ(run.exitCode, 4u) << run.out << run.err;
    int failedRecords = 0;
    for (const std::string& line : Lines(run.out)) {
        JsonObject object;
        ASSERT_TRUE(JsonReader(line).Object(object)) << line;
        if (object["record"].text != "outcome") continue;
        ++failedRecords;
        EXPECT_EQ(object["outcome"].text, "failed") << line;
        EXPECT_EQ(object["error"].number, ERROR_FILE_NOT_FOUND) << line;
    }
    EXPECT_EQ(failedRecords, 4) << run.out;
    EXPECT_TRUE(Exists("con\\x.txt") && Exists("a") && Exists("nul_"));
}

// The list from stdin, in UTF-8 with --utf8; what --from does not go with.
TEST_F(OrvelleScanE2E, FromStdinInUtf8AndItsMisuse) {
    Make({"誠\\", "誠\\nul", "誠\\nul.txt", "keep\\"});
    const std::string path = Tree() + "\\誠\\nul";
    ScanRun run = Scan({"--from", "-", "--utf8", "--delete", "--yes"}, Utf8FromAnsi(path) + "\n");
    EXPECT_EQ(run.exitCode, 0u) << run.out << run.err;
    EXPECT_FALSE(Exists("誠\\nul"));
    EXPECT_TRUE(Exists("誠\\nul.txt"));
    EXPECT_NE(run.out.find(Utf8FromAnsi(path) + u8"\t[nul]\tfile\t-\tdevice-name;plain-path-fails\tdeleted"),
              std::string::npos)
        << run.out;

    // The same bytes read as the ANSI code page name another path: not there.
    Make({"誠\\nul"});
    run = Scan({"--from", "-"}, Utf8FromAnsi(path) + "\n");
    EXPECT_EQ(run.exitCode, 4u) << run.out << run.err;
    EXPECT_TRUE(Exists("誠\\nul"));

    struct Case {
        const char* what;
        std::vector<std::string> args;
    } misuse[] = {
        {"a folder too", {"--from", m_box.Path("none.txt"), Tree()}},
        {"an exclusion", {"--from", "-", "--exclude", "x"}},
        {"no value", {"--from"}},
        {"stdin holds the list, not the answer", {"--from", "-", "--delete"}},
        {"a list that cannot be read", {"--from", m_box.Path("none.txt")}},
    };
    for (const Case& c : misuse) {
        run = Scan(c.args, "y\n");
        EXPECT_EQ(run.exitCode, 3u) << c.what << "\n" << run.out << run.err;
        EXPECT_EQ(run.out, "") << c.what;
    }
    EXPECT_TRUE(Exists("誠\\nul"));
}

// A folder argument and a --from path with a name only some code pages hold
// (Ŵ): under UTF-8 as the ANSI page (its own test entry) both are taken and
// searched as themselves; where the page lacks the name, the argument never
// reaches a look-alike folder.
TEST_F(OrvelleScanE2E, ArgumentsWhateverTheAnsiPageHolds) {
    ASSERT_TRUE(m_box.MakeFolderW(L"tree\\\x0174 dir"));
    ASSERT_TRUE(m_box.MakeFileW(L"tree\\\x0174 dir\\nul"));
    ASSERT_TRUE(m_box.MakeFolderW(L"tree\\W dir"));
    ASSERT_TRUE(m_box.MakeFileW(L"tree\\W dir\\nul"));
    const std::wstring wide = m_box.PathW(L"tree\\\x0174 dir");
    std::string folder(wide.size() * 4 + 1, '\0');
    folder.resize(
        static_cast<size_t>(WideCharToMultiByte(CP_ACP, 0, wide.c_str(), static_cast<int>(wide.size()), &folder[0],
                                                static_cast<int>(folder.size()), nullptr, nullptr)));
    std::wstring back(folder.size() + 1, L'\0');
    back.resize(static_cast<size_t>(MultiByteToWideChar(CP_ACP, 0, folder.data(), static_cast<int>(folder.size()),
                                                        &back[0], static_cast<int>(back.size()))));
    const bool held = back == wide;

    ScanRun run = Scan({"--json", folder});
    if (!held) {
        EXPECT_EQ(run.exitCode, 3u) << GetACP() << run.out << run.err;
        EXPECT_EQ(run.out, "");
        return;
    }
    EXPECT_EQ(run.exitCode, 1u) << GetACP() << run.out << run.err;
    ASSERT_EQ(Lines(run.out).size(), 2u) << run.out;  // the row and the summary
    EXPECT_NE(run.out.find(u8"\u0174 dir\\\\nul\""), std::string::npos) << run.out;
    ASSERT_TRUE(m_box.MakeFile("found.json", run.out));
    run = Scan({"--from", m_box.Path("found.json"), "--delete", "--yes"});
    EXPECT_EQ(run.exitCode, 0u) << run.out << run.err;
    EXPECT_FALSE(m_box.ExistsW(L"tree\\\x0174 dir\\nul"));
    EXPECT_TRUE(m_box.ExistsW(L"tree\\W dir\\nul"));
}
