// The real OrvelleScan.exe on real folders: started with its output in files
// and its answer fed through stdin, then the disk compared with what it listed.
#include <gtest/gtest.h>

#include <windows.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
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
            case '"': case '\\': case '/': out += e; break;
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
            default:
                return false;
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

std::ostream& operator<<(std::ostream& out, const ListedRow& row) { return out << row.relative << " " << row.attribute; }

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
        HANDLE in = CreateFileA((stem + ".in").c_str(), GENERIC_READ, FILE_SHARE_READ, &inherit, OPEN_ALWAYS, 0,
                                nullptr);
        HANDLE out = CreateFileA((stem + ".out").c_str(), GENERIC_WRITE, FILE_SHARE_READ, &inherit, CREATE_ALWAYS,
                                 0, nullptr);
        HANDLE err = CreateFileA((stem + ".err").c_str(), GENERIC_WRITE, FILE_SHARE_READ, &inherit, CREATE_ALWAYS,
                                 0, nullptr);
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

    static std::string ReadAll(const std::string& path) {
        std::string text;
        HANDLE file = CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
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
            if (fields.size() != 4) continue;  // the summary's lines
            EXPECT_EQ(fields[0].compare(0, prefix.size(), prefix), 0) << line;
            std::string relative = fields[0].substr(std::min(prefix.size(), fields[0].size()));
            // The name column is the path's last component, between brackets.
            std::string name = relative.substr(relative.rfind('\\') == std::string::npos ? 0 : relative.rfind('\\') + 1);
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
    "report.",     "report",       "trail ",    "trail",          "con",        "nul.tar.gz", "ok.txt",
    "aux\\",       "aux\\in.txt",  "aux\\deep\\", "aux\\deep\\x.txt", "dir.\\",   "dir.\\a.txt", "dir\\",
    "dir\\a.txt",  "dir\\lpt9.log", "誠\\",      "誠\\prn.doc",    "誠\\誠.txt", "notes\\",    "notes\\readme.md",
};
const std::set<ListedRow> kListed = {
    {"report.", "-"}, {"trail ", "-"},       {"con", "-"},         {"nul.tar.gz", "-"},
    {"aux\\", "-"},   {"dir.\\", "-"},       {"dir\\lpt9.log", "-"}, {"誠\\prn.doc", "-"},
};
const std::vector<std::string> kKept = {"report", "trail", "ok.txt", "dir\\a.txt", "誠\\誠.txt", "notes\\readme.md"};

TEST_F(OrvelleScanE2E, ListsExactlyTheMalformedEntriesAndCounts) {
    Make(kTree);
    ScanRun run = Scan({Tree()});
    EXPECT_EQ(run.exitCode, 1u) << run.err;
    EXPECT_EQ(TextRows(run.out), kListed) << run.out;
    // Four lines of counts and the time after the rows, in the user's language.
    EXPECT_EQ(Lines(run.out).size(), kListed.size() + 5) << run.out;
    EXPECT_EQ(run.err, "");
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
        expected.insert(Utf8FromAnsi(Tree() + "\\" + relative) + "|" + Utf8FromAnsi(relative.substr(
                            relative.rfind('\\') == std::string::npos ? 0 : relative.rfind('\\') + 1)) +
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
        {"folders_searched", 5}, {"files_searched", 12}, {"malformed_folders", 2}, {"malformed_files", 6},
        {"unsearched", 0},       {"rows", 8},            {"deleted", 0},           {"failed", 0},
        {"kept", 0},             {"exit_code", 1},
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
    size_t deleted = 0;
    for (const std::string& line : Lines(run.out)) {
        JsonObject object;
        ASSERT_TRUE(JsonReader(line).Object(object)) << line;
        if (object["record"].text == "row") deleted += object["outcome"].text == "deleted";
    }
    EXPECT_EQ(deleted, kListed.size());

    // Nothing left to find: a second run is clean.
    run = Scan({"--delete", "--yes", Tree()});
    EXPECT_EQ(run.exitCode, 0u) << run.out;
    EXPECT_TRUE(TextRows(run.out).empty()) << run.out;
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
    HANDLE open = CreateFileA(("\\\\?\\" + tree("held\\con\\open.txt")).c_str(), GENERIC_READ, FILE_SHARE_READ,
                              nullptr, OPEN_EXISTING, 0, nullptr);
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
        if (object["record"].text == "row") outcomes[object["name"].text] = object["outcome"].text;
        if (object["record"].text == "summary") {
            EXPECT_EQ(object["exit_code"].number, 2);
        }
    }
    EXPECT_EQ(outcomes, (std::map<std::string, std::string>{{"con", "failed"}, {"nul", "deleted"}}));
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
