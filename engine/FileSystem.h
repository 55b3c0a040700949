// The engine's only way to the disk. The Win32 implementation forwards to the
// W functions, converting names between the ANSI code page and UTF-16 exactly; the simulated volume in tests/support models the
// path rules of Windows so the engine can be tested anywhere.
#pragma once

#include <cstdint>
#include <memory>

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

class FileSystem {
public:
    virtual ~FileSystem() = default;
    // FindFirstFileA: null and error set on failure.
    virtual std::unique_ptr<Listing> FindFirst(const char* pattern, FindData& first, uint32_t& error) = 0;
    // GetFileAttributesA: fs_attr::kInvalid on failure.
    virtual uint32_t GetAttributes(const char* path) = 0;
    virtual bool SetAttributes(const char* path, uint32_t attributes) = 0;
    // DeleteFileA and RemoveDirectoryA; error set on failure.
    virtual bool RemoveFile(const char* path, uint32_t& error) = 0;
    virtual bool RemoveFolder(const char* path, uint32_t& error) = 0;
};
