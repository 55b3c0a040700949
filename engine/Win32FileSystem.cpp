#include "Win32FileSystem.h"

#include <windows.h>

#include <cstring>
#include <string>

#include "ExactAnsi.h"

namespace {

// A 32-bit process on 64-bit Windows sees SysWOW64 where it asks for
// System32 (and more) unless it turns the redirection off; then a walk of
// C:\Windows would list SysWOW64's entries under System32's name, and a
// deletion would remove the twin. Off for the length of each call, on the
// calling thread only, so nothing else the thread loads is redirected wrongly.
class NoFsRedirection {
public:
    NoFsRedirection() {
        if (Functions().disable) m_active = Functions().disable(&m_old) != FALSE;
    }
    ~NoFsRedirection() {
        if (m_active) Functions().revert(m_old);
    }
    NoFsRedirection(const NoFsRedirection&) = delete;
    NoFsRedirection& operator=(const NoFsRedirection&) = delete;

private:
    struct Table {
        BOOL(WINAPI* disable)(PVOID*) = nullptr;
        BOOL(WINAPI* revert)(PVOID) = nullptr;
    };
    // Absent on 32-bit XP and meaningless in a 64-bit process; both are fine.
    static const Table& Functions() {
        static const Table table = [] {
            Table t;
#ifndef _WIN64
            HMODULE kernel = GetModuleHandleW(L"kernel32.dll");
            BOOL isWow64 = FALSE;
            auto isWow64Process =
                reinterpret_cast<BOOL(WINAPI*)(HANDLE, PBOOL)>(GetProcAddress(kernel, "IsWow64Process"));
            if (kernel && isWow64Process && isWow64Process(GetCurrentProcess(), &isWow64) && isWow64) {
                t.disable = reinterpret_cast<BOOL(WINAPI*)(PVOID*)>(
                    GetProcAddress(kernel, "Wow64DisableWow64FsRedirection"));
                t.revert = reinterpret_cast<BOOL(WINAPI*)(PVOID)>(
                    GetProcAddress(kernel, "Wow64RevertWow64FsRedirection"));
                if (!t.disable || !t.revert) t = Table();
            }
#endif
            return t;
        }();
        return table;
    }

    PVOID m_old = nullptr;
    bool m_active = false;
};

// Names come from the W listing and are handed on only when the ANSI code page
// holds them exactly; otherwise the entry keeps a look-alike for display and
// is marked, so that nothing tries to reach it by that text.
void CopyFindData(const WIN32_FIND_DATAW& from, FindData& to) {
    to = FindData();
    to.attributes = from.dwFileAttributes;
    to.reserved0 = from.dwReserved0;
    std::string text;
    to.inexact = !WideToAnsiExactly(from.cFileName, wcsnlen(from.cFileName, MAX_PATH), text);
    if (text.size() >= sizeof to.name) {
        // Longer in the code page than a narrow name can be: a look-alike cut short.
        text.resize(sizeof to.name - 1);
        to.inexact = true;
    }
    std::memcpy(to.name, text.data(), text.size());
    std::string alias;
    if (WideToAnsiExactly(from.cAlternateFileName, wcsnlen(from.cAlternateFileName, 14), alias) &&
        alias.size() < sizeof to.shortName)
        std::memcpy(to.shortName, alias.data(), alias.size());
}

class Win32Listing final : public Listing {
public:
    explicit Win32Listing(HANDLE handle) : m_handle(handle) {}
    ~Win32Listing() override { ::FindClose(m_handle); }
    Win32Listing(const Win32Listing&) = delete;
    Win32Listing& operator=(const Win32Listing&) = delete;

    bool Next(FindData& entry, uint32_t& error) override {
        WIN32_FIND_DATAW data;
        std::memset(&data, 0, sizeof data);
        BOOL ok;
        {
            NoFsRedirection off;
            ok = ::FindNextFileW(m_handle, &data);
            if (!ok) error = ::GetLastError();
        }
        if (!ok) return false;
        CopyFindData(data, entry);
        return true;
    }

private:
    HANDLE m_handle;
};

// The narrow paths the engine builds hold only exact names, so they convert
// back without loss; one that does not is refused as an invalid name.
bool Widen(const char* path, std::wstring& wide) { return path && AnsiToWide(path, wide) && !wide.empty(); }

}  // namespace

std::unique_ptr<Listing> Win32FileSystem::FindFirst(const char* pattern, FindData& first, uint32_t& error) {
    std::wstring wide;
    if (!Widen(pattern, wide)) {
        error = ERROR_INVALID_NAME;
        return nullptr;
    }
    WIN32_FIND_DATAW data;
    std::memset(&data, 0, sizeof data);
    HANDLE handle;
    {
        NoFsRedirection off;
        handle = ::FindFirstFileW(wide.c_str(), &data);
        if (handle == INVALID_HANDLE_VALUE) error = ::GetLastError();
    }
    if (handle == INVALID_HANDLE_VALUE) return nullptr;
    CopyFindData(data, first);
    return std::unique_ptr<Listing>(new Win32Listing(handle));
}

uint32_t Win32FileSystem::GetAttributes(const char* path) {
    std::wstring wide;
    if (!Widen(path, wide)) return INVALID_FILE_ATTRIBUTES;
    NoFsRedirection off;
    return ::GetFileAttributesW(wide.c_str());
}

bool Win32FileSystem::SetAttributes(const char* path, uint32_t attributes) {
    std::wstring wide;
    if (!Widen(path, wide)) return false;
    NoFsRedirection off;
    return ::SetFileAttributesW(wide.c_str(), attributes) != FALSE;
}

bool Win32FileSystem::RemoveFile(const char* path, uint32_t& error) {
    std::wstring wide;
    if (!Widen(path, wide)) {
        error = ERROR_INVALID_NAME;
        return false;
    }
    NoFsRedirection off;
    if (::DeleteFileW(wide.c_str())) return true;
    error = ::GetLastError();
    return false;
}

bool Win32FileSystem::RemoveFolder(const char* path, uint32_t& error) {
    std::wstring wide;
    if (!Widen(path, wide)) {
        error = ERROR_INVALID_NAME;
        return false;
    }
    NoFsRedirection off;
    if (::RemoveDirectoryW(wide.c_str())) return true;
    error = ::GetLastError();
    return false;
}

FileSystem& TheFileSystem() {
    static Win32FileSystem fs;
    return fs;
}
