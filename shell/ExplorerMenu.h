// Adding and removing the Explorer verbs in the registry. Registry failures are
// silent; the callers learn only whether the step that decides succeeded.
#pragma once

#include <string>

// Whether the integration is present: the key "Folder\shell\<appId>" opens.
// An empty identifier never counts as present.
bool IsExplorerMenuPresent(const std::string& appId);

// Writes the six keys. False, with nothing written, when the first verb key
// cannot be created (no rights) or the identifier is empty; true otherwise,
// whatever became of the later keys.
bool AddExplorerMenu(const std::string& appId, const std::wstring& exePath);

// Deletes the three verb keys with their subkeys. False when "Folder\shell"
// cannot be opened or the identifier is empty; true otherwise, whatever the
// deletions did.
bool RemoveExplorerMenu(const std::string& appId);

// The running executable's full path as the command values hold it.
std::wstring ExecutablePathForVerbs();
