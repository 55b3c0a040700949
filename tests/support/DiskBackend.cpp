// Real folders in the temporary folder, made and inspected through "\\?\"
// paths so that odd names are created exactly as written.
#include <windows.h>

#include <algorithm>
#include <cstdio>

#include "TreeBackend.h"
#include "Win32FileSystem.h"

std::unique_ptr<TreeBackend> MakeSimBackend(bool aliases);

namespace {

std::string Verbatim(const std::string& path) { return "\\\\?\\" + path; }

void RemoveAll(const std::string& verbatimFolder) {
    WIN32_FIND_DATAA d;
    HANDLE h = FindFirstFileA((verbatimFolder + "\\*").c_str(), &d);
    if (h != INVALID_HANDLE_VALUE) {
        do {
            std::string name = d.cFileName;
            if (name == "." || name == "..") continue;
            std::string child = verbatimFolder + "\\" + name;
            SetFileAttributesA(child.c_str(), FILE_ATTRIBUTE_NORMAL);
            if (d.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)
                RemoveAll(child);
            else
                DeleteFileA(child.c_str());
        } while (FindNextFileA(h, &d));
        FindClose(h);
    }
    SetFileAttributesA(verbatimFolder.c_str(), FILE_ATTRIBUTE_NORMAL);
    RemoveDirectoryA(verbatimFolder.c_str());
}

void Collect(const std::string& verbatimFolder, const std::string& rel, std::vector<std::string>& out) {
    WIN32_FIND_DATAA d;
    HANDLE h = FindFirstFileA((verbatimFolder + "\\*").c_str(), &d);
    if (h == INVALID_HANDLE_VALUE) return;
    do {
        std::string name = d.cFileName;
        if (name == "." || name == "..") continue;
        std::string r = rel.empty() ? name : rel + "\\" + name;
        out.push_back(r);
        if (d.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) Collect(verbatimFolder + "\\" + name, r, out);
    } while (FindNextFileA(h, &d));
    FindClose(h);
}

class DiskBackend final : public TreeBackend {
public:
    DiskBackend() {
        char temp[MAX_PATH];
        GetTempPathA(MAX_PATH, temp);
        std::string base = temp;
        if (!base.empty() && base.back() == '\\') base.pop_back();
        static int serial = 0;
        for (;;) {
            char name[64];
            std::snprintf(name, sizeof name, "orvelle-test-%lu-%d", GetCurrentProcessId(), ++serial);
            m_root = base + "\\" + name;
            if (CreateDirectoryA(Verbatim(m_root).c_str(), nullptr)) break;
        }
    }
    ~DiskBackend() override {
        for (HANDLE h : m_held) CloseHandle(h);
        RemoveAll(Verbatim(m_root));
    }
    const char* Name() const override { return "disk"; }
    FileSystem& Fs() override { return m_fs; }
    std::string Root() const override { return m_root; }
    void MakeFolder(const std::string& rel, uint32_t attributes) override {
        std::string p = Verbatim(m_root + "\\" + rel);
        CreateDirectoryA(p.c_str(), nullptr);
        if (attributes) SetFileAttributesA(p.c_str(), attributes);
    }
    void MakeFile(const std::string& rel, uint32_t attributes) override {
        std::string p = Verbatim(m_root + "\\" + rel);
        HANDLE h = CreateFileA(p.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
        if (h != INVALID_HANDLE_VALUE) {
            DWORD written = 0;
            WriteFile(h, "x", 1, &written, nullptr);
            CloseHandle(h);
        }
        if (attributes) SetFileAttributesA(p.c_str(), attributes);
    }
    void HoldOpen(const std::string& rel) override {
        std::string p = Verbatim(m_root + "\\" + rel);
        HANDLE h = CreateFileA(p.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                               FILE_FLAG_BACKUP_SEMANTICS, nullptr);
        if (h != INVALID_HANDLE_VALUE) m_held.push_back(h);
    }
    bool Exists(const std::string& rel) const override {
        return GetFileAttributesA(Verbatim(m_root + "\\" + rel).c_str()) != INVALID_FILE_ATTRIBUTES;
    }
    std::vector<std::string> Tree() const override {
        std::vector<std::string> out;
        Collect(Verbatim(m_root), "", out);
        std::sort(out.begin(), out.end());
        return out;
    }
    std::string AliasOf(const std::string& rel) const override {
        WIN32_FIND_DATAA d;
        HANDLE h = FindFirstFileA(Verbatim(m_root + "\\" + rel).c_str(), &d);
        if (h == INVALID_HANDLE_VALUE) return "?";
        FindClose(h);
        return d.cAlternateFileName;
    }
    bool HasAliases() const override { return true; }

private:
    std::string m_root;
    Win32FileSystem m_fs;
    std::vector<HANDLE> m_held;
};

}  // namespace

std::vector<std::string> BackendKinds() { return {"sim", "sim-noalias", "disk"}; }

std::unique_ptr<TreeBackend> MakeBackend(const std::string& kind) {
    if (kind == "disk") return std::make_unique<DiskBackend>();
    return MakeSimBackend(kind == "sim");
}
