// Rescue instead of delete: an entry gets a name Windows accepts, in its own
// folder, through its handle, and keeps what it holds.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "Delete.h"
#include "Entry.h"
#include "RowCollector.h"
#include "Scan.h"
#include "SimulatedVolume.h"

namespace {

TEST(LegalName, EveryClassOfBadName) {
    struct Case {
        std::u16string name, legal;
    };
    const Case cases[] = {
        {u"Album.", u"Album"},
        {u"trail . .", u"trail"},
        {u"nul", u"nul_"},
        {u"NUL.", u"NUL_"},
        {u"con.txt", u"con_.txt"},
        {u"nul.tar.gz", u"nul_.tar.gz"},
        {u"COM\u00B9.log", u"COM\u00B9_.log"},
        {u"lpt9", u"lpt9_"},
        {u"conin$", u"conin$_"},
        {u"a<b>c:d\"e|f?g*h", u"a_b_c_d_e_f_g_h"},
        {u"tab\there", u"tab_here"},
        // A device word, blanks or ":" and then more: "_" goes right after the word.
        {u"nul .txt.", u"nul_ .txt"},
        {u"AUX  .c", u"AUX_  .c"},
        {u"CON:", u"CON_"},
        {u"nul:.txt", u"nul_.txt"},
        {u"...", u""},
        // Fine already, and look-alikes that are fine.
        {u"console", u"console"},
        {u"com10", u"com10"},
        {u"nullx.txt", u"nullx.txt"},
        {u"COM\u00B90", u"COM\u00B90"},
    };
    for (const Case& c : cases) EXPECT_EQ(LegalNameFor(c.name), c.legal) << std::string(c.name.begin(), c.name.end());
    EXPECT_EQ(NumberedName(u"con_.txt", 2), u"con_ (2).txt");
    EXPECT_EQ(NumberedName(u"Album", 3), u"Album (3)");
    EXPECT_EQ(NumberedName(u".hidden", 2), u".hidden (2)");
}

std::string Narrow(const std::u16string& s) { return std::string(s.begin(), s.end()); }

TEST(Rename, EntriesKeepTheirContentsAndNeverReplaceAnything) {
    SimulatedVolume v;
    v.AddDrive('D');
    v.AddFile("D:\\r\\nul")->content = "error: the real output";
    v.AddFile("D:\\r\\Album.\\01 track.mp3")->content = "music";
    v.AddFile("D:\\r\\Album");  // the obvious name is taken
    v.AddFile("D:\\r\\con.txt");
    v.AddFile("D:\\r\\con_.txt");
    v.AddFile("D:\\r\\CON_ (2).TXT");  // taken in another case
    RowCollector rows;
    ScanState state;
    ScanFolder(v, "D:\\r", ScanOptions{1, 0, 0, 0}, rows, state);
    ASSERT_EQ(rows.rows.size(), 3u);
    EntrySession session(v);
    std::vector<std::string> renamed;
    for (const ResultRow& row : rows.rows) {
        WideName now;
        EXPECT_TRUE(session.Rename(*row.entry, now).ok) << row.path;
        renamed.push_back(Narrow(now));
    }
    EXPECT_EQ(renamed, (std::vector<std::string>{"nul_", "Album (2)", "con_ (3).txt"}));
    EXPECT_EQ(v.Find("D:\\r\\nul_")->content, "error: the real output");
    EXPECT_EQ(v.Find("D:\\r\\Album (2)\\01 track.mp3")->content, "music");
    for (const char* kept : {"D:\\r\\Album", "D:\\r\\con_.txt", "D:\\r\\CON_ (2).TXT"}) EXPECT_TRUE(v.Exists(kept));
    EXPECT_EQ(v.ListTree("D:\\r").size(), 7u);
}

TEST(Rename, OnlyTheListedEntryAndOnlyWhenItCanBeOpened) {
    SimulatedVolume v;
    v.AddDrive('D');
    v.AddFile("D:\\r\\nul");
    v.AddFile("D:\\r\\held.")->lockedOpen = true;
    RowCollector rows;
    ScanState state;
    ScanFolder(v, "D:\\r", ScanOptions{1, 0, 0, 0}, rows, state);
    ASSERT_EQ(rows.rows.size(), 2u);
    // Another program puts a namesake in the listed one's place.
    v.Remove(v.Find("D:\\r\\nul"));
    v.AddFile("D:\\r\\NUL");
    EntrySession session(v);
    WideName now;
    EXPECT_FALSE(session.Rename(*rows.rows[0].entry, now).ok);
    Outcome held = session.Rename(*rows.rows[1].entry, now);
    EXPECT_FALSE(held.ok);
    EXPECT_EQ(held.error, fs_error::kSharingViolation);
    EXPECT_EQ(v.ListTree("D:\\r"), (std::vector<std::string>{"D:\\r\\NUL", "D:\\r\\held."}));
}

TEST(Read, TheFirstBytesOfAListedFileThroughItsHandle) {
    SimulatedVolume v;
    v.AddDrive('D');
    v.AddFile("D:\\r\\nul")->content = std::string(70000, 'x');
    v.AddFolder("D:\\r\\aux");
    RowCollector rows;
    ScanState state;
    ScanFolder(v, "D:\\r", ScanOptions{1, 0, 0, 0}, rows, state);
    ASSERT_EQ(rows.rows.size(), 2u);
    EntrySession session(v);
    std::string bytes;
    EXPECT_TRUE(session.Read(*rows.rows[0].entry, bytes, 65536).ok);
    EXPECT_EQ(bytes.size(), 65536u);
    EXPECT_FALSE(session.Read(*rows.rows[1].entry, bytes, 65536).ok);  // a folder
}

}  // namespace
