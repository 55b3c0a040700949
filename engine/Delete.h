// Deletion of listed entries through their device form.
#pragma once

#include <string>
#include <string_view>

#include "FileSystem.h"

#include "Resolve.h"

// Resolves a path as shown in a row (or given on the command line) and
// deletes the entry, a folder with everything in it. True when the entry is
// gone. The entry is reached by its long names under "\\?\" while they fit,
// else by aliases no neighbour shares; what it is (file, folder, link) is
// asked afresh just before. A drive root, a path through a junction or
// symbolic link, and an entry no form reaches for certain all fail.
bool DeleteListedPath(FileSystem& fs, std::string_view path);

// The same for a batch of rows: the folders the rows sit in are listed once
// for the whole batch to find the entries; each entry is still looked at
// afresh before it goes.
class DeleteSession {
public:
    explicit DeleteSession(FileSystem& fs) : m_fs(fs) {}
    bool DeleteListedPath(std::string_view path);

private:
    FileSystem& m_fs;
    ListingCache m_cache;
};

// Deletes the entry a device-form path names, children before their folder;
// the first child that cannot be deleted stops it. A junction or symbolic link
// is removed as itself, never emptied. Drive roots are refused.
bool DeleteTree(FileSystem& fs, const std::string& path, bool isFolder);
