#include "Win32FileSystem.h"

#include <windows.h>

#include <algorithm>
#include <cstddef>
#include <cstring>
#include <type_traits>
#include <vector>
#include <string>

#include "ExactAnsi.h"

namespace {

// A 32-bit process on 64-bit Windows sees SysWOW64 where it asks for
// System32 (and more) unless it turns the redirection off; then a walk of
// C:\Windows would list SysWOW64's entries under System32's name, and a
// deletion would remove the twin. Off for the length of each call, on the
// calling thread only, so nothing else the thread loads is redirected wrongly.
class NoFsRedirection {
public:
    NoFsRedirection() {
        if (Functions().disable) m_active = Functions().disable(&m_old) != FALSE;
    }
    ~NoFsRedirection() {
        if (m_active) Functions().revert(m_old);
    }
    NoFsRedirection(const NoFsRedirection&) = delete;
    NoFsRedirection& operator=(const NoFsRedirection&) = delete;

private:
    struct Table {
        BOOL(WINAPI* disable)(PVOID*) = nullptr;
        BOOL(WINAPI* revert)(PVOID) = nullptr;
    };
    // Absent on 32-bit XP and meaningless in a 64-bit process; both are fine.
    static const Table& Functions() {
        static const Table table = [] {
            Table t;
#ifndef _WIN64
            HMODULE kernel = GetModuleHandleW(L"kernel32.dll");
            BOOL isWow64 = FALSE;
            auto isWow64Process = reinterpret_cast<BOOL(WINAPI*)(HANDLE, PBOOL)>(
                reinterpret_cast<void (*)()>(GetProcAddress(kernel, "IsWow64Process")));
            if (kernel && isWow64Process && isWow64Process(GetCurrentProcess(), &isWow64) && isWow64) {
                t.disable = reinterpret_cast<BOOL(WINAPI*)(PVOID*)>(
                    reinterpret_cast<void (*)()>(GetProcAddress(kernel, "Wow64DisableWow64FsRedirection")));
                t.revert = reinterpret_cast<BOOL(WINAPI*)(PVOID)>(
                    reinterpret_cast<void (*)()>(GetProcAddress(kernel, "Wow64RevertWow64FsRedirection")));
                if (!t.disable || !t.revert) t = Table();
            }
#endif
            return t;
        }();
        return table;
    }

    PVOID m_old = nullptr;
    bool m_active = false;
};

}  // namespace

FileSystem& TheFileSystem() {
    static Win32FileSystem fs;
    return fs;
}

// ---------------------------------------------------------------------------
// Handles, through the native calls of ntdll (all there from XP on).

namespace {

typedef LONG NTSTATUS_;

struct UnicodeString {
    USHORT Length;
    USHORT MaximumLength;
    PWSTR Buffer;
};

struct ObjectAttributes {
    ULONG Length;
    HANDLE RootDirectory;
    UnicodeString* ObjectName;
    ULONG Attributes;
    PVOID SecurityDescriptor;
    PVOID SecurityQualityOfService;
};

struct IoStatusBlock {
    union {
        NTSTATUS_ Status;
        PVOID Pointer;
    };
    ULONG_PTR Information;
};

// FILE_ID_BOTH_DIR_INFORMATION
struct IdBothDirInfo {
    ULONG NextEntryOffset;
    ULONG FileIndex;
    LARGE_INTEGER CreationTime;
    LARGE_INTEGER LastAccessTime;
    LARGE_INTEGER LastWriteTime;
    LARGE_INTEGER ChangeTime;
    LARGE_INTEGER EndOfFile;
    LARGE_INTEGER AllocationSize;
    ULONG FileAttributes;
    ULONG FileNameLength;
    ULONG EaSize;  // the reparse tag, for a reparse point
    CCHAR ShortNameLength;
    WCHAR ShortName[12];
    LARGE_INTEGER FileId;
    WCHAR FileName[1];
};

// The same without the 8.3 alias, which the walk has no use for.
struct IdFullDirInfo {
    ULONG NextEntryOffset;
    ULONG FileIndex;
    LARGE_INTEGER CreationTime;
    LARGE_INTEGER LastAccessTime;
    LARGE_INTEGER LastWriteTime;
    LARGE_INTEGER ChangeTime;
    LARGE_INTEGER EndOfFile;
    LARGE_INTEGER AllocationSize;
    ULONG FileAttributes;
    ULONG FileNameLength;
    ULONG EaSize;  // the reparse tag, for a reparse point
    LARGE_INTEGER FileId;
    WCHAR FileName[1];
};

struct BasicInfo {
    LARGE_INTEGER CreationTime;
    LARGE_INTEGER LastAccessTime;
    LARGE_INTEGER LastWriteTime;
    LARGE_INTEGER ChangeTime;
    ULONG FileAttributes;
};

struct NetworkOpenInfo {
    LARGE_INTEGER CreationTime;
    LARGE_INTEGER LastAccessTime;
    LARGE_INTEGER LastWriteTime;
    LARGE_INTEGER ChangeTime;
    LARGE_INTEGER AllocationSize;
    LARGE_INTEGER EndOfFile;
    ULONG FileAttributes;
};

struct StandardInfo {
    LARGE_INTEGER AllocationSize;
    LARGE_INTEGER EndOfFile;
    ULONG NumberOfLinks;
    BOOLEAN DeletePending;
    BOOLEAN Directory;
};

struct AttributeTagInfo {
    ULONG FileAttributes;
    ULONG ReparseTag;
};

constexpr ULONG kObjCaseInsensitive = 0x40;
constexpr ULONG kFileOpen = 1;
constexpr ULONG kDirectoryFile = 0x1;
constexpr ULONG kSynchronousIoNonAlert = 0x20;
constexpr ULONG kOpenForBackupIntent = 0x4000;
constexpr ULONG kOpenReparsePoint = 0x200000;
constexpr int kFileBasicInformation = 4;
constexpr int kFileStandardInformation = 5;
constexpr int kFileNameInformation = 9;
constexpr int kFileNetworkOpenInformation = 34;
constexpr int kFileInternalInformation = 6;
constexpr int kFileDispositionInformation = 13;
constexpr int kFileIdBothDirectoryInformation = 37;
constexpr int kFileIdFullDirectoryInformation = 38;
constexpr int kFileAttributeTagInformation = 35;
constexpr int kFileDispositionInformationEx = 64;
constexpr NTSTATUS_ kStatusNoMoreFiles = static_cast<NTSTATUS_>(0x80000006);
constexpr NTSTATUS_ kStatusBufferOverflow = static_cast<NTSTATUS_>(0x80000005);
constexpr NTSTATUS_ kStatusSharingViolation = static_cast<NTSTATUS_>(0xC0000043);
constexpr NTSTATUS_ kStatusDeletePending = static_cast<NTSTATUS_>(0xC0000056);

struct Nt {
    NTSTATUS_(NTAPI* CreateFile)
    (PHANDLE, ACCESS_MASK, ObjectAttributes*, IoStatusBlock*, PLARGE_INTEGER, ULONG, ULONG, ULONG, ULONG, PVOID,
     ULONG) = nullptr;
    NTSTATUS_(NTAPI* QueryDirectoryFile)
    (HANDLE, HANDLE, PVOID, PVOID, IoStatusBlock*, PVOID, ULONG, int, BOOLEAN, UnicodeString*, BOOLEAN) = nullptr;
    NTSTATUS_(NTAPI* QueryInformationFile)(HANDLE, IoStatusBlock*, PVOID, ULONG, int) = nullptr;
    NTSTATUS_(NTAPI* SetInformationFile)(HANDLE, IoStatusBlock*, PVOID, ULONG, int) = nullptr;
    NTSTATUS_(NTAPI* Close)(HANDLE) = nullptr;
    ULONG(NTAPI* StatusToDosError)(NTSTATUS_) = nullptr;
    bool ok = false;
};

const Nt& NtCalls() {
    static const Nt nt = [] {
        Nt n;
        HMODULE dll = GetModuleHandleW(L"ntdll.dll");
        if (!dll) return n;
        n.CreateFile =
            reinterpret_cast<decltype(n.CreateFile)>(reinterpret_cast<void (*)()>(GetProcAddress(dll, "NtCreateFile")));
        n.QueryDirectoryFile = reinterpret_cast<decltype(n.QueryDirectoryFile)>(
            reinterpret_cast<void (*)()>(GetProcAddress(dll, "NtQueryDirectoryFile")));
        n.QueryInformationFile = reinterpret_cast<decltype(n.QueryInformationFile)>(
            reinterpret_cast<void (*)()>(GetProcAddress(dll, "NtQueryInformationFile")));
        n.SetInformationFile = reinterpret_cast<decltype(n.SetInformationFile)>(
            reinterpret_cast<void (*)()>(GetProcAddress(dll, "NtSetInformationFile")));
        n.Close = reinterpret_cast<decltype(n.Close)>(reinterpret_cast<void (*)()>(GetProcAddress(dll, "NtClose")));
        n.StatusToDosError = reinterpret_cast<decltype(n.StatusToDosError)>(
            reinterpret_cast<void (*)()>(GetProcAddress(dll, "RtlNtStatusToDosError")));
        n.ok = n.CreateFile && n.QueryDirectoryFile && n.QueryInformationFile && n.SetInformationFile && n.Close &&
               n.StatusToDosError;
        return n;
    }();
    return nt;
}

uint32_t DosError(NTSTATUS_ status) { return NtCalls().StatusToDosError(status); }

class NtNode final : public Node {
public:
    explicit NtNode(HANDLE h) : handle(h) {}
    ~NtNode() override { NtCalls().Close(handle); }
    NtNode(const NtNode&) = delete;
    NtNode& operator=(const NtNode&) = delete;
    HANDLE handle;
};

HANDLE HandleOf(Node& node) { return static_cast<NtNode&>(node).handle; }

std::unique_ptr<Node> Open(HANDLE root, const std::wstring& name, ACCESS_MASK access, ULONG options, uint32_t& error) {
    const Nt& nt = NtCalls();
    if (!nt.ok) {
        error = ERROR_CALL_NOT_IMPLEMENTED;
        return nullptr;
    }
    if (name.size() * sizeof(wchar_t) > 0xFFFE) {
        error = ERROR_FILENAME_EXCED_RANGE;
        return nullptr;
    }
    UnicodeString text;
    text.Buffer = name.empty() ? nullptr : const_cast<PWSTR>(name.c_str());
    text.Length = static_cast<USHORT>(name.size() * sizeof(wchar_t));
    text.MaximumLength = text.Length;
    ObjectAttributes attributes = {sizeof attributes, root, &text, kObjCaseInsensitive, nullptr, nullptr};
    HANDLE handle = nullptr;
    NTSTATUS_ status = 0;
    // An entry someone else has open without delete sharing may be let go a
    // moment later (a scanner, an indexer): a short second chance.
    for (int attempt = 0; attempt < 3; ++attempt) {
        IoStatusBlock io = {};
        NoFsRedirection off;
        // Held for deletion, the entry stays where it is: no other program
        // moves or renames it out of the listed folder until it is closed.
        const ULONG share = (access & DELETE) ? FILE_SHARE_READ | FILE_SHARE_WRITE
                                              : FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;
        status = nt.CreateFile(&handle, access | SYNCHRONIZE, &attributes, &io, nullptr, 0, share, kFileOpen,
                               options | kSynchronousIoNonAlert | kOpenForBackupIntent, nullptr, 0);
        if (status != kStatusSharingViolation || !(access & DELETE)) break;
        ::Sleep(20);
    }
    if (status < 0) {
        error = DosError(status);
        return nullptr;
    }
    return std::unique_ptr<Node>(new NtNode(handle));
}

std::wstring AsWide(const WideName& name) { return std::wstring(name.begin(), name.end()); }
WideName AsWideName(const wchar_t* text, size_t length) { return WideName(text, text + length); }

// One entry of a listing into e, whose strings keep their room.
template <typename Info>
void TakeEntry(const Info& info, size_t length, DirEntry& e) {
    e.name.assign(reinterpret_cast<const char16_t*>(info.FileName), length);
    if constexpr (std::is_same_v<Info, IdBothDirInfo>)
        e.shortName.assign(reinterpret_cast<const char16_t*>(info.ShortName),
                           static_cast<unsigned char>(info.ShortNameLength) / 2);
    else
        e.shortName.clear();
    e.attributes = info.FileAttributes;
    e.tag = (info.FileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) ? info.EaSize : 0;
    e.id = static_cast<uint64_t>(info.FileId.QuadPart);
    e.created = info.CreationTime.QuadPart;
    e.written = info.LastWriteTime.QuadPart;
    e.size = static_cast<uint64_t>(info.EndOfFile.QuadPart);
}

// Reads the listing through the handle into entries, with the 8.3 aliases
// when asked for; mask, when given, is one exact name (no wildcards) and the
// first answer is all that is read. The entries already in the vector are
// written over, so that a vector used again needs no new strings.
template <typename Info>
bool ReadDirectory(HANDLE folder, const std::wstring* mask, std::vector<DirEntry>& entries, uint32_t& error) {
    size_t count = 0;
    struct Trim {
        std::vector<DirEntry>& entries;
        const size_t& count;
        ~Trim() { entries.resize(count); }
    } trim{entries, count};
    const Nt& nt = NtCalls();
    if (!nt.ok) {
        error = ERROR_CALL_NOT_IMPLEMENTED;
        return false;
    }
    static const ULONG kBufferSize = 64 * 1024;
    std::unique_ptr<ULONGLONG[]> buffer(new ULONGLONG[kBufferSize / sizeof(ULONGLONG)]);
    UnicodeString maskText = {};
    if (mask) {
        maskText.Buffer = const_cast<PWSTR>(mask->c_str());
        maskText.Length = static_cast<USHORT>(mask->size() * sizeof(wchar_t));
        maskText.MaximumLength = maskText.Length;
    }
    const int infoClass =
        std::is_same_v<Info, IdBothDirInfo> ? kFileIdBothDirectoryInformation : kFileIdFullDirectoryInformation;
    bool restart = true;
    for (;;) {
        IoStatusBlock io = {};
        NTSTATUS_ status;
        {
            NoFsRedirection off;
            status = nt.QueryDirectoryFile(folder, nullptr, nullptr, nullptr, &io, buffer.get(), kBufferSize, infoClass,
                                           mask ? TRUE : FALSE, mask ? &maskText : nullptr, restart ? TRUE : FALSE);
        }
        restart = false;
        if (status == kStatusNoMoreFiles) return true;
        if (status < 0) {
            error = DosError(status);
            return false;
        }
        const char* at = reinterpret_cast<const char*>(buffer.get());
        for (;;) {
            const Info* info = reinterpret_cast<const Info*>(at);
            const size_t length = info->FileNameLength / sizeof(WCHAR);
            const bool dots = (length == 1 && info->FileName[0] == L'.') ||
                              (length == 2 && info->FileName[0] == L'.' && info->FileName[1] == L'.');
            if (!dots) {
                if (count == entries.size()) entries.emplace_back();
                TakeEntry(*info, length, entries[count++]);
            }
            if (info->NextEntryOffset == 0) break;
            at += info->NextEntryOffset;
        }
        if (mask) return true;
    }
}

}  // namespace

std::unique_ptr<Node> Win32FileSystem::OpenVolumeRoot(const WideName& root, uint32_t& error) {
    // "\??\X:\" or "\??\UNC\server\share\": the top folder, with no Win32
    // rule applied to it.
    std::wstring path;
    if (root.size() == 2 && root[1] == u':' && root[0] < 0x80) {
        path = L"\\??\\" + AsWide(root) + L"\\";
    } else if (root.size() > 2 && root[0] == u'\\' && root[1] == u'\\') {
        const WideName rest = root.substr(2);
        const size_t slash = rest.find(u'\\');
        // Exactly a server and a share, neither empty.
        if (slash == 0 || slash == WideName::npos || slash + 1 == rest.size() ||
            rest.find(u'\\', slash + 1) != WideName::npos) {
            error = ERROR_BAD_PATHNAME;
            return nullptr;
        }
        path = L"\\??\\UNC\\" + AsWide(rest) + L"\\";
    } else {
        error = ERROR_INVALID_NAME;
        return nullptr;
    }
    return Open(nullptr, path, FILE_LIST_DIRECTORY | FILE_READ_ATTRIBUTES | FILE_TRAVERSE, kDirectoryFile, error);
}

std::unique_ptr<Node> Win32FileSystem::OpenChild(Node& folder, const WideName& name, OpenFor mode, uint32_t& error) {
    // A "\\" would reach further down, a ":" a stream of another entry.
    if (name.empty() || name.find_first_of(u"\\:") != WideName::npos) {
        error = ERROR_INVALID_NAME;
        return nullptr;
    }
    ACCESS_MASK access = FILE_READ_ATTRIBUTES | FILE_LIST_DIRECTORY | FILE_TRAVERSE;
    ULONG options = kOpenReparsePoint;
    if (mode == OpenFor::kFollow) options = 0;
    if (mode == OpenFor::kDelete) access = DELETE | FILE_READ_ATTRIBUTES | FILE_WRITE_ATTRIBUTES | FILE_LIST_DIRECTORY;
    return Open(HandleOf(folder), AsWide(name), access, options, error);
}

bool Win32FileSystem::Query(Node& node, NodeInfo& info, uint32_t& error) {
    const Nt& nt = NtCalls();
    const HANDLE handle = HandleOf(node);
    IoStatusBlock io = {};
    NetworkOpenInfo open = {};
    NTSTATUS_ status = nt.QueryInformationFile(handle, &io, &open, sizeof open, kFileNetworkOpenInformation);
    if (status < 0) {
        // Some file systems lack it: the basic and standard information hold the same.
        BasicInfo basic = {};
        StandardInfo standard = {};
        io = IoStatusBlock();
        status = nt.QueryInformationFile(handle, &io, &basic, sizeof basic, kFileBasicInformation);
        if (status >= 0) {
            io = IoStatusBlock();
            status = nt.QueryInformationFile(handle, &io, &standard, sizeof standard, kFileStandardInformation);
        }
        if (status < 0) {
            error = DosError(status);
            return false;
        }
        open.CreationTime = basic.CreationTime;
        open.LastWriteTime = basic.LastWriteTime;
        open.EndOfFile = standard.EndOfFile;
        open.FileAttributes = basic.FileAttributes;
    }
    LARGE_INTEGER id = {};
    io = IoStatusBlock();
    status = nt.QueryInformationFile(handle, &io, &id, sizeof id, kFileInternalInformation);
    if (status < 0) {
        error = DosError(status);
        return false;
    }
    info.attributes = open.FileAttributes;
    info.tag = 0;
    if (open.FileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) {
        // The tag only matters for a reparse point, and costs a call of its own.
        AttributeTagInfo tag = {};
        io = IoStatusBlock();
        if (nt.QueryInformationFile(handle, &io, &tag, sizeof tag, kFileAttributeTagInformation) >= 0)
            info.tag = tag.ReparseTag;
    }
    info.id = static_cast<uint64_t>(id.QuadPart);
    info.created = open.CreationTime.QuadPart;
    info.written = open.LastWriteTime.QuadPart;
    info.size = static_cast<uint64_t>(open.EndOfFile.QuadPart);
    return true;
}

bool Win32FileSystem::PathOnVolume(Node& node, WideName& path, uint32_t& error) {
    // FILE_NAME_INFORMATION: a length, then the name.
    std::vector<ULONG> buffer(1 + 32768 * sizeof(WCHAR) / sizeof(ULONG));
    IoStatusBlock io = {};
    NTSTATUS_ status = NtCalls().QueryInformationFile(
        HandleOf(node), &io, buffer.data(), static_cast<ULONG>(buffer.size() * sizeof(ULONG)), kFileNameInformation);
    if (status < 0) {
        error = DosError(status);
        return false;
    }
    const ULONG bytes = buffer[0];
    const wchar_t* name = reinterpret_cast<const wchar_t*>(buffer.data() + 1);
    path = AsWideName(name, std::min<size_t>(bytes / sizeof(WCHAR), (buffer.size() - 1) * sizeof(ULONG) / 2));
    return true;
}

bool Win32FileSystem::LinkCount(Node& node, uint32_t& links, uint32_t& error) {
    StandardInfo standard = {};
    IoStatusBlock io = {};
    NTSTATUS_ status =
        NtCalls().QueryInformationFile(HandleOf(node), &io, &standard, sizeof standard, kFileStandardInformation);
    if (status < 0) {
        error = DosError(status);
        return false;
    }
    links = standard.NumberOfLinks;
    return true;
}

bool Win32FileSystem::CurrentFolder(char16_t drive, WideName& path, uint32_t& error) {
    std::vector<wchar_t> full(32768);
    DWORD n;
    if (drive == 0) {
        n = ::GetCurrentDirectoryW(static_cast<DWORD>(full.size()), full.data());
    } else {
        // "X:" alone names that drive's current folder.
        const wchar_t driveOnly[3] = {static_cast<wchar_t>(drive), L':', 0};
        n = ::GetFullPathNameW(driveOnly, static_cast<DWORD>(full.size()), full.data(), nullptr);
    }
    if (n == 0 || n >= full.size()) {
        error = n == 0 ? ::GetLastError() : static_cast<uint32_t>(ERROR_FILENAME_EXCED_RANGE);
        return false;
    }
    path = AsWideName(full.data(), n);
    return true;
}

bool Win32FileSystem::ListFolder(Node& folder, std::vector<DirEntry>& entries, uint32_t& error) {
    return ReadDirectory<IdFullDirInfo>(HandleOf(folder), nullptr, entries, error);
}

bool Win32FileSystem::ListFolderWithAliases(Node& folder, std::vector<DirEntry>& entries, uint32_t& error) {
    return ReadDirectory<IdBothDirInfo>(HandleOf(folder), nullptr, entries, error);
}

bool Win32FileSystem::LookUp(Node& folder, const WideName& name, DirEntry& entry, uint32_t& error) {
    // A mask with a wildcard would match more than the one name.
    if (name.empty() || name.find_first_of(u"*?<>\"\\") != WideName::npos) {
        error = ERROR_FILE_NOT_FOUND;
        return false;
    }
    std::wstring mask = AsWide(name);
    std::vector<DirEntry> found;
    // A handle keeps the first mask it was asked with: each look-up gets a
    // handle of its own to the same folder (an empty name relative to it).
    std::unique_ptr<Node> again = Open(HandleOf(folder), std::wstring(), FILE_LIST_DIRECTORY, kDirectoryFile, error);
    if (!again) return false;
    if (!ReadDirectory<IdBothDirInfo>(HandleOf(*again), &mask, found, error)) {
        if (error == ERROR_NO_MORE_FILES) error = ERROR_FILE_NOT_FOUND;
        return false;
    }
    if (found.empty()) {
        error = ERROR_FILE_NOT_FOUND;
        return false;
    }
    entry = std::move(found.front());
    return true;
}

bool Win32FileSystem::SetAttributesOf(Node& node, uint32_t attributes, uint32_t& error) {
    BasicInfo basic = {};
    basic.FileAttributes = attributes == 0 ? FILE_ATTRIBUTE_NORMAL : attributes;
    IoStatusBlock io = {};
    NTSTATUS_ status = NtCalls().SetInformationFile(HandleOf(node), &io, &basic, sizeof basic, kFileBasicInformation);
    if (status < 0) {
        error = DosError(status);
        return false;
    }
    return true;
}

bool Win32FileSystem::DeleteOpen(Node& node, uint32_t& error) {
    const Nt& nt = NtCalls();
    IoStatusBlock io = {};
    // Where the system has it: the name goes at once (POSIX semantics),
    // whether or not another program still holds the entry open, and a
    // read-only bit is passed over rather than cleared (another hard link of
    // the file keeps it). Older systems refuse the flags they do not know:
    // each refusal is remembered, so they say so once.
    static volatile LONG exLevel = 0;  // 0: every flag, 1: without ignoring read-only, 2: no Ex class
    NTSTATUS_ status;
    for (;;) {
        const LONG level = exLevel;
        if (level >= 2) break;
        ULONG flags = 0x1 /* delete */ | 0x2 /* POSIX semantics */;
        if (level == 0) flags |= 0x10 /* ignore the read-only attribute */;
        io = IoStatusBlock();
        status = nt.SetInformationFile(HandleOf(node), &io, &flags, sizeof flags, kFileDispositionInformationEx);
        if (status >= 0) return true;
        if (status == static_cast<NTSTATUS_>(0xC0000003) /* invalid info class */ ||
            status == static_cast<NTSTATUS_>(0xC0000002) /* not implemented */ ||
            status == static_cast<NTSTATUS_>(0xC00000BB) /* not supported */) {
            InterlockedExchange(&exLevel, 2);
            break;
        }
        if (level == 0 && status == static_cast<NTSTATUS_>(0xC000000D) /* invalid parameter */) {
            InterlockedCompareExchange(&exLevel, 1, 0);
            continue;
        }
        break;
    }
    BOOLEAN remove = TRUE;
    io = IoStatusBlock();
    status = nt.SetInformationFile(HandleOf(node), &io, &remove, sizeof remove, kFileDispositionInformation);
    if (status >= 0 || status == kStatusDeletePending) return true;
    error = DosError(status);
    return false;
}

bool Win32FileSystem::RenameOpen(Node& node, Node& folder, const WideName& newName, uint32_t& error) {
    if (newName.empty() || newName.find_first_of(u"\\/:") != WideName::npos) {
        error = ERROR_INVALID_NAME;
        return false;
    }
    // FILE_RENAME_INFORMATION: the new name relative to the folder's handle,
    // never replacing what is there.
    const size_t bytes = newName.size() * sizeof(wchar_t);
    std::vector<unsigned char> block(sizeof(ULONG_PTR) * 2 + sizeof(ULONG) + bytes + sizeof(wchar_t), 0);
    struct RenameHead {
        BOOLEAN ReplaceIfExists;
        HANDLE RootDirectory;
        ULONG FileNameLength;
        WCHAR FileName[1];
    };
    block.resize(offsetof(RenameHead, FileName) + bytes + sizeof(wchar_t));
    RenameHead* head = reinterpret_cast<RenameHead*>(block.data());
    head->ReplaceIfExists = FALSE;
    head->RootDirectory = HandleOf(folder);
    head->FileNameLength = static_cast<ULONG>(bytes);
    std::memcpy(head->FileName, newName.data(), bytes);
    IoStatusBlock io = {};
    NTSTATUS_ status = NtCalls().SetInformationFile(HandleOf(node), &io, head, static_cast<ULONG>(block.size()),
                                                    10 /* FileRenameInformation */);
    if (status < 0) {
        error = DosError(status);
        return false;
    }
    return true;
}

bool Win32FileSystem::ReadOpen(Node& node, void* buffer, uint32_t size, uint32_t& read, uint32_t& error) {
    // The handle was opened for listing, which for a file is the right to read.
    DWORD got = 0;
    read = 0;
    OVERLAPPED at = {};
    if (!::ReadFile(HandleOf(node), buffer, size, &got, &at)) {
        error = ::GetLastError();
        if (error != ERROR_HANDLE_EOF) return false;
        got = 0;
    }
    read = got;
    return true;
}

bool Win32FileSystem::PlainPathReaches(const WideName& folderPath, const WideName& name) {
    if (folderPath.empty() || name.empty()) return false;
    // A path cannot carry these in a name: ":" opens a stream, the others are
    // wildcards, separators or codes no file system here stores.
    for (char16_t c : name)
        if (c < 32 || c == u'<' || c == u'>' || c == u':' || c == u'"' || c == u'|' || c == u'?' || c == u'*' ||
            c == u'/' || c == u'\\')
            return false;
    std::wstring plain = AsWide(folderPath);
    if (plain.back() != L'\\') plain += L'\\';
    plain += AsWide(name);
    // The system's own normalisation decides: it drops what it drops and
    // turns a device name into "\\.\NAME" as this Windows does, whatever
    // version it is. The path reaches the entry when nothing changed.
    std::wstring full(plain.size() + 16, L'\0');
    DWORD n = GetFullPathNameW(plain.c_str(), static_cast<DWORD>(full.size()), &full[0], nullptr);
    if (n >= full.size()) {
        full.assign(n + 1, L'\0');
        n = GetFullPathNameW(plain.c_str(), static_cast<DWORD>(full.size()), &full[0], nullptr);
    }
    if (n == 0 || n >= full.size()) return false;
    full.resize(n);
    return full == plain;
}

bool Win32FileSystem::ToAnsi(const WideName& name, std::string& ansi) {
    const std::wstring wide = AsWide(name);
    return WideToAnsiExactly(wide, ansi);
}

bool Win32FileSystem::ToWide(const std::string& ansi, WideName& name) {
    std::wstring wide;
    if (!AnsiToWide(ansi, wide)) return false;
    name.assign(wide.begin(), wide.end());
    return true;
}
