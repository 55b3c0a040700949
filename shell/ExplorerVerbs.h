// The program's entries in the Explorer right-click menu: a search verb and a
// delete verb on folders, a delete verb on files. Each verb is a key under
// HKEY_CLASSES_ROOT with a "command" subkey; every value is the key's default
// value, a REG_SZ.
#pragma once

#include <string>
#include <vector>

// One key under HKEY_CLASSES_ROOT and its default value.
struct VerbKeyValue {
    std::string keyPath;
    std::wstring value;  // in UTF-16: the program's path whatever the code page holds
};

// The six keys the integration writes, in the order they are written: each
// verb key followed by its "command" subkey. The commands hold exePath in
// double quotes, then the quoted argument.
std::vector<VerbKeyValue> ExplorerVerbKeys(const std::string& appId, const std::wstring& exePath);

// The key whose presence means the integration is present.
std::string ExplorerPresenceKey(const std::string& appId);

// The text of the list menu's switch: what choosing it will do.
const char* ExplorerMenuLabel(bool present);

// The messages shown after adding and after removing.
extern const char kExplorerMenuAdded[];
extern const char kExplorerMenuRemoved[];
