// What a listed entry is, and how it is reached again: from the top folder of
// its volume, component by component, by exact stored names through handles
// opened relative to their folder, each checked by the id it was listed with.
// A path string is never read again, so nothing that appears at the same
// place later (a link, a namesake in another case, an alias) stands in for it.
#pragma once

#include <atomic>
#include <map>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "FileSystem.h"

struct EntryRef;
using EntryPtr = std::shared_ptr<const EntryRef>;

struct EntryRef {
    EntryPtr parent;  // null: the top folder of a volume
    WideName name;    // the top: "X:"
    uint64_t id = 0;  // as listed (for a followed component: of what it led to)
    bool isFolder = false;
    // Part of a root as the user typed it: a link there is followed, as the
    // walk followed it. Below the root nothing is ever followed.
    bool follow = false;
};

// The result of one deletion, with the system's error code when it failed.
struct Outcome {
    bool ok = false;
    uint32_t error = 0;
};

// Opens entries again and deletes them. Folders opened on the way stay open
// for the session, so a batch of rows in one folder opens it once; a handle
// keeps naming the folder it opened even if a link takes its place later.
class EntrySession {
public:
    explicit EntrySession(FileSystem& fs) : m_fs(fs) {}
    EntrySession(const EntrySession&) = delete;
    EntrySession& operator=(const EntrySession&) = delete;

    // Deletes the entry, a folder with everything in it; links inside are
    // removed as themselves and never entered.
    Outcome Delete(const EntryRef& entry);
    // From now on a folder being emptied stops between two of its entries
    // once *stop is true, and fails with kCancelled (what went, went).
    void StopWhen(const std::atomic<bool>* stop) { m_stop = stop; }
    // Gives the entry a name Windows accepts in the same folder (see
    // LegalNameFor), numbered when that name is taken; never replaces anything.
    Outcome Rename(const EntryRef& entry, WideName& newName);
    // The first bytes of a file (at most size), read through its handle.
    Outcome Read(const EntryRef& entry, std::string& bytes, uint32_t size);
    // What a listed folder holds, listed through its handle; a link is not entered.
    Outcome List(const EntryRef& entry, std::vector<DirEntry>& entries);

private:
    struct OpenFolderState {
        EntryPtr ref;  // keeps the key's address from being reused
        std::unique_ptr<Node> node;
        int deletions = 0;
        // After a few rows in one folder, one listing of it serves the rest.
        bool listed = false;
        std::map<WideName, DirEntry> byName;
    };
    Node* OpenFolder(const EntryPtr& folder, uint32_t& error);
    // The listed entry itself, opened from its folder and checked; folder
    // receives the folder's handle.
    std::unique_ptr<Node> OpenListed(const EntryRef& entry, FileSystem::OpenFor mode, NodeInfo& info, Node*& folder,
                                     uint32_t& error);
    OpenFolderState* FolderState(const EntryPtr& folder, uint32_t& error);

    FileSystem& m_fs;
    const std::atomic<bool>* m_stop = nullptr;
    std::map<const EntryRef*, OpenFolderState> m_folders;
};

// Opens the child name of folder only if the system's entry for it has that
// exact stored name and the id expected; a reparse point is opened as itself.
std::unique_ptr<Node> OpenExactChild(FileSystem& fs, Node& folder, const WideName& name, uint64_t id,
                                     FileSystem::OpenFor mode, NodeInfo& info, uint32_t& error);

// Deletes what an open handle holds: a folder after everything in it, a link
// as itself. Read-only is cleared for the deletion and put back if it fails.
Outcome DeleteOpenEntry(FileSystem& fs, Node& node, const NodeInfo& info, const std::atomic<bool>* stop = nullptr);

// A path as typed or shown ("D:\a\b.", "\\?\D:\a", "\\.\D:\a") resolved from
// its drive's top folder. exact: every component must be an entry's stored
// name as it stands and nothing is followed (what a deletion asks for);
// otherwise the system's match is taken (case, alias) and links are followed,
// as for a root the user types. Plain and "\\.\" forms fold "." and "..";
// trailing dots and blanks are kept in every form. folder receives the open
// handle of what it names when asked for.
bool ResolveEntry(FileSystem& fs, std::string_view path, bool exact, EntryPtr& entry, std::string& longPath,
                  std::unique_ptr<Node>* open, uint32_t& error);

// The same for a path in UTF-16 ("X:\\..." or a prefixed form), whatever the
// ANSI code page holds; info receives what the last component's handle says it
// is. longPath is empty when the code page cannot hold the path.
bool ResolveWidePath(FileSystem& fs, std::u16string_view path, bool exact, EntryPtr& entry, std::string& longPath,
                     NodeInfo& info, uint32_t& error);

// The full path of an entry from its stored names ("X:\\a\\b"), whatever the
// code page holds and however long it is.
WideName WidePathOf(const EntryRef& entry);

// A name Windows accepts for name: trailing dots and blanks dropped, "_"
// after the stem of a reserved device name ("nul" -> "nul_", "con.txt" ->
// "con_.txt"), characters Win32 refuses in names made "_". Empty stays empty.
WideName LegalNameFor(const WideName& name);
// The n-th choice when that name is taken: " (n)" before the extension.
WideName NumberedName(const WideName& legal, int n);
