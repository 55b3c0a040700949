// Deletion of listed entries through their device form.
#pragma once

#include <string>
#include <string_view>

#include "FileSystem.h"

#include "Resolve.h"

// Resolves a path as shown in a row (or given on the command line) to its
// device form and deletes the entry, a folder with everything in it. True when
// the entry is gone. A drive root is never deleted.
bool DeleteListedPath(FileSystem& fs, std::string_view path);

// The same for a batch of rows: the folders the rows sit in are listed once
// for the whole batch. Only the batch's own deletions may change them meanwhile.
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
