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

// Deletes through the handle; read-only is cleared only when the deletion is
// refused for it, and put back when it still fails.
Outcome DeleteWithAttributes(FileSystem& fs, Node& node, const NodeInfo& info) {
    Outcome out;
    if (fs.DeleteOpen(node, out.error)) {
        out.ok = true;
        return out;
    }
    if (!(info.attributes & kInTheWay)) return out;
    uint32_t cleared = info.attributes & ~(kInTheWay | fs_attr::kDirectory | fs_attr::kReparsePoint);
    uint32_t ignored = 0;
    if (!fs.SetAttributesOf(node, cleared == 0 ? fs_attr::kNormal : cleared, ignored)) return out;
    if (fs.DeleteOpen(node, out.error)) {
        out.ok = true;
        return out;
    }
    fs.SetAttributesOf(node, info.attributes & ~(fs_attr::kDirectory | fs_attr::kReparsePoint), ignored);
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

std::unique_ptr<Node> OpenExactChild(FileSystem& fs, Node& folder, const WideName& name, uint64_t id,
                                     FileSystem::OpenFor mode, NodeInfo& info, uint32_t& error) {
    DirEntry found;
    if (!fs.LookUp(folder, name, found, error)) return nullptr;
    // Another case or an alias: the listed entry is not there by its name.
    if (found.name != name) {
        error = fs_error::kFileNotFound;
        return nullptr;
    }
    const bool follow = mode == FileSystem::OpenFor::kFollow;
    if (!follow && found.id != id) {
        error = fs_error::kNotTheListedEntry;
        return nullptr;
    }
    std::unique_ptr<Node> node = fs.OpenChild(folder, name, mode, error);
    if (!node) return nullptr;
    if (!fs.Query(*node, info, error)) return nullptr;
    // Between the look-up and the open the name may have been given to another entry.
    if (info.id != id) {
        error = fs_error::kNotTheListedEntry;
        return nullptr;
    }
    if (!follow) TakeReparseFromListing(found, info);
    return node;
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
        for (const DirEntry& child : children) {
            // A folder of a million entries must not outlast a stop.
            if (stop && stop->load()) return Failed(fs_error::kCancelled);
            NodeInfo now;
            std::unique_ptr<Node> open = fs.OpenChild(node, child.name, FileSystem::OpenFor::kDelete, error);
            if (!open) return Failed(error);
            if (!fs.Query(*open, now, error)) return Failed(error);
            // What the handle says decides, not the listing: a folder that
            // became a link since is removed as the link.
            if (now.id != child.id) return Failed(fs_error::kNotTheListedEntry);
            TakeReparseFromListing(child, now);
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
        if (open && info.id != folder.id) {
            error = fs_error::kNotTheListedEntry;
            open.reset();
        }
    } else {
        Node* parent = OpenFolder(folder.parent, error);
        if (!parent) return nullptr;
        auto mode = folder.follow ? FileSystem::OpenFor::kFollow : FileSystem::OpenFor::kList;
        open = OpenExactChild(m_fs, *parent, folder.name, folder.id, mode, info, error);
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

Outcome EntrySession::Delete(const EntryRef& entry) {
    if (!entry.parent) return Failed(fs_error::kAccessDenied);  // a drive is never deleted
    uint32_t error = 0;
    OpenFolderState* folder = FolderState(entry.parent, error);
    if (!folder) return Failed(error);
    constexpr int kRowsBeforeListing = 3;
    if (!folder->listed && ++folder->deletions >= kRowsBeforeListing) {
        std::vector<DirEntry> entries;
        if (m_fs.ListFolder(*folder->node, entries, error)) {
            for (DirEntry& e : entries) folder->byName.emplace(e.name, std::move(e));
            folder->listed = true;
        }
    }
    NodeInfo info;
    std::unique_ptr<Node> node;
    if (folder->listed) {
        // The listing has the exact stored names: the entry must be there by
        // its own name with its own id, and what opens must be it.
        auto found = folder->byName.find(entry.name);
        if (found == folder->byName.end()) return Failed(fs_error::kFileNotFound);
        if (found->second.id != entry.id) return Failed(fs_error::kNotTheListedEntry);
        node = m_fs.OpenChild(*folder->node, entry.name, FileSystem::OpenFor::kDelete, error);
        if (!node) return Failed(error);
        if (!m_fs.Query(*node, info, error)) return Failed(error);
        if (info.id != entry.id) return Failed(fs_error::kNotTheListedEntry);
        TakeReparseFromListing(found->second, info);
    } else {
        node = OpenExactChild(m_fs, *folder->node, entry.name, entry.id, FileSystem::OpenFor::kDelete, info, error);
        if (!node) return Failed(error);
    }
    return DeleteOpenEntry(m_fs, *node, info, m_stop);
}

std::unique_ptr<Node> EntrySession::OpenListed(const EntryRef& entry, FileSystem::OpenFor mode, NodeInfo& info,
                                               Node*& folder, uint32_t& error) {
    if (!entry.parent) {
        error = fs_error::kAccessDenied;  // a drive is never acted on
        return nullptr;
    }
    folder = OpenFolder(entry.parent, error);
    if (!folder) return nullptr;
    return OpenExactChild(m_fs, *folder, entry.name, entry.id, mode, info, error);
}

Outcome EntrySession::Rename(const EntryRef& entry, WideName& newName) {
    uint32_t error = 0;
    Node* folder = nullptr;
    NodeInfo info;
    std::unique_ptr<Node> node = OpenListed(entry, FileSystem::OpenFor::kDelete, info, folder, error);
    if (!node) return Failed(error);
    const WideName legal = LegalNameFor(entry.name);
    if (legal.empty() || legal == entry.name) return Failed(fs_error::kInvalidName);
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

// Opens the names below a drive's top folder one by one (see ResolveEntry).
// longPath starts as the drive as typed; info receives what the last handle
// says its entry is.
bool ResolveNames(FileSystem& fs, char letter, const std::vector<WideName>& names, bool exact, EntryPtr& entry,
                  std::string& longPath, std::unique_ptr<Node>* open, NodeInfo& info, uint32_t& error) {
    if (letter >= 'a' && letter <= 'z') letter = static_cast<char>(letter - 'a' + 'A');
    if (!(letter >= 'A' && letter <= 'Z')) return false;
    auto top = std::make_shared<EntryRef>();
    top->name = WideName(1, static_cast<char16_t>(letter)) + u":";
    top->isFolder = true;
    std::unique_ptr<Node> node = fs.OpenVolumeRoot(top->name, error);
    if (!node || !fs.Query(*node, info, error)) return false;
    top->id = info.id;
    EntryPtr at = top;
    for (size_t i = 0; i < names.size(); ++i) {
        const WideName& wide = names[i];
        if (wide.empty()) {
            error = fs_error::kInvalidName;
            return false;
        }
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
        uint64_t expected = found.id;
        std::unique_ptr<Node> next;
        if (mode == FileSystem::OpenFor::kFollow) {
            next = fs.OpenChild(*node, found.name, mode, error);
            if (next && !fs.Query(*next, info, error)) next.reset();
            expected = info.id;
        } else {
            next = OpenExactChild(fs, *node, found.name, expected, mode, info, error);
        }
        if (!next) return false;
        // Only the last component may be other than a folder, and below a
        // typed root nothing leads through a link.
        if (!last && (!IsFolder(info) || (exact && IsLink(info)))) {
            error = fs_error::kPathNotFound;
            return false;
        }
        auto ref = std::make_shared<EntryRef>();
        ref->parent = at;
        ref->name = found.name;
        ref->id = expected;
        ref->isFolder = IsFolder(info);
        ref->follow = !exact;
        std::string ansi;
        if (fs.ToAnsi(found.name, ansi) && !longPath.empty()) {
            longPath += '\\';
            longPath += ansi;
        } else {
            longPath.clear();
        }
        at = ref;
        node = std::move(next);
    }
    if (names.empty()) longPath += '\\';
    entry = at;
    if (open) *open = std::move(node);
    error = 0;
    return true;
}

// Drops "." and folds ".." as the plain and "\\.\" forms do; a listed path
// (exact) never holds either, and the "\\?\" form takes both as names.
template <typename Part>
bool FoldDots(const std::vector<Part>& parts, bool verbatim, bool exact, std::vector<Part>& names) {
    const auto isDot = [](const Part& p) { return p.size() == 1 && p[0] == '.'; };
    const auto isDotDot = [](const Part& p) { return p.size() == 2 && p[0] == '.' && p[1] == '.'; };
    for (size_t i = 1; i < parts.size(); ++i) {
        const Part& part = parts[i];
        if (!verbatim && isDot(part)) {
            if (exact) return false;
            continue;
        }
        if (!verbatim && isDotDot(part)) {
            if (exact || names.empty()) return false;
            names.pop_back();
            continue;
        }
        if (isDot(part) || isDotDot(part)) return false;
        names.push_back(part);
    }
    return true;
}

}  // namespace

bool ResolveEntry(FileSystem& fs, std::string_view path, bool exact, EntryPtr& entry, std::string& longPath,
                  std::unique_ptr<Node>* open, uint32_t& error) {
    error = fs_error::kPathNotFound;
    const bool verbatim = IsVerbatimPath(path);
    std::string_view rest = HasWin32Prefix(path) ? path.substr(4) : path;
    std::vector<std::string_view> parts = SplitPathComponents(rest);
    // A drive and then "\": drive-relative, share and relative forms have no top folder here.
    if (parts.empty() || !(parts[0].size() == 2 && parts[0][1] == ':') ||
        IsAnsiLeadByte(static_cast<unsigned char>(parts[0][0])) || !(rest.size() == 2 || rest[2] == '\\'))
        return false;
    std::vector<std::string_view> folded;
    if (!FoldDots(parts, verbatim, exact, folded)) return false;
    std::vector<WideName> names;
    for (std::string_view part : folded) {
        names.emplace_back();
        if (!fs.ToWide(std::string(part), names.back()) || names.back().empty()) {
            error = fs_error::kInvalidName;
            return false;
        }
    }
    longPath.assign(parts[0]);  // the drive as typed, then stored names
    NodeInfo info;
    return ResolveNames(fs, parts[0][0], names, exact, entry, longPath, open, info, error);
}

bool ResolveWidePath(FileSystem& fs, std::u16string_view path, bool exact, EntryPtr& entry, std::string& longPath,
                     NodeInfo& info, uint32_t& error) {
    error = fs_error::kPathNotFound;
    const bool prefixed = path.size() >= 4 && path[0] == u'\\' && path[1] == u'\\' &&
                          (path[2] == u'?' || path[2] == u'.') && path[3] == u'\\';
    const bool verbatim = prefixed && path[2] == u'?';
    std::u16string_view rest = prefixed ? path.substr(4) : path;
    std::vector<std::u16string_view> parts;
    for (size_t at = 0; at <= rest.size();) {
        size_t end = rest.find(u'\\', at);
        if (end == std::u16string_view::npos) end = rest.size();
        if (end > at) parts.push_back(rest.substr(at, end - at));
        at = end + 1;
    }
    if (parts.empty() || !(parts[0].size() == 2 && parts[0][1] == u':' && parts[0][0] < 0x80) ||
        !(rest.size() == 2 || rest[2] == u'\\'))
        return false;
    std::vector<std::u16string_view> folded;
    if (!FoldDots(parts, verbatim, exact, folded)) return false;
    std::vector<WideName> names(folded.begin(), folded.end());
    longPath.assign(1, static_cast<char>(parts[0][0]));
    longPath += ':';
    return ResolveNames(fs, static_cast<char>(parts[0][0]), names, exact, entry, longPath, nullptr, info, error);
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
    if (IsReservedDeviceName(legal)) {
        const size_t dot = legal.find(u'.');
        legal.insert(dot == WideName::npos ? legal.size() : dot, u"_");
    }
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
