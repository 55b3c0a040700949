// The engine's only way to the disk: handles opened relative to their folder
// by exact wide names. The Win32 implementation forwards to the native calls;
// the simulated volume in tests/support models what Windows (and Wine) do with
// them, so the engine can be tested anywhere.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace fs_attr {
constexpr uint32_t kReadOnly = 0x1;
constexpr uint32_t kHidden = 0x2;
constexpr uint32_t kSystem = 0x4;
constexpr uint32_t kDirectory = 0x10;
constexpr uint32_t kArchive = 0x20;
constexpr uint32_t kNormal = 0x80;
constexpr uint32_t kReparsePoint = 0x400;
constexpr uint32_t kInvalid = 0xFFFFFFFFu;
}  // namespace fs_attr

namespace fs_error {
constexpr uint32_t kFileNotFound = 2;
constexpr uint32_t kPathNotFound = 3;
constexpr uint32_t kAccessDenied = 5;
constexpr uint32_t kNoMoreFiles = 18;
constexpr uint32_t kSharingViolation = 32;
constexpr uint32_t kInvalidParameter = 87;
constexpr uint32_t kInvalidName = 123;
constexpr uint32_t kDirNotEmpty = 145;
constexpr uint32_t kAlreadyExists = 183;
constexpr uint32_t kNotADirectory = 267;
// The entry at a listed place is not the one that was listed (another id, a
// link where a folder was): ERROR_FILE_INVALID.
constexpr uint32_t kNotTheListedEntry = 1006;
// A reparse point the engine will not touch (one without a tag).
constexpr uint32_t kReparseRefused = 1920;  // ERROR_CANT_ACCESS_FILE
// A stop came while a folder was being emptied: ERROR_CANCELLED.
constexpr uint32_t kCancelled = 1223;
// A rename found no name Windows accepts to give the entry: ERROR_BAD_PATHNAME.
constexpr uint32_t kNoLegalName = 161;
}  // namespace fs_error

// Reparse tags with the name-surrogate bit (0x20000000) are links: junctions,
// symbolic links and the like. Other tags (cloud placeholders, dedup) are not.
constexpr bool IsNameSurrogateTag(uint32_t tag) { return (tag & 0x20000000u) != 0; }
// A reparse point that carries no tag at all is nothing the system can tell
// apart from a link (Wine shows a Linux symlink that way): it counts as one.
constexpr bool IsLinkTag(uint32_t tag) { return tag == 0 || IsNameSurrogateTag(tag); }

// MAX_PATH: the narrow paths rows show and progress texts stay below it.
constexpr int kMaxPath = 260;

// A name as the file system stores it: UTF-16 code units, compared exactly.
using WideName = std::u16string;

// What tells one entry from another that later takes its place. The file id
// alone does not: ext4 (under Wine) hands a new file the inode just freed, and
// FAT's ids are positions in a folder that a new entry fills again. NTFS and
// FAT both pass a deleted name's creation time on to a new entry of that name
// made within seconds ("tunnelling"), but not its write time or size. So a
// file is the same while id, creation time, write time and size all hold; a
// folder (whose write time moves with what it holds) while id and creation
// time hold. A file written since it was listed counts as another.
struct Identity {
    uint64_t id = 0;      // file id, unique on its volume while the entry exists
    int64_t created = 0;  // creation time (FILETIME units)
    int64_t written = 0;  // last write time
    uint64_t size = 0;    // end of file
};

// How much of an identity a check holds to. A folder on the way to a listed
// entry is held to its id alone: Wine reports a folder's modification time
// as its creation time, which moves whenever an entry inside it comes or
// goes (a deletion of the row before, say). What lies below it is checked on
// its own, so a newcomer folder there still yields no listed entry.
enum class Match { kFile, kFolder, kOnTheWay };

inline bool Matches(const Identity& listed, const Identity& now, Match match) {
    if (listed.id != now.id) return false;
    if (match == Match::kOnTheWay) return true;
    if (listed.created != now.created) return false;
    return match == Match::kFolder || (listed.written == now.written && listed.size == now.size);
}

inline bool SameEntry(const Identity& listed, const Identity& now, bool isFolder) {
    return Matches(listed, now, isFolder ? Match::kFolder : Match::kFile);
}

// What an open entry says of itself.
struct NodeInfo : Identity {
    uint32_t attributes = 0;
    uint32_t tag = 0;  // reparse tag when attributes has kReparsePoint
};

// One entry of a folder listed through its handle.
struct DirEntry : Identity {
    WideName name;
    WideName shortName;  // 8.3 alias, empty when none
    uint32_t attributes = 0;
    uint32_t tag = 0;
};

// An open handle; destroying it closes the handle.
class Node {
public:
    virtual ~Node() = default;
};

class FileSystem {
public:
    virtual ~FileSystem() = default;

    // --- Handles: how the walk and every deletion reach the disk. Names are
    // exact wide names; nothing here folds a trailing dot or blank, knows a
    // device name or a length limit.

    // Opens the top folder of a volume: "X:" (a drive) or "\\server\share".
    virtual std::unique_ptr<Node> OpenVolumeRoot(const WideName& root, uint32_t& error) = 0;
    // Opens the entry name of folder. A reparse point is opened as itself,
    // except for kFollow. kDelete asks for the right to delete, which an entry
    // held open without delete sharing refuses. The system may match the name
    // without regard to case or by an alias: callers check what they got by its id.
    enum class OpenFor { kList, kFollow, kDelete };
    virtual std::unique_ptr<Node> OpenChild(Node& folder, const WideName& name, OpenFor mode, uint32_t& error) = 0;
    virtual bool Query(Node& node, NodeInfo& info, uint32_t& error) = 0;
    // Every entry of an open folder but "." and "..", written over what
    // entries held; their 8.3 aliases may be left empty.
    virtual bool ListFolder(Node& folder, std::vector<DirEntry>& entries, uint32_t& error) = 0;
    // The same with the 8.3 aliases.
    virtual bool ListFolderWithAliases(Node& folder, std::vector<DirEntry>& entries, uint32_t& error) {
        return ListFolder(folder, entries, error);
    }
    // The entry of folder the system finds for name (as OpenChild would), with
    // its stored name; false with kFileNotFound when there is none.
    virtual bool LookUp(Node& folder, const WideName& name, DirEntry& entry, uint32_t& error) = 0;
    virtual bool SetAttributesOf(Node& node, uint32_t attributes, uint32_t& error) = 0;
    // Deletes the entry the handle holds (a folder must be empty), its
    // read-only bit ignored where the system can (the bit belongs to the file,
    // which other names may share); where it cannot, a read-only entry is
    // refused. A deletion the system keeps pending until other handles close
    // counts as done.
    virtual bool DeleteOpen(Node& node, uint32_t& error) = 0;
    // Gives the entry the handle holds the name newName in folder (the folder
    // that holds it); an entry of that name already there is never replaced.
    virtual bool RenameOpen(Node& node, Node& folder, const WideName& newName, uint32_t& error) = 0;
    // Reads up to size bytes from the start of an open file.
    virtual bool ReadOpen(Node& node, void* buffer, uint32_t size, uint32_t& read, uint32_t& error) = 0;
    // The path of what an open handle holds from the top of its volume
    // ("\\a\\b"). For a handle opened by a name, that name's path: a handle
    // whose path is not its folder's and the name it was opened by holds
    // something else (Wine opens a Linux file symlink's target for it).
    virtual bool PathOnVolume(Node& node, WideName& path, uint32_t& error) = 0;
    // How many names (hard links) the file an open handle holds has.
    virtual bool LinkCount(Node& node, uint32_t& links, uint32_t& error) = 0;
    // The process's current folder (drive 0) or the current folder of drive
    // "X" (a letter), as an absolute wide path.
    virtual bool CurrentFolder(char16_t drive, WideName& path, uint32_t& error) = 0;
    // Whether the plain path of the entry name in folderPath (a folder's path
    // of stored names: "X:" for a drive's top folder, "X:\a\b" below it) reaches
    // that very entry by the running system's own path rules: no trailing dot
    // or blank dropped, no device taken for it, no character a path cannot
    // carry. Decided on the path alone, without touching the disk.
    virtual bool PlainPathReaches(const WideName& folderPath, const WideName& name) = 0;
    // Exact conversions between the ANSI code page and wide names: false when
    // there is none (ansi then gets a look-alike, for display only).
    virtual bool ToAnsi(const WideName& name, std::string& ansi) = 0;
    virtual bool ToWide(const std::string& ansi, WideName& name) = 0;
};
