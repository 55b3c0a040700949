#include "SimulatedVolume.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

#include "Names.h"
#include "PathText.h"

namespace {

char Upper(char c) { return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c; }

bool IsValidShortName(const std::string& name) {
    size_t dot = name.rfind('.');
    std::string base = dot == std::string::npos ? name : name.substr(0, dot);
    std::string ext = dot == std::string::npos ? "" : name.substr(dot + 1);
    if (base.empty() || base.size() > 8 || ext.size() > 3) return false;
    if (dot != std::string::npos && ext.empty()) return false;
    if (base.find('.') != std::string::npos) return false;
    for (char c : name)
        if (c == ' ' || std::strchr("+,;=[]", c)) return false;
    return true;
}

// Alias text from a part of a long name: no dots or blanks, capitals,
// characters that 8.3 names can't hold made "_", at most max bytes (by character).
std::string ShortPart(const std::string& text, size_t max) {
    std::string out;
    size_t i = 0;
    while (i < text.size()) {
        size_t n = CharLengthAt(text, i);
        if (out.size() + n > max) break;
        char c = text[i];
        if (n == 2) {
            out.append(text, i, 2);
        } else if (c != '.' && c != ' ') {
            out += std::strchr("+,;=[]", c) ? '_' : Upper(c);
        }
        i += n;
    }
    return out;
}

}  // namespace

SimulatedVolume::SimulatedVolume(unsigned codePage) {
    if (codePage != 0) m_codePage = std::make_unique<ScopedActiveCodePage>(codePage);
}

SimulatedVolume::~SimulatedVolume() = default;

void SimulatedVolume::AddDrive(char letter, bool shortNames, bool deviceRootAnswers) {
    Drive& d = m_drives[Upper(letter)];
    d.shortNames = shortNames;
    d.deviceRootAnswers = deviceRootAnswers;
    d.root = std::make_unique<Node>();
    d.root->id = m_nextId++;
    d.root->name = std::string(1, Upper(letter)) + ":";
    d.root->attributes = fs_attr::kDirectory;
}

std::string SimulatedVolume::MakeAlias(const Node& folder, const std::string& name) const {
    size_t dot = name.rfind('.');
    std::string basePart = name, ext;
    if (dot != std::string::npos) {
        basePart = name.substr(0, dot);
        ext = ShortPart(name.substr(dot + 1), 3);
    }
    std::string base = ShortPart(basePart, 6);
    if (base.empty()) {
        unsigned hash = 0;
        for (unsigned char c : name) hash = hash * 31 + c;
        char buf[8];
        std::snprintf(buf, sizeof buf, "%04X", hash & 0xFFFF);
        base = buf;
    }
    for (int n = 1;; ++n) {
        std::string alias = base + "~" + std::to_string(n) + (ext.empty() ? "" : "." + ext);
        bool taken = false;
        for (const auto& c : folder.children)
            if (EqualsIgnoreCase(c->alias, alias) || EqualsIgnoreCase(c->name, alias)) taken = true;
        if (!taken) return alias;
    }
}

SimulatedVolume::Node* SimulatedVolume::Create(const std::string& path, uint32_t attributes, const std::string& alias) {
    std::string rest = path.compare(0, 4, "\\\\?\\") == 0 ? path.substr(4) : path;
    std::vector<std::string_view> parts = SplitPathComponents(rest);
    auto drive = m_drives.find(parts.empty() ? 0 : Upper(parts[0][0]));
    if (drive == m_drives.end()) return nullptr;
    Node* node = drive->second.root.get();
    for (size_t i = 1; i < parts.size(); ++i) {
        std::string name(parts[i]);
        bool last = i + 1 == parts.size();
        Node* child = nullptr;
        for (auto& c : node->children)
            if (c->name == name) child = c.get();
        if (!child) {
            auto made = std::make_unique<Node>();
            made->name = name;
            made->created = made->written = ++m_clock;
            made->attributes = last ? attributes : fs_attr::kDirectory;
            if (last && alias != "\x01")
                made->alias = alias;
            else if (drive->second.shortNames && !IsValidShortName(name))
                made->alias = MakeAlias(*node, name);
            child = made.get();
            node->children.push_back(std::move(made));
            Attach(child, node);
        }
        node = child;
    }
    return node;
}

SimulatedVolume::Node* SimulatedVolume::AddFolder(const std::string& path, uint32_t attributes,
                                                  const std::string& alias) {
    return Create(path, attributes | fs_attr::kDirectory, alias);
}

SimulatedVolume::Node* SimulatedVolume::AddFile(const std::string& path, uint32_t attributes,
                                                const std::string& alias) {
    return Create(path, attributes == 0 ? fs_attr::kArchive : attributes, alias);
}

SimulatedVolume::Node* SimulatedVolume::AddLink(const std::string& path, const std::string& target, bool folder,
                                                uint32_t tag) {
    Node* node = Create(path, fs_attr::kReparsePoint | (folder ? fs_attr::kDirectory : 0u), "\x01");
    if (node) {
        node->tag = tag;
        node->linkTarget = target;
    }
    return node;
}

SimulatedVolume::Node* SimulatedVolume::AddHardLink(const std::string& path, Node* file) {
    Node* node = Create(path, file->attributes, "\x01");
    if (!node || node == file) return node;
    if (!file->names) file->names = std::make_shared<std::vector<Node*>>(1, file);
    file->names->push_back(node);
    node->names = file->names;
    Drive& drive = DriveOf(*node);
    if (drive.behaviour.ids == Behaviour::Ids::kReused) drive.freedIds.push_back(node->id);  // not taken after all
    node->id = file->id;
    node->created = file->created;
    node->written = file->written;
    node->content = file->content;
    return node;
}

SimulatedVolume::Node* SimulatedVolume::AddFileLink(const std::string& path, const std::string& target) {
    Node* node = Create(path, fs_attr::kArchive, "\x01");
    if (node) {
        node->fileLink = true;
        node->linkTarget = target;
    }
    return node;
}

void SimulatedVolume::Write(Node* file, const std::string& content) {
    const int64_t now = ++m_clock;
    for (Node* name : file->names ? *file->names : std::vector<Node*>{file}) {
        name->content = content;
        name->written = now;
    }
}

SimulatedVolume::Drive& SimulatedVolume::DriveOf(const Node& node) {
    const Node* top = &node;
    while (top->parent) top = top->parent;
    return m_drives[Upper(top->name.empty() ? 'D' : top->name[0])];
}

SimulatedVolume::Node* SimulatedVolume::Shown(Node* node) const {
    if (!node || !node->fileLink) return node;
    // Linux resolves the whole chain: a link found at the target path is
    // followed in turn, never shown or opened as itself.
    for (int hops = 0;
         node && (node->fileLink || (node->attributes & fs_attr::kReparsePoint)) && !node->linkTarget.empty(); ++hops) {
        if (hops == 8) return nullptr;  // a loop leads nowhere
        node = Find(node->linkTarget);
    }
    return node;
}

void SimulatedVolume::Attach(Node* node, Node* folder) {
    node->parent = folder;
    Drive& drive = DriveOf(*folder);
    const Behaviour& b = drive.behaviour;
    const bool keepsId = node->names && node->names->size() > 1;  // another name holds the file's id
    if (node->id == 0 && !keepsId) {
        const bool byPosition = b.ids == Behaviour::Ids::kPositions && !node->IsFolder();
        if (!byPosition && b.ids != Behaviour::Ids::kUnique && !drive.freedIds.empty()) {
            node->id = drive.freedIds.back();
            drive.freedIds.pop_back();
        } else if (!byPosition) {
            node->id = m_nextId++;
        }
    }
    if (b.ids == Behaviour::Ids::kPositions && !node->IsFolder()) {
        // The first slot of the folder no other entry holds.
        int slot = 0;
        for (bool taken = true; taken; slot += taken ? 1 : 0) {
            taken = false;
            for (const auto& c : folder->children)
                if (c.get() != node && c->slot == slot) taken = true;
        }
        node->slot = slot;
        node->id = (uint64_t{1} << 40) + (folder->id << 16) + static_cast<uint64_t>(slot);
    }
    if (b.tunnelTicks > 0) {
        std::u16string name = WideOf(*node);
        for (char16_t& c : name) c = (c >= u'a' && c <= u'z') ? static_cast<char16_t>(c - u'a' + u'A') : c;
        for (auto t = drive.tunnels.begin(); t != drive.tunnels.end(); ++t) {
            if (t->folder == folder && t->name == name && m_clock - t->deletedAt <= b.tunnelTicks) {
                node->created = t->created;
                drive.tunnels.erase(t);
                break;
            }
        }
    }
}

SimulatedVolume::Node* SimulatedVolume::Find(const std::string& path) const {
    std::string rest = path.compare(0, 4, "\\\\?\\") == 0 ? path.substr(4) : path;
    std::vector<std::string_view> parts = SplitPathComponents(rest);
    if (parts.empty()) return nullptr;
    auto drive = m_drives.find(Upper(parts[0][0]));
    if (drive == m_drives.end()) return nullptr;
    Node* node = drive->second.root.get();
    for (size_t i = 1; i < parts.size() && node; ++i) {
        Node* next = nullptr;
        for (auto& c : node->children)
            if (c->name == parts[i]) next = c.get();
        node = next;
    }
    return node;
}

std::vector<std::string> SimulatedVolume::ListTree(const std::string& path) const {
    std::vector<std::string> out;
    const Node* top = Find(path);
    if (!top) return out;
    std::function<void(const Node&, const std::string&)> visit = [&](const Node& n, const std::string& at) {
        for (const auto& c : n.children) {
            std::string p = at + "\\" + c->name;
            out.push_back(p);
            visit(*c, p);
        }
    };
    std::string base = path.compare(0, 4, "\\\\?\\") == 0 ? path.substr(4) : path;
    while (EndsWithChar(base, '\\')) base.pop_back();
    visit(*top, base);
    std::sort(out.begin(), out.end());
    return out;
}

SimulatedVolume::Node* SimulatedVolume::Target(Node* node, const SimulatedVolume& volume) {
    for (int hops = 0; node && (node->attributes & fs_attr::kReparsePoint) && !node->linkTarget.empty(); ++hops) {
        if (hops == 8) return nullptr;
        node = volume.Find(node->linkTarget);
    }
    return node;
}

// ---------------------------------------------------------------------------
// Handles. A handle holds its entry, wherever it is moved, until it is closed;
// an entry deleted meanwhile stays in memory, marked removed.

namespace {

class SimHandle final : public ::Node {
public:
    explicit SimHandle(SimulatedVolume::Node* n, bool forDelete) : node(n), deleteAccess(forDelete) {
        if (deleteAccess) ++node->heldForDelete;
    }
    ~SimHandle() override {
        if (deleteAccess) --node->heldForDelete;
    }
    SimulatedVolume::Node* node;
    bool deleteAccess;
};

SimulatedVolume::Node* NodeOf(::Node& handle) { return static_cast<SimHandle&>(handle).node; }

bool IsTaglessLink(const SimulatedVolume::Node& node) {
    return (node.attributes & fs_attr::kReparsePoint) && node.tag == 0 && !node.linkTarget.empty();
}

char16_t FoldW(char16_t c) { return (c >= u'a' && c <= u'z') ? static_cast<char16_t>(c - u'a' + u'A') : c; }

bool EqualsIgnoreCaseW(const std::u16string& a, const std::u16string& b) {
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); ++i)
        if (FoldW(a[i]) != FoldW(b[i])) return false;
    return true;
}

// The volume's own exact conversion: a single byte is the code point of the
// same number, a double-byte character one of a block of CJK code points, so
// every narrow name has one wide form and back.
constexpr char16_t kDoubleByteBase = 0x3400;

std::u16string Widen(const std::string& narrow) {
    std::u16string out;
    const CodePage& page = ActiveCodePage();
    for (size_t i = 0; i < narrow.size(); ++i) {
        unsigned char c = static_cast<unsigned char>(narrow[i]);
        if (page.IsDoubleByte() && page.IsLead(c) && i + 1 < narrow.size()) {
            unsigned char t = static_cast<unsigned char>(narrow[++i]);
            out += static_cast<char16_t>(kDoubleByteBase + (c - 0x81) * 191 + (t - 0x40));
        } else {
            out += static_cast<char16_t>(c);
        }
    }
    return out;
}

bool Narrow(const std::u16string& wide, std::string& out) {
    out.clear();
    bool exact = true;
    const CodePage& page = ActiveCodePage();
    for (char16_t c : wide) {
        if (c < 0x100 && !page.IsLead(static_cast<unsigned char>(c))) {
            out += static_cast<char>(c);
        } else if (page.IsDoubleByte() && c >= kDoubleByteBase && c < kDoubleByteBase + 126 * 191) {
            unsigned index = c - kDoubleByteBase;
            out += static_cast<char>(0x81 + index / 191);
            out += static_cast<char>(0x40 + index % 191);
        } else {
            out += '?';
            exact = false;
        }
    }
    return exact;
}

}  // namespace

uint64_t SimulatedVolume::IdOf(Node& node) const {
    // A listing reads a tagless link through to its target, as Wine's does.
    if (IsTaglessLink(node)) {
        Node* target = Target(&node, *this);
        if (target) return target->id;
    }
    return node.id;
}

bool SimulatedVolume::Describe(Node& node, DirEntry& e) const {
    const Node* shown = Shown(&node);
    if (!shown) return false;
    e.name = WideOf(node);
    e.shortName = Widen(node.alias);
    e.attributes = shown->attributes == 0 ? fs_attr::kNormal : shown->attributes;
    e.tag = (shown->attributes & fs_attr::kReparsePoint) ? shown->tag : 0;
    // A file link that now leads to a folder lists as Wine lists a Linux
    // symbolic link to a folder: a reparse point without a tag.
    if (node.fileLink && shown->IsFolder()) {
        e.attributes |= fs_attr::kReparsePoint;
        e.tag = 0;
    }
    e.id = node.fileLink ? shown->id : IdOf(node);
    e.created = shown->created;
    e.written = shown->written;
    e.size = shown->content.size();
    return true;
}

std::u16string SimulatedVolume::WideOf(const Node& node) const {
    if (!node.wide.empty()) return node.wide;
    // A look-alike's own name is something the code page lacks.
    if (node.inexact) return u"\u0174" + Widen(node.name);
    return Widen(node.name);
}

std::string SimulatedVolume::PathOf(const Node& node) const {
    if (!node.parent) return node.name;
    return PathOf(*node.parent) + "\\" + node.name;
}

bool SimulatedVolume::Remove(Node* node) {
    // Another program cannot take what a handle holds without sharing delete.
    if (!node || !node->parent || node->heldForDelete > 0) return false;
    Detach(node);
    return true;
}

std::unique_ptr<SimulatedVolume::Node> SimulatedVolume::Detach(Node* node, bool deleted) {
    auto& siblings = node->parent->children;
    auto it = std::find_if(siblings.begin(), siblings.end(), [&](auto& c) { return c.get() == node; });
    Drive& drive = DriveOf(*node);
    const Behaviour& b = drive.behaviour;
    if (b.tunnelTicks > 0) {
        // Both of its names are remembered for a while: the long one and the alias.
        for (const std::u16string& name : {WideOf(*node), Widen(node->alias)}) {
            if (name.empty()) continue;
            std::u16string upper = name;
            for (char16_t& c : upper) c = (c >= u'a' && c <= u'z') ? static_cast<char16_t>(c - u'a' + u'A') : c;
            drive.tunnels.push_back({node->parent, upper, node->created, m_clock});
        }
    }
    node->slot = -1;
    std::unique_ptr<Node> owned = std::move(*it);
    siblings.erase(it);
    if (!deleted) return owned;
    // A file lives on while it has another name; its last name frees its id,
    // as does everything inside a removed folder, which goes with it (handles
    // to it still hold it, removed).
    std::function<void(Node&)> release = [&](Node& n) {
        for (auto& c : n.children) {
            release(*c);
            c->removed = true;
            m_removed.push_back(std::move(c));
        }
        n.children.clear();
        if (n.names) {
            n.names->erase(std::remove(n.names->begin(), n.names->end(), &n), n.names->end());
            if (!n.names->empty()) return;
        }
        if (b.ids == Behaviour::Ids::kReused || (b.ids == Behaviour::Ids::kPositions && n.IsFolder()))
            drive.freedIds.push_back(n.id);
    };
    release(*node);
    node->removed = true;
    m_removed.push_back(std::move(owned));
    return nullptr;
}

SimulatedVolume::Node* SimulatedVolume::Move(Node* node, const std::string& newPath) {
    std::string rest = newPath;
    size_t cut = rest.rfind('\\');
    Node* folder = Find(rest.substr(0, cut));
    if (!folder || !node->parent || node->heldForDelete > 0) return nullptr;
    std::unique_ptr<Node> owned = Detach(node, false);
    owned->name = rest.substr(cut + 1);
    owned->wide.clear();
    owned->inexact = false;
    folder->children.push_back(std::move(owned));
    Attach(node, folder);
    return node;
}

std::unique_ptr<::Node> SimulatedVolume::OpenVolumeRoot(const WideName& root, uint32_t& error) {
    if (beforeHandleCall) beforeHandleCall("OpenVolumeRoot", nullptr);
    if (root.size() > 2 && root[0] == u'\\' && root[1] == u'\\') {
        WideName key = root;
        for (char16_t& c : key) c = FoldW(c);
        const auto share = m_shares.find(key);
        if (share == m_shares.end()) {
            error = 67;  // ERROR_BAD_NET_NAME
            return nullptr;
        }
        return std::make_unique<SimHandle>(share->second, false);
    }
    if (root.size() != 2 || root[1] != u':' || !m_drives.count(Upper(static_cast<char>(root[0])))) {
        error = fs_error::kPathNotFound;
        return nullptr;
    }
    return std::make_unique<SimHandle>(m_drives[Upper(static_cast<char>(root[0]))].root.get(), false);
}

void SimulatedVolume::AddShare(const std::string& unc, const std::string& path) {
    WideName key = Widen(unc);
    for (char16_t& c : key) c = FoldW(c);
    m_shares[key] = Find(path);
}

std::unique_ptr<::Node> SimulatedVolume::OpenChild(::Node& folder, const WideName& name, OpenFor mode,
                                                   uint32_t& error) {
    Node* at = NodeOf(folder);
    if (beforeHandleCall) beforeHandleCall("OpenChild", at);
    if (at->removed || !at->IsFolder()) {
        error = at->removed ? fs_error::kFileNotFound : fs_error::kPathNotFound;
        return nullptr;
    }
    Node* found = nullptr;
    // As the system matches: without regard to case, and by alias.
    for (auto& c : at->children) {
        if (EqualsIgnoreCaseW(WideOf(*c), name) || (!c->alias.empty() && EqualsIgnoreCaseW(Widen(c->alias), name))) {
            found = c.get();
            break;
        }
    }
    if (!found) {
        error = fs_error::kFileNotFound;
        return nullptr;
    }
    // A link without a tag is opened as its target whatever is asked, as Wine
    // opens a Linux symbolic link: only the listing shows what it is. A file
    // link does not even show there.
    if (found->fileLink) {
        found = Shown(found);
        if (!found) {
            error = fs_error::kFileNotFound;
            return nullptr;
        }
    } else if (mode == OpenFor::kFollow || IsTaglessLink(*found)) {
        found = Target(found, *this);
        if (!found) {
            error = fs_error::kPathNotFound;
            return nullptr;
        }
    }
    if (mode == OpenFor::kDelete && found->lockedOpen) {
        error = fs_error::kSharingViolation;
        return nullptr;
    }
    return std::make_unique<SimHandle>(found, mode == OpenFor::kDelete);
}

bool SimulatedVolume::Query(::Node& handle, NodeInfo& info, uint32_t& error) {
    Node* node = NodeOf(handle);
    if (beforeHandleCall) beforeHandleCall("Query", node);
    (void)error;
    info.attributes = node->attributes == 0 ? fs_attr::kNormal : node->attributes;
    info.tag = (node->attributes & fs_attr::kReparsePoint) ? node->tag : 0;
    info.id = node->id;
    info.created = node->created;
    info.written = node->written;
    info.size = node->content.size();
    return true;
}

bool SimulatedVolume::PathOnVolume(::Node& handle, WideName& path, uint32_t& error) {
    Node* node = NodeOf(handle);
    if (beforeHandleCall) beforeHandleCall("PathOnVolume", node);
    (void)error;
    path.clear();
    const bool trimmed = DriveOf(*node).behaviour.pathsDropTrailingDots;
    for (const Node* at = node; at && at->parent; at = at->parent) {
        std::u16string name = WideOf(*at);
        while (trimmed && !name.empty() && (name.back() == u'.' || name.back() == u' ')) name.pop_back();
        path = u"\\" + name + path;
    }
    if (path.empty()) path = u"\\";
    return true;
}

bool SimulatedVolume::LinkCount(::Node& handle, uint32_t& links, uint32_t& error) {
    Node* node = NodeOf(handle);
    (void)error;
    links = node->names ? static_cast<uint32_t>(node->names->size()) : (node->removed ? 0u : 1u);
    return true;
}

bool SimulatedVolume::CurrentFolder(char16_t drive, WideName& path, uint32_t& error) {
    if (drive == 0) {
        path = currentFolder;
        return !path.empty() || (error = fs_error::kPathNotFound, false);
    }
    const auto known = currentFolders.find(static_cast<char>(drive));
    path = known != currentFolders.end() ? known->second : WideName(1, drive) + u":\\";
    return true;
}

bool SimulatedVolume::ListFolder(::Node& handle, std::vector<DirEntry>& entries, uint32_t& error) {
    Node* folder = NodeOf(handle);
    if (beforeHandleCall) beforeHandleCall("ListFolder", folder);
    // Seen by hooks on listings as the pattern a path listing of it would take.
    if (beforeFindFirst) beforeFindFirst("\\\\?\\" + PathOf(*folder) + "\\*");
    entries.clear();
    if (!folder->IsFolder()) {
        error = fs_error::kNotADirectory;
        return false;
    }
    if (folder->openError) {
        error = folder->openError;
        return false;
    }
    bool isLink = (folder->attributes & fs_attr::kReparsePoint) && !folder->linkTarget.empty();
    if (isLink) return true;  // a link opened as itself holds nothing
    size_t count = 0;
    // failAfter counts "." and ".." as the path listing does.
    const int dots = folder->parent ? 2 : 0;
    for (const auto& c : folder->children) {
        if (folder->failAfter >= 0 && static_cast<int>(count) + dots >= folder->failAfter) {
            error = folder->failError;
            return false;
        }
        DirEntry e;
        if (!Describe(*c, e)) continue;  // a file link that leads nowhere is not listed
        entries.push_back(std::move(e));
        ++count;
    }
    if (folder->failAfter >= 0) {
        error = folder->failError;
        return false;
    }
    return true;
}

bool SimulatedVolume::LookUp(::Node& handle, const WideName& name, DirEntry& entry, uint32_t& error) {
    Node* folder = NodeOf(handle);
    if (beforeHandleCall) beforeHandleCall("LookUp", folder);
    if (folder->removed || !folder->IsFolder()) {
        error = fs_error::kPathNotFound;
        return false;
    }
    for (const auto& c : folder->children) {
        if ((EqualsIgnoreCaseW(WideOf(*c), name) || (!c->alias.empty() && EqualsIgnoreCaseW(Widen(c->alias), name))) &&
            Describe(*c, entry))
            return true;
    }
    error = fs_error::kFileNotFound;
    return false;
}

bool SimulatedVolume::SetAttributesOf(::Node& handle, uint32_t attributes, uint32_t& error) {
    Node* node = NodeOf(handle);
    if (beforeHandleCall) beforeHandleCall("SetAttributesOf", node);
    (void)error;
    uint32_t kept = node->attributes & (fs_attr::kDirectory | fs_attr::kReparsePoint);
    node->attributes = kept | (attributes & ~fs_attr::kNormal & ~kept);
    // The attributes are the file's: every name of it shows them.
    if (node->names)
        for (Node* name : *node->names) name->attributes = node->attributes;
    return true;
}

bool SimulatedVolume::DeleteOpen(::Node& handle, uint32_t& error) {
    Node* node = NodeOf(handle);
    if (beforeHandleCall) beforeHandleCall("DeleteOpen", node);
    removals.push_back("\\\\?\\" + PathOf(*node));
    if (!static_cast<SimHandle&>(handle).deleteAccess || !node->parent || node->removed) {
        error = fs_error::kAccessDenied;
        return false;
    }
    if ((node->attributes & fs_attr::kReadOnly) && !DriveOf(*node).behaviour.deleteIgnoresReadOnly) {
        error = fs_error::kAccessDenied;
        return false;
    }
    bool isLink = (node->attributes & fs_attr::kReparsePoint) && !node->linkTarget.empty();
    if (node->IsFolder() && !isLink && !node->children.empty()) {
        error = fs_error::kDirNotEmpty;
        return false;
    }
    Detach(node);
    return true;
}

bool SimulatedVolume::RenameOpen(::Node& handle, ::Node& folderHandle, const WideName& newName, uint32_t& error) {
    Node* node = NodeOf(handle);
    Node* folder = NodeOf(folderHandle);
    if (beforeHandleCall) beforeHandleCall("RenameOpen", node);
    // Relative to another folder than its own, the entry moves there.
    if (!static_cast<SimHandle&>(handle).deleteAccess || node->removed || folder->removed || !folder->IsFolder()) {
        error = fs_error::kAccessDenied;
        return false;
    }
    if (node->lockedOpen) {
        error = fs_error::kSharingViolation;
        return false;
    }
    for (const auto& c : folder->children) {
        if (c.get() == node) continue;
        if (EqualsIgnoreCaseW(WideOf(*c), newName) ||
            (!c->alias.empty() && EqualsIgnoreCaseW(Widen(c->alias), newName))) {
            error = fs_error::kAlreadyExists;
            return false;
        }
    }
    std::unique_ptr<Node> owned = Detach(node, false);
    std::string narrow;
    if (Narrow(newName, narrow)) {
        node->name = narrow;
        node->wide.clear();
        node->inexact = false;
    } else {
        node->name = narrow;  // the look-alike
        node->wide = newName;
        node->inexact = true;
    }
    folder->children.push_back(std::move(owned));
    Attach(node, folder);
    return true;
}

bool SimulatedVolume::ReadOpen(::Node& handle, void* buffer, uint32_t size, uint32_t& read, uint32_t& error) {
    Node* node = NodeOf(handle);
    if (beforeHandleCall) beforeHandleCall("ReadOpen", node);
    if (node->IsFolder()) {
        error = fs_error::kAccessDenied;
        return false;
    }
    read = static_cast<uint32_t>(std::min<size_t>(size, node->content.size()));
    std::memcpy(buffer, node->content.data(), read);
    return true;
}

bool SimulatedVolume::ToAnsi(const WideName& name, std::string& ansi) { return Narrow(name, ansi); }

bool SimulatedVolume::ToWide(const std::string& ansi, WideName& name) {
    name = Widen(ansi);
    return true;
}

namespace {

char16_t LowerAscii(char16_t c) { return (c >= u'A' && c <= u'Z') ? static_cast<char16_t>(c - u'A' + u'a') : c; }

std::u16string LowerAscii(std::u16string_view s) {
    std::u16string out(s);
    for (char16_t& c : out) c = LowerAscii(c);
    return out;
}

bool EndsInDotOrBlankW(std::u16string_view s) { return !s.empty() && (s.back() == u'.' || s.back() == u' '); }

// The device a plain path takes the last component for under Windows 10.
bool NamesDeviceUnder10(std::u16string_view name) {
    std::u16string stem = LowerAscii(name.substr(0, name.find(u'.')));
    while (!stem.empty() && stem.back() == u' ') stem.pop_back();
    if (stem == u"aux" || stem == u"con" || stem == u"nul" || stem == u"prn" || stem == u"conin$" || stem == u"conout$")
        return true;
    if (stem.size() != 4 || !(stem.compare(0, 3, u"com") == 0 || stem.compare(0, 3, u"lpt") == 0)) return false;
    const char16_t digit = stem[3];
    return (digit >= u'1' && digit <= u'9') || digit == 0xB9 || digit == 0xB2 || digit == 0xB3;
}

}  // namespace

bool SimulatedVolume::PlainPathReaches(const WideName& folderPath, const WideName& name) {
    if (folderPath.empty() || name.empty()) return false;
    for (char16_t c : name)
        if (c < 32 || std::u16string_view(u"<>:\"|?*/\\").find(c) != std::u16string_view::npos) return false;
    // Every component of a plain path here loses its trailing dots and blanks.
    for (size_t at = 0; at <= folderPath.size();) {
        size_t end = folderPath.find(u'\\', at);
        if (end == WideName::npos) end = folderPath.size();
        if (EndsInDotOrBlankW(std::u16string_view(folderPath).substr(at, end - at))) return false;
        at = end + 1;
    }
    if (EndsInDotOrBlankW(name)) return false;
    if (plainPathRules == PlainPathRules::kWindows11) return LowerAscii(name) != u"nul";
    return !NamesDeviceUnder10(name);
}
