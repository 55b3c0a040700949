// The Explorer verb keys of one identifier in the test prefix's registry: read
// back, cleared, and put back as they were when the test began.
#pragma once

#include <windows.h>
#include <shlwapi.h>

#include <string>
#include <vector>

#include "ExplorerVerbs.h"

// A key's default value under HKEY_CLASSES_ROOT; exists false when the key
// cannot be opened.
struct KeyState {
    bool exists = false;
    std::string value;       // as a narrow reader gets it (the ANSI code page)
    std::wstring wideValue;  // as it is stored
};

inline KeyState ReadClassesKey(const std::string& path) {
    KeyState state;
    HKEY key = nullptr;
    if (RegOpenKeyA(HKEY_CLASSES_ROOT, path.c_str(), &key) != ERROR_SUCCESS) return state;
    state.exists = true;
    char value[1024] = {};
    LONG size = sizeof value;
    if (RegQueryValueA(key, nullptr, value, &size) == ERROR_SUCCESS) state.value = value;
    wchar_t wide[1024] = {};
    size = sizeof wide;
    if (RegQueryValueW(key, nullptr, wide, &size) == ERROR_SUCCESS) state.wideValue = wide;
    RegCloseKey(key);
    return state;
}

inline void WriteClassesKey(const std::string& path, const std::string& value) {
    HKEY key = nullptr;
    if (RegCreateKeyA(HKEY_CLASSES_ROOT, path.c_str(), &key) != ERROR_SUCCESS) return;
    RegSetValueA(key, nullptr, REG_SZ, value.c_str(), static_cast<DWORD>(value.size()));
    RegCloseKey(key);
}

inline void WriteClassesKey(const std::string& path, const std::wstring& value) {
    HKEY key = nullptr;
    if (RegCreateKeyA(HKEY_CLASSES_ROOT, path.c_str(), &key) != ERROR_SUCCESS) return;
    RegSetValueW(key, nullptr, REG_SZ, value.c_str(), static_cast<DWORD>(value.size() * sizeof(wchar_t)));
    RegCloseKey(key);
}

inline void DeleteClassesTree(const std::string& path) { SHDeleteKeyA(HKEY_CLASSES_ROOT, path.c_str()); }

// Remembers the six keys of appId, clears them for the test and restores them
// when it goes.
class VerbRegistryGuard {
public:
    explicit VerbRegistryGuard(std::string appId) : m_appId(std::move(appId)) {
        for (const VerbKeyValue& k : ExplorerVerbKeys(m_appId, L""))
            m_saved.push_back({k.keyPath, ReadClassesKey(k.keyPath)});
        for (const char* parent : kParents) m_parentExisted.push_back(ReadClassesKey(parent).exists);
        Clear();
    }
    ~VerbRegistryGuard() {
        Clear();
        for (const Saved& s : m_saved)
            if (s.state.exists) WriteClassesKey(s.path, s.state.wideValue);
        // Parents the test made go again; RegDeleteKeyA leaves a key that has subkeys.
        for (size_t i = 0; i < m_parentExisted.size(); ++i)
            if (!m_parentExisted[i]) RegDeleteKeyA(HKEY_CLASSES_ROOT, kParents[i]);
    }
    VerbRegistryGuard(const VerbRegistryGuard&) = delete;
    VerbRegistryGuard& operator=(const VerbRegistryGuard&) = delete;

    // Deletes the three verb keys (with their "command" subkeys).
    void Clear() {
        const std::vector<VerbKeyValue> keys = ExplorerVerbKeys(m_appId, L"");
        for (size_t i = 0; i < keys.size(); i += 2) DeleteClassesTree(keys[i].keyPath);
    }

    // The six keys as they stand now, in ExplorerVerbKeys order.
    std::vector<KeyState> Now() const {
        std::vector<KeyState> out;
        for (const VerbKeyValue& k : ExplorerVerbKeys(m_appId, L"")) out.push_back(ReadClassesKey(k.keyPath));
        return out;
    }

private:
    struct Saved {
        std::string path;
        KeyState state;
    };
    // Deepest first, so that a parent is empty when its turn comes.
    static constexpr const char* kParents[] = {"Folder\\shell", "Folder", "*\\shell"};
    std::string m_appId;
    std::vector<Saved> m_saved;
    std::vector<bool> m_parentExisted;
};
