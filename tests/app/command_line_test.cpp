// The portable half of the command-line step: the argument, the hand-over
// text and the delete request.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "CommandLine.h"
#include "DeleteRequest.h"
#include "HandOver.h"

namespace {

struct ArgumentCase {
    std::u16string argument;
    RequestKind kind;
    std::u16string path;
};

// The prefix counts UTF-16 units; the path after it goes on exactly, whatever
// a code page could hold.
TEST(ClassifyArgument, PrefixDecidesBetweenSearchAndDelete) {
    const ArgumentCase cases[] = {
        {u"", RequestKind::None, u""},
        {u"-p:", RequestKind::None, u""},
        {u"-d:", RequestKind::None, u""},
        {u"abc", RequestKind::None, u""},
        {u"-p\U0001F600", RequestKind::Delete, u"\xDE00"},  // a pair is two units: the prefix cuts it
        {u"-p:D:\\data", RequestKind::Search, u"D:\\data"},
        {u"-P:D:\\data", RequestKind::Search, u"D:\\data"},
        {u"-p:a", RequestKind::Search, u"a"},
        {u"-p: ", RequestKind::Search, u" "},
        {u"-p:D:\\\U0001F600", RequestKind::Search, u"D:\\\U0001F600"},
        {u"-d:D:\\data", RequestKind::Delete, u"D:\\data"},
        {u"-D:D:\\data", RequestKind::Delete, u"D:\\data"},
        {u"-x:D:\\data", RequestKind::Delete, u"D:\\data"},
        {u"-pD:\\x", RequestKind::Delete, u":\\x"},
        {u"p:-D:\\x", RequestKind::Delete, u"D:\\x"},
        {u"\uFF0Dp:D:\\x", RequestKind::Delete, u"D:\\x"},  // a full-width hyphen is no "-"
        {u"-d:D:\\\u596C\u72B6\\\uD55C\uAE00.", RequestKind::Delete, u"D:\\\u596C\u72B6\\\uD55C\uAE00."},
    };
    for (const ArgumentCase& c : cases) {
        const CommandLineRequest request = ClassifyArgument(c.argument);
        EXPECT_EQ(request.kind, c.kind) << ::testing::PrintToString(c.argument);
        EXPECT_EQ(request.path, c.path) << ::testing::PrintToString(c.argument);
    }
}

struct SplitCase {
    std::u16string text;
    std::vector<std::u16string> items;
};

TEST(SplitHandOverText, EveryEndedItemCountsTheLastOnlyWhenNotEmpty) {
    const SplitCase cases[] = {
        {u"", {}},
        {u"a", {u"a"}},
        {u"C:\\a\rD:\\b", {u"C:\\a", u"D:\\b"}},
        {u"a\r", {u"a"}},
        {u"\r", {u""}},
        {u"\ra", {u"", u"a"}},
        {u"a\r\rb", {u"a", u"", u"b"}},
        {u"a\r\r", {u"a", u""}},
        {u"a\nb\r\nc", {u"a\nb", u"\nc"}},                    // only CR separates
        {u"\u0D0D\r\U0001F600", {u"\u0D0D", u"\U0001F600"}},  // a unit holding CR bytes is no CR
    };
    for (const SplitCase& c : cases) EXPECT_EQ(SplitHandOverText(c.text), c.items) << ::testing::PrintToString(c.text);
}

struct AppendCase {
    const char* name;
    std::u16string before;  // text in the block; u'\x7F7F' units fill a block without terminator
    bool terminated;
    std::u16string path;
    size_t room;  // units
    HandOverRole role;
    std::u16string after;
};

// A block of room units with guard units after it, which catch any write past its end.
struct GuardedBlock {
    static constexpr char16_t kGuard = 0x5555;
    std::vector<char16_t> units;
    size_t room;
    GuardedBlock(const std::u16string& text, bool terminated, size_t room) : units(room + 16, kGuard), room(room) {
        std::copy(text.begin(), text.end(), units.begin());
        if (terminated) units[text.size()] = u'\0';
    }
    char16_t* data() { return units.data(); }
    std::u16string Text() const { return std::u16string(units.data(), HandOverTextLength(units.data(), room)); }
    bool Overrun() const {
        return std::any_of(units.begin() + static_cast<std::ptrdiff_t>(room), units.end(),
                           [](char16_t c) { return c != kGuard; });
    }
};

TEST(AppendToHandOver, ClaimsAppendsOrRefusesWithoutEverCutting) {
    const std::u16string pair = u"\U0001F600";  // two units
    const AppendCase cases[] = {
        {"first claims", u"", true, u"C:\\a", 16, HandOverRole::First, u"C:\\a"},
        {"later appends", u"C:\\a", true, u"D:\\b", 16, HandOverRole::Later, u"C:\\a\rD:\\b"},
        {"first fills the room", u"", true, u"1234567", 8, HandOverRole::First, u"1234567"},
        {"first one unit too long", u"", true, u"12345678", 8, HandOverRole::Refused, u""},
        {"later fills the room", u"abc", true, u"def", 8, HandOverRole::Later, u"abc\rdef"},
        {"later one unit too long", u"abc", true, u"defg", 8, HandOverRole::Refused, u"abc"},
        {"a pair fills the room", u"abc", true, u"d" + pair, 8, HandOverRole::Later, u"abc\rd" + pair},
        {"a pair is never halved", u"abc", true, u"de" + pair, 8, HandOverRole::Refused, u"abc"},
        {"no terminator in the block", std::u16string(8, u'\x7F7F'), false, u"a", 8, HandOverRole::Refused,
         std::u16string(8, u'\x7F7F')},
        {"carriage return would split it", u"C:\\a", true, u"D:\\b\rC:\\Windows", 64, HandOverRole::Refused, u"C:\\a"},
        {"carriage return, first", u"", true, u"D:\\b\rC:\\Windows", 64, HandOverRole::Refused, u""},
        {"a 0 unit would end the text", u"C:\\a", true, std::u16string(u"D:\\b\0C:\\x", 9), 64, HandOverRole::Refused,
         u"C:\\a"},
        {"empty path", u"C:\\a", true, u"", 64, HandOverRole::Refused, u"C:\\a"},
        {"any character", u"C:\\a", true, u"D:\\\u596C\\\uD55C" + pair + u".", 64, HandOverRole::Later,
         u"C:\\a\rD:\\\u596C\\\uD55C" + pair + u"."},
    };
    for (const AppendCase& c : cases) {
        GuardedBlock block(c.before, c.terminated, c.room);
        EXPECT_EQ(AppendToHandOver(block.data(), c.room, c.path), c.role) << c.name;
        EXPECT_EQ(block.Text(), c.after) << c.name;
        EXPECT_FALSE(block.Overrun()) << c.name << ": written past the room";
    }
}

TEST(AppendToHandOver, RealRoomTakesAPathOf2047UnitsWhenFirst) {
    ASSERT_EQ(kHandOverUnits * sizeof(char16_t), kHandOverRoom);
    std::vector<char16_t> block(kHandOverUnits, u'\0');
    EXPECT_EQ(AppendToHandOver(block.data(), kHandOverUnits, std::u16string(2048, u'p')), HandOverRole::Refused);
    EXPECT_EQ(AppendToHandOver(block.data(), kHandOverUnits, std::u16string(2047, u'p')), HandOverRole::First);
    EXPECT_EQ(AppendToHandOver(block.data(), kHandOverUnits, u"q"), HandOverRole::Refused);
    EXPECT_EQ(HandOverTextLength(block.data(), kHandOverUnits), 2047u);
}

// The kind letter is a unit of its own: a request joins only a batch of its kind.
TEST(AppendRequestToHandOver, TagsTheKindAndKeepsTheKindsApart) {
    struct Case {
        std::u16string before;
        HandOverKind kind;
        HandOverRole role;
        std::u16string after;
    };
    const Case cases[] = {
        {u"", HandOverKind::Search, HandOverRole::First, u"SD:\\\U0001F600"},
        {u"DC:\\a", HandOverKind::Delete, HandOverRole::Later, u"DC:\\a\rDD:\\\U0001F600"},
        {u"DC:\\a", HandOverKind::Search, HandOverRole::OtherKind, u"DC:\\a"},
        {u"SC:\\a", HandOverKind::Delete, HandOverRole::OtherKind, u"SC:\\a"},
        // An earlier version's narrow text: its kind byte and the next make one unit, no kind of ours.
        {u"\x4344:\\a", HandOverKind::Delete, HandOverRole::OtherKind, u"\x4344:\\a"},
    };
    for (const Case& c : cases) {
        GuardedBlock block(c.before, true, 64);
        EXPECT_EQ(AppendRequestToHandOver(block.data(), 64, c.kind, u"D:\\\U0001F600"), c.role)
            << ::testing::PrintToString(c.before);
        EXPECT_EQ(block.Text(), c.after) << ::testing::PrintToString(c.before);
    }
    EXPECT_EQ(HandOverPathsOfKind(u"DC:\\a\rSD:\\b\r\rD\rDE:\\\U0001F600", HandOverKind::Delete),
              (std::vector<std::u16string>{u"C:\\a", u"E:\\\U0001F600"}));
}

struct WaitCase {
    std::vector<size_t> lengths;  // what successive measurements see
    int sleeps;
};

// A batch that was taken collects no more: a request starts a batch of its
// own in its place, except a deletion beside a search window's text, which is
// handled alone. A batch not taken (or no state at all) goes on as before.
TEST(JoinHandOver, ABatchThatWasTakenTakesNoMoreRequests) {
    struct Case {
        std::u16string text;
        bool hasState;
        uint32_t taken;
        HandOverKind kind;
        HandOverRole role;
        std::u16string after;
        uint32_t takenAfter;
    };
    const Case cases[] = {
        {u"DC:\\asked", true, 1, HandOverKind::Delete, HandOverRole::First, u"DD:\\new", 0},
        {u"DC:\\asked", true, 1, HandOverKind::Search, HandOverRole::First, u"SD:\\new", 0},
        {u"SC:\\window", true, 1, HandOverKind::Search, HandOverRole::First, u"SD:\\new", 0},
        {u"SC:\\window", true, 1, HandOverKind::Delete, HandOverRole::OtherKind, u"SC:\\window", 1},
        {u"DC:\\open", true, 0, HandOverKind::Delete, HandOverRole::Later, u"DC:\\open\rDD:\\new", 0},
        {u"DC:\\open", true, 0, HandOverKind::Search, HandOverRole::OtherKind, u"DC:\\open", 0},
        {u"DC:\\open", false, 0, HandOverKind::Delete, HandOverRole::Later, u"DC:\\open\rDD:\\new", 0},
        {u"", true, 0, HandOverKind::Delete, HandOverRole::First, u"DD:\\new", 0},
    };
    for (const Case& c : cases) {
        GuardedBlock block(c.text, true, kHandOverUnits);
        HandOverState state = {c.taken, 0, 0};
        const HandOverRole role =
            JoinHandOver(block.data(), kHandOverUnits, c.hasState ? &state : nullptr, c.kind, u"D:\\new");
        const std::string label =
            ::testing::PrintToString(c.text) + (c.taken ? " taken, " : " open, ") + static_cast<char>(c.kind);
        EXPECT_EQ(role, c.role) << label;
        EXPECT_EQ(block.Text(), c.after) << label;
        EXPECT_EQ(state.batchTaken, c.takenAfter) << label;
    }
}

TEST(WaitForQuietHandOver, EndsAfterOneWholePeriodWithoutGrowth) {
    const WaitCase cases[] = {
        {{5, 5}, 1},
        {{5, 9, 9}, 2},
        {{5, 9, 12, 12}, 3},
        {{5, 9, 5, 5}, 3},
    };
    for (const WaitCase& c : cases) {
        size_t next = 0;
        int sleeps = 0;
        WaitForQuietHandOver([&] { return c.lengths.at(next++); }, [&] { ++sleeps; });
        EXPECT_EQ(sleeps, c.sleeps);
        EXPECT_EQ(next, c.lengths.size());
    }
}

struct Box {
    std::string text, caption;
    unsigned type;
};

struct DeleteCase {
    const char* name;
    int answer;
    std::vector<bool> deleted;  // what each call returns, in order
    std::vector<Box> boxes;     // every message shown, in order
};

TEST(RunDeleteRequest, AsksOnceDeletesInOrderAndShowsOneResult) {
    const Box ask{"确认删除选中的文件夹？", "Orvelle", kBoxYesNo | kBoxIconQuestion};
    const Box allDone{"删除成功！", "Orvelle", kBoxIconInformation};
    const Box partly{"删除成功,但有部分未能删除！", "Orvelle", kBoxIconExclamation};
    const Box failed{"删除失败！", "Orvelle", kBoxIconExclamation};
    const int kNo = 7;
    const DeleteCase cases[] = {
        {"declined", kNo, {true, true}, {ask}},
        {"all deleted", kAnswerYes, {true, true, true}, {ask, allDone}},
        {"one of one", kAnswerYes, {true}, {ask, allDone}},
        {"some failed", kAnswerYes, {true, false, true}, {ask, partly}},
        {"first failed", kAnswerYes, {false, true}, {ask, partly}},
        {"none deleted", kAnswerYes, {false, false}, {ask, failed}},
        {"nothing listed", kAnswerYes, {}, {ask, failed}},
    };
    for (const DeleteCase& c : cases) {
        std::vector<std::u16string> paths;
        for (size_t i = 0; i < c.deleted.size(); ++i) paths.push_back(u"D:\\\U0001F600" + std::u16string(i, u'.'));
        std::vector<std::u16string> calls;
        std::vector<Box> boxes;
        RunDeleteRequest(
            paths,
            [&](const std::u16string& path) {
                calls.push_back(path);
                return c.deleted.at(calls.size() - 1);
            },
            [&](const std::string& text, const std::string& caption, unsigned type) {
                boxes.push_back({text, caption, type});
                return boxes.size() == 1 ? c.answer : 1;
            });
        EXPECT_EQ(calls, c.answer == kAnswerYes ? paths : std::vector<std::u16string>{}) << c.name;
        ASSERT_EQ(boxes.size(), c.boxes.size()) << c.name;
        for (size_t i = 0; i < boxes.size(); ++i) {
            EXPECT_EQ(boxes[i].text, c.boxes[i].text) << c.name;
            EXPECT_EQ(boxes[i].caption, c.boxes[i].caption) << c.name;
            EXPECT_EQ(boxes[i].type, c.boxes[i].type) << c.name;
        }
    }
}

}  // namespace
