// The portable half of the command-line step: the argument, the hand-over
// text and the delete request.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "CommandLine.h"
#include "DeleteRequest.h"
#include "HandOver.h"

namespace {

struct ArgumentCase {
    std::string argument;
    RequestKind kind;
    std::string path;
};

TEST(ClassifyArgument, PrefixDecidesBetweenSearchAndDelete) {
    const ArgumentCase cases[] = {
        {"", RequestKind::None, ""},
        {"-p:", RequestKind::None, ""},
        {"-d:", RequestKind::None, ""},
        {"abc", RequestKind::None, ""},
        {"-p:D:\\data", RequestKind::Search, "D:\\data"},
        {"-P:D:\\data", RequestKind::Search, "D:\\data"},
        {"-p:a", RequestKind::Search, "a"},
        {"-p: ", RequestKind::Search, " "},
        {"-d:D:\\data", RequestKind::Delete, "D:\\data"},
        {"-D:D:\\data", RequestKind::Delete, "D:\\data"},
        {"-x:D:\\data", RequestKind::Delete, "D:\\data"},
        {"-pD:\\x", RequestKind::Delete, ":\\x"},
        {"p:-D:\\x", RequestKind::Delete, "D:\\x"},
        {"-d:D:\\奬状", RequestKind::Delete, "D:\\奬状"},
    };
    for (const ArgumentCase& c : cases) {
        const CommandLineRequest request = ClassifyArgument(c.argument);
        EXPECT_EQ(request.kind, c.kind) << c.argument;
        EXPECT_EQ(request.path, c.path) << c.argument;
    }
}

struct SplitCase {
    std::string text;
    std::vector<std::string> items;
};

TEST(SplitHandOverText, EveryEndedItemCountsTheLastOnlyWhenNotEmpty) {
    const SplitCase cases[] = {
        {"", {}},
        {"a", {"a"}},
        {"C:\\a\rD:\\b", {"C:\\a", "D:\\b"}},
        {"a\r", {"a"}},
        {"\r", {""}},
        {"\ra", {"", "a"}},
        {"a\r\rb", {"a", "", "b"}},
        {"a\r\r", {"a", ""}},
        {"a\nb\r\nc", {"a\nb", "\nc"}},  // only CR separates
        {"D:\\奬状\rE:\\x", {"D:\\奬状", "E:\\x"}},
    };
    for (const SplitCase& c : cases) EXPECT_EQ(SplitHandOverText(c.text), c.items) << c.text;
}

struct AppendCase {
    const char* name;
    std::string before;  // text in the block; "\x7F" bytes fill a block without terminator
    bool terminated;
    std::string path;
    size_t room;
    HandOverRole role;
    std::string after;
};

TEST(AppendToHandOver, ClaimsAppendsOrRefusesWithoutEverCutting) {
    const AppendCase cases[] = {
        {"first claims", "", true, "C:\\a", 16, HandOverRole::First, "C:\\a"},
        {"later appends", "C:\\a", true, "D:\\b", 16, HandOverRole::Later, "C:\\a\rD:\\b"},
        {"first fills the room", "", true, "1234567", 8, HandOverRole::First, "1234567"},
        {"first one byte too long", "", true, "12345678", 8, HandOverRole::Refused, ""},
        {"later fills the room", "abc", true, "def", 8, HandOverRole::Later, "abc\rdef"},
        {"later one byte too long", "abc", true, "defg", 8, HandOverRole::Refused, "abc"},
        {"no terminator in the block", std::string(8, '\x7F'), false, "a", 8, HandOverRole::Refused,
         std::string(8, '\x7F')},
        {"carriage return would split it", "C:\\a", true, "D:\\b\rC:\\Windows", 64, HandOverRole::Refused, "C:\\a"},
        {"carriage return, first", "", true, "D:\\b\rC:\\Windows", 64, HandOverRole::Refused, ""},
        {"empty path", "C:\\a", true, "", 64, HandOverRole::Refused, "C:\\a"},
        {"GBK path", "C:\\a", true, "D:\\奬状", 64, HandOverRole::Later, "C:\\a\rD:\\奬状"},
    };
    for (const AppendCase& c : cases) {
        // Guard bytes after the room catch any write past its end.
        std::vector<char> block(c.room + 16, '\x55');
        std::memcpy(block.data(), c.before.data(), c.before.size());
        if (c.terminated) block[c.before.size()] = '\0';
        EXPECT_EQ(AppendToHandOver(block.data(), c.room, c.path), c.role) << c.name;
        EXPECT_EQ(std::string(block.data(), HandOverTextLength(block.data(), c.room)), c.after) << c.name;
        for (size_t i = c.room; i < block.size(); ++i)
            ASSERT_EQ(block[i], '\x55') << c.name << ": written past the room at " << i;
    }
}

TEST(AppendToHandOver, RealRoomTakesAPathOf4095BytesWhenFirst) {
    std::vector<char> block(kHandOverRoom, '\0');
    EXPECT_EQ(AppendToHandOver(block.data(), kHandOverRoom, std::string(4096, 'p')), HandOverRole::Refused);
    EXPECT_EQ(AppendToHandOver(block.data(), kHandOverRoom, std::string(4095, 'p')), HandOverRole::First);
    EXPECT_EQ(AppendToHandOver(block.data(), kHandOverRoom, "q"), HandOverRole::Refused);
    EXPECT_EQ(HandOverTextLength(block.data(), kHandOverRoom), 4095u);
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
        const char* text;
        bool hasState;
        uint32_t taken;
        HandOverKind kind;
        HandOverRole role;
        const char* after;
        uint32_t takenAfter;
    };
    const Case cases[] = {
        {"DC:\\asked", true, 1, HandOverKind::Delete, HandOverRole::First, "DD:\\new", 0},
        {"DC:\\asked", true, 1, HandOverKind::Search, HandOverRole::First, "SD:\\new", 0},
        {"SC:\\window", true, 1, HandOverKind::Search, HandOverRole::First, "SD:\\new", 0},
        {"SC:\\window", true, 1, HandOverKind::Delete, HandOverRole::OtherKind, "SC:\\window", 1},
        {"DC:\\open", true, 0, HandOverKind::Delete, HandOverRole::Later, "DC:\\open\rDD:\\new", 0},
        {"DC:\\open", true, 0, HandOverKind::Search, HandOverRole::OtherKind, "DC:\\open", 0},
        {"DC:\\open", false, 0, HandOverKind::Delete, HandOverRole::Later, "DC:\\open\rDD:\\new", 0},
        {"", true, 0, HandOverKind::Delete, HandOverRole::First, "DD:\\new", 0},
    };
    for (const Case& c : cases) {
        std::vector<char> block(kHandOverRoom, '\0');
        std::strcpy(block.data(), c.text);
        HandOverState state = {c.taken, 0, 0};
        const HandOverRole role =
            JoinHandOver(block.data(), block.size(), c.hasState ? &state : nullptr, c.kind, "D:\\new");
        const std::string label = std::string(c.text) + (c.taken ? " taken, " : " open, ") + static_cast<char>(c.kind);
        EXPECT_EQ(role, c.role) << label;
        EXPECT_EQ(std::string(block.data()), c.after) << label;
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
        std::vector<std::string> paths;
        for (size_t i = 0; i < c.deleted.size(); ++i) paths.push_back("D:\\item" + std::to_string(i));
        std::vector<std::string> calls;
        std::vector<Box> boxes;
        RunDeleteRequest(
            paths,
            [&](const std::string& path) {
                calls.push_back(path);
                return c.deleted.at(calls.size() - 1);
            },
            [&](const std::string& text, const std::string& caption, unsigned type) {
                boxes.push_back({text, caption, type});
                return boxes.size() == 1 ? c.answer : 1;
            });
        EXPECT_EQ(calls, c.answer == kAnswerYes ? paths : std::vector<std::string>{}) << c.name;
        ASSERT_EQ(boxes.size(), c.boxes.size()) << c.name;
        for (size_t i = 0; i < boxes.size(); ++i) {
            EXPECT_EQ(boxes[i].text, c.boxes[i].text) << c.name;
            EXPECT_EQ(boxes[i].caption, c.boxes[i].caption) << c.name;
            EXPECT_EQ(boxes[i].type, c.boxes[i].type) << c.name;
        }
    }
}

}  // namespace
