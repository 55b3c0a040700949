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

// What an entry was when it was listed (for a followed component: what it led
// to); a handle that says otherwise holds another entry.
struct EntryRef : Identity {
    EntryPtr parent;  // null: the top folder of a volume
    WideName name;    // the top: "X:" or "\\server\share"
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
        WideName path;  // its path on its volume, once asked for (see HandleIsNamed)
        int deletions = 0;
        // After a few rows in one folder, one listing of it serves the rest.
        bool listed = false;
        std::vector<DirEntry> entries;
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
// exact stored name and what opens is the entry listed (Matches); a reparse
// point is opened as itself. kFollow takes what the name leads to, unchecked.
std::unique_ptr<Node> OpenExactChild(FileSystem& fs, Node& folder, const WideName& name, const Identity& listed,
                                     Match match, FileSystem::OpenFor mode, NodeInfo& info, uint32_t& error);

// Whether the handle of a file opened by name in folder holds that name's
// file: its path on the volume is the folder's and the name. Wine opens a
// Linux symbolic link's target for the link and lists the link as a plain
// file; such a handle fails here (kReparseRefused). A system that cannot tell
// a handle's path passes. folderPath, when given, keeps the folder's path
// between calls (empty: not asked for yet); siblings, when given, is a
// listing of the folder taken since the entry was listed (otherwise the
// folder is listed where the path leaves a doubt).
bool HandleIsNamed(FileSystem& fs, Node& file, Node& folder, WideName* folderPath, const WideName& name,
                   uint32_t& error, const std::vector<DirEntry>* siblings = nullptr);

// Deletes what an open handle holds: a folder after everything in it, a link
// as itself. Read-only is cleared for the deletion and put back if it fails.
Outcome DeleteOpenEntry(FileSystem& fs, Node& node, const NodeInfo& info, const std::atomic<bool>* stop = nullptr);

// A path as typed or shown, taken apart: "X:\a", "\\?\X:\a", "\\.\X:\a",
// "\\server\share\a", "\\?\UNC\server\share\a"; and, when relative forms
// are allowed, "a\b", "\a", "X:a" made absolute against the process's
// current folders (once, as the system would). Plain, "\\.\" and share forms
// take "/" for "\" and fold "." and ".."; "\\?\" takes every name as it
// stands. Trailing dots and blanks are kept in every form: "a." is never "a".
struct TypedPath {
    WideName volume;  // "X:" (upper case) or "\\server\share"
    WideName shown;   // the volume as rows show it: the drive letter as typed
    std::vector<WideName> names;
    // The last component when it holds "*" or "?" and patterns are allowed:
    // the folder before it is walked, and only its entries that match.
    WideName pattern;
};
enum class PathUse {
    kListed,  // a listed path (reviewed list, hand-over): absolute, no "." or "..", no pattern
    kRoot,    // a root the user typed: relative forms and a pattern allowed
};
bool SplitTypedPath(FileSystem& fs, std::u16string_view path, PathUse use, TypedPath& out, uint32_t& error);

// Opens a split path from its volume's top folder, component by component.
// exact: every component must be an entry's stored name as it stands and
// nothing is followed (what a deletion asks for); otherwise the system's match
// is taken (case, alias) and links are followed, as for a root the user types.
// info receives what the last handle says of its entry, open the handle when
// asked for; longPath the path in the ANSI code page, empty when the code page
// cannot hold it.
bool OpenTypedPath(FileSystem& fs, const TypedPath& path, bool exact, EntryPtr& entry, std::string& longPath,
                   NodeInfo& info, std::unique_ptr<Node>* open, uint32_t& error);

// Both steps for a path in UTF-16 (kListed, exact).
bool ResolveWidePath(FileSystem& fs, std::u16string_view path, bool exact, EntryPtr& entry, std::string& longPath,
                     NodeInfo& info, uint32_t& error);
// Both steps for a path as given (a row's, a request's, a dropped one): exact,
// a listed path; otherwise a root as the user types it (no pattern).
bool ResolveEntry(FileSystem& fs, std::u16string_view path, bool exact, EntryPtr& entry, std::string& longPath,
                  std::unique_ptr<Node>* open, uint32_t& error);
// The same for a path in the ANSI code page (converted exactly, or refused).
bool ResolveEntry(FileSystem& fs, std::string_view path, bool exact, EntryPtr& entry, std::string& longPath,
                  std::unique_ptr<Node>* open, uint32_t& error);

// The full path of an entry from its stored names ("X:\\a\\b"), whatever the
// code page holds and however long it is.
WideName WidePathOf(const EntryRef& entry);

// A name Windows accepts for name: trailing dots and blanks dropped, "_"
// after the word of a reserved device name ("nul" -> "nul_", "con.txt" ->
// "con_.txt", "nul .txt" -> "nul_ .txt"), characters Win32 refuses in names
// made "_". No name rule lists what it gives. Empty stays empty.
WideName LegalNameFor(const WideName& name);
// The n-th choice when that name is taken: " (n)" before the extension.
WideName NumberedName(const WideName& legal, int n);
