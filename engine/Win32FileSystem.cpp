#include "Win32FileSystem.h"

#include <windows.h>

#include <cstring>

namespace {

void CopyFindData(const WIN32_FIND_DATAA& from, FindData& to) {
    to.attributes = from.dwFileAttributes;
    to.reserved0 = from.dwReserved0;
    static_assert(sizeof to.name == sizeof from.cFileName, "name buffer");
    static_assert(sizeof to.shortName == sizeof from.cAlternateFileName, "alias buffer");
    std::memcpy(to.name, from.cFileName, sizeof to.name);
    std::memcpy(to.shortName, from.cAlternateFileName, sizeof to.shortName);
    to.name[sizeof to.name - 1] = '\0';
    to.shortName[sizeof to.shortName - 1] = '\0';
}

class Win32Listing final : public Listing {
public:
    explicit Win32Listing(HANDLE handle) : m_handle(handle) {}
    ~Win32Listing() override { ::FindClose(m_handle); }
    Win32Listing(const Win32Listing&) = delete;
    Win32Listing& operator=(const Win32Listing&) = delete;

    bool Next(FindData& entry, uint32_t& error) override {
        WIN32_FIND_DATAA data;
        std::memset(&data, 0, sizeof data);
        if (!::FindNextFileA(m_handle, &data)) {
            error = ::GetLastError();
            return false;
        }
        CopyFindData(data, entry);
        return true;
    }

private:
    HANDLE m_handle;
};

}  // namespace

std::unique_ptr<Listing> Win32FileSystem::FindFirst(const char* pattern, FindData& first, uint32_t& error) {
    WIN32_FIND_DATAA data;
    std::memset(&data, 0, sizeof data);
    HANDLE handle = ::FindFirstFileA(pattern, &data);
    if (handle == INVALID_HANDLE_VALUE) {
        error = ::GetLastError();
        return nullptr;
    }
    CopyFindData(data, first);
    return std::unique_ptr<Listing>(new Win32Listing(handle));
}

uint32_t Win32FileSystem::GetAttributes(const char* path) { return ::GetFileAttributesA(path); }

bool Win32FileSystem::SetAttributes(const char* path, uint32_t attributes) {
    return ::SetFileAttributesA(path, attributes) != FALSE;
}

bool Win32FileSystem::RemoveFile(const char* path, uint32_t& error) {
    if (::DeleteFileA(path)) return true;
    error = ::GetLastError();
    return false;
}

bool Win32FileSystem::RemoveFolder(const char* path, uint32_t& error) {
    if (::RemoveDirectoryA(path)) return true;
    error = ::GetLastError();
    return false;
}

FileSystem& TheFileSystem() {
    static Win32FileSystem fs;
    return fs;
}
