// The command-line step within one process: this test plays the other
// instances by holding the hand-over block itself.
#include <gtest/gtest.h>

#include <windows.h>

#include <cstring>
#include <string>
#include <vector>

#include "CommandLineStep.h"
#include "HandOver.h"
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
        step.handled = HandleCommandLineArgument(step.sfm, step.appId, step.argument, step.recorder.Delete(),
                                                 step.recorder.Box());
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
    if (GetACP() != 936)
        GTEST_SKIP() << "the characters are chosen for code page 936";
    const std::wstring unrepresentable[] = {L"C:\\x\\\u00A5.txt", L"C:\\\u00C5ngstr\u00F6m", L"C:\\face\U0001F600"};
    for (const bool collector : {false, true}) {
        for (const std::wstring& path : unrepresentable) {
            const std::string appId = UniqueTestName(collector ? "refusedwith" : "refused");
            CSFMServer first;
            first.Open(nullptr, HandOverBlockName(appId).c_str(), 1);
            ASSERT_NE(first.GetBuffer(), nullptr);
            if (collector)
                std::strcpy(first.GetBuffer(), "DC:\\first");
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
    if (GetACP() != 936)
        GTEST_SKIP() << "the expected bytes are those of code page 936";
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
