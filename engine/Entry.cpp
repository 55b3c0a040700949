#include "Entry.h"

#include <vector>

#include "Names.h"
#include "PathText.h"

namespace {

bool IsReparse(const NodeInfo& info) { return (info.attributes & fs_attr::kReparsePoint) != 0; }
bool IsFolder(const NodeInfo& info) { return (info.attributes & fs_attr::kDirectory) != 0; }
bool IsLink(const NodeInfo& info) { return IsReparse(info) && IsLinkTag(info.tag); }

// The attributes a deletion has to clear first.
constexpr uint32_t kInTheWay = fs_attr::kReadOnly;

// Deletes through the handle. Where the system cannot pass over a read-only
// bit, the bit is cleared for the deletion and put back when it fails, or when
// the file lives on under another name (a hard link): the bit is the file's,
// and that name was not listed.
Outcome DeleteWithAttributes(FileSystem& fs, Node& node, const NodeInfo& info) {
    Outcome out;
    if (fs.DeleteOpen(node, out.error)) {
        out.ok = true;
        return out;
    }
    if (!(info.attributes & kInTheWay)) return out;
    const uint32_t before = info.attributes & ~(fs_attr::kDirectory | fs_attr::kReparsePoint);
    uint32_t links = 1, ignored = 0;
    // Unknown: taken as shared, so the bit is put back.
    if (!IsFolder(info) && !fs.LinkCount(node, links, ignored)) links = 2;
    const uint32_t cleared = before & ~kInTheWay;
    if (!fs.SetAttributesOf(node, cleared == 0 ? fs_attr::kNormal : cleared, ignored)) return out;
    if (fs.DeleteOpen(node, out.error)) {
        out.ok = true;
        if (links > 1) fs.SetAttributesOf(node, before, ignored);
        return out;
    }
    fs.SetAttributesOf(node, before, ignored);
    return out;
}

// What the listing said and what the handle says, taken together: a reparse
// point either of them shows is one. Some systems open a link's target even
// when asked for the link itself, and then only the listing tells.
void TakeReparseFromListing(const DirEntry& listed, NodeInfo& info) {
    if (!(listed.attributes & fs_attr::kReparsePoint) || (info.attributes & fs_attr::kReparsePoint)) return;
    info.attributes |= fs_attr::kReparsePoint;
    info.tag = listed.tag;
}

Outcome Failed(uint32_t error) {
    Outcome out;
    out.error = error;
    return out;
}

}  // namespace

std::unique_ptr<Node> OpenExactChild(FileSystem& fs, Node& folder, const WideName& name, const Identity& listed,
                                     Match match, FileSystem::OpenFor mode, NodeInfo& info, uint32_t& error) {
    DirEntry found;
    if (!fs.LookUp(folder, name, found, error)) return nullptr;
    // Another case or an alias: the listed entry is not there by its name.
    if (found.name != name) {
        error = fs_error::kFileNotFound;
        return nullptr;
    }
    const bool follow = mode == FileSystem::OpenFor::kFollow;
    if (!follow && found.id != listed.id) {
        error = fs_error::kNotTheListedEntry;
        return nullptr;
    }
    std::unique_ptr<Node> node = fs.OpenChild(folder, name, mode, error);
    if (!node) {
        // Listed, yet not to be opened by its name (Wine refuses some names
        // Linux allows): it is there, so it is not "gone".
        DirEntry again;
        uint32_t ignored = 0;
        if ((error == fs_error::kFileNotFound || error == fs_error::kPathNotFound) &&
            fs.LookUp(folder, name, again, ignored) && again.name == name)
            error = fs_error::kInvalidName;
        return nullptr;
    }
    if (!fs.Query(*node, info, error)) return nullptr;
    if (follow) return node;
    // Between the look-up and the open the name may have been given to
    // another entry, or the entry made anew in its place.
    if (!Matches(listed, info, match)) {
        error = fs_error::kNotTheListedEntry;
        return nullptr;
    }
    TakeReparseFromListing(found, info);
    return node;
}

namespace {

bool IsPathOf(const WideName& own, const WideName& folderPath, const WideName& name) {
    WideName expected = folderPath;
    if (expected.empty() || expected.back() != u'\\') expected += u'\\';
    expected += name;
    return own == expected;
}

WideName WithoutTrailingDotsAndBlanks(WideName name) {
    while (!name.empty() && (name.back() == u'.' || name.back() == u' ')) name.pop_back();
    return name;
}

std::vector<WideName> Components(const WideName& path) {
    std::vector<WideName> parts(1);
    for (char16_t c : path) {
        if (c == u'\\')
            parts.emplace_back();
        else
            parts.back() += c;
    }
    return parts;
}

// Wine reports some components of a handle's path without their trailing
// dots and blanks (the last always, "x." and "..." as "x" and ""). Such a
// path is the listed name's unless the handle's file shows in the folder
// under another name too: a link "x." to "x" or to "x " beside it, or
// "......" to "  ", which the path alone cannot tell from the name itself.
bool IsTrimmedPathOf(FileSystem& fs, Node& file, Node& folder, const std::vector<DirEntry>* siblings,
                     const WideName& own, const WideName& folderPath, const WideName& name) {
    WideName expected = folderPath;
    if (expected.empty() || expected.back() != u'\\') expected += u'\\';
    expected += name;
    const std::vector<WideName> got = Components(own), want = Components(expected);
    if (got.size() != want.size()) return false;
    for (size_t i = 0; i < got.size(); ++i)
        if (WithoutTrailingDotsAndBlanks(got[i]) != WithoutTrailingDotsAndBlanks(want[i])) return false;
    if (got.back() == name) return true;
    NodeInfo held;
    uint32_t ignored = 0;
    if (!fs.Query(file, held, ignored)) return false;
    std::vector<DirEntry> listed;
    if (!siblings) {
        if (!fs.ListFolder(folder, listed, ignored)) return false;
        siblings = &listed;
    }
    for (const DirEntry& other : *siblings)
        if (other.name != name && other.id == held.id) return false;
    return true;
}

}  // namespace

bool HandleIsNamed(FileSystem& fs, Node& file, Node& folder, WideName* folderPath, const WideName& name,
                   uint32_t& error, const std::vector<DirEntry>* siblings) {
    WideName own, asked;
    uint32_t ignored = 0;
    if (!fs.PathOnVolume(file, own, ignored)) return true;
    // A folder's path known from before may be out of date (it was moved
    // with what it holds): asked again before anything is refused.
    if (folderPath && !folderPath->empty() && IsPathOf(own, *folderPath, name)) return true;
    if (!fs.PathOnVolume(folder, asked, ignored)) return true;
    if (folderPath) *folderPath = asked;
    if (IsPathOf(own, asked, name) || IsTrimmedPathOf(fs, file, folder, siblings, own, asked, name)) return true;
    error = fs_error::kReparseRefused;
    return false;
}

Outcome DeleteOpenEntry(FileSystem& fs, Node& node, const NodeInfo& info, const std::atomic<bool>* stop) {
    if (IsReparse(info)) {
        // A link goes as itself. One without a tag cannot be told from its
        // target where the system opens the target for it: it stays.
        if (info.tag == 0) return Failed(fs_error::kReparseRefused);
        if (IsLinkTag(info.tag)) return DeleteWithAttributes(fs, node, info);
    }
    if (IsFolder(info)) {
        std::vector<DirEntry> children;
        uint32_t error = 0;
        if (!fs.ListFolder(node, children, error)) return Failed(error);
        WideName folderPath;  // asked for once a file needs it
        for (const DirEntry& child : children) {
            // A folder of a million entries must not outlast a stop.
            if (stop && stop->load()) return Failed(fs_error::kCancelled);
            NodeInfo now;
            std::unique_ptr<Node> open = fs.OpenChild(node, child.name, FileSystem::OpenFor::kDelete, error);
            if (!open) return Failed(error);
            if (!fs.Query(*open, now, error)) return Failed(error);
            // What the handle says decides, not the listing: a folder that
            // became a link since is removed as the link.
            // A file that opens as a folder (or the other way) is not what the
            // listing showed, whatever its id says.
            if (now.id != child.id || now.created != child.created ||
                IsFolder(now) != ((child.attributes & fs_attr::kDirectory) != 0))
                return Failed(fs_error::kNotTheListedEntry);
            TakeReparseFromListing(child, now);
            // A file whose handle is another name's file: a link it will not follow.
            if (!IsFolder(now) && !IsReparse(now) &&
                !HandleIsNamed(fs, *open, node, &folderPath, child.name, error, &children))
                return Failed(error);
            Outcome inner = DeleteOpenEntry(fs, *open, now, stop);
            if (!inner.ok) return inner;
        }
    }
    return DeleteWithAttributes(fs, node, info);
}

Node* EntrySession::OpenFolder(const EntryPtr& ref, uint32_t& error) {
    OpenFolderState* state = FolderState(ref, error);
    return state ? state->node.get() : nullptr;
}

EntrySession::OpenFolderState* EntrySession::FolderState(const EntryPtr& ref, uint32_t& error) {
    const EntryRef& folder = *ref;
    auto known = m_folders.find(&folder);
    if (known != m_folders.end()) return &known->second;
    std::unique_ptr<Node> open;
    NodeInfo info;
    if (!folder.parent) {
        open = m_fs.OpenVolumeRoot(folder.name, error);
        if (open && !m_fs.Query(*open, info, error)) open.reset();
        if (open && !Matches(folder, info, Match::kOnTheWay)) {
            error = fs_error::kNotTheListedEntry;
            open.reset();
        }
    } else {
        Node* parent = OpenFolder(folder.parent, error);
        if (!parent) return nullptr;
        auto mode = folder.follow ? FileSystem::OpenFor::kFollow : FileSystem::OpenFor::kList;
        open = OpenExactChild(m_fs, *parent, folder.name, folder, Match::kOnTheWay, mode, info, error);
        if (open && folder.follow && !Matches(folder, info, Match::kOnTheWay)) {
            error = fs_error::kNotTheListedEntry;
            open.reset();
        }
        // A folder on the way that is now a link or no folder at all.
        if (open && (!IsFolder(info) || (!folder.follow && IsLink(info)))) {
            error = fs_error::kNotTheListedEntry;
            open.reset();
        }
    }
    if (!open) return nullptr;
    // The key is the ref's address: the shared pointer kept beside it keeps
    // that address from being reused while the session lives.
    OpenFolderState& state = m_folders[&folder];
    state.ref = ref;
    state.node = std::move(open);
    return &state;
}

std::unique_ptr<Node> EntrySession::OpenListed(const EntryRef& entry, FileSystem::OpenFor mode, NodeInfo& info,
                                               Node*& folder, uint32_t& error) {
    if (!entry.parent) {
        error = fs_error::kAccessDenied;  // a drive or share is never acted on
        return nullptr;
    }
    OpenFolderState* state = FolderState(entry.parent, error);
    if (!state) return nullptr;
    folder = state->node.get();
    std::unique_ptr<Node> node;
    if (state->listed) {
        // The listing has the exact stored names: the entry must be there by
        // its own name with its own id, and what opens must be it.
        auto found = state->byName.find(entry.name);
        if (found == state->byName.end()) {
            error = fs_error::kFileNotFound;
            return nullptr;
        }
        if (found->second.id != entry.id) {
            error = fs_error::kNotTheListedEntry;
            return nullptr;
        }
        node = m_fs.OpenChild(*folder, entry.name, mode, error);
        if (!node || !m_fs.Query(*node, info, error)) return nullptr;
        if (!SameEntry(entry, info, entry.isFolder)) {
            error = fs_error::kNotTheListedEntry;
            return nullptr;
        }
        TakeReparseFromListing(found->second, info);
    } else {
        node = OpenExactChild(m_fs, *folder, entry.name, entry, entry.isFolder ? Match::kFolder : Match::kFile, mode,
                              info, error);
        if (!node) return nullptr;
    }
    // A listed file that opens as a folder, or a folder as a file, is another entry.
    if (IsFolder(info) != entry.isFolder) {
        error = fs_error::kNotTheListedEntry;
        return nullptr;
    }
    // A file's handle must hold that name's file, not a link's target.
    if (!IsFolder(info) && !IsReparse(info) &&
        !HandleIsNamed(m_fs, *node, *folder, &state->path, entry.name, error,
                       state->listed ? &state->entries : nullptr))
        return nullptr;
    return node;
}

Outcome EntrySession::Delete(const EntryRef& entry) {
    if (!entry.parent) return Failed(fs_error::kAccessDenied);  // a drive is never deleted
    uint32_t error = 0;
    OpenFolderState* folder = FolderState(entry.parent, error);
    if (!folder) return Failed(error);
    constexpr int kRowsBeforeListing = 3;
    if (!folder->listed && ++folder->deletions >= kRowsBeforeListing) {
        std::vector<DirEntry> entries;
        if (m_fs.ListFolder(*folder->node, entries, error)) {
            for (const DirEntry& e : entries) folder->byName.emplace(e.name, e);
            folder->entries = std::move(entries);
            folder->listed = true;
        }
    }
    NodeInfo info;
    Node* parent = nullptr;
    std::unique_ptr<Node> node = OpenListed(entry, FileSystem::OpenFor::kDelete, info, parent, error);
    if (!node) return Failed(error);
    return DeleteOpenEntry(m_fs, *node, info, m_stop);
}

Outcome EntrySession::Rename(const EntryRef& entry, WideName& newName) {
    uint32_t error = 0;
    Node* folder = nullptr;
    NodeInfo info;
    std::unique_ptr<Node> node = OpenListed(entry, FileSystem::OpenFor::kDelete, info, folder, error);
    if (!node) return Failed(error);
    const WideName legal = LegalNameFor(entry.name);
    if (legal.empty() || legal == entry.name) return Failed(fs_error::kNoLegalName);
    for (int n = 1; n < 1000; ++n) {
        const WideName candidate = n == 1 ? legal : NumberedName(legal, n);
        if (m_fs.RenameOpen(*node, *folder, candidate, error)) {
            newName = candidate;
            Outcome out;
            out.ok = true;
            return out;
        }
        if (error != fs_error::kAlreadyExists && error != 80 /* ERROR_FILE_EXISTS */) return Failed(error);
    }
    return Failed(fs_error::kAlreadyExists);
}

Outcome EntrySession::Read(const EntryRef& entry, std::string& bytes, uint32_t size) {
    bytes.clear();
    uint32_t error = 0;
    Node* folder = nullptr;
    NodeInfo info;
    std::unique_ptr<Node> node = OpenListed(entry, FileSystem::OpenFor::kList, info, folder, error);
    if (!node) return Failed(error);
    if (IsFolder(info) || IsReparse(info)) return Failed(fs_error::kAccessDenied);
    bytes.resize(size);
    uint32_t read = 0;
    if (!m_fs.ReadOpen(*node, &bytes[0], size, read, error)) {
        bytes.clear();
        return Failed(error);
    }
    bytes.resize(read);
    Outcome out;
    out.ok = true;
    return out;
}

Outcome EntrySession::List(const EntryRef& entry, std::vector<DirEntry>& entries) {
    entries.clear();
    uint32_t error = 0;
    Node* folder = nullptr;
    NodeInfo info;
    std::unique_ptr<Node> node = OpenListed(entry, FileSystem::OpenFor::kList, info, folder, error);
    if (!node) return Failed(error);
    if (IsReparse(info)) return Failed(fs_error::kReparseRefused);
    if (!IsFolder(info)) return Failed(fs_error::kNotADirectory);
    if (!m_fs.ListFolder(*node, entries, error)) {
        entries.clear();
        return Failed(error);
    }
    Outcome out;
    out.ok = true;
    return out;
}

namespace {

bool IsSeparator(char16_t c, bool verbatim) { return c == u'\\' || (!verbatim && c == u'/'); }

std::vector<WideName> SplitNames(std::u16string_view text, bool verbatim) {
    std::vector<WideName> parts;
    size_t at = 0;
    while (at <= text.size()) {
        size_t end = at;
        while (end < text.size() && !IsSeparator(text[end], verbatim)) ++end;
        if (end > at) parts.emplace_back(text.substr(at, end - at));
        at = end + 1;
    }
    return parts;
}

bool StartsWithIgnoringCase(std::u16string_view text, std::u16string_view word) {
    if (text.size() < word.size()) return false;
    for (size_t i = 0; i < word.size(); ++i) {
        char16_t c = text[i];
        if (c >= u'a' && c <= u'z') c = static_cast<char16_t>(c - u'a' + u'A');
        if (c != word[i]) return false;
    }
    return true;
}

bool IsDriveLetter(char16_t c) { return (c >= u'A' && c <= u'Z') || (c >= u'a' && c <= u'z'); }
char16_t UpperLetter(char16_t c) { return (c >= u'a' && c <= u'z') ? static_cast<char16_t>(c - u'a' + u'A') : c; }

bool HasWildcard(const WideName& name) { return name.find_first_of(u"*?") != WideName::npos; }

// The volume at the start of an absolute path (after any prefix), and where
// its names begin; false when it starts with neither a drive nor a share.
bool TakeVolume(std::u16string_view text, bool share, bool verbatim, TypedPath& out, size_t& rest) {
    if (share) {
        // "server\share", then the names.
        size_t at = 0;
        WideName parts[2];
        for (WideName& part : parts) {
            size_t end = at;
            while (end < text.size() && !IsSeparator(text[end], verbatim)) ++end;
            if (end == at) return false;
            part.assign(text.substr(at, end - at));
            at = end + 1;
        }
        out.volume = u"\\\\" + parts[0] + u"\\" + parts[1];
        out.shown = out.volume;
        rest = std::min(at, text.size());
        return true;
    }
    if (text.size() < 2 || !IsDriveLetter(text[0]) || text[1] != u':') return false;
    if (text.size() > 2 && !IsSeparator(text[2], verbatim)) return false;
    out.volume = WideName(1, UpperLetter(text[0])) + u":";
    out.shown = WideName(text.substr(0, 2));
    rest = 2;
    return true;
}

}  // namespace

bool SplitTypedPath(FileSystem& fs, std::u16string_view path, PathUse use, TypedPath& out, uint32_t& error) {
    out = TypedPath();
    error = fs_error::kPathNotFound;
    if (path.empty()) return false;
    bool verbatim = false, share = false;
    std::u16string_view text = path;
    WideName absolute;
    if (text.size() >= 4 && IsSeparator(text[0], false) && IsSeparator(text[1], false) &&
        (text[2] == u'?' || text[2] == u'.') && IsSeparator(text[3], false)) {
        // "\\?\" takes names as they stand; "\\.\" is a plain path to the system.
        verbatim = text[2] == u'?' && text[0] == u'\\' && text[1] == u'\\' && text[3] == u'\\';
        text.remove_prefix(4);
        if (StartsWithIgnoringCase(text, u"UNC") && text.size() > 3 && IsSeparator(text[3], verbatim)) {
            text.remove_prefix(4);
            share = true;
        }
    } else if (text.size() >= 2 && IsSeparator(text[0], false) && IsSeparator(text[1], false)) {
        text.remove_prefix(2);
        share = true;
    } else if (use == PathUse::kRoot) {
        // Relative forms start from the current folders, once.
        WideName base;
        if (text.size() >= 2 && IsDriveLetter(text[0]) && text[1] == u':') {
            if (text.size() == 2 || !IsSeparator(text[2], false)) {
                // "X:" alone is the drive's top folder; "X:name" starts in its current folder.
                if (text.size() > 2 && !fs.CurrentFolder(UpperLetter(text[0]), base, error)) return false;
                if (!base.empty()) {
                    absolute = base + u"\\" + WideName(text.substr(2));
                    text = absolute;
                }
            }
        } else if (IsSeparator(text[0], false)) {
            // "\name": the current folder's volume.
            if (!fs.CurrentFolder(0, base, error)) return false;
            TypedPath top;
            size_t rest = 0;
            const bool baseShare = base.size() > 2 && base[0] == u'\\' && base[1] == u'\\';
            if (!TakeVolume(std::u16string_view(base).substr(baseShare ? 2 : 0), baseShare, false, top, rest))
                return false;
            absolute = top.volume + WideName(text);
            if (!baseShare) absolute[0] = base[0];
            text = absolute;
            if (baseShare) {
                text.remove_prefix(2);
                share = true;
            }
        } else {
            if (!fs.CurrentFolder(0, base, error)) return false;
            absolute = base + u"\\" + WideName(text);
            text = absolute;
            if (base.size() > 2 && base[0] == u'\\' && base[1] == u'\\') {
                text.remove_prefix(2);
                share = true;
            }
        }
    }
    size_t rest = 0;
    if (!TakeVolume(text, share, verbatim, out, rest)) {
        error = fs_error::kInvalidName;
        return false;
    }
    std::vector<WideName> parts = SplitNames(text.substr(rest), verbatim);
    if (use == PathUse::kRoot && !parts.empty() && HasWildcard(parts.back())) {
        out.pattern = parts.back();
        parts.pop_back();
    }
    for (WideName& part : parts) {
        const bool dot = part == u".", dotDot = part == u"..";
        if (dot || dotDot) {
            // A listed path never holds them; "\\?\" takes them as names, which name nothing.
            if (verbatim || use == PathUse::kListed) {
                error = fs_error::kInvalidName;
                return false;
            }
            if (dotDot && !out.names.empty()) out.names.pop_back();
            continue;
        }
        if (HasWildcard(part)) {
            error = fs_error::kInvalidName;
            return false;
        }
        out.names.push_back(std::move(part));
    }
    error = 0;
    return true;
}

bool OpenTypedPath(FileSystem& fs, const TypedPath& path, bool exact, EntryPtr& entry, std::string& longPath,
                   NodeInfo& info, std::unique_ptr<Node>* open, uint32_t& error) {
    auto top = std::make_shared<EntryRef>();
    top->name = path.volume;
    top->isFolder = true;
    std::unique_ptr<Node> node = fs.OpenVolumeRoot(top->name, error);
    if (!node || !fs.Query(*node, info, error)) return false;
    static_cast<Identity&>(*top) = info;
    if (!fs.ToAnsi(path.shown, longPath)) longPath.clear();
    EntryPtr at = top;
    const std::vector<WideName>& names = path.names;
    for (size_t i = 0; i < names.size(); ++i) {
        const WideName& wide = names[i];
        DirEntry found;
        if (!fs.LookUp(*node, wide, found, error)) {
            if (error == fs_error::kFileNotFound && i + 1 < names.size()) error = fs_error::kPathNotFound;
            return false;
        }
        if (exact && found.name != wide) {
            error = fs_error::kFileNotFound;
            return false;
        }
        const bool last = i + 1 == names.size();
        auto mode =
            exact ? (last ? FileSystem::OpenFor::kDelete : FileSystem::OpenFor::kList) : FileSystem::OpenFor::kFollow;
        if (exact && last && !open) mode = FileSystem::OpenFor::kList;
        std::unique_ptr<Node> next;
        Identity expected = found;
        if (mode == FileSystem::OpenFor::kFollow) {
            next = fs.OpenChild(*node, found.name, mode, error);
            if (next && !fs.Query(*next, info, error)) next.reset();
            expected = info;
        } else {
            // What the listing shows is what the handle must hold, taken as
            // it is now: by id and creation time.
            next = OpenExactChild(fs, *node, found.name, found, Match::kFolder, mode, info, error);
            if (next) expected = info;
        }
        if (!next) return false;
        // Only the last component may be other than a folder, and below a
        // typed root nothing leads through a link.
        if (!last && (!IsFolder(info) || (exact && IsLink(info)))) {
            error = fs_error::kPathNotFound;
            return false;
        }
        // A file's handle must hold that name's file (see HandleIsNamed).
        if (exact && last && !IsFolder(info) && !IsReparse(info) &&
            !HandleIsNamed(fs, *next, *node, nullptr, found.name, error))
            return false;
        auto ref = std::make_shared<EntryRef>();
        ref->parent = at;
        ref->name = found.name;
        static_cast<Identity&>(*ref) = expected;
        ref->isFolder = IsFolder(info);
        ref->follow = !exact;
        std::string ansi;
        if (!longPath.empty() && fs.ToAnsi(found.name, ansi)) {
            longPath += '\\';
            longPath += ansi;
        } else {
            longPath.clear();
        }
        at = ref;
        node = std::move(next);
    }
    if (names.empty() && !longPath.empty()) longPath += '\\';
    entry = at;
    if (open) *open = std::move(node);
    error = 0;
    return true;
}

bool ResolveWidePath(FileSystem& fs, std::u16string_view path, bool exact, EntryPtr& entry, std::string& longPath,
                     NodeInfo& info, uint32_t& error) {
    TypedPath typed;
    if (!SplitTypedPath(fs, path, PathUse::kListed, typed, error)) return false;
    return OpenTypedPath(fs, typed, exact, entry, longPath, info, nullptr, error);
}

bool ResolveEntry(FileSystem& fs, std::string_view path, bool exact, EntryPtr& entry, std::string& longPath,
                  std::unique_ptr<Node>* open, uint32_t& error) {
    WideName wide;
    if (path.empty() || !fs.ToWide(std::string(path), wide) || wide.empty()) {
        error = fs_error::kInvalidName;
        return false;
    }
    return ResolveEntry(fs, wide, exact, entry, longPath, open, error);
}

bool ResolveEntry(FileSystem& fs, std::u16string_view path, bool exact, EntryPtr& entry, std::string& longPath,
                  std::unique_ptr<Node>* open, uint32_t& error) {
    if (path.empty()) {
        error = fs_error::kInvalidName;
        return false;
    }
    TypedPath typed;
    if (!SplitTypedPath(fs, path, exact ? PathUse::kListed : PathUse::kRoot, typed, error)) return false;
    if (!typed.pattern.empty()) {
        error = fs_error::kInvalidName;
        return false;
    }
    NodeInfo info;
    return OpenTypedPath(fs, typed, exact, entry, longPath, info, open, error);
}

WideName WidePathOf(const EntryRef& entry) {
    std::vector<const EntryRef*> chain;
    for (const EntryRef* at = &entry; at; at = at->parent.get()) chain.push_back(at);
    WideName path;
    for (size_t i = chain.size(); i-- > 0;) {
        if (i + 1 < chain.size()) path += u'\\';
        path += chain[i]->name;
    }
    return path;
}

namespace {

bool RefusedByWin32(char16_t c) {
    return c < 32 || c == u'<' || c == u'>' || c == u':' || c == u'"' || c == u'|' || c == u'?' || c == u'*' ||
           c == u'/' || c == u'\\';
}

}  // namespace

WideName LegalNameFor(const WideName& name) {
    WideName legal = name;
    for (char16_t& c : legal)
        if (RefusedByWin32(c)) c = u'_';
    while (!legal.empty() && (legal.back() == u'.' || legal.back() == u' ')) legal.pop_back();
    if (legal.empty()) return legal;
    // "_" right after the device word, so that no blank or ":" before the
    // extension makes it one again ("nul .txt" -> "nul_ .txt").
    if (const size_t word = DeviceWordLength(legal)) legal.insert(word, u"_");
    return legal;
}

WideName NumberedName(const WideName& legal, int n) {
    const size_t dot = legal.rfind(u'.');
    const size_t at = (dot == WideName::npos || dot == 0) ? legal.size() : dot;
    const std::string number = " (" + std::to_string(n) + ")";
    WideName out = legal.substr(0, at);
    out.append(number.begin(), number.end());
    out += legal.substr(at);
    return out;
}
