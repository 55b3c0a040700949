#include "Sandbox.h"

#include <windows.h>

#include <cstdio>

namespace e2e {

namespace {

const char kSettingsFile[] = "Orvelle.ini";
const char kSection[] = "AppInfo";
const char kKey[] = "Path";

std::string Extended(const std::string& path) { return "\\\\?\\" + path; }

// Removes a file or a whole folder, children first, whatever their names.
void RemoveTree(const std::string& path) {
    const std::string extended = Extended(path);
    const DWORD attributes = GetFileAttributesA(extended.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES) return;
    SetFileAttributesA(extended.c_str(), FILE_ATTRIBUTE_NORMAL);
    if (!(attributes & FILE_ATTRIBUTE_DIRECTORY)) {
        DeleteFileA(extended.c_str());
        return;
    }
    WIN32_FIND_DATAA entry;
    HANDLE find = FindFirstFileA((extended + "\\*").c_str(), &entry);
    if (find != INVALID_HANDLE_VALUE) {
        do {
            const std::string name = entry.cFileName;
            if (name != "." && name != "..") RemoveTree(path + "\\" + name);
        } while (FindNextFileA(find, &entry));
        FindClose(find);
    }
    RemoveDirectoryA(extended.c_str());
}

}  // namespace

std::string HostPath(const std::string& buildPath) {
    std::string path = buildPath;
    for (char& c : path)
        if (c == '/') c = '\\';
    if (!path.empty() && path[0] == '\\') path = "Z:" + path;
    return path;
}

Sandbox::~Sandbox() {
    if (!m_folder.empty()) RemoveTree(m_folder);
}

bool Sandbox::Create(const std::string& program, const std::string& programName) {
    static int counter = 0;
    char temp[MAX_PATH] = {};
    const DWORD length = GetTempPathA(MAX_PATH, temp);
    if (length == 0 || length >= MAX_PATH) return false;
    // The long form, as the program shows paths it resolved itself.
    char longTemp[MAX_PATH] = {};
    const DWORD longLength = GetLongPathNameA(temp, longTemp, MAX_PATH);
    std::string base = longLength > 0 && longLength < MAX_PATH ? longTemp : temp;
    if (!base.empty() && base.back() == '\\') base.pop_back();
    char name[96];
    std::snprintf(name, sizeof name, "OrvelleE2E_%lu_%lu_%d", GetCurrentProcessId(), GetTickCount(), ++counter);
    m_folder = base + "\\" + name;
    if (!CreateDirectoryA(Extended(m_folder).c_str(), nullptr)) {
        m_folder.clear();
        return false;
    }
    m_program = m_folder + "\\" + programName;
    return CopyFileA(program.c_str(), m_program.c_str(), TRUE) != FALSE;
}

std::string Sandbox::SettingsFile() const { return Path(kSettingsFile); }

std::string Sandbox::Path(const std::string& relative) const { return m_folder + "\\" + relative; }

bool Sandbox::MakeFolder(const std::string& relative) const {
    return CreateDirectoryA(Extended(Path(relative)).c_str(), nullptr) != FALSE;
}

bool Sandbox::MakeFile(const std::string& relative, const std::string& content) const {
    HANDLE file = CreateFileA(Extended(Path(relative)).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return false;
    DWORD written = 0;
    const bool ok = WriteFile(file, content.data(), static_cast<DWORD>(content.size()), &written, nullptr) &&
                    written == content.size();
    return CloseHandle(file) && ok;
}

bool Sandbox::Exists(const std::string& relative) const {
    return GetFileAttributesA(Extended(Path(relative)).c_str()) != INVALID_FILE_ATTRIBUTES;
}

std::wstring Sandbox::PathW(const std::wstring& relative) const {
    const int length = MultiByteToWideChar(CP_ACP, 0, m_folder.c_str(), -1, nullptr, 0);
    std::wstring folder(length > 0 ? length - 1 : 0, L'\0');
    if (length > 1) MultiByteToWideChar(CP_ACP, 0, m_folder.c_str(), -1, &folder[0], length);
    return folder + L"\\" + relative;
}

bool Sandbox::MakeFolderW(const std::wstring& relative) const {
    return CreateDirectoryW((L"\\\\?\\" + PathW(relative)).c_str(), nullptr) != FALSE;
}

bool Sandbox::MakeFileW(const std::wstring& relative) const {
    HANDLE file = CreateFileW((L"\\\\?\\" + PathW(relative)).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    return file != INVALID_HANDLE_VALUE && CloseHandle(file);
}

bool Sandbox::ExistsW(const std::wstring& relative) const {
    return GetFileAttributesW((L"\\\\?\\" + PathW(relative)).c_str()) != INVALID_FILE_ATTRIBUTES;
}

bool Sandbox::WriteSavedPath(const std::string& path) const {
    return WritePrivateProfileStringA(kSection, kKey, path.c_str(), SettingsFile().c_str()) != FALSE;
}

bool Sandbox::ReadSavedPath(std::string& path) const {
    // A default no real value can have tells a missing key from an empty one.
    const char missing[] = "\x01missing";
    char value[1024] = {};
    GetPrivateProfileStringA(kSection, kKey, missing, value, sizeof value, SettingsFile().c_str());
    path = value;
    return path != missing;
}

}  // namespace e2e
