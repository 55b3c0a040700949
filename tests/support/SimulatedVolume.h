// An in-memory model of Windows volumes with the path rules the engine has to
// live with:
//  - plain paths ("D:\a") and "\\.\" paths lose trailing dots and blanks of
//    every component, and "." and ".." are folded;
//  - a plain path whose last component is a reserved device name reaches the
//    device (aux, con, nul, prn, com0-9, lpt0-9, also with an extension);
//  - what the plain path of an entry reaches (PlainPathReaches) follows the
//    rules of Windows 10, or of Windows 11 when the test asks for them;
//  - "\\?\" paths pass every name through unchanged;
//  - lookups ignore letter case and accept 8.3 aliases; aliases are made per
//    volume (on or off) the way NTFS makes them, or set by the test;
//  - read-only files and folders refuse deletion, entries can be held open
//    without delete sharing, non-empty folders refuse removal;
//  - junctions and symbolic links lead to their target when walked through and
//    are removed as themselves;
//  - listings can fail to open or fail midway with any error;
//  - "\\.\X:\" can be made not to answer, as some drives don't;
//  - names are bytes of one ANSI code page, which the volume installs for the
//    process while it lives, so the engine cuts paths as that system would;
//  - per drive, how its file system gives ids (never reused as on NTFS, the
//    id just freed handed on as ext4 does under Wine, or FAT's positions),
//    whether it tunnels a deleted name's creation time to a newcomer, and
//    whether a deletion can pass over a read-only bit;
//  - hard links (names of one file sharing id, times, content and
//    attributes) and file links that list as plain files and open as their
//    target (Linux symbolic links to a file, as Wine shows them).
#pragma once

#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "CodePage.h"
#include "FileSystem.h"

constexpr uint32_t kTagMountPoint = 0xA0000003u;  // junction
constexpr uint32_t kTagSymlink = 0xA000000Cu;
constexpr uint32_t kTagCloud = 0x9000001Au;  // cloud placeholder: not a link

class SimulatedVolume final : public FileSystem {
public:
    struct Node {
        std::string name;
        std::string alias;
        uint32_t attributes = 0;
        uint32_t tag = 0;         // reparse tag; with kReparsePoint in attributes
        std::string linkTarget;   // "\\?\"-style path a link leads to
        bool lockedOpen = false;  // held open without delete sharing
        // Its stored name has no exact form in the code page: name is the
        // look-alike the narrow functions hand out, and no path reaches it by that.
        bool inexact = false;
        uint32_t openError = 0;  // FindFirst of this folder fails with it
        int failAfter = -1;      // listing fails after this many entries ...
        uint32_t failError = 0;  // ... with this error
        uint64_t id = 0;         // file id (see Behaviour::Ids)
        int64_t created = 0;     // creation and last write time, from the volume's clock
        int64_t written = 0;
        // The stored name when it is not what name converts to (a name outside
        // the code page); empty: name converted.
        std::u16string wide;
        bool removed = false;  // deleted while a handle still held it
        // A link to the file at linkTarget that lists and opens as that file
        // (no reparse point): what the listing shows, a handle holds, a
        // deletion removes and a rename moves is the target. A link at the
        // target path is followed in turn, to the end of the chain; should
        // that end be a folder, it lists as a reparse point without a tag.
        bool fileLink = false;
        int slot = -1;  // FAT: its place in its folder
        // Hard links: every name of the file, this one included (null: one name).
        std::shared_ptr<std::vector<Node*>> names;
        std::string content;    // what a file holds
        int heldForDelete = 0;  // engine handles with delete access, which do not share it
        Node* parent = nullptr;
        std::vector<std::unique_ptr<Node>> children;

        bool IsFolder() const { return (attributes & fs_attr::kDirectory) != 0; }
    };

    // codePage 0 keeps the process's code page; any other number installs
    // that page's built-in table until the volume goes away.
    explicit SimulatedVolume(unsigned codePage = 0);
    ~SimulatedVolume() override;
    SimulatedVolume(const SimulatedVolume&) = delete;
    SimulatedVolume& operator=(const SimulatedVolume&) = delete;

    // A drive "X:". shortNames: whether new entries get 8.3 aliases.
    void AddDrive(char letter, bool shortNames = true, bool deviceRootAnswers = true);

    // What a drive's file system does with ids, creation times and read-only
    // deletions; set before its entries are made.
    struct Behaviour {
        enum class Ids {
            kUnique,  // never given twice (NTFS: a sequence number in every id)
            kReused,  // the id freed last goes to the next new entry (ext4 inodes, under Wine)
            // FAT: a file's id is its slot in its folder, which the next new
            // entry of that folder fills; a folder's is its first cluster,
            // which the next new folder of the drive takes once freed.
            kPositions,
        } ids = Ids::kUnique;
        // A name deleted at most this many ticks of the volume's clock ago
        // gives its creation time to the next entry made (or moved) under it
        // in that folder ("tunnelling"); 0: never.
        int64_t tunnelTicks = 0;
        // DeleteOpen passes over a read-only bit (newer Windows); otherwise a
        // read-only entry is refused (older Windows, Wine).
        bool deleteIgnoresReadOnly = false;
        // PathOnVolume drops the trailing dots and blanks of every name, as
        // Wine does ("x." is named "x", "..." "").
        bool pathsDropTrailingDots = false;
    };
    Behaviour& BehaviourOf(char letter) { return m_drives[Upper(letter)].behaviour; }
    // Lets time pass: every entry made or written takes one tick.
    void AdvanceClock(int64_t ticks) { m_clock += ticks; }

    // Creation takes names literally ("D:\a\b." makes "b."), as "\\?\" does.
    // Missing parent folders are made on the way. alias overrides the generated one.
    Node* AddFolder(const std::string& path, uint32_t attributes = 0, const std::string& alias = "\x01");
    Node* AddFile(const std::string& path, uint32_t attributes = 0, const std::string& alias = "\x01");
    Node* AddLink(const std::string& path, const std::string& target, bool folder = true,
                  uint32_t tag = kTagMountPoint);

    // Another name of file (a hard link), in any folder of its drive.
    Node* AddHardLink(const std::string& path, Node* file);
    // A link to the file at target (a literal path) that lists as a plain
    // file, as Wine shows a Linux symbolic link to a file.
    Node* AddFileLink(const std::string& path, const std::string& target);
    // Writes a file's content as another program would: a new write time, in
    // every name of it.
    void Write(Node* file, const std::string& content);

    // Makes "\\\\server\\share" a share whose top is the folder at path.
    void AddShare(const std::string& unc, const std::string& path);

    // The entry a literal path names (exact names, no alias), or null.
    Node* Find(const std::string& path) const;
    bool Exists(const std::string& path) const { return Find(path) != nullptr; }
    // Every entry below a literal path, as literal paths, sorted.
    std::vector<std::string> ListTree(const std::string& path) const;

    // Runs before each FindFirst and each listing through a handle (with the
    // pattern that would list the folder), for faults that strike between two calls.
    std::function<void(const std::string& pattern)> beforeFindFirst;

    // Runs before each handle call with the call's name and the entry it
    // acts on (the folder for OpenChild, LookUp and ListFolder), for changes
    // another program makes between two steps of the engine.
    std::function<void(const char* call, Node* at)> beforeHandleCall;

    // The file id a listing shows for an entry.
    uint64_t IdOf(Node& node) const;
    // An entry as a listing shows it; false for a file link that leads nowhere.
    bool Describe(Node& node, DirEntry& entry) const;
    // The stored (wide) name of an entry.
    std::u16string WideOf(const Node& node) const;
    // The literal path of an entry, "D:\a\b".
    std::string PathOf(const Node& node) const;
    // Removes an entry as another program would; false (nothing happens) while
    // the engine holds it for deletion.
    bool Remove(Node* node);
    // Moves an entry to another folder under a new name, keeping its id; null
    // while the engine holds it for deletion.
    Node* Move(Node* node, const std::string& newPath);

    std::unique_ptr<::Node> OpenVolumeRoot(const WideName& root, uint32_t& error) override;
    std::unique_ptr<::Node> OpenChild(::Node& folder, const WideName& name, OpenFor mode, uint32_t& error) override;
    bool Query(::Node& node, NodeInfo& info, uint32_t& error) override;
    bool ListFolder(::Node& folder, std::vector<DirEntry>& entries, uint32_t& error) override;
    bool LookUp(::Node& folder, const WideName& name, DirEntry& entry, uint32_t& error) override;
    bool SetAttributesOf(::Node& node, uint32_t attributes, uint32_t& error) override;
    bool DeleteOpen(::Node& node, uint32_t& error) override;
    bool RenameOpen(::Node& node, ::Node& folder, const WideName& newName, uint32_t& error) override;
    bool ReadOpen(::Node& node, void* buffer, uint32_t size, uint32_t& read, uint32_t& error) override;
    bool ToAnsi(const WideName& name, std::string& ansi) override;
    bool ToWide(const std::string& ansi, WideName& name) override;

    bool PathOnVolume(::Node& node, WideName& path, uint32_t& error) override;
    bool LinkCount(::Node& node, uint32_t& links, uint32_t& error) override;
    bool CurrentFolder(char16_t drive, WideName& path, uint32_t& error) override;

    // The process's current folder ("D:\\a"), and each drive's ("D" -> "D:\\a");
    // a drive without one has its top folder.
    WideName currentFolder = u"D:\\";
    std::map<char, WideName> currentFolders;

    // How a plain path takes a name, for PlainPathReaches. Windows 10: the
    // last component loses its trailing dots and blanks, and a device word
    // (aux, con, nul, prn, conin$, conout$, com1-9, lpt1-9, also with a
    // superscript one to three) followed by nothing, by blanks, or by blanks
    // and an extension names the device; com0 and lpt0 are ordinary names.
    // Windows 11: only "nul" itself names the device; with an extension every
    // device word is an ordinary name.
    enum class PlainPathRules { kWindows10, kWindows11 };
    PlainPathRules plainPathRules = PlainPathRules::kWindows10;
    bool PlainPathReaches(const WideName& folderPath, const WideName& name) override;

    // Every path the engine handed to a call that changes the disk.
    std::vector<std::string> removals;

private:
    struct Tunnelled {
        const Node* folder;
        std::u16string name;  // upper case
        int64_t created;
        int64_t deletedAt;
    };
    struct Drive {
        bool shortNames = true;
        bool deviceRootAnswers = true;
        Behaviour behaviour;
        std::unique_ptr<Node> root;
        std::vector<uint64_t> freedIds;  // the last freed at the back
        std::vector<Tunnelled> tunnels;
    };
    static char Upper(char c) { return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c; }

    Node* Create(const std::string& path, uint32_t attributes, const std::string& alias);
    // Takes node out of its folder: deleted (its id and name may pass on to
    // a newcomer) or about to be moved.
    std::unique_ptr<Node> Detach(Node* node, bool deleted = true);
    // Puts node into folder under its current name: a slot and an id where
    // the drive gives them by position, a tunnelled creation time.
    void Attach(Node* node, Node* folder);
    Drive& DriveOf(const Node& node);
    // What a file link stands for: the end of its chain of links; any other
    // entry itself.
    Node* Shown(Node* node) const;
    static Node* Target(Node* node, const SimulatedVolume& volume);
    std::string MakeAlias(const Node& folder, const std::string& name) const;

    std::map<char, Drive> m_drives;
    std::map<std::u16string, Node*> m_shares;      // by upper-case "\\\\SERVER\\SHARE"
    std::vector<std::unique_ptr<Node>> m_removed;  // kept while handles may point at them
    uint64_t m_nextId = 1;
    int64_t m_clock = 0;
    std::unique_ptr<ScopedActiveCodePage> m_codePage;
};
