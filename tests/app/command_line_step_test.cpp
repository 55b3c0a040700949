// The command-line step within one process: this test plays the other
// instances by holding the hand-over block itself.
#include <gtest/gtest.h>

#include <windows.h>

#include <cstring>
#include <string>
#include <vector>

#include "CommandLineStep.h"
#include "HandOver.h"
#include "HandOverMessages.h"
#include "TestNames.h"

namespace {

struct Recorder {
    std::vector<std::string> deleted;
    std::vector<std::string> boxes;
    int answer = kAnswerYes;

    DeletePathFn Delete() {
        return [this](const std::string& path) {
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

std::string BlockText(const std::string& appId) {
    CSFMServer view;
    view.Open(nullptr, HandOverBlockName(appId).c_str(), 1);
    return view.GetBuffer() ? std::string(view.GetBuffer()) : "<no block>";
}

TEST(HandleCommandLineArgument, ShortArgumentLeavesTheDefaultBlock) {
    const std::string appId = UniqueTestName("short");
    CSFMServer sfm;
    Recorder r;
    const HandledArgument handled = HandleCommandLineArgument(sfm, appId, "-p:", r.Delete(), r.Box());
    EXPECT_EQ(handled.end, StepEnd::OpenWindow);
    EXPECT_EQ(handled.searchPath, "");
    EXPECT_STREQ(sfm.GetMapName(), "VSK_70041");
    EXPECT_TRUE(r.boxes.empty());
}

TEST(HandleCommandLineArgument, HandsThePathToTheCollectingInstance) {
    const std::string appId = UniqueTestName("later");
    CSFMServer first;
    first.Open(nullptr, HandOverBlockName(appId).c_str(), 1);
    ASSERT_NE(first.GetBuffer(), nullptr);
    std::strcpy(first.GetBuffer(), "DC:\\first");

    for (const char* argument : {"-d:D:\\second", "-X:F:\\奬状"}) {
        CSFMServer sfm;
        Recorder r;
        const HandledArgument handled = HandleCommandLineArgument(sfm, appId, argument, r.Delete(), r.Box());
        EXPECT_EQ(handled.end, StepEnd::EndProcess) << argument;
        EXPECT_TRUE(r.boxes.empty()) << argument;
        EXPECT_TRUE(r.deleted.empty()) << argument;
    }
    EXPECT_EQ(std::string(first.GetBuffer()), "DC:\\first\rDD:\\second\rDF:\\奬状");
}

// A request never joins a batch of the other kind: a search started while
// deletions are collected opens its own window, and a deletion started while a
// search window holds the block asks for itself. The block stays as it was.
TEST(HandleCommandLineArgument, ARequestOfTheOtherKindIsHandledAlone) {
    struct Case {
        const char* block;
        const char* argument;
        StepEnd end;
        const char* searchPath;
        std::vector<std::string> deleted;
    };
    const Case cases[] = {
        {"DC:\\batch", "-p:E:\\look", StepEnd::OpenWindow, "E:\\look", {}},
        {"SC:\\window", "-d:E:\\old.", StepEnd::EndProcess, "", {"E:\\old."}},
    };
    for (const Case& c : cases) {
        const std::string appId = UniqueTestName("otherkind");
        CSFMServer first;
        first.Open(nullptr, HandOverBlockName(appId).c_str(), 1);
        ASSERT_NE(first.GetBuffer(), nullptr);
        std::strcpy(first.GetBuffer(), c.block);
        CSFMServer sfm;
        Recorder r;
        const HandledArgument handled = HandleCommandLineArgument(sfm, appId, c.argument, r.Delete(), r.Box());
        EXPECT_EQ(handled.end, c.end) << c.argument;
        EXPECT_EQ(handled.searchPath, c.searchPath) << c.argument;
        EXPECT_EQ(r.deleted, c.deleted) << c.argument;
        EXPECT_EQ(std::string(first.GetBuffer()), c.block) << c.argument;
    }
}

struct StepOnThread {
    CSFMServer sfm;
    Recorder recorder;
    std::string appId, argument;
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
    step.argument = "-d:D:\\late";
    const HANDLE thread = CreateThread(nullptr, 0, &StepOnThread::Run, &step, 0, nullptr);
    ASSERT_NE(thread, nullptr);
    Sleep(300);
    EXPECT_EQ(std::string(holder.GetBuffer()), "");  // it waits instead of claiming
    std::strcpy(holder.GetBuffer(), "DC:\\first");
    ReleaseMutex(lock);

    ASSERT_EQ(WaitForSingleObject(thread, 10000), WAIT_OBJECT_0);
    CloseHandle(thread);
    CloseHandle(lock);
    EXPECT_EQ(step.handled.end, StepEnd::EndProcess);
    EXPECT_EQ(std::string(holder.GetBuffer()), "DC:\\first\rDD:\\late");
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
    EXPECT_EQ(HandleCommandLineArgument(sfm, appId, "-d:D:\\x", r.Delete(), r.Box()).end, StepEnd::EndProcess);
    EXPECT_EQ(r.deleted, std::vector<std::string>{"D:\\x"});
    CloseHandle(keep);
}

TEST(HandleCommandLineArgument, RefusesAPathThatDoesNotFitWhole) {
    const std::string appId = UniqueTestName("full");
    CSFMServer first;
    first.Open(nullptr, HandOverBlockName(appId).c_str(), 1);
    ASSERT_NE(first.GetBuffer(), nullptr);
    std::strcpy(first.GetBuffer(), "DC:\\first");  // 9 bytes: 4096 - 9 - 3 are left for a path

    CSFMServer sfm;
    Recorder r;
    const std::string tooLong = "D:\\" + std::string(4085 - 3, 'x');
    EXPECT_EQ(HandleCommandLineArgument(sfm, appId, "-d:" + tooLong, r.Delete(), r.Box()).end, StepEnd::EndProcess);
    EXPECT_EQ(std::string(first.GetBuffer()), "DC:\\first");

    const std::string fits = "D:\\" + std::string(4084 - 3, 'y');
    EXPECT_EQ(HandleCommandLineArgument(sfm, appId, "-d:" + fits, r.Delete(), r.Box()).end, StepEnd::EndProcess);
    EXPECT_EQ(std::string(first.GetBuffer()), "DC:\\first\rD" + fits);
    EXPECT_EQ(first.GetBuffer()[4095], '\0');

    EXPECT_TRUE(r.boxes.empty());
    EXPECT_TRUE(r.deleted.empty());
}

TEST(HandleCommandLineArgument, FirstInstanceWithATooLongPathEndsWithoutWriting) {
    const std::string appId = UniqueTestName("firstlong");
    CSFMServer holder;  // keeps the block alive to look at it afterwards
    holder.Open(nullptr, HandOverBlockName(appId).c_str(), 1);
    CSFMServer sfm;
    Recorder r;
    const std::string tooLong(4096, 'z');
    EXPECT_EQ(HandleCommandLineArgument(sfm, appId, "-d:" + tooLong, r.Delete(), r.Box()).end, StepEnd::EndProcess);
    EXPECT_EQ(std::string(holder.GetBuffer()), "");
    EXPECT_TRUE(r.boxes.empty());
}

TEST(HandleCommandLineArgument, FirstSearchInstanceWaitsAndKeepsTheBlock) {
    const std::string appId = UniqueTestName("search");
    CSFMServer sfm;
    Recorder r;
    const DWORD start = GetTickCount();
    const HandledArgument handled = HandleCommandLineArgument(sfm, appId, "-P:D:\\data", r.Delete(), r.Box());
    const DWORD elapsed = GetTickCount() - start;
    EXPECT_EQ(handled.end, StepEnd::OpenWindow);
    EXPECT_EQ(handled.searchPath, "D:\\data");
    EXPECT_GE(elapsed, kHandOverQuietMs - 50);  // GetTickCount's own granularity
    EXPECT_TRUE(r.boxes.empty());
    // Later instances keep finding it taken while the window lives.
    EXPECT_EQ(BlockText(appId), "SD:\\data");
}

TEST(HandleCommandLineArgument, FirstDeleteInstanceAsksAndDeletesItsOwnPath) {
    const std::string appId = UniqueTestName("delete");
    CSFMServer sfm;
    Recorder r;
    const HandledArgument handled = HandleCommandLineArgument(sfm, appId, "-d:D:\\old", r.Delete(), r.Box());
    EXPECT_EQ(handled.end, StepEnd::EndProcess);
    EXPECT_EQ(r.deleted, std::vector<std::string>{"D:\\old"});
    EXPECT_EQ(r.boxes, (std::vector<std::string>{"确认删除选中的文件夹？", "删除成功！"}));
}

TEST(HandleCommandLineArgument, DeclinedDeleteDeletesNothing) {
    const std::string appId = UniqueTestName("declined");
    CSFMServer sfm;
    Recorder r;
    r.answer = IDNO;
    EXPECT_EQ(HandleCommandLineArgument(sfm, appId, "-d:D:\\old", r.Delete(), r.Box()).end, StepEnd::EndProcess);
    EXPECT_TRUE(r.deleted.empty());
    EXPECT_EQ(r.boxes, std::vector<std::string>{"确认删除选中的文件夹？"});
}

// Under code page 936 these have no character of their own; best-fit would
// turn them into look-alikes (U+00A5 into the full-width yen sign, U+00C5
// into "A"), which name other entries.
TEST(HandleWideArgument, APathTheCodePageCannotHoldIsRefusedBeforeTheHandOver) {
    if (GetACP() != 936) GTEST_SKIP() << "the characters are chosen for code page 936";
    const std::wstring unrepresentable[] = {L"C:\\x\\\u00A5.txt", L"C:\\\u00C5ngstr\u00F6m", L"C:\\face\U0001F600"};
    for (const bool collector : {false, true}) {
        for (const std::wstring& path : unrepresentable) {
            const std::string appId = UniqueTestName(collector ? "refusedwith" : "refused");
            CSFMServer first;
            first.Open(nullptr, HandOverBlockName(appId).c_str(), 1);
            ASSERT_NE(first.GetBuffer(), nullptr);
            if (collector) std::strcpy(first.GetBuffer(), "DC:\\first");
            const std::string before = first.GetBuffer();

            CSFMServer sfm;
            Recorder r;
            const HandledArgument del = HandleWideArgument(sfm, appId, L"-d:" + path, r.Delete(), r.Box());
            EXPECT_EQ(del.end, StepEnd::EndProcess);
            EXPECT_TRUE(r.deleted.empty());
            EXPECT_EQ(r.boxes, std::vector<std::string>{"删除失败！"});

            Recorder s;
            const HandledArgument search = HandleWideArgument(sfm, appId, L"-p:" + path, s.Delete(), s.Box());
            EXPECT_EQ(search.end, StepEnd::OpenWindow);
            EXPECT_EQ(search.searchPath, "");
            EXPECT_TRUE(s.boxes.empty());
            EXPECT_EQ(std::string(first.GetBuffer()), before) << "a refused path was handed over";
        }
    }
}

TEST(HandleWideArgument, APathTheCodePageHoldsGoesOnInItsBytes) {
    if (GetACP() != 936) GTEST_SKIP() << "the expected bytes are those of code page 936";
    const std::string appId = UniqueTestName("exact");
    CSFMServer first;
    first.Open(nullptr, HandOverBlockName(appId).c_str(), 1);
    ASSERT_NE(first.GetBuffer(), nullptr);
    std::strcpy(first.GetBuffer(), "DC:\\first");
    CSFMServer sfm;
    Recorder r;
    // The second byte of 奬 is 0x5C, the byte of "\".
    EXPECT_EQ(HandleWideArgument(sfm, appId, L"-d:D:\\\u596C\u72B6\\caf\u00E9.", r.Delete(), r.Box()).end,
              StepEnd::EndProcess);
    EXPECT_EQ(std::string(first.GetBuffer()), "DC:\\first\rDD:\\\x8A\x5C\xD7\xB4\\caf\xA8\xA6.");
    EXPECT_TRUE(r.boxes.empty());
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
    std::vector<std::string> taken;

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
            self->taken.push_back(data->dwData == kCopyDataSearchPath
                                      ? std::string(static_cast<const char*>(data->lpData), data->cbData)
                                      : "<other tag>");
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
        const char* text;
        uint32_t taken;
        Window window;
        StepEnd end;
        const char* searchPath;
        std::vector<std::string> handed;
        const char* after;
    };
    const Case cases[] = {
        {"taken by the window", "SC:\\window", 1, Window::Takes, StepEnd::EndProcess, "", {"D:\\new"}, "SC:\\window"},
        {"refused by the window",
         "SC:\\window",
         1,
         Window::Refuses,
         StepEnd::OpenWindow,
         "D:\\new",
         {"D:\\new"},
         "SC:\\window"},
        {"window gone", "SC:\\window", 1, Window::Gone, StepEnd::OpenWindow, "D:\\new", {}, "SD:\\new"},
        {"no window", "DC:\\asked", 1, Window::None, StepEnd::OpenWindow, "D:\\new", {}, "SD:\\new"},
        {"searches collecting",
         "SC:\\collect",
         0,
         Window::Takes,
         StepEnd::EndProcess,
         "",
         {},
         "SC:\\collect\rSD:\\new"},
        {"deletes collecting", "DC:\\collect", 0, Window::Takes, StepEnd::EndProcess, "", {"D:\\new"}, "DC:\\collect"},
    };
    for (const Case& c : cases) {
        const std::string appId = UniqueTestName("window");
        CSFMServer text, stateHolder;
        text.Open(nullptr, HandOverBlockName(appId).c_str(), 1);
        HandOverState* state = OpenState(stateHolder, appId);
        ASSERT_TRUE(text.GetBuffer() && state);
        std::strcpy(text.GetBuffer(), c.text);
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
        const HandledArgument handled = HandleCommandLineArgument(blocks, appId, "-p:D:\\new", r.Delete(), r.Box());
        EXPECT_EQ(handled.end, c.end) << c.name;
        EXPECT_EQ(handled.searchPath, c.searchPath) << c.name;
        EXPECT_EQ(window.taken, c.handed) << c.name;
        EXPECT_EQ(std::string(text.GetBuffer()), c.after) << c.name;
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
    std::vector<std::string> laterDeleted;
    r.answer = IDNO;
    // Asked, the first instance is where a later request arrives.
    const MessageBoxFn askedBox = [&](const std::string& text, const std::string&, unsigned) {
        if (text == "确认删除选中的文件夹？" && laterDeleted.empty()) {
            EXPECT_EQ(state->batchTaken, 1u) << "asked while still collecting";
            EXPECT_EQ(std::string(first.text.GetBuffer()), "DD:\\asked");
            HandOverBlocks later;
            Recorder l;
            EXPECT_EQ(HandleCommandLineArgument(later, appId, "-d:D:\\later", l.Delete(), l.Box()).end,
                      StepEnd::EndProcess);
            laterDeleted = l.deleted;
            EXPECT_EQ(l.boxes, (std::vector<std::string>{"确认删除选中的文件夹？", "删除成功！"}));
        }
        return IDNO;
    };
    EXPECT_EQ(HandleCommandLineArgument(first, appId, "-d:D:\\asked", r.Delete(), askedBox).end, StepEnd::EndProcess);
    EXPECT_EQ(laterDeleted, std::vector<std::string>{"D:\\later"}) << "the later request was taken in and lost";
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
