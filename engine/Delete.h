// Deletion of listed entries through their device form.
#pragma once

#include <string>
#include <string_view>

#include "FileSystem.h"

// Resolves a path as shown in a row (or given on the command line) to its
// device form and deletes the entry, a folder with everything in it. True when
// the entry is gone. A drive root is never deleted.
bool DeleteListedPath(FileSystem& fs, std::string_view path);

// Deletes the entry a device-form path names, children before their folder;
// the first child that cannot be deleted stops it. A junction or symbolic link
// is removed as itself, never emptied. Drive roots are refused.
bool DeleteTree(FileSystem& fs, const std::string& path, bool isFolder);
