// The command-line step within one process: this test plays the other
// instances by holding the hand-over block itself.
#include <gtest/gtest.h>

#include <windows.h>

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

#include "CommandLineStep.h"
#include "HandOver.h"
#include "HandOverMessages.h"
#include "TestNames.h"

namespace {

struct Recorder {
    std::vector<std::u16string> deleted;
    std::vector<std::string> boxes;
    int answer = kAnswerYes;

    DeletePathFn Delete() {
        return [this](const std::u16string& path) {
            deleted.push_back(path);
            return true;
        };
    }
    MessageBoxFn Box() {
        return [this](const std::string& text, const std::string&, unsigned) {
            boxes.push_back(text);
            return answer;
        };
    }
};

// The hand-over text of a view, and a text put there as another instance would.
std::u16string TextOf(const CSFMServer& view) {
    const auto* units = reinterpret_cast<const char16_t*>(view.GetBuffer());
    return units ? std::u16string(units, HandOverTextLength(units, kHandOverUnits)) : u"<no block>";
}

void SetText(CSFMServer& view, const std::u16string& text) {
    auto* units = reinterpret_cast<char16_t*>(view.GetBuffer());
    std::copy(text.begin(), text.end(), units);
    units[text.size()] = u'\0';
}

std::u16string BlockText(const std::string& appId) {
    CSFMServer view;
    view.Open(nullptr, HandOverBlockName(appId).c_str(), 1);
    return TextOf(view);
}

std::u16string U16(const std::wstring& text) { return std::u16string(text.begin(), text.end()); }

TEST(HandleCommandLineArgument, ShortArgumentLeavesTheDefaultBlock) {
    const std::string appId = UniqueTestName("short");
    CSFMServer sfm;
    Recorder r;
    const HandledArgument handled = HandleCommandLineArgument(sfm, appId, L"-p:", r.Delete(), r.Box());
    EXPECT_EQ(handled.end, StepEnd::OpenWindow);
    EXPECT_EQ(handled.searchPath, L"");
    EXPECT_STREQ(sfm.GetMapName(), "VSK_70041");
    EXPECT_TRUE(r.boxes.empty());
}

TEST(HandleCommandLineArgument, HandsThePathToTheCollectingInstance) {
    const std::string appId = UniqueTestName("later");
    CSFMServer first;
    first.Open(nullptr, HandOverBlockName(appId).c_str(), 1);
    ASSERT_NE(first.GetBuffer(), nullptr);
    SetText(first, u"DC:\\first");

    for (const wchar_t* argument : {L"-d:D:\\second", L"-X:F:\\\U0001F600"}) {
        CSFMServer sfm;
        Recorder r;
        const HandledArgument handled = HandleCommandLineArgument(sfm, appId, argument, r.Delete(), r.Box());
        EXPECT_EQ(handled.end, StepEnd::EndProcess);
        EXPECT_TRUE(r.boxes.empty());
        EXPECT_TRUE(r.deleted.empty());
    }
    EXPECT_EQ(TextOf(first), u"DC:\\first\rDD:\\second\rDF:\\\U0001F600");
}

// A request never joins a batch of the other kind: a search started while
// deletions are collected opens its own window, and a deletion started while a
// search window holds the block asks for itself. The block stays as it was.
TEST(HandleCommandLineArgument, ARequestOfTheOtherKindIsHandledAlone) {
    struct Case {
        const char16_t* block;
        const wchar_t* argument;
        StepEnd end;
        const wchar_t* searchPath;
        std::vector<std::u16string> deleted;
    };
    const Case cases[] = {
        {u"DC:\\batch", L"-p:E:\\look", StepEnd::OpenWindow, L"E:\\look", {}},
        {u"SC:\\window", L"-d:E:\\old.", StepEnd::EndProcess, L"", {u"E:\\old."}},
    };
    for (const Case& c : cases) {
        const std::string appId = UniqueTestName("otherkind");
        CSFMServer first;
        first.Open(nullptr, HandOverBlockName(appId).c_str(), 1);
        ASSERT_NE(first.GetBuffer(), nullptr);
        SetText(first, c.block);
        CSFMServer sfm;
        Recorder r;
        const HandledArgument handled = HandleCommandLineArgument(sfm, appId, c.argument, r.Delete(), r.Box());
        EXPECT_EQ(handled.end, c.end);
        EXPECT_EQ(handled.searchPath, c.searchPath);
        EXPECT_EQ(r.deleted, c.deleted);
        EXPECT_EQ(TextOf(first), c.block);
    }
}

struct StepOnThread {
    CSFMServer sfm;
    Recorder recorder;
    std::string appId;
    std::wstring argument;
    HandledArgument handled;

    static DWORD WINAPI Run(void* self) {
        StepOnThread& step = *static_cast<StepOnThread*>(self);
        step.handled =
            HandleCommandLineArgument(step.sfm, step.appId, step.argument, step.recorder.Delete(), step.recorder.Box());
        return 0;
    }
};

TEST(HandleCommandLineArgument, ClaimsTheFirstPlaceOnlyUnderTheLock) {
    const std::string appId = UniqueTestName("locked");
    CSFMServer holder;
    holder.Open(nullptr, HandOverBlockName(appId).c_str(), 1);
    ASSERT_NE(holder.GetBuffer(), nullptr);
    // This test is the instance that holds the lock while it claims the block.
    const HANDLE lock = CreateMutexA(nullptr, TRUE, HandOverLockName(appId).c_str());
    ASSERT_NE(lock, nullptr);

    StepOnThread step;
    step.appId = appId;
    step.argument = L"-d:D:\\late";
    const HANDLE thread = CreateThread(nullptr, 0, &StepOnThread::Run, &step, 0, nullptr);
    ASSERT_NE(thread, nullptr);
    Sleep(300);
    EXPECT_EQ(TextOf(holder), u"");  // it waits instead of claiming
    SetText(holder, u"DC:\\first");
    ReleaseMutex(lock);

    ASSERT_EQ(WaitForSingleObject(thread, 10000), WAIT_OBJECT_0);
    CloseHandle(thread);
    CloseHandle(lock);
    EXPECT_EQ(step.handled.end, StepEnd::EndProcess);
    EXPECT_EQ(TextOf(holder), u"DC:\\first\rDD:\\late");
    EXPECT_TRUE(step.recorder.boxes.empty());
}

DWORD WINAPI TakeLockAndQuit(void* name) {
    const HANDLE lock = CreateMutexA(nullptr, FALSE, static_cast<const char*>(name));
    WaitForSingleObject(lock, INFINITE);
    return 0;  // ends holding it, like an instance that crashed
}

TEST(HandleCommandLineArgument, ALockLeftByADeadHolderIsTakenOver) {
    const std::string appId = UniqueTestName("abandoned");
    const std::string lockName = HandOverLockName(appId);
    const HANDLE keep = CreateMutexA(nullptr, FALSE, lockName.c_str());  // outlives the thread
    const HANDLE thread = CreateThread(nullptr, 0, &TakeLockAndQuit, const_cast<char*>(lockName.c_str()), 0, nullptr);
    ASSERT_NE(thread, nullptr);
    ASSERT_EQ(WaitForSingleObject(thread, 10000), WAIT_OBJECT_0);
    CloseHandle(thread);

    CSFMServer sfm;
    Recorder r;
    EXPECT_EQ(HandleCommandLineArgument(sfm, appId, L"-d:D:\\x", r.Delete(), r.Box()).end, StepEnd::EndProcess);
    EXPECT_EQ(r.deleted, std::vector<std::u16string>{u"D:\\x"});
    CloseHandle(keep);
}

// The text is UTF-16 in the block's 4096 bytes: 2047 units and the terminator.
// A path that does not fit whole is refused, never cut (a character outside
// the basic plane is two units and is never halved).
TEST(HandleCommandLineArgument, RefusesAPathThatDoesNotFitWhole) {
    const std::string appId = UniqueTestName("full");
    CSFMServer first;
    first.Open(nullptr, HandOverBlockName(appId).c_str(), 1);
    ASSERT_NE(first.GetBuffer(), nullptr);
    SetText(first, u"DC:\\first");  // 9 units: 2048 - 9 - 3 are left for a path

    CSFMServer sfm;
    Recorder r;
    const std::wstring tooLong = L"D:\\" + std::wstring(2036 - 3 - 1, L'x') + L"\U0001F600";
    EXPECT_EQ(HandleCommandLineArgument(sfm, appId, L"-d:" + tooLong, r.Delete(), r.Box()).end, StepEnd::EndProcess);
    EXPECT_EQ(TextOf(first), u"DC:\\first");

    const std::wstring fits = L"D:\\" + std::wstring(2036 - 3 - 2, L'y') + L"\U0001F600";
    EXPECT_EQ(HandleCommandLineArgument(sfm, appId, L"-d:" + fits, r.Delete(), r.Box()).end, StepEnd::EndProcess);
    EXPECT_EQ(TextOf(first), u"DC:\\first\rD" + U16(fits));
    EXPECT_EQ(reinterpret_cast<const char16_t*>(first.GetBuffer())[kHandOverUnits - 1], u'\0');

    EXPECT_TRUE(r.boxes.empty());
    EXPECT_TRUE(r.deleted.empty());
}

TEST(HandleCommandLineArgument, FirstInstanceWithATooLongPathEndsWithoutWriting) {
    const std::string appId = UniqueTestName("firstlong");
    CSFMServer holder;  // keeps the block alive to look at it afterwards
    holder.Open(nullptr, HandOverBlockName(appId).c_str(), 1);
    CSFMServer sfm;
    Recorder r;
    const std::wstring tooLong(2047, L'z');  // with its kind letter one unit too many
    EXPECT_EQ(HandleCommandLineArgument(sfm, appId, L"-d:" + tooLong, r.Delete(), r.Box()).end, StepEnd::EndProcess);
    EXPECT_EQ(TextOf(holder), u"");
    EXPECT_TRUE(r.boxes.empty());
}

TEST(HandleCommandLineArgument, FirstSearchInstanceWaitsAndKeepsTheBlock) {
    const std::string appId = UniqueTestName("search");
    CSFMServer sfm;
    Recorder r;
    const DWORD start = GetTickCount();
    const HandledArgument handled = HandleCommandLineArgument(sfm, appId, L"-P:D:\\data", r.Delete(), r.Box());
    const DWORD elapsed = GetTickCount() - start;
    EXPECT_EQ(handled.end, StepEnd::OpenWindow);
    EXPECT_EQ(handled.searchPath, L"D:\\data");
    EXPECT_GE(elapsed, kHandOverQuietMs - 50);  // GetTickCount's own granularity
    EXPECT_TRUE(r.boxes.empty());
    // Later instances keep finding it taken while the window lives.
    EXPECT_EQ(BlockText(appId), u"SD:\\data");
}

TEST(HandleCommandLineArgument, FirstDeleteInstanceAsksAndDeletesItsOwnPath) {
    const std::string appId = UniqueTestName("delete");
    CSFMServer sfm;
    Recorder r;
    const HandledArgument handled = HandleCommandLineArgument(sfm, appId, L"-d:D:\\old", r.Delete(), r.Box());
    EXPECT_EQ(handled.end, StepEnd::EndProcess);
    EXPECT_EQ(r.deleted, std::vector<std::u16string>{u"D:\\old"});
    EXPECT_EQ(r.boxes, (std::vector<std::string>{"确认删除选中的文件夹？", "删除成功！"}));
}

TEST(HandleCommandLineArgument, DeclinedDeleteDeletesNothing) {
    const std::string appId = UniqueTestName("declined");
    CSFMServer sfm;
    Recorder r;
    r.answer = IDNO;
    EXPECT_EQ(HandleCommandLineArgument(sfm, appId, L"-d:D:\\old", r.Delete(), r.Box()).end, StepEnd::EndProcess);
    EXPECT_TRUE(r.deleted.empty());
    EXPECT_EQ(r.boxes, std::vector<std::string>{"确认删除选中的文件夹？"});
}

// Whatever the ANSI code page holds, a path goes on exactly as the command
// line gave it: into the hand-over text, to the deletion, into the field.
// Under 936 none of these has a character of its own (best fit would make
// "\u00A5" the full-width yen sign and "\u00C5" an "A").
TEST(HandleCommandLineArgument, APathOutsideTheCodePageGoesOnExactly) {
    const std::wstring paths[] = {L"C:\\x\\\u00A5.txt", L"C:\\\u00C5ngstr\u00F6m", L"C:\\\U0001F600.",
                                  L"C:\\\uD55C\uAE00\\\u596C\u72B6"};
    for (const std::wstring& path : paths) {
        const std::string appId = UniqueTestName("exact");
        CSFMServer first;
        first.Open(nullptr, HandOverBlockName(appId).c_str(), 1);
        ASSERT_NE(first.GetBuffer(), nullptr);
        SetText(first, u"DC:\\first");
        CSFMServer sfm;
        Recorder later;
        EXPECT_EQ(HandleCommandLineArgument(sfm, appId, L"-d:" + path, later.Delete(), later.Box()).end,
                  StepEnd::EndProcess);
        EXPECT_EQ(TextOf(first), u"DC:\\first\rD" + U16(path));

        const std::string ownId = UniqueTestName("exactown");
        HandOverBlocks own;
        Recorder r;
        EXPECT_EQ(HandleCommandLineArgument(own, ownId, L"-d:" + path, r.Delete(), r.Box()).end, StepEnd::EndProcess);
        EXPECT_EQ(r.deleted, std::vector<std::u16string>{U16(path)});
        EXPECT_EQ(r.boxes, (std::vector<std::string>{"确认删除选中的文件夹？", "删除成功！"}));
    }
}

// A first instance's own item may be written over by an instance of an
// earlier version, which writes its text in bytes; its own path is still deleted.
TEST(HandleCommandLineArgument, TheFirstInstanceKeepsItsOwnPathWhenItsItemIsWrittenOver) {
    const std::string appId = UniqueTestName("narrowwriter");
    bool writtenOver = false;
    // The test plays the earlier version while the first instance waits: it
    // writes "\rDF:\\old" in bytes after the text's first byte ("D", then 0).
    CSFMServer other;
    other.Open(nullptr, HandOverBlockName(appId).c_str(), 1);
    ASSERT_NE(other.GetBuffer(), nullptr);
    const DWORD start = GetTickCount();
    StepOnThread step;
    step.appId = appId;
    step.argument = L"-d:D:\\own";
    const HANDLE thread = CreateThread(nullptr, 0, &StepOnThread::Run, &step, 0, nullptr);
    ASSERT_NE(thread, nullptr);
    while (TextOf(other) != u"DD:\\own" && GetTickCount() - start < 5000) Sleep(10);
    ASSERT_EQ(TextOf(other), u"DD:\\own");
    {
        const HANDLE lock = CreateMutexA(nullptr, FALSE, HandOverLockName(appId).c_str());
        ASSERT_EQ(WaitForSingleObject(lock, 5000), WAIT_OBJECT_0);
        const char narrow[] = "DF:\\old";
        std::memcpy(other.GetBuffer() + 2, narrow, sizeof narrow);
        other.GetBuffer()[1] = '\r';
        writtenOver = true;
        ReleaseMutex(lock);
        CloseHandle(lock);
    }
    ASSERT_EQ(WaitForSingleObject(thread, 10000), WAIT_OBJECT_0);
    CloseHandle(thread);
    EXPECT_TRUE(writtenOver);
    EXPECT_EQ(step.handled.end, StepEnd::EndProcess);
    EXPECT_EQ(step.recorder.deleted, std::vector<std::u16string>{u"D:\\own"});
    EXPECT_EQ(step.recorder.boxes, (std::vector<std::string>{"确认删除选中的文件夹？", "删除成功！"}));
}

// ---- the batch taken, and the search window that takes later requests ------

// The state block beside the text, held by the test as an instance would.
HandOverState* OpenState(CSFMServer& holder, const std::string& appId) {
    holder.Open(nullptr, HandOverStateName(appId).c_str(), sizeof(HandOverState));
    return reinterpret_cast<HandOverState*>(holder.GetBuffer());
}

// A window of this thread that answers a handed folder as it is told; what
// it was handed is kept.
struct FakeSearchWindow {
    HWND hwnd = nullptr;
    LRESULT answer = TRUE;
    std::vector<std::u16string> taken;

    FakeSearchWindow() {
        WNDCLASSA wc = {};
        wc.lpfnWndProc = &Proc;
        wc.hInstance = GetModuleHandleA(nullptr);
        wc.lpszClassName = "OrvelleFakeSearchWindow";
        RegisterClassA(&wc);
        hwnd = CreateWindowA(wc.lpszClassName, "", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr, wc.hInstance, nullptr);
        SetWindowLongPtrA(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
    }
    ~FakeSearchWindow() {
        if (hwnd) DestroyWindow(hwnd);
    }
    uint32_t Handle() const { return static_cast<uint32_t>(reinterpret_cast<uintptr_t>(hwnd)); }

    static LRESULT CALLBACK Proc(HWND h, UINT message, WPARAM wParam, LPARAM lParam) {
        auto* self = reinterpret_cast<FakeSearchWindow*>(GetWindowLongPtrA(h, GWLP_USERDATA));
        if (message == WM_COPYDATA && self) {
            const auto* data = reinterpret_cast<const COPYDATASTRUCT*>(lParam);
            self->taken.push_back(
                data->dwData == kCopyDataSearchPathW
                    ? std::u16string(static_cast<const char16_t*>(data->lpData), data->cbData / sizeof(char16_t))
                    : u"<other tag>");
            return self->answer;
        }
        return DefWindowProcA(h, message, wParam, lParam);
    }
};

// A search request goes to the recorded window once the batch in the text is
// taken; it opens its own window when that one does not take it or is gone,
// and while searches are still collected it joins them as before.
TEST(HandleCommandLineArgument, ASearchRequestGoesToTheOpenSearchWindow) {
    enum class Window { Takes, Refuses, Gone, None };
    struct Case {
        const char* name;
        std::u16string text;
        uint32_t taken;
        Window window;
        StepEnd end;
        std::wstring searchPath;
        std::vector<std::u16string> handed;
        std::u16string after;
    };
    // Handed over in UTF-16, exactly.
    const std::u16string kNew = u"D:\new😀";
    const std::wstring kNewW = L"D:\new😀";
    const Case cases[] = {
        {"taken by the window", u"SC:\\window", 1, Window::Takes, StepEnd::EndProcess, L"", {kNew}, u"SC:\\window"},
        {"refused by the window",
         u"SC:\\window",
         1,
         Window::Refuses,
         StepEnd::OpenWindow,
         kNewW,
         {kNew},
         u"SC:\\window"},
        {"window gone", u"SC:\\window", 1, Window::Gone, StepEnd::OpenWindow, kNewW, {}, u"S" + kNew},
        {"no window", u"DC:\\asked", 1, Window::None, StepEnd::OpenWindow, kNewW, {}, u"S" + kNew},
        {"searches collecting",
         u"SC:\\collect",
         0,
         Window::Takes,
         StepEnd::EndProcess,
         L"",
         {},
         u"SC:\\collect\rS" + kNew},
        {"deletes collecting", u"DC:\\collect", 0, Window::Takes, StepEnd::EndProcess, L"", {kNew}, u"DC:\\collect"},
    };
    for (const Case& c : cases) {
        const std::string appId = UniqueTestName("window");
        CSFMServer text, stateHolder;
        text.Open(nullptr, HandOverBlockName(appId).c_str(), 1);
        HandOverState* state = OpenState(stateHolder, appId);
        ASSERT_TRUE(text.GetBuffer() && state);
        SetText(text, c.text);
        state->batchTaken = c.taken;
        FakeSearchWindow window;
        ASSERT_NE(window.hwnd, nullptr);
        window.answer = c.window == Window::Refuses ? FALSE : TRUE;
        if (c.window != Window::None) {
            state->windowProcess = GetCurrentProcessId();
            state->windowHandle = window.Handle();
        }
        if (c.window == Window::Gone) {
            DestroyWindow(window.hwnd);
            window.hwnd = nullptr;
        }

        HandOverBlocks blocks;
        Recorder r;
        const HandledArgument handled = HandleCommandLineArgument(blocks, appId, L"-p:" + kNewW, r.Delete(), r.Box());
        EXPECT_EQ(handled.end, c.end) << c.name;
        EXPECT_EQ(handled.searchPath, c.searchPath) << c.name;
        EXPECT_EQ(window.taken, c.handed) << c.name;
        EXPECT_EQ(TextOf(text), c.after) << c.name;
        EXPECT_TRUE(r.boxes.empty()) << c.name;
    }
}

// Once its quiet period is over, the first instance has taken its batch: the
// text stays to be read, and a request after that starts its own batch.
TEST(HandleCommandLineArgument, TheFirstInstanceTakesItsBatchAndALaterRequestStartsAnother) {
    const std::string appId = UniqueTestName("taken");
    CSFMServer stateHolder;
    HandOverState* state = OpenState(stateHolder, appId);
    ASSERT_NE(state, nullptr);

    HandOverBlocks first;
    Recorder r;
    std::vector<std::u16string> laterDeleted;
    r.answer = IDNO;
    // Asked, the first instance is where a later request arrives.
    const MessageBoxFn askedBox = [&](const std::string& text, const std::string&, unsigned) {
        if (text == "确认删除选中的文件夹？" && laterDeleted.empty()) {
            EXPECT_EQ(state->batchTaken, 1u) << "asked while still collecting";
            EXPECT_EQ(TextOf(first.text), u"DD:\\asked");
            HandOverBlocks later;
            Recorder l;
            EXPECT_EQ(HandleCommandLineArgument(later, appId, L"-d:D:\\later", l.Delete(), l.Box()).end,
                      StepEnd::EndProcess);
            laterDeleted = l.deleted;
            EXPECT_EQ(l.boxes, (std::vector<std::string>{"确认删除选中的文件夹？", "删除成功！"}));
        }
        return IDNO;
    };
    EXPECT_EQ(HandleCommandLineArgument(first, appId, L"-d:D:\\asked", r.Delete(), askedBox).end, StepEnd::EndProcess);
    EXPECT_EQ(laterDeleted, std::vector<std::u16string>{u"D:\\later"}) << "the later request was taken in and lost";
    EXPECT_TRUE(r.deleted.empty());
}

// The window a search request opened is recorded unless another live one is;
// it takes back only its own record.
TEST(RecordSearchWindow, RecordsOneLiveWindowAndForgetsOnlyItsOwn) {
    const std::string appId = UniqueTestName("record");
    HandOverBlocks blocks;
    HandOverState* state = OpenState(blocks.state, appId);
    ASSERT_NE(state, nullptr);
    FakeSearchWindow one, two;

    // Blocks that took no part in the hand-over hold the default block: no record goes there.
    HandOverBlocks untouched;
    ASSERT_NE(untouched.state.GetBuffer(), nullptr);
    RecordSearchWindow(untouched, appId, one.hwnd);
    EXPECT_EQ(std::string(untouched.state.GetBuffer(), sizeof(HandOverState)),
              std::string(sizeof(HandOverState), '\0'));

    RecordSearchWindow(blocks, appId, one.hwnd);
    EXPECT_EQ(state->windowProcess, GetCurrentProcessId());
    EXPECT_EQ(state->windowHandle, one.Handle());
    RecordSearchWindow(blocks, appId, two.hwnd);
    EXPECT_EQ(state->windowHandle, one.Handle()) << "a live window lost its record";
    ForgetSearchWindow(blocks, appId, two.hwnd);
    EXPECT_EQ(state->windowHandle, one.Handle()) << "another window's record was taken back";

    DestroyWindow(one.hwnd);
    one.hwnd = nullptr;
    RecordSearchWindow(blocks, appId, two.hwnd);
    EXPECT_EQ(state->windowHandle, two.Handle()) << "a gone window kept its record";
    ForgetSearchWindow(blocks, appId, two.hwnd);
    EXPECT_EQ(state->windowProcess, 0u);
    EXPECT_EQ(state->windowHandle, 0u);
}

TEST(FirstArgumentOf, TheVerbsQuotedPathComesBackWhole) {
    struct Case {
        const wchar_t* commandLine;
        const wchar_t* argument;
    };
    const Case cases[] = {
        {L"\"C:\\Program Files\\Orvelle.exe\" \"-p:C:\\\"", L"-p:C:\\"},  // a drive root
        {L"\"C:\\Program Files\\Orvelle.exe\" \"-d:D:\\a b\\c.\"", L"-d:D:\\a b\\c."},
        {L"Orvelle.exe -p:D:\\work\\", L"-p:D:\\work\\"},
        {L"Orvelle.exe", L""},
    };
    for (const Case& c : cases) EXPECT_EQ(FirstArgumentOf(c.commandLine), c.argument);
}

}  // namespace
