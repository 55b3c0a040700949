// Deletion of listed entries, reached again by handles.
#pragma once

#include <string>
#include <string_view>

#include "FileSystem.h"

#include "Entry.h"
#include "ResultRow.h"

// Resolves a path as shown in a row (or given on the command line) from its
// drive's top folder by exact stored names, and deletes the entry, a folder
// with everything in it. True when the entry is gone. What it is (file,
// folder, link) is read from its handle just before. A drive root, a path
// through a junction or symbolic link, and a component that is not there
// exactly (another case, an alias) all fail.
bool DeleteListedPath(FileSystem& fs, std::u16string_view path);
Outcome DeleteListedPath(FileSystem& fs, std::u16string_view path, EntrySession& session);
// The same for a path in the ANSI code page (converted exactly, or refused).
bool DeleteListedPath(FileSystem& fs, std::string_view path);
Outcome DeleteListedPath(FileSystem& fs, std::string_view path, EntrySession& session);

// The same for a batch of rows: folders opened on the way stay open for the
// batch. A row that carries what its entry is goes by that; one that only has
// a path goes by the path.
class DeleteSession {
public:
    explicit DeleteSession(FileSystem& fs) : m_fs(fs), m_entries(fs) {}
    bool DeleteListedPath(std::u16string_view path);
    bool DeleteListedPath(std::string_view path);
    Outcome Delete(const ResultRow& row);
    // A folder being emptied stops between two entries once *stop is true.
    void StopWhen(const std::atomic<bool>* stop) { m_entries.StopWhen(stop); }

private:
    FileSystem& m_fs;
    EntrySession m_entries;
};
