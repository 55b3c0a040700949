#include "ExplorerMenu.h"

#include <windows.h>
#include <shlwapi.h>

#include "ExplorerVerbs.h"

namespace {

void SetDefaultValue(HKEY key, const std::wstring& value) {
    RegSetValueW(key, nullptr, REG_SZ, value.c_str(), static_cast<DWORD>(value.size() * sizeof(wchar_t)));
}

// Creates the key and sets its default value; nothing is reported.
void WriteKey(const VerbKeyValue& entry) {
    HKEY key = nullptr;
    if (RegCreateKeyA(HKEY_CLASSES_ROOT, entry.keyPath.c_str(), &key) != ERROR_SUCCESS) return;
    SetDefaultValue(key, entry.value);
    RegCloseKey(key);
}

}  // namespace

bool IsExplorerMenuPresent(const std::string& appId) {
    // With an empty identifier the key would be "Folder\shell" itself.
    if (appId.empty()) return false;
    HKEY key = nullptr;
    if (RegOpenKeyA(HKEY_CLASSES_ROOT, ExplorerPresenceKey(appId).c_str(), &key) != ERROR_SUCCESS) return false;
    RegCloseKey(key);
    return true;
}

bool AddExplorerMenu(const std::string& appId, const std::wstring& exePath) {
    // An empty identifier would overwrite the default verb of every folder.
    if (appId.empty()) return false;
    const std::vector<VerbKeyValue> keys = ExplorerVerbKeys(appId, exePath);
    HKEY first = nullptr;
    if (RegCreateKeyA(HKEY_CLASSES_ROOT, keys[0].keyPath.c_str(), &first) != ERROR_SUCCESS) return false;
    SetDefaultValue(first, keys[0].value);
    RegCloseKey(first);
    for (size_t i = 1; i < keys.size(); ++i) WriteKey(keys[i]);
    return true;
}

bool RemoveExplorerMenu(const std::string& appId) {
    // SHDeleteKeyA with an empty name would delete every folder verb there is.
    if (appId.empty()) return false;
    HKEY folderShell = nullptr;
    if (RegOpenKeyA(HKEY_CLASSES_ROOT, "Folder\\shell", &folderShell) != ERROR_SUCCESS) return false;
    SHDeleteKeyA(folderShell, appId.c_str());
    SHDeleteKeyA(folderShell, (appId + "_del").c_str());
    RegCloseKey(folderShell);
    HKEY fileShell = nullptr;
    if (RegOpenKeyA(HKEY_CLASSES_ROOT, "*\\shell", &fileShell) == ERROR_SUCCESS) {
        SHDeleteKeyA(fileShell, ("Z" + appId + "_del").c_str());
        RegCloseKey(fileShell);
    }
    return true;
}

std::wstring ExecutablePathForVerbs() {
    // In UTF-16: a folder the code page cannot hold is named exactly. A path
    // the buffer cannot hold whole is not given at all (cut, it would name
    // another program).
    std::wstring path(MAX_PATH, L'\0');
    for (;;) {
        const DWORD length = GetModuleFileNameW(nullptr, &path[0], static_cast<DWORD>(path.size()));
        if (length == 0) return std::wstring();
        if (length < path.size()) return path.substr(0, length);
        if (path.size() >= 32768) return std::wstring();
        path.assign(path.size() * 2, L'\0');
    }
}
