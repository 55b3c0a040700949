// The three forms of a path: the long-name form shown in the list, the device
// form used to reach malformed names, and the parent folder.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "FileSystem.h"

// Every component after the first replaced by the stored long name of the
// entry it names (written as long name or 8.3 alias); empty on failure.
std::string ResolveLongPath(FileSystem& fs, std::string_view path);

// The path under "\\.\" (or "\\?\") built from 8.3 names where they exist
// and no other entry of the same folder shares them (long names otherwise);
// the "\\?\" form of long names when only that is certain; empty on failure. isFolder (set to false by the caller)
// receives whether the last resolved component is a folder. When entry is given it receives the directory entry of the
// last component (left untouched for a bare drive).
std::string ResolveDevicePath(FileSystem& fs, std::string_view path, bool& isFolder, FindData* entry = nullptr);

// Appends "\" and the entry's alias (its long name when it has none) to a path
// that is used to reach the entry. A long name ending in a dot or blank is only
// kept intact under "\\?\", so the path switches to that prefix; false when
// the path has no verbatim form (no drive and no prefix).
bool AppendReachableName(std::string& path, const FindData& entry);

// The folder part of path with a trailing "\"; empty for a bare name.
std::string ParentFolderOf(std::string_view path);
