// A listed path on a simulated volume built from the input: for every entry
// made, its path as a row shows it must reach that very entry by handles,
// never a twin whose name differs only by trailing dots or blanks or by letter
// case, and deleting it removes that entry with its contents and nothing else.
#include <algorithm>
#include <string>
#include <vector>

#include "Delete.h"
#include "FuzzInput.h"
#include "Entry.h"
#include "PathText.h"
#include "SimulatedVolume.h"

namespace {

// Names drawn from a small alphabet so that twins and device names are common.
std::string Name(FuzzInput& in) {
    static const char* const pieces[] = {"a",   "A",        ".",        " ", "con",  "nul", "com1",   "lpt0",
                                         "dir", "\xD5\x5C", "\x81\x5C", "x", ".txt", "~1",  "report", "LONG NAME"};
    std::string name;
    int n = 1 + in.Byte() % 4;
    for (int i = 0; i < n; ++i) name += pieces[in.Byte() % (sizeof pieces / sizeof pieces[0])];
    return name;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    FuzzInput in(data, size);
    uint8_t setup = in.Byte();
    SimulatedVolume v;
    v.AddDrive('D', setup & 1, (setup & 2) != 0);

    std::vector<std::string> made;
    while (!in.Empty() && made.size() < 24) {
        std::string parent = made.empty() || in.Byte() % 3 == 0 ? "D:\\r" : made[in.Byte() % made.size()];
        SimulatedVolume::Node* p = v.Find(parent);
        if (p && !p->IsFolder()) continue;
        std::string name = Name(in);
        if (name == "." || name == "..") continue;
        bool clash = false;
        if (p)
            for (auto& c : p->children)
                if (EqualsIgnoreCase(c->name, name) || EqualsIgnoreCase(c->alias, name)) clash = true;
        if (clash) continue;  // Windows keeps names unique without regard to case
        std::string path = parent + "\\" + name;
        if (path.size() > 200) continue;
        if (in.Byte() & 1)
            v.AddFolder(path);
        else
            v.AddFile(path, in.Byte() & 7);
        made.push_back(path);
    }
    if (made.empty()) return 0;

    std::string target = made[in.Byte() % made.size()];
    SimulatedVolume::Node* node = v.Find(target);
    FUZZ_CHECK(node);
    EntryPtr entry;
    std::string longPath;
    uint32_t error = 0;
    FUZZ_CHECK(ResolveEntry(v, target, true, entry, longPath, nullptr, error));
    FUZZ_CHECK(entry->isFolder == node->IsFolder());
    FUZZ_CHECK(entry->id == node->id);
    WideName wide;
    FUZZ_CHECK(v.ToWide(target, wide) && WidePathOf(*entry) == wide);
    FUZZ_CHECK(longPath == target);

    std::vector<std::string> before = v.ListTree("D:");
    bool deleted = DeleteListedPath(v, target);
    std::vector<std::string> after = v.ListTree("D:");
    for (const std::string& p : before) {
        bool inside = p == target || p.compare(0, target.size() + 1, target + "\\") == 0;
        bool kept = std::find(after.begin(), after.end(), p) != after.end();
        if (!inside) FUZZ_CHECK(kept);  // nothing outside the entry may go
        if (inside && deleted) FUZZ_CHECK(!kept);
    }
    return 0;
}
