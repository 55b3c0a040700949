#include "SimulatedVolume.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

#include "Names.h"
#include "PathText.h"

struct SimulatedVolume::Parsed {
    enum Kind { Plain, Device, Verbatim } kind = Plain;
    char drive = 0;
    std::vector<std::string> parts;  // after the drive
    bool bareDrive = false;          // "\\.\X:" with nothing after, not even "\"
};

namespace {

char Upper(char c) { return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c; }

bool HasWildcard(const std::string& s) { return s.find_first_of("*?") != std::string::npos; }

// Case-insensitive match of "*" and "?" against a name.
bool WildcardMatch(const char* p, const char* s) {
    const char* star = nullptr;
    const char* resume = nullptr;
    while (*s) {
        if (*p == '*') {
            star = p++;
            resume = s;
        } else if (*p == '?' || (*p && Upper(*p) == Upper(*s))) {
            ++p;
            ++s;
        } else if (star) {
            p = star + 1;
            s = ++resume;
        } else {
            return false;
        }
    }
    while (*p == '*') ++p;
    return *p == '\0';
}

std::string StripTrailingDotsAndBlanks(std::string s) {
    while (!s.empty() && EndsInDotOrBlank(s)) s.pop_back();
    return s;
}

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
            made->parent = node;
            made->id = m_nextId++;
            made->attributes = last ? attributes : fs_attr::kDirectory;
            if (last && alias != "\x01")
                made->alias = alias;
            else if (drive->second.shortNames && !IsValidShortName(name))
                made->alias = MakeAlias(*node, name);
            child = made.get();
            node->children.push_back(std::move(made));
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

bool SimulatedVolume::Parse(const std::string& path, Parsed& out, uint32_t& error) const {
    std::string rest = path;
    if (path.compare(0, 4, "\\\\?\\") == 0) {
        out.kind = Parsed::Verbatim;
        rest = path.substr(4);
    } else if (path.compare(0, 4, "\\\\.\\") == 0) {
        out.kind = Parsed::Device;
        rest = path.substr(4);
    }
    std::vector<std::string_view> parts = SplitPathComponents(rest);
    // "D:name" is relative to the drive's current folder, which here is its root.
    if (out.kind == Parsed::Plain && !parts.empty() && parts[0].size() > 2 && parts[0][1] == ':' &&
        !IsAnsiLeadByte(static_cast<unsigned char>(parts[0][0]))) {
        std::string_view first = parts[0];
        parts[0] = first.substr(2);
        parts.insert(parts.begin(), first.substr(0, 2));
    }
    if (parts.empty() || parts[0].size() != 2 || parts[0][1] != ':' || !m_drives.count(Upper(parts[0][0]))) {
        error = fs_error::kPathNotFound;
        return false;
    }
    out.drive = Upper(parts[0][0]);
    out.bareDrive = out.kind != Parsed::Plain && rest.size() == 2;
    for (size_t i = 1; i < parts.size(); ++i) {
        std::string part(parts[i]);
        if (out.kind == Parsed::Verbatim) {
            out.parts.push_back(part);
            continue;
        }
        // Win32 normalisation of plain and "\\.\" paths.
        if (part == ".") continue;
        if (part == "..") {
            if (!out.parts.empty()) out.parts.pop_back();
            continue;
        }
        if (!HasWildcard(part)) part = StripTrailingDotsAndBlanks(part);
        if (!part.empty()) out.parts.push_back(part);
    }
    return true;
}

SimulatedVolume::Node* SimulatedVolume::Target(Node* node, const SimulatedVolume& volume) {
    for (int hops = 0; node && (node->attributes & fs_attr::kReparsePoint) && !node->linkTarget.empty(); ++hops) {
        if (hops == 8) return nullptr;
        node = volume.Find(node->linkTarget);
    }
    return node;
}

SimulatedVolume::Node* SimulatedVolume::Walk(Drive& drive, const std::vector<std::string>& parts, size_t count,
                                             bool followLast, uint32_t& error) const {
    Node* node = drive.root.get();
    for (size_t i = 0; i < count; ++i) {
        node = Target(node, *this);
        if (!node || !node->IsFolder()) {
            error = fs_error::kPathNotFound;
            return nullptr;
        }
        Node* next = nullptr;
        for (auto& c : node->children)
            if ((!c->inexact && EqualsIgnoreCase(c->name, parts[i])) ||
                (!c->alias.empty() && EqualsIgnoreCase(c->alias, parts[i]))) {
                next = c.get();
                break;
            }
        if (!next) {
            error = i + 1 == count ? fs_error::kFileNotFound : fs_error::kPathNotFound;
            return nullptr;
        }
        node = next;
    }
    return followLast ? Target(node, *this) : node;
}

SimulatedVolume::Node* SimulatedVolume::Resolve(const std::string& path, bool followLast, uint32_t& error,
                                                bool* isDevice) {
    Parsed p;
    if (!Parse(path, p, error)) return nullptr;
    if (p.kind == Parsed::Plain && !p.parts.empty() && IsReservedDeviceName(p.parts.back().c_str())) {
        if (isDevice) *isDevice = true;
        error = fs_error::kAccessDenied;
        return nullptr;
    }
    if (p.bareDrive) {
        error = fs_error::kInvalidParameter;
        return nullptr;
    }
    return Walk(m_drives[p.drive], p.parts, p.parts.size(), followLast, error);
}

namespace {

class SimListing final : public Listing {
public:
    SimListing(std::vector<FindData> entries, int failAfter, uint32_t failError)
        : m_entries(std::move(entries)), m_failAfter(failAfter), m_failError(failError) {}

    bool Next(FindData& entry, uint32_t& error) override {
        if (m_failAfter >= 0 && m_next >= static_cast<size_t>(m_failAfter)) {
            error = m_failError;
            return false;
        }
        if (m_next >= m_entries.size()) {
            error = fs_error::kNoMoreFiles;
            return false;
        }
        entry = m_entries[m_next++];
        return true;
    }

    bool First(FindData& entry) {
        if (m_entries.empty()) return false;
        entry = m_entries[m_next++];
        return true;
    }

private:
    std::vector<FindData> m_entries;
    size_t m_next = 0;
    int m_failAfter;
    uint32_t m_failError;
};

FindData EntryOf(const std::string& name, const SimulatedVolume::Node& node) {
    FindData d;
    d.attributes = node.attributes == 0 ? fs_attr::kNormal : node.attributes;
    d.reserved0 = (node.attributes & fs_attr::kReparsePoint) ? node.tag : 0;
    std::snprintf(d.name, sizeof d.name, "%s", name.c_str());
    std::snprintf(d.shortName, sizeof d.shortName, "%s", node.alias.c_str());
    d.inexact = node.inexact;
    return d;
}

}  // namespace

std::unique_ptr<Listing> SimulatedVolume::FindFirst(const char* pattern, FindData& first, uint32_t& error) {
    if (beforeFindFirst) beforeFindFirst(pattern);
    Parsed p;
    if (!Parse(pattern, p, error)) return nullptr;
    if (p.parts.empty()) {
        error = fs_error::kFileNotFound;
        return nullptr;
    }
    std::string last = p.parts.back();
    Node* folder = Walk(m_drives[p.drive], p.parts, p.parts.size() - 1, true, error);
    if (!folder || !folder->IsFolder()) {
        if (folder) error = fs_error::kPathNotFound;
        return nullptr;
    }

    std::vector<FindData> entries;
    if (!HasWildcard(last)) {
        Node* self = Walk(m_drives[p.drive], p.parts, p.parts.size(), false, error);
        if (!self) return nullptr;
        entries.push_back(EntryOf(self->name, *self));
    } else {
        if (folder->openError) {
            error = folder->openError;
            return nullptr;
        }
        if (folder->parent) {
            for (const char* dot : {".", ".."})
                if (WildcardMatch(last.c_str(), dot)) entries.push_back(EntryOf(dot, *folder));
        }
        for (const auto& c : folder->children)
            if ((!c->inexact && WildcardMatch(last.c_str(), c->name.c_str())) || last == "*" ||
                (!c->alias.empty() && WildcardMatch(last.c_str(), c->alias.c_str())))
                entries.push_back(EntryOf(c->name, *c));
    }
    auto listing = std::make_unique<SimListing>(std::move(entries), folder->failAfter, folder->failError);
    if (!listing->First(first)) {
        error = fs_error::kFileNotFound;
        return nullptr;
    }
    return listing;
}

uint32_t SimulatedVolume::GetAttributes(const char* path) {
    Parsed p;
    uint32_t error = 0;
    if (!Parse(path, p, error)) return fs_attr::kInvalid;
    if (p.kind == Parsed::Device && p.parts.empty() && !m_drives[p.drive].deviceRootAnswers) return fs_attr::kInvalid;
    bool device = false;
    Node* node = Resolve(path, false, error, &device);
    if (device) return fs_attr::kArchive;  // the device answers, not the file
    if (!node) return fs_attr::kInvalid;
    return node->attributes == 0 ? fs_attr::kNormal : node->attributes;
}

bool SimulatedVolume::SetAttributes(const char* path, uint32_t attributes) {
    uint32_t error = 0;
    Node* node = Resolve(path, false, error);
    if (!node) return false;
    uint32_t kept = node->attributes & (fs_attr::kDirectory | fs_attr::kReparsePoint);
    node->attributes = kept | (attributes & ~fs_attr::kNormal & ~kept);
    return true;
}

bool SimulatedVolume::RemoveFile(const char* path, uint32_t& error) {
    removals.push_back(path);
    Node* node = Resolve(path, false, error);
    if (!node) return false;
    if (!node->parent || node->IsFolder() || (node->attributes & fs_attr::kReadOnly)) {
        error = fs_error::kAccessDenied;
        return false;
    }
    if (node->lockedOpen) {
        error = fs_error::kSharingViolation;
        return false;
    }
    auto& siblings = node->parent->children;
    siblings.erase(std::find_if(siblings.begin(), siblings.end(), [&](auto& c) { return c.get() == node; }));
    return true;
}

bool SimulatedVolume::RemoveFolder(const char* path, uint32_t& error) {
    removals.push_back(path);
    Node* node = Resolve(path, false, error);
    if (!node) return false;
    if (!node->IsFolder()) {
        error = 267;  // ERROR_DIRECTORY
        return false;
    }
    if (!node->parent || (node->attributes & fs_attr::kReadOnly)) {
        error = fs_error::kAccessDenied;
        return false;
    }
    if (node->lockedOpen) {
        error = fs_error::kSharingViolation;
        return false;
    }
    bool isLink = (node->attributes & fs_attr::kReparsePoint) && !node->linkTarget.empty();
    if (!isLink && !node->children.empty()) {
        error = fs_error::kDirNotEmpty;
        return false;
    }
    auto& siblings = node->parent->children;
    siblings.erase(std::find_if(siblings.begin(), siblings.end(), [&](auto& c) { return c.get() == node; }));
    return true;
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

void SimulatedVolume::Detach(Node* node) {
    auto& siblings = node->parent->children;
    auto it = std::find_if(siblings.begin(), siblings.end(), [&](auto& c) { return c.get() == node; });
    node->removed = true;
    m_removed.push_back(std::move(*it));
    siblings.erase(it);
}

SimulatedVolume::Node* SimulatedVolume::Move(Node* node, const std::string& newPath) {
    std::string rest = newPath;
    size_t cut = rest.rfind('\\');
    Node* folder = Find(rest.substr(0, cut));
    if (!folder || !node->parent || node->heldForDelete > 0) return nullptr;
    auto& siblings = node->parent->children;
    auto it = std::find_if(siblings.begin(), siblings.end(), [&](auto& c) { return c.get() == node; });
    std::unique_ptr<Node> owned = std::move(*it);
    siblings.erase(it);
    owned->name = rest.substr(cut + 1);
    owned->wide.clear();
    owned->parent = folder;
    folder->children.push_back(std::move(owned));
    return node;
}

std::unique_ptr<::Node> SimulatedVolume::OpenVolumeRoot(const WideName& root, uint32_t& error) {
    if (beforeHandleCall) beforeHandleCall("OpenVolumeRoot", nullptr);
    if (root.size() != 2 || root[1] != u':' || !m_drives.count(Upper(static_cast<char>(root[0])))) {
        error = fs_error::kPathNotFound;
        return nullptr;
    }
    return std::make_unique<SimHandle>(m_drives[Upper(static_cast<char>(root[0]))].root.get(), false);
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
    // opens a Linux symbolic link: only the listing shows what it is.
    if (mode == OpenFor::kFollow || IsTaglessLink(*found)) {
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
        e.name = WideOf(*c);
        e.shortName = Widen(c->alias);
        e.attributes = c->attributes == 0 ? fs_attr::kNormal : c->attributes;
        e.tag = (c->attributes & fs_attr::kReparsePoint) ? c->tag : 0;
        e.id = IdOf(*c);
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
        if (EqualsIgnoreCaseW(WideOf(*c), name) || (!c->alias.empty() && EqualsIgnoreCaseW(Widen(c->alias), name))) {
            entry.name = WideOf(*c);
            entry.shortName = Widen(c->alias);
            entry.attributes = c->attributes == 0 ? fs_attr::kNormal : c->attributes;
            entry.tag = (c->attributes & fs_attr::kReparsePoint) ? c->tag : 0;
            entry.id = IdOf(*c);
            return true;
        }
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
    if (node->attributes & fs_attr::kReadOnly) {
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
    if (!static_cast<SimHandle&>(handle).deleteAccess || node->removed || node->parent != folder) {
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
