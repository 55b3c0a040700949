// The engine's only way to the disk. The Win32 implementation forwards to the
// W functions, converting names between the ANSI code page and UTF-16 exactly; the simulated volume in tests/support
// models the path rules of Windows so the engine can be tested anywhere.
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
}  // namespace fs_error

// Reparse tags with the name-surrogate bit (0x20000000) are links: junctions,
// symbolic links and the like. Other tags (cloud placeholders, dedup) are not.
constexpr bool IsNameSurrogateTag(uint32_t tag) { return (tag & 0x20000000u) != 0; }
// A reparse point that carries no tag at all is nothing the system can tell
// apart from a link (Wine shows a Linux symlink that way): it counts as one.
constexpr bool IsLinkTag(uint32_t tag) { return tag == 0 || IsNameSurrogateTag(tag); }

// Sizes of the buffers a WIN32_FIND_DATAA carries and of MAX_PATH.
constexpr int kMaxPath = 260;
constexpr int kShortNameSize = 14;

// The part of WIN32_FIND_DATAA the engine reads.
struct FindData {
    uint32_t attributes = 0;
    uint32_t reserved0 = 0;  // reparse tag when attributes has kReparsePoint
    char name[kMaxPath] = {};
    char shortName[kShortNameSize] = {};
    // The stored name has no exact form in the ANSI code page: name holds a
    // look-alike (best fit, "?") that may name another entry or none, so the
    // entry is never reached by it.
    bool inexact = false;
};

inline bool IsFolderEntry(const FindData& d) { return (d.attributes & fs_attr::kDirectory) != 0; }
inline bool IsLinkEntry(const FindData& d) {
    return (d.attributes & fs_attr::kReparsePoint) != 0 && IsLinkTag(d.reserved0);
}

// An open directory listing; destroying it closes the listing (FindClose).
class Listing {
public:
    virtual ~Listing() = default;
    // Next entry; on failure returns false and sets error (kNoMoreFiles at the end).
    virtual bool Next(FindData& entry, uint32_t& error) = 0;
};

// A name as the file system stores it: UTF-16 code units, compared exactly.
using WideName = std::u16string;

// What an open entry says of itself.
struct NodeInfo {
    uint32_t attributes = 0;
    uint32_t tag = 0;  // reparse tag when attributes has kReparsePoint
    uint64_t id = 0;   // file id, unique on its volume while the entry exists
};

// One entry of a folder listed through its handle.
struct DirEntry {
    WideName name;
    WideName shortName;  // 8.3 alias, empty when none
    uint32_t attributes = 0;
    uint32_t tag = 0;
    uint64_t id = 0;
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
    // Every entry of an open folder but "." and "..".
    virtual bool ListFolder(Node& folder, std::vector<DirEntry>& entries, uint32_t& error) = 0;
    // The entry of folder the system finds for name (as OpenChild would), with
    // its stored name; false with kFileNotFound when there is none.
    virtual bool LookUp(Node& folder, const WideName& name, DirEntry& entry, uint32_t& error) = 0;
    virtual bool SetAttributesOf(Node& node, uint32_t attributes, uint32_t& error) = 0;
    // Deletes the entry the handle holds (a folder must be empty). A deletion
    // the system keeps pending until other handles close counts as done.
    virtual bool DeleteOpen(Node& node, uint32_t& error) = 0;
    // Gives the entry the handle holds the name newName in folder (the folder
    // that holds it); an entry of that name already there is never replaced.
    virtual bool RenameOpen(Node& node, Node& folder, const WideName& newName, uint32_t& error) = 0;
    // Reads up to size bytes from the start of an open file.
    virtual bool ReadOpen(Node& node, void* buffer, uint32_t size, uint32_t& read, uint32_t& error) = 0;
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

    // --- Paths in the ANSI code page: the forms users type and see.

    // FindFirstFileA: null and error set on failure.
    virtual std::unique_ptr<Listing> FindFirst(const char* pattern, FindData& first, uint32_t& error) = 0;
    // GetFileAttributesA: fs_attr::kInvalid on failure.
    virtual uint32_t GetAttributes(const char* path) = 0;
    virtual bool SetAttributes(const char* path, uint32_t attributes) = 0;
    // DeleteFileA and RemoveDirectoryA; error set on failure.
    virtual bool RemoveFile(const char* path, uint32_t& error) = 0;
    virtual bool RemoveFolder(const char* path, uint32_t& error) = 0;
};
