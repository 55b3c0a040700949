// How the path forms find the entry each component of a path names. Used by
// the path forms and by deletion; not part of the engine's interface.
#pragma once

#include <map>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "FileSystem.h"

// The listings of the folders a batch of deletions went through, so that a
// thousand rows in one folder cost one listing of it, not a thousand.
class ListingCache {
public:
    struct Folder {
        bool opened = false;
        std::vector<FindData> entries;
        std::vector<bool> gone;
        std::unordered_map<std::string, size_t> byName;
        std::unordered_map<std::string, size_t> byAlias;
    };
    // The listing of folder (a lookup path), made on first use.
    const Folder& Get(FileSystem& fs, const std::string& folder);
    // An entry of folder was deleted: it must not be found again.
    void Forget(const std::string& folder, const char* name);

private:
    std::map<std::string, Folder> m_folders;
};

struct Resolution {
    std::string longPath;      // the first component as typed, then stored long names
    std::string lookupPath;    // prefix (when asked for) and aliases where they exist
    std::string verbatimPath;  // "\\?\" and long names; empty when there is no such form
    std::string parentLookup;  // how the folder holding the last entry was listed
    bool isFolder = false;
    FindData last;
    bool hasLast = false;  // false for a bare drive
};

// Resolves every component after the first. deviceForm chooses the "\\.\" or
// "\\?\" prefix for the lookup path. cache may be null. False when a component
// is not found or a path grows beyond 259 bytes; isFolder then follows the
// rules of the device form.
bool ResolveComponents(FileSystem& fs, std::string_view path, bool deviceForm, Resolution& r, ListingCache* cache);

bool IsDriveSpec(std::string_view component);
