// The whole promise on a simulated volume built from the input: a search from
// a root written any way a user writes it lists exactly what an independent
// walk of the model lists, and deleting every row removes exactly the listed
// entries and what is inside listed folders, under each code page, with
// aliases on, off or shared, links, read-only and held-open entries.
#include <algorithm>
#include <functional>
#include <map>
#include <string>
#include <vector>

#include "Delete.h"
#include "FuzzInput.h"
#include "Names.h"
#include "PathText.h"
#include "Scan.h"
#include "SimulatedVolume.h"

namespace {

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
        "dir", "x", ".txt", "~1", "report", "LONG NAME", "...",  "a folder name long enough to pass 260 soon"};
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

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    FuzzInput in(data, size);
    uint8_t setup = in.Byte();
    const Page& page = kPages[(setup >> 3) % 3];
    SimulatedVolume v(page.number);
    v.AddDrive('D', setup & 1, (setup & 2) != 0);
    bool shareAliases = (setup & 1) && (setup & 4);
    v.AddFolder("D:\\r");
    v.AddFile("D:\\outside\\a.");
    v.AddFile("D:\\outside\\keep");

    std::vector<std::string> folders = {"D:\\r"};
    std::vector<std::string> made;
    while (!in.Empty() && made.size() < 24) {
        const std::string& parent = folders[in.Byte() % folders.size()];
        SimulatedVolume::Node* p = v.Find(parent);
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
        SimulatedVolume::Node* node = nullptr;
        switch (kind % 5) {
        case 0:
        case 1:
            node = v.AddFolder(path, (kind >> 3) & 7, alias);
            folders.push_back(path);
            break;
        case 2:
        case 3: node = v.AddFile(path, (kind >> 3) & 7, alias); break;
        default: {
            // A junction, a symbolic link, or a link without a tag (as Wine shows one).
            uint8_t how = in.Byte() % 3;
            node = v.AddLink(path, (kind & 8) ? "D:\\outside" : folders[in.Byte() % folders.size()], true,
                             how == 0   ? kTagMountPoint
                             : how == 1 ? kTagSymlink
                                        : 0u);
            break;
        }
        }
        if (node && (kind & 0x40) && !(kind & 0x20)) node->lockedOpen = true;
        // A name the code page holds only approximately (best fit).
        if (node && (kind & 0x60) == 0x60 && in.Byte() % 4 == 0) node->inexact = true;
        made.push_back(path);
    }

    const std::string rootLiteral = folders[in.Byte() % folders.size()];
    for (const SimulatedVolume::Node* up = v.Find(rootLiteral); up; up = up->parent)
        if (up->inexact) return 0;  // a root no narrow path names lists nothing, as it should
    const std::string typed = WriteRoot(in, rootLiteral);
    ScanOptions options{static_cast<uint8_t>(setup >> 5 & 1), static_cast<uint8_t>(setup >> 6 & 1),
                        static_cast<uint8_t>(setup >> 7 & 1), 0};
    if (!(options.malformedNames | options.hidden | options.readOnly)) options.malformedNames = 1;

    // The model's own walk: links not entered; rows of names the code page
    // lacks, or below such a folder, or longer than 259 bytes show no path.
    std::multimap<std::string, std::string> expected;  // column 0 -> bracketed name
    std::vector<uint64_t> listedIds;
    std::function<void(const SimulatedVolume::Node&, const std::string&, bool)> walk =
        [&](const SimulatedVolume::Node& n, const std::string& at, bool narrow) {
            for (const auto& c : n.children) {
                std::string p = at + "\\" + c->name;
                const bool exact = narrow && !c->inexact;
                const char* text = nullptr;
                if (IsMalformedEntry(v.WideOf(*c), c->attributes == 0 ? fs_attr::kNormal : c->attributes, options,
                                     text)) {
                    std::string shown;
                    v.ToAnsi(v.WideOf(*c), shown);
                    expected.emplace(exact && p.size() < kMaxPath ? p : std::string(), "[" + shown + "]");
                    listedIds.push_back(c->id);
                } else if (c->IsFolder() && !(c->attributes & fs_attr::kReparsePoint)) {
                    walk(*c, p, exact);
                }
            }
        };
    walk(*v.Find(rootLiteral), rootLiteral, true);
    std::sort(listedIds.begin(), listedIds.end());

    ScanState state;
    Collector rows;
    ScanFolder(v, typed, options, rows, state);
    FUZZ_CHECK(state.rowsListed == static_cast<int>(rows.rows.size()));
    FUZZ_CHECK(state.unsearched == 0);

    // Column 0 is the literal path with the drive as typed.
    std::multimap<std::string, std::string> got;
    for (const auto& r : rows.rows) {
        FUZZ_CHECK(r.entry != nullptr);
        if (r.path.empty()) {
            got.emplace(std::string(), r.bracketedName);
            continue;
        }
        FUZZ_CHECK(EqualsIgnoreCase(r.path.substr(0, 2), "D:"));
        got.emplace("D:" + r.path.substr(2), r.bracketedName);
    }
    FUZZ_CHECK(got == expected);

    // What another program does to the disk, between the search and the
    // deletion or between any two steps of it.
    std::vector<std::string> candidates;  // literal paths of entries made below the root
    for (const std::string& m : made)
        if (Inside(m, rootLiteral)) candidates.push_back(m);
    int moves = 0;
    auto change = [&](uint8_t how) {
        if (candidates.empty()) return;
        const std::string path = candidates[how % candidates.size()];
        SimulatedVolume::Node* n = v.Find(path);
        if (!n || !n->parent) return;
        const std::string parent = path.substr(0, path.rfind('\\'));
        const std::string name = n->name;
        switch ((how >> 4) % 4) {
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
            SimulatedVolume::Node* twin = v.AddFile(parent + "\\" + name + "~look");
            if (twin && (how & 8)) {
                twin->name = name;  // shown under the very same narrow text
                twin->inexact = true;
            }
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

    // Nothing is deleted, nor has its attributes changed, but a listed entry
    // or what is inside a listed folder at that very moment.
    auto listedOrInside = [&](const SimulatedVolume::Node* n) {
        for (; n; n = n->parent)
            if (std::binary_search(listedIds.begin(), listedIds.end(), n->id)) return true;
        return false;
    };
    v.beforeHandleCall = [&](const char* call, SimulatedVolume::Node* at) {
        if (countdown >= 0 && countdown-- == 0) change(during);
        const std::string c = call;
        if (c == "DeleteOpen" || c == "SetAttributesOf") FUZZ_CHECK(listedOrInside(at));
    };

    DeleteSession session(v);
    for (const auto& r : rows.rows) {
        const uint8_t how = in.Byte();
        bool ok;
        if ((how & 1) || racing)
            ok = session.Delete(r).ok;
        else if (!r.path.empty())
            ok = (how & 2) ? session.DeleteListedPath(r.path) : DeleteListedPath(v, r.path);
        else
            continue;
        // A row reported deleted: its entry is no longer in any folder.
        if (ok && ((how & 1) || racing)) {
            bool stillThere = false;
            std::function<void(const SimulatedVolume::Node&)> look = [&](const SimulatedVolume::Node& n) {
                for (const auto& c : n.children) {
                    if (c->id == r.entry->id) stillThere = true;
                    look(*c);
                }
            };
            look(*v.Find("D:"));
            FUZZ_CHECK(!stillThere);
        }
    }
    v.beforeHandleCall = nullptr;
    return 0;
}
