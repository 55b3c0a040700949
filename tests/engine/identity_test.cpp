// Rows are deleted as the entries the search met: another program that
// changes the disk between the search and the deletion, or between two steps
// of the deletion, never gets something else deleted in their place.
#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "Delete.h"
#include "Entry.h"
#include "RowCollector.h"
#include "Scan.h"
#include "SimulatedVolume.h"

namespace {

const ScanOptions kNames{1, 0, 0, 0};

// D:\r holds four listed entries; D:\precious, outside the root, holds
// entries of the same names, which nothing may touch.
struct Disk {
    SimulatedVolume v;
    RowCollector rows;
    Disk() {
        v.AddDrive('D');
        v.AddFile("D:\\r\\a.\\x.txt");
        v.AddFile("D:\\r\\sub\\one.");
        v.AddFile("D:\\r\\sub\\two.");
        v.AddFile("D:\\r\\Keep.");
        for (const char* name : {"x.txt", "one.", "two.", "Keep.", "keep."})
            v.AddFile(std::string("D:\\precious\\") + name);
        ScanState state;
        ScanFolder(v, "D:\\r", kNames, rows, state);
    }
    // Deletes every row, in one batch or each by a session of its own.
    std::vector<bool> DeleteAll(bool batch) {
        std::vector<bool> results;
        DeleteSession shared(v);
        for (const ResultRow& row : rows.rows) {
            DeleteSession own(v);
            results.push_back((batch ? shared : own).Delete(row).ok);
        }
        return results;
    }
    bool PreciousWhole() const { return v.ListTree("D:\\precious").size() == 5; }
};

// Runs once, the first time the engine makes call on the entry at path.
void Once(Disk& d, const char* call, const std::string& path, std::function<void(SimulatedVolume&)> change) {
    auto done = std::make_shared<bool>(false);
    d.v.beforeHandleCall = [&d, call, path, change, done](const char* made, SimulatedVolume::Node* at) {
        if (*done || std::string(made) != call || !at || d.v.PathOf(*at) != path) return;
        *done = true;
        change(d.v);
    };
}

void SwapForLink(SimulatedVolume& v, const std::string& path, const std::string& target, bool folder = true) {
    v.Remove(v.Find(path));
    v.AddLink(path, target, folder);
}

TEST(Identity, RowsAreListedInWalkOrderWithWhatTheyAre) {
    Disk d;
    ASSERT_EQ(d.rows.Paths(),
              (std::vector<std::string>{"D:\\r\\a.", "D:\\r\\sub\\one.", "D:\\r\\sub\\two.", "D:\\r\\Keep."}));
    for (const ResultRow& row : d.rows.rows) ASSERT_TRUE(row.entry != nullptr) << row.path;
}

TEST(Identity, ChangesBetweenTheSearchAndTheDeletion) {
    struct Case {
        const char* what;
        std::function<void(Disk&)> change;
        std::vector<bool> batch;  // per row, in one batch
        std::vector<bool> alone;  // per row, each deleted on its own
        std::vector<std::string> stays;
    };
    const Case cases[] = {
        {"the listed folder was swapped for a junction to a folder outside",
         [](Disk& d) { SwapForLink(d.v, "D:\\r\\a.", "D:\\precious"); },
         {false, true, true, true},
         {false, true, true, true},
         {"D:\\r\\a."}},
        {"the listed entry was removed and a namesake in another case made",
         [](Disk& d) {
             d.v.Remove(d.v.Find("D:\\r\\Keep."));
             d.v.AddFile("D:\\r\\keep.");
         },
         {true, true, true, false},
         {true, true, true, false},
         {"D:\\r\\keep."}},
        {"a folder on the way was moved off and a junction put in its place after its first row",
         [](Disk& d) {
             Once(d, "DeleteOpen", "D:\\r\\sub\\one.", [](SimulatedVolume& v) {
                 v.Move(v.Find("D:\\r\\sub"), "D:\\r\\moved");
                 v.AddLink("D:\\r\\sub", "D:\\precious");
             });
         },
         // A batch still holds the folder it opened: two. goes from where it
         // now is; a fresh resolution meets the junction and stops.
         {true, true, true, true},
         {true, true, false, true},
         {"D:\\r\\sub"}},
        {"a namesake took the name between the look-up and the open",
         [](Disk& d) {
             Once(d, "OpenChild", "D:\\r\\sub", [](SimulatedVolume& v) {
                 v.Remove(v.Find("D:\\r\\sub\\one."));
                 v.AddFile("D:\\r\\sub\\ONE.");
             });
         },
         {true, false, true, true},
         {true, false, true, true},
         {"D:\\r\\sub\\ONE."}},
        {"an entry inside the listed folder became a link to a folder outside",
         [](Disk& d) { SwapForLink(d.v, "D:\\r\\a.\\x.txt", "D:\\precious"); },
         {true, true, true, true},  // the link goes as itself
         {true, true, true, true},
         {}},
        {"an entry inside the listed folder became a link while the folder was being emptied",
         [](Disk& d) {
             Once(d, "OpenChild", "D:\\r\\a.",
                  [](SimulatedVolume& v) { SwapForLink(v, "D:\\r\\a.\\x.txt", "D:\\precious"); });
         },
         {false, true, true, true},  // not what the folder's listing showed: the folder stays
         {false, true, true, true},
         {"D:\\r\\a.", "D:\\r\\a.\\x.txt"}},
    };
    for (const Case& c : cases) {
        for (bool batch : {true, false}) {
            Disk d;
            c.change(d);
            EXPECT_EQ(d.DeleteAll(batch), batch ? c.batch : c.alone) << c.what << (batch ? " (batch)" : "");
            EXPECT_TRUE(d.PreciousWhole()) << c.what;
            for (const std::string& path : c.stays) EXPECT_TRUE(d.v.Exists(path)) << c.what << ": " << path;
        }
    }
}

// A name the code page lacks and a path no narrow form holds are deleted as
// themselves: the row has no column 0, but it knows what it is.
TEST(Identity, NamesWithoutANarrowFormAndDeepPathsAreDeletedAsThemselves) {
    SimulatedVolume v;
    v.AddDrive('D');
    SimulatedVolume::Node* wide = v.AddFile("D:\\r\\w1");
    wide->wide = u"\u0174x.";  // "Ŵx.", shown as "?x."
    v.AddFile("D:\\r\\?x.");   // the look-alike's namesake
    v.AddFile("D:\\r\\x.");
    std::string deep = "D:\\r\\deep";
    while (deep.size() < 320) deep += "\\folder";
    v.AddFile(deep + "\\nul");
    RowCollector rows;
    ScanState state;
    ScanFolder(v, "D:\\r", kNames, rows, state);
    ASSERT_EQ(rows.rows.size(), 4u);
    DeleteSession session(v);
    for (const ResultRow& row : rows.rows) {
        if (row.wideName == u"\u0174x.") {
            EXPECT_EQ(row.path, "");
            EXPECT_EQ(row.bracketedName, "[?x.]");
            EXPECT_TRUE(session.Delete(row).ok);
        }
        if (row.bracketedName == "[nul]") {
            EXPECT_EQ(row.path, "");
            EXPECT_TRUE(session.Delete(row).ok);
        }
    }
    EXPECT_FALSE(v.Exists("D:\\r\\w1"));
    EXPECT_TRUE(v.Exists("D:\\r\\?x."));
    EXPECT_TRUE(v.Exists("D:\\r\\x."));
    EXPECT_FALSE(v.Exists(deep + "\\nul"));
    EXPECT_TRUE(v.Exists(deep));
}

// A read-only entry that cannot go (held open) keeps its attribute; a
// deletion that fails says why.
TEST(Identity, AFailedDeletionKeepsReadOnlyAndCarriesItsError) {
    SimulatedVolume v;
    v.AddDrive('D');
    v.AddFile("D:\\r\\ro.", fs_attr::kReadOnly)->lockedOpen = true;
    v.AddFile("D:\\r\\gone.");
    RowCollector rows;
    ScanState state;
    ScanFolder(v, "D:\\r", kNames, rows, state);
    ASSERT_EQ(rows.rows.size(), 2u);
    v.Remove(v.Find("D:\\r\\gone."));
    DeleteSession session(v);
    Outcome held = session.Delete(rows.rows[0]);
    Outcome gone = session.Delete(rows.rows[1]);
    EXPECT_FALSE(held.ok);
    EXPECT_EQ(held.error, fs_error::kSharingViolation);
    EXPECT_EQ(v.Find("D:\\r\\ro.")->attributes, fs_attr::kReadOnly);
    EXPECT_FALSE(gone.ok);
    EXPECT_EQ(gone.error, fs_error::kFileNotFound);
}

// A path from a reviewed list (the console's --from) is resolved step by
// step from the drive's top folder. A change made right before the first
// step on the folder that holds the next name never lets the resolution end
// anywhere but at that very name: a junction swapped in for a folder on the
// way, or the listed entry replaced by a case namesake, fails it.
TEST(Identity, AListedPathResolvesOnlyThroughWhatIsThereExactly) {
    struct Case {
        const char* what;
        const char* at;  // the folder whose first handle call brings the change
        std::function<void(SimulatedVolume&)> change;
    };
    const Case cases[] = {
        {"a folder on the way swapped for a junction", "D:\\r",
         [](SimulatedVolume& v) { SwapForLink(v, "D:\\r\\sub", "D:\\precious"); }},
        {"the entry replaced by a case namesake", "D:\\r\\sub",
         [](SimulatedVolume& v) {
             v.Remove(v.Find("D:\\r\\sub\\one."));
             v.AddFile("D:\\r\\sub\\ONE.");
         }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        Disk d;
        bool done = false;
        d.v.beforeHandleCall = [&](const char*, SimulatedVolume::Node* node) {
            if (done || !node || d.v.PathOf(*node) != c.at) return;
            done = true;
            c.change(d.v);
        };
        EntryPtr entry;
        std::string longPath;
        NodeInfo info;
        uint32_t error = 0;
        EXPECT_FALSE(ResolveWidePath(d.v, u"D:\\r\\sub\\one.", true, entry, longPath, info, error));
        EXPECT_TRUE(done);
        EXPECT_NE(error, 0u);
        EXPECT_TRUE(d.PreciousWhole());
    }
}

}  // namespace

namespace {

// What identifies an entry on each file system, tried as another program
// would: between the search and the deletion the listed entry goes and a
// newcomer of its name is made in its place, from every form of root. NTFS
// never gives an id twice but tunnels the creation time; ext4 under Wine hands
// the newcomer the inode just freed; FAT gives a file the slot just freed and
// a folder the cluster just freed, and tunnels the creation time too.
TEST(Identity, ANewcomerInTheListedOnesPlaceIsNotTheListedEntry) {
    using Ids = SimulatedVolume::Behaviour::Ids;
    struct Case {
        const char* what;
        Ids ids;
        int64_t tunnelTicks;
        bool folder;
        bool sameId, sameCreated;  // what the newcomer takes over (the model at work)
        bool newcomerDeleted;
    };
    const Case cases[] = {
        {"NTFS, file", Ids::kUnique, 5, false, false, true, false},
        {"NTFS, folder", Ids::kUnique, 5, true, false, true, false},
        {"ext4 under Wine, file", Ids::kReused, 0, false, true, false, false},
        {"ext4 under Wine, folder", Ids::kReused, 0, true, true, false, false},
        // Id and creation time pass; the write time tells.
        {"FAT, file", Ids::kPositions, 5, false, true, true, false},
        // What is left: a folder's write time moves with what it holds, so a
        // folder is id and creation time only, and on FAT a newcomer folder
        // that takes the freed cluster within the tunnel's seconds passes both.
        {"FAT, folder (the residual)", Ids::kPositions, 5, true, true, true, true},
    };
    const char* roots[] = {"D:\\r", "r", "\\\\server\\share", "\\\\?\\UNC\\server\\share", "D:\\r\\?u*"};
    for (const Case& c : cases) {
        for (const char* root : roots) {
            SCOPED_TRACE(std::string(c.what) + " from " + root);
            SimulatedVolume v;
            v.AddDrive('D');
            v.BehaviourOf('D').ids = c.ids;
            v.BehaviourOf('D').tunnelTicks = c.tunnelTicks;
            v.AddFile("D:\\r\\keep");
            const std::string listed = c.folder ? "D:\\r\\aux" : "D:\\r\\nul";
            if (c.folder)
                v.AddFile(listed + "\\inner");
            else
                v.AddFile(listed);
            v.AddShare("\\\\server\\share", "D:\\r");
            v.currentFolder = u"D:\\";
            RowCollector rows;
            ScanState state;
            ScanFolder(v, std::string(root), kNames, rows, state);
            ASSERT_EQ(rows.rows.size(), 1u);
            const Identity was = *rows.rows[0].entry;

            v.Remove(v.Find(listed));
            SimulatedVolume::Node* newcomer = c.folder ? v.AddFolder(listed) : v.AddFile(listed);
            if (c.folder) v.AddFile(listed + "\\newcomer's own");
            EXPECT_EQ(newcomer->id == was.id, c.sameId);
            EXPECT_EQ(newcomer->created == was.created, c.sameCreated);

            DeleteSession session(v);
            EXPECT_EQ(session.Delete(rows.rows[0]).ok, c.newcomerDeleted);
            EXPECT_EQ(v.Exists(listed), !c.newcomerDeleted);
            EXPECT_TRUE(v.Exists("D:\\r\\keep"));
        }
    }
}

// The tunnel closes: a newcomer made after it keeps a creation time of its own.
TEST(Identity, TunnellingLastsOnlyAFewTicks) {
    SimulatedVolume v;
    v.AddDrive('D');
    v.BehaviourOf('D').tunnelTicks = 5;
    const int64_t first = v.AddFile("D:\\r\\nul")->created;
    v.Remove(v.Find("D:\\r\\nul"));
    EXPECT_EQ(v.AddFile("D:\\r\\NUL")->created, first);  // the name, without regard to case
    v.Remove(v.Find("D:\\r\\NUL"));
    v.AdvanceClock(10);
    EXPECT_NE(v.AddFile("D:\\r\\nul")->created, first);
}

}  // namespace
