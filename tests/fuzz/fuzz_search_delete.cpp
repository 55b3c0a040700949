// The whole promise on a simulated volume built from the input: a search from
// a root written any way a user writes it (a drive path in every form, a
// share, a relative or drive-relative path, a pattern) lists exactly what an
// independent walk of the model lists, and deleting or renaming the rows
// changes nothing but the listed entries and what is inside listed folders,
// under each code page, with aliases on, off or shared, links, hard links,
// file links that list as files, read-only and held-open entries, and ids and
// creation times as NTFS, FAT and ext4 under Wine give them.
#include <algorithm>
#include <functional>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "Delete.h"
#include "FuzzInput.h"
#include "Names.h"
#include "PathText.h"
#include "ExactText.h"
#include "Scan.h"
#include "ScanText.h"
#include "SimulatedVolume.h"

namespace {

using SimNode = SimulatedVolume::Node;

struct Collector : RowSink {
    std::vector<ResultRow> rows;
    void AppendRow(const ResultRow& row) override { rows.push_back(row); }
};

struct Page {
    unsigned number;
    const char* pieces[2];  // two characters of the page, one ending in 5C or a GBK lead byte
};
const Page kPages[] = {
    {936, {"\xD5\x5C", "\xB1\xA8"}},
    {932, {"\x83\x5C", "\xB6"}},
    {1252, {"\xE9", "\xFC"}},
};

std::string Name(FuzzInput& in, const Page& page) {
    static const char* const common[] = {
        "a",   "A", ".",    " ",  "con",    "nul",       "com1", "lpt0",
        "dir", "x", ".txt", "~1", "report", "LONG NAME", "...",  "a folder name long enough to pass 260 soon",
        "\t",  "\n"};
    constexpr size_t n = sizeof common / sizeof common[0];
    std::string name;
    int count = 1 + in.Byte() % 3;
    for (int i = 0; i < count; ++i) {
        uint8_t pick = in.Byte() % (n + 2);
        name += pick < n ? common[pick] : page.pieces[pick - n];
    }
    return name;
}

char Flip(char c) {
    if (c >= 'a' && c <= 'z') return static_cast<char>(c - 'a' + 'A');
    if (c >= 'A' && c <= 'Z') return static_cast<char>(c - 'A' + 'a');
    return c;
}

// The root as a user might write it: case, trailing "\", "\\?\", "\\.\", "." and "..".
std::string WriteRoot(FuzzInput& in, const std::string& literal) {
    uint8_t how = in.Byte();
    std::vector<std::string_view> parts = SplitPathComponents(literal);
    std::string out;
    bool verbatim = how & 1;
    if (verbatim)
        out = "\\\\?\\";
    else if (how & 32)
        out = "\\\\.\\";
    for (size_t i = 0; i < parts.size(); ++i) {
        if (i > 0) out += '\\';
        std::string part(parts[i]);
        if (how & 2) {
            // Case of ASCII letters, byte by byte where they are whole characters.
            for (size_t j = 0; j < part.size(); j += CharLengthAt(part, j))
                if (CharLengthAt(part, j) == 1 && (i == 0 || (in.Byte() & 1))) part[j] = Flip(part[j]);
        }
        out += part;
        if (!verbatim && (how & 4) && i + 1 < parts.size() && (in.Byte() & 3) == 0) out += "\\.";
        if (!verbatim && (how & 8) && i > 0 && i + 1 < parts.size() && (in.Byte() & 3) == 0) out += "\\zz\\..";
    }
    if (how & 16) out += '\\';
    return out;
}

bool Inside(const std::string& p, const std::string& folder) {
    return p.size() > folder.size() && p.compare(0, folder.size(), folder) == 0 && p[folder.size()] == '\\';
}

// How the root is typed, and how its rows then begin.
struct TypedRoot {
    std::string typed;
    std::string shown;     // the root folder's path as rows show it (drive normalised to "D:")
    std::string shareTop;  // the folder a share leads to, when typed as one
    std::u16string pattern;
};

TypedRoot WriteAnyRoot(FuzzInput& in, SimulatedVolume& v, const std::string& literal) {
    TypedRoot root;
    root.shown = literal;
    std::vector<std::string_view> parts = SplitPathComponents(literal);
    const uint8_t form = in.Byte();
    // Where a share or a current folder ends: after the drive and k - 1
    // names (a share leads to a folder, not to a drive).
    const bool share = form % 7 == 2 || form % 7 == 3;
    size_t k = 1 + in.Byte() % parts.size();
    if (share && k < 2) k = 2;
    std::string head(parts[0]);
    for (size_t i = 1; i < k; ++i) head += "\\" + std::string(parts[i]);
    std::string rest;
    for (size_t i = k; i < parts.size(); ++i) rest += (rest.empty() ? "" : "\\") + std::string(parts[i]);
    std::u16string wideHead;
    v.ToWide(head.size() == 2 ? head + "\\" : head, wideHead);
    switch (form % 7) {
    case 0:
    case 1: root.typed = WriteRoot(in, literal); break;
    case 2:  // a share whose top is a folder on the way
    case 3: {
        v.AddShare("\\\\srv\\share", head);
        root.shareTop = head;
        const std::string volume = (form % 7) == 2 ? "\\\\srv\\share" : "\\\\?\\UNC\\srv\\share";
        root.typed = volume + (rest.empty() ? "" : "\\" + rest);
        root.shown = "\\\\srv\\share" + (rest.empty() ? "" : "\\" + rest);
        break;
    }
    case 4:  // relative to the current folder
        v.currentFolder = wideHead;
        root.typed = rest.empty() ? "." : rest;
        break;
    case 5:  // relative to the drive's current folder
        v.currentFolders['D'] = wideHead;
        root.typed = "D:" + (rest.empty() ? std::string(".") : rest);
        break;
    default:  // from the top of the current folder's drive
        v.currentFolder = u"D:\\elsewhere";
        root.typed = literal.substr(2);
        if (root.typed.empty()) root.typed = "\\";
        break;
    }
    if (in.Byte() % 4 == 0) {
        static const char16_t* const patterns[] = {u"*", u"*.*", u"?*", u"c*", u"*.", u"*~1*", u"N?L", u"*a*"};
        root.pattern = patterns[in.Byte() % 8];
        if (!EndsWithChar(root.typed, '\\')) root.typed += '\\';  // a trail byte 5C is no separator
        root.typed += std::string(root.pattern.begin(), root.pattern.end());
    }
    return root;
}

bool MatchesPattern(const std::u16string& pattern, const SimulatedVolume& v, const SimNode& n) {
    if (pattern.empty() || pattern == u"*" || pattern == u"*.*") return true;
    std::u16string alias;
    for (char c : n.alias) alias += static_cast<char16_t>(static_cast<unsigned char>(c));
    return MatchesGlob(pattern, v.WideOf(n)) || (!alias.empty() && MatchesGlob(pattern, alias));
}

// The entries the search listed, as the model's nodes, one per row.
struct Listed {
    std::vector<SimNode*> rows;
    std::vector<SimNode*> parents;  // where each was at the search
    std::set<const SimNode*> all;
    // Whether n is a listed entry or inside a listed folder now.
    bool Covers(const SimNode* n) const {
        for (; n; n = n->parent)
            if (all.count(n)) return true;
        return false;
    }
};

void EveryNode(SimNode& n, const std::function<void(SimNode&)>& visit) {
    for (auto& c : n.children) {
        visit(*c);
        EveryNode(*c, visit);
    }
}

// A row as it leaves the program — a text row, its fields quoted where they
// must be, or a JSON row with the entry's identity — read back as --from
// reads it, and deleted by what the path names now, as --from deletes it.
// What comes back must be the very path; a JSON row acts only on the entry it
// was listed as. False when nothing was deleted.
bool DeleteThroughRow(SimulatedVolume& v, const ResultRow& r, bool json) {
    const std::u16string path = WidePathOf(*r.entry), name = r.wideName;
    const auto field = [](const std::u16string& text) { return NeedsQuoting(text) ? QuotedField(text) : Wtf8Of(text); };
    const EntryRef& e = *r.entry;
    const std::string line =
        json ? WithIdentity(JsonRow(Wtf8Of(path), Wtf8Of(name), e.isFolder, r.attribute, kOutcomeListed), e.id,
                            e.created, e.written, e.size)
             : RowLine(field(path), field(name), e.isFolder, r.attribute);
    // A name never splits its row: the line read back is one path, the same units.
    const std::vector<ListedPath> items = ReadPathList(line + "\r\n", true);
    FUZZ_CHECK(items.size() == 1);
    FUZZ_CHECK(!items[0].unreadable && items[0].hasIdentity == json);
    std::u16string back;
    FUZZ_CHECK(Utf16OfWtf8(items[0].text, back));
    FUZZ_CHECK(back == path);
    EntryPtr now;
    std::string longPath;
    NodeInfo info;
    uint32_t error = 0;
    if (!ResolveWidePath(v, back, true, now, longPath, info, error) || !now->parent) return false;
    if (json) {
        Identity was;
        was.id = items[0].id;
        was.created = items[0].created;
        was.written = items[0].written;
        was.size = items[0].size;
        if (!SameEntry(was, info, now->isFolder)) return false;
    }
    EntrySession session(v);
    return session.Delete(*now).ok;
}

// Deletes or renames each row as the input says, with another program
// changing the disk when change says so, and checks the one promise: every
// call that removes, renames or changes the attributes of an entry acts on a
// listed entry or on what is inside a listed folder; an unlisted entry keeps
// its attributes (a hard link's read-only bit included); a row reported
// deleted is gone, one reported renamed is where it was, under its new name.
void ActOnRows(SimulatedVolume& v, const std::vector<ResultRow>& rows, const Listed& listed, FuzzInput& in, bool racing,
               const std::function<void()>& tick) {
    std::map<const SimNode*, uint32_t> unlisted;
    EveryNode(*v.Find("D:"), [&](SimNode& n) {
        if (!listed.Covers(&n)) unlisted[&n] = n.attributes;
    });
    const bool renames = in.Byte() % 4 == 0;
    v.beforeHandleCall = [&](const char* call, SimNode* at) {
        tick();
        const std::string c = call;
        if (c == "DeleteOpen" || c == "SetAttributesOf") FUZZ_CHECK(listed.Covers(at));
        if (c == "RenameOpen") FUZZ_CHECK(listed.all.count(at) != 0);
    };
    DeleteSession session(v);
    EntrySession entries(v);
    for (size_t i = 0; i < rows.size(); ++i) {
        const ResultRow& r = rows[i];
        const uint8_t how = in.Byte();
        if (renames && (how & 4)) {
            WideName now;
            if (entries.Rename(*r.entry, now).ok) {
                FUZZ_CHECK(listed.rows[i]->parent == listed.parents[i]);
                FUZZ_CHECK(v.WideOf(*listed.rows[i]) == now);
            }
            continue;
        }
        bool ok;
        // A text row names a path, not an entry: it goes back only where
        // nothing changes. A JSON row goes back whatever happens.
        if ((how & 8) && (!racing || (how & 16))) {
            if (DeleteThroughRow(v, r, (how & 16) != 0)) FUZZ_CHECK(listed.rows[i]->removed);
            continue;
        }
        if ((how & 1) || racing)
            ok = session.Delete(r).ok;
        else if (!r.path.empty())
            ok = (how & 2) ? session.DeleteListedPath(r.path) : DeleteListedPath(v, r.path);
        else
            continue;
        if (ok && ((how & 1) || racing)) FUZZ_CHECK(listed.rows[i]->removed);
    }
    v.beforeHandleCall = nullptr;
    EveryNode(*v.Find("D:"), [&](SimNode& n) {
        auto was = unlisted.find(&n);
        if (was != unlisted.end()) FUZZ_CHECK(n.attributes == was->second);
    });
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    FuzzInput in(data, size);
    uint8_t setup = in.Byte();
    uint8_t model = in.Byte();
    const Page& page = kPages[(setup >> 3) % 3];
    SimulatedVolume v(page.number);
    v.AddDrive('D', setup & 1, (setup & 2) != 0);
    // NTFS (ids never reused, names tunnelled), ext4 under Wine (the freed
    // inode handed on), FAT (positions and clusters, names tunnelled).
    using Ids = SimulatedVolume::Behaviour::Ids;
    const Ids ids[] = {Ids::kUnique, Ids::kReused, Ids::kPositions, Ids::kUnique};
    SimulatedVolume::Behaviour& behaviour = v.BehaviourOf('D');
    behaviour.ids = ids[model % 4];
    behaviour.tunnelTicks = (model % 4 == 0 || model % 4 == 2) ? 1 + (model >> 4) % 8 : 0;
    behaviour.deleteIgnoresReadOnly = (model & 4) != 0;
    bool shareAliases = (setup & 1) && (setup & 4);
    v.AddFolder("D:\\r");
    v.AddFile("D:\\outside\\a.");
    v.AddFile("D:\\outside\\keep", fs_attr::kReadOnly)->content = "kept";

    std::vector<std::string> folders = {"D:\\r"};
    std::vector<std::string> files = {"D:\\outside\\keep", "D:\\outside\\a."};
    std::vector<std::string> made;
    while (!in.Empty() && made.size() < 24) {
        const std::string& parent = folders[in.Byte() % folders.size()];
        SimNode* p = v.Find(parent);
        if (!p || !p->IsFolder() || (p->attributes & fs_attr::kReparsePoint)) continue;
        std::string name = Name(in, page);
        if (name == "." || name == "..") continue;
        bool clash = false;
        for (auto& c : p->children)
            if (EqualsIgnoreCase(c->name, name) || EqualsIgnoreCase(c->alias, name)) clash = true;
        if (clash) continue;  // Windows keeps names unique without regard to case
        std::string path = parent + "\\" + name;
        if (path.size() > 600) continue;
        uint8_t kind = in.Byte();
        std::string alias = shareAliases && (kind & 0x80) ? "SHARED~1" : "\x01";
        SimNode* node = nullptr;
        switch (kind % 7) {
        case 0:
        case 1:
            node = v.AddFolder(path, (kind >> 3) & 7, alias);
            folders.push_back(path);
            break;
        case 2:
        case 3:
            node = v.AddFile(path, (kind >> 3) & 7, alias);
            files.push_back(path);
            break;
        case 4: {
            // A junction, a symbolic link, or a link without a tag (as Wine shows one).
            uint8_t how = in.Byte() % 3;
            node = v.AddLink(path, (kind & 8) ? "D:\\outside" : folders[in.Byte() % folders.size()], true,
                             how == 0   ? kTagMountPoint
                             : how == 1 ? kTagSymlink
                                        : 0u);
            break;
        }
        case 5: {  // another name of a file, inside the root or out
            SimNode* file = v.Find(files[in.Byte() % files.size()]);
            if (file) node = v.AddHardLink(path, file);
            if (node) files.push_back(path);
            break;
        }
        default:  // a link to a file that lists as the file (Wine's view of a Linux one)
            node = v.AddFileLink(path, files[in.Byte() % files.size()]);
            break;
        }
        if (node && (kind & 0x40) && !(kind & 0x20)) node->lockedOpen = true;
        // A name the code page holds only approximately (best fit), or one
        // no UTF-8 carries (a lone surrogate, as NTFS allows).
        if (node && (kind & 0x60) == 0x60) {
            const uint8_t look = in.Byte() % 4;
            if (look == 0) node->inexact = true;
            if (look == 1) {
                node->wide = v.WideOf(*node) + u'\xD800';
                node->inexact = true;
            }
        }
        made.push_back(path);
    }

    const std::string rootLiteral = folders[in.Byte() % folders.size()];
    for (const SimNode* up = v.Find(rootLiteral); up; up = up->parent)
        if (up->inexact) return 0;  // a root no narrow path names lists nothing, as it should
    const TypedRoot root = WriteAnyRoot(in, v, rootLiteral);
    ScanOptions options{static_cast<uint8_t>(setup >> 5 & 1), static_cast<uint8_t>(setup >> 6 & 1),
                        static_cast<uint8_t>(setup >> 7 & 1), 0};
    if (!(options.malformedNames | options.hidden | options.readOnly)) options.malformedNames = 1;

    // The model's own walk: links not entered, a file link shown as what it
    // leads to (and not at all when it leads nowhere), only what the pattern
    // matches at the top; rows of names the code page lacks, or below such
    // a folder, or longer than 259 bytes show no path.
    std::multimap<std::string, std::string> expected;  // column 0 -> bracketed name
    std::multiset<const SimNode*> expectedNodes;
    std::function<void(SimNode&, const std::string&, bool, bool)> walk = [&](SimNode& n, const std::string& at,
                                                                             bool narrow, bool top) {
        for (const auto& c : n.children) {
            DirEntry seen;
            if (!v.Describe(*c, seen)) continue;
            if (top && !MatchesPattern(root.pattern, v, *c)) continue;
            std::string p = at + "\\" + c->name;
            const bool exact = narrow && !c->inexact;
            const char* text = nullptr;
            if (IsMalformedEntry(v.WideOf(*c), seen.attributes, options, text)) {
                std::string name;
                v.ToAnsi(v.WideOf(*c), name);
                expected.emplace(exact && p.size() < kMaxPath ? p : std::string(), "[" + name + "]");
                expectedNodes.insert(c.get());
            } else if (c->IsFolder() && !(c->attributes & fs_attr::kReparsePoint)) {
                walk(*c, p, exact, false);
            }
        }
    };
    walk(*v.Find(rootLiteral), root.shown, true, true);

    ScanState state;
    Collector rows;
    ScanFolder(v, root.typed, options, rows, state);
    FUZZ_CHECK(state.rowsListed == static_cast<int>(rows.rows.size()));
    FUZZ_CHECK(state.unsearched == 0);

    // Column 0 is the path with the drive as typed; each row names, by its
    // stored names, the very entry the model listed.
    std::multimap<std::string, std::string> got;
    Listed listed;
    for (const auto& r : rows.rows) {
        FUZZ_CHECK(r.entry != nullptr);
        std::vector<const EntryRef*> chain;
        for (const EntryRef* at = r.entry.get(); at->parent; at = at->parent.get()) chain.push_back(at);
        const EntryRef* top = chain.empty() ? r.entry.get() : chain.back()->parent.get();
        SimNode* node = v.Find(top->name == u"D:" ? std::string("D:") : root.shareTop);
        for (size_t i = chain.size(); node && i-- > 0;) {
            SimNode* next = nullptr;
            for (auto& c : node->children)
                if (v.WideOf(*c) == chain[i]->name) next = c.get();
            node = next;
        }
        FUZZ_CHECK(node != nullptr);
        listed.rows.push_back(node);
        listed.parents.push_back(node->parent);
        listed.all.insert(node);
        if (r.path.empty()) {
            got.emplace(std::string(), r.bracketedName);
            continue;
        }
        if (r.path.compare(0, 2, "\\\\") == 0) {
            got.emplace(r.path, r.bracketedName);
        } else {
            FUZZ_CHECK(EqualsIgnoreCase(r.path.substr(0, 2), "D:"));
            got.emplace("D:" + r.path.substr(2), r.bracketedName);
        }
    }
    FUZZ_CHECK(got == expected);
    FUZZ_CHECK(std::multiset<const SimNode*>(listed.rows.begin(), listed.rows.end()) == expectedNodes);

    // What another program does to the disk, between the search and the
    // deletion or between any two steps of it.
    std::vector<std::string> candidates;  // literal paths of entries made below the root
    for (const std::string& m : made)
        if (Inside(m, rootLiteral)) candidates.push_back(m);
    int moves = 0;
    auto change = [&](uint8_t how) {
        if (candidates.empty()) return;
        const std::string path = candidates[how % candidates.size()];
        SimNode* n = v.Find(path);
        if (!n || !n->parent) return;
        const std::string parent = path.substr(0, path.rfind('\\'));
        const std::string name = n->name;
        uint8_t what = (how >> 4) % 5;
        // FAT has no links: what would become one is renamed instead.
        if (behaviour.ids == Ids::kPositions && what < 2) what = 4;
        switch (what) {
        case 0:  // swapped for a junction to a folder outside
            v.Remove(n);
            v.AddLink(path, "D:\\outside", true, (how & 8) ? kTagMountPoint : 0u);
            break;
        case 1:  // moved off, a junction in its place
            v.Move(n, "D:\\moved" + std::to_string(++moves));
            v.AddLink(path, "D:\\outside");
            break;
        case 2: {  // removed, a namesake in another case and a look-alike made
            v.Remove(n);
            std::string other = name;
            for (char& c : other)
                if ((c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z')) {
                    c = static_cast<char>(c ^ 0x20);
                    break;
                }
            if (other != name) v.AddFile(parent + "\\" + other);
            SimNode* twin = v.AddFile(parent + "\\" + name + "~look");
            if (twin && (how & 8)) {
                twin->name = name;  // shown under the very same narrow text
                twin->inexact = true;
            }
            break;
        }
        case 3: {
            // Removed and made again under its very name: the newcomer may
            // take the freed id, slot or cluster and the tunnelled creation
            // time. A folder on FAT that takes both is the one newcomer an
            // identity cannot tell (its write time moves with what it holds):
            // only files are made again there.
            const bool folder = n->IsFolder() && behaviour.ids != Ids::kPositions;
            if (!v.Remove(n)) break;
            SimNode* newcomer = folder ? v.AddFolder(path) : v.AddFile(path);
            if (folder && newcomer) v.AddFile(path + "\\newcomer's own");
            break;
        }
        default:  // renamed in place
            v.Move(n, parent + "\\" + name + "-renamed");
            break;
        }
    };
    // Rows carry what their entry is; a path only names what is there when
    // it is resolved (as a path from the command line does), so paths are
    // used only where nothing changes.
    const bool racing = (in.Byte() & 3) != 0;
    if (racing)
        while (!in.Empty() && in.Byte() % 3 == 0) change(in.Byte());
    int countdown = racing ? in.Byte() % 24 : -1;
    const uint8_t during = in.Byte();
    ActOnRows(v, rows.rows, listed, in, racing, [&] {
        if (countdown >= 0 && countdown-- == 0) change(during);
    });
    return 0;
}
