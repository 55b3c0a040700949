// The real Orvelle.exe, started as the shell starts it and driven from outside
// through its windows, its message boxes and its hand-over block.
#include <gtest/gtest.h>

#include <windows.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "OrvelleFixture.h"

#ifndef ORVELLE_E2E_ARTIFACTS
#error "ORVELLE_E2E_ARTIFACTS: where the screenshots go"
#endif

namespace {

using namespace orvelle_e2e;
using e2e::Process;
using e2e::Sandbox;

constexpr DWORD kHandOverQuietMs = 1000;
// The collecting instance is held while the others hand over (see
// HoldCollector), so a slow start does not end its wait; should it have
// asked before it was held all the same, the start is undone and tried again,
// this many times at most.
constexpr int kStartAttempts = 3;

const char kConfirmText[] = "确认删除选中的文件夹？";
const char kDeletedText[] = "删除成功！";
const char kSummaryHead[] = "搜索完成，共搜索了";

std::string RestTitle() {
    return DecodeStoredText(StoredText::ProductTitle) + "[Ver1.3] - " + DecodeStoredText(StoredText::NoticeText);
}

// The block's text as it stands, in UTF-16.
std::wstring RawHandOverTextW() {
    std::wstring text;
    e2e::ReadNamedBlockText(HandOverBlock(), HandOverLock(), text);
    return text;
}

// The same in the ANSI code page, as the tests' narrow paths are.
std::string RawHandOverText() {
    const std::wstring wide = RawHandOverTextW();
    std::string text(wide.size() * 2, '\0');
    text.resize(static_cast<size_t>(WideCharToMultiByte(CP_ACP, 0, wide.data(), static_cast<int>(wide.size()), &text[0],
                                                        static_cast<int>(text.size()), nullptr, nullptr)));
    return text;
}

// The block's paths, each item's kind letter taken off.
std::string HandOverText() {
    std::string text = RawHandOverText(), paths;
    bool atItem = true;
    for (char c : text) {
        if (atItem) {
            atItem = false;
            continue;
        }
        paths += c;
        atItem = c == '\r';
    }
    return paths;
}

// The kind letter of each item ("S" search, "D" delete).
std::string HandOverKinds() {
    std::string text = RawHandOverText(), kinds;
    bool atItem = true;
    for (char c : text) {
        if (atItem) kinds += c;
        atItem = c == '\r';
    }
    return kinds;
}

// Holds the first instance's thread, which collects the paths, at a moment it
// does not hold the hand-over lock: however slowly the others start, its
// quiet period cannot pass before they have all handed over.
bool HoldCollector(Process& collector) {
    const HANDLE lock = OpenMutexA(SYNCHRONIZE, FALSE, HandOverLock().c_str());
    if (!lock) return false;
    bool held = false;
    for (int attempt = 0; attempt < 1000 && !held; ++attempt) {
        if (!collector.Suspend()) break;
        const DWORD wait = WaitForSingleObject(lock, 0);
        if (wait == WAIT_OBJECT_0 || wait == WAIT_ABANDONED) {
            ReleaseMutex(lock);
            held = true;
        } else {
            collector.Resume();  // it holds the lock for a moment: let it finish
            Sleep(1);
        }
    }
    CloseHandle(lock);
    return held;
}

std::string Joined(const std::vector<std::string>& paths) {
    std::string text;
    for (const std::string& path : paths) text += (text.empty() ? "" : "\r") + path;
    return text;
}

std::vector<std::string> SplitAtCr(const std::string& text) {
    std::vector<std::string> items;
    size_t start = 0;
    for (size_t end; (end = text.find('\r', start)) != std::string::npos; start = end + 1)
        items.push_back(text.substr(start, end - start));
    if (start < text.size()) items.push_back(text.substr(start));
    return items;
}

bool EndsWith(const std::string& text, const std::string& tail) {
    return text.size() > tail.size() && text.compare(text.size() - tail.size(), tail.size(), tail) == 0;
}

// Milliseconds from the process's creation until now.
DWORD MsSinceCreation(HANDLE process) {
    FILETIME created, exited, kernel, user, now;
    if (!GetProcessTimes(process, &created, &exited, &kernel, &user)) return 0;
    GetSystemTimeAsFileTime(&now);
    ULARGE_INTEGER a, b;
    a.LowPart = created.dwLowDateTime;
    a.HighPart = created.dwHighDateTime;
    b.LowPart = now.dwLowDateTime;
    b.HighPart = now.dwHighDateTime;
    return b.QuadPart > a.QuadPart ? static_cast<DWORD>((b.QuadPart - a.QuadPart) / 10000) : 0;
}

// ---- start without an argument: the saved path and its saving on close ------

struct CloseCase {
    const char* name;
    const char* saved;  // "Path" written before the start; null: no settings file
    const char* typed;  // put into the path field before closing; null: left as it is
    UINT message;       // how the window is closed
    WPARAM wParam;
};

const CloseCase kCloseCases[] = {
    {"SavedPathShownTypedTextSavedOnWmClose", "D:\\旧的数据\\报告", "E:\\新的目录\\下载", WM_CLOSE, 0},
    {"SavedPathKeptWhenUntouchedOnSysClose", "C:\\data\\keep this", nullptr, WM_SYSCOMMAND, SC_CLOSE},
    {"NoSettingsFileEmptyFieldSavedAsEmpty", nullptr, nullptr, WM_SYSCOMMAND, SC_CLOSE},
    {"SavedPathClearedByUserSavedAsEmpty", "C:\\data", "", WM_CLOSE, 0},
};

class NoArgumentStart : public OrvelleE2E, public ::testing::WithParamInterface<CloseCase> {};

TEST_P(NoArgumentStart, ShowsSavedPathAndSavesFieldOnClose) {
    const CloseCase& c = GetParam();
    if (c.saved) {
        ASSERT_TRUE(m_box.WriteSavedPath(c.saved));
    }

    Process& program = Launch(nullptr);
    HWND window = WaitForMainWindow(program);
    ASSERT_NE(window, nullptr) << "no main window";

    EXPECT_EQ(e2e::ControlText(window, kEditPath), c.saved ? c.saved : "");
    const std::string title = e2e::TextOf(window);
    EXPECT_NE(title.find("[Ver1.3] - "), std::string::npos) << title;
    EXPECT_EQ(title, RestTitle());
    EXPECT_EQ(e2e::ControlText(window, kButtonSearch), kSearchButtonRest);
    EXPECT_EQ(e2e::ListItemCount(GetDlgItem(window, kListResult)), 0);
    // No argument: no hand-over, and nothing for a later "-d:" to hand its path to.
    EXPECT_FALSE(e2e::NamedBlockExists(HandOverBlock()));

    if (c.typed) {
        ASSERT_TRUE(e2e::SetControlText(window, kEditPath, c.typed));
    }
    ASSERT_TRUE(PostMessageA(window, c.message, c.wParam, 0));
    ASSERT_TRUE(program.WaitExit(kExitTimeoutMs)) << "the window did not close";

    std::string saved;
    ASSERT_TRUE(m_box.ReadSavedPath(saved)) << "no \"Path\" in " << m_box.SettingsFile();
    EXPECT_EQ(saved, c.typed ? c.typed : (c.saved ? c.saved : ""));
}

INSTANTIATE_TEST_SUITE_P(Close, NoArgumentStart, ::testing::ValuesIn(kCloseCases),
                         [](const ::testing::TestParamInfo<CloseCase>& info) { return info.param.name; });

// ---- "-p:": the search request -----------------------------------------------

TEST_F(OrvelleE2E, SearchRequestFillsPathFieldAfterQuietPeriodAndADeleteRequestAsksForItself) {
    ASSERT_TRUE(m_box.WriteSavedPath("D:\\saved\\elsewhere"));
    ASSERT_TRUE(m_box.MakeFolder("tree"));
    ASSERT_TRUE(m_box.MakeFile("tree\\report."));
    const std::string tree = m_box.Path("tree");
    const std::string report = m_box.Path("tree\\report.");

    Process& program = Launch("-p:" + tree);
    HWND window = WaitForMainWindow(program);
    ASSERT_NE(window, nullptr) << "no main window";
    const DWORD shownAfterMs = MsSinceCreation(program.Handle());
    EXPECT_GE(shownAfterMs, kHandOverQuietMs) << "the window came before the hand-over fell quiet";

    EXPECT_EQ(e2e::ControlText(window, kEditPath), tree) << "the saved path must not replace the request's";
    EXPECT_EQ(e2e::TextOf(window), RestTitle());
    // The window keeps the block, with its own path in it, for as long as it lives.
    EXPECT_EQ(HandOverText(), tree);

    EXPECT_EQ(HandOverKinds(), "S");

    // A delete request from the shell does not join the search's block: it
    // asks for itself (and, answered No, deletes nothing).
    Process& later = Launch("-d:" + report);
    e2e::WindowWatch watch({later.Id(), program.Id()});
    HWND confirm = WaitForBoxWatched(watch, {later.Id()}, kBoxCaption, kWindowTimeoutMs);
    ASSERT_NE(confirm, nullptr) << "the delete request was lost";
    EXPECT_EQ(e2e::MessageBoxText(confirm), kConfirmText);
    ASSERT_TRUE(e2e::AnswerMessageBox(confirm, IDNO));
    DWORD exitCode = 99;
    EXPECT_TRUE(e2e::WaitUntil(
        [&] {
            watch.Sample();
            return later.WaitExit(0, &exitCode);
        },
        kExitTimeoutMs));
    EXPECT_EQ(exitCode, 0u);
    EXPECT_EQ(watch.SeenFor(program.Id()).size(), 1u) << "the search window showed something";
    EXPECT_TRUE(m_box.Exists("tree\\report.")) << "answered No, yet something was deleted";
    EXPECT_EQ(HandOverText(), tree);
    EXPECT_EQ(e2e::ControlText(window, kEditPath), tree);

    ASSERT_TRUE(CloseMainWindow(program, window));
    std::string saved;
    ASSERT_TRUE(m_box.ReadSavedPath(saved));
    EXPECT_EQ(saved, tree);
    EXPECT_TRUE(e2e::WaitUntil([] { return !e2e::NamedBlockExists(HandOverBlock()); }, kExitTimeoutMs))
        << "the block outlived the window";
}

// ---- "-d:": delete requests from several instances ---------------------------

TEST_F(OrvelleE2E, ThreeDeleteRequestsAskOnceAndDeleteAllInArrivalOrder) {
    struct Entry {
        const char* name;  // ends in "\" for a folder
        const char* twin;  // its well-formed neighbour, which must stay
    };
    const Entry entries[] = {
        {"report.", "report"},
        {"dir.\\", "dir\\"},
        {"con", "console"},
    };
    std::vector<std::string> paths;
    for (const Entry& entry : entries) {
        MakeEntry(entry.name);
        MakeEntry(entry.twin);
        paths.push_back(m_box.Path(Bare(entry.name)));
    }
    ASSERT_FALSE(HasFatalFailure());

    // All three are created first; each is let go once the one before has
    // handed its path over, which fixes the arrival order.
    std::vector<Process*> instances;
    std::vector<DWORD> pids;
    std::unique_ptr<e2e::WindowWatch> watchHolder;
    HWND confirm = nullptr;
    for (int attempt = 0; attempt < kStartAttempts && !confirm; ++attempt) {
        KillAll();
        instances.clear();
        pids.clear();
        for (const std::string& path : paths) instances.push_back(&Launch("-d:" + path, true));
        for (Process* instance : instances) pids.push_back(instance->Id());
        watchHolder = std::make_unique<e2e::WindowWatch>(pids);
        e2e::WindowWatch& watch = *watchHolder;

        bool inTime = true;
        for (size_t i = 0; inTime && i < instances.size(); ++i) {
            ASSERT_TRUE(instances[i]->Resume());
            const std::string expected = Joined(std::vector<std::string>(paths.begin(), paths.begin() + i + 1));
            ASSERT_TRUE(e2e::WaitUntil(
                [&] {
                    watch.Sample();
                    return HandOverText() == expected;
                },
                kWindowTimeoutMs))
                << "path " << i << " did not arrive; the block holds: " << HandOverText();
            if (i == 0) {
                ASSERT_TRUE(HoldCollector(*instances[0]));
            }
            // The first already asked: it was not held in time.
            inTime = e2e::MessageBoxesOf(pids).empty();
        }
        ASSERT_TRUE(instances[0]->Resume());
        if (inTime)
            confirm = WaitForBoxWatched(watch, pids, nullptr, kWindowTimeoutMs);
        else
            std::printf("attempt %d: a path came late; starting again\n", attempt + 1);
        if (inTime && !confirm) FAIL() << "no confirmation";
    }
    ASSERT_NE(confirm, nullptr) << "each time, a path came more than one quiet period after the one before,"
                                   " or the confirmation came before the last path";
    e2e::WindowWatch& watch = *watchHolder;
    EXPECT_EQ(e2e::ProcessOfWindow(confirm), instances[0]->Id()) << "the first instance asks";
    EXPECT_EQ(e2e::TextOf(confirm), kBoxCaption);
    EXPECT_EQ(e2e::MessageBoxText(confirm), kConfirmText);
    EXPECT_TRUE(GetDlgItem(confirm, IDYES) && GetDlgItem(confirm, IDNO));

    for (size_t i = 1; i < instances.size(); ++i) {
        DWORD exitCode = 99;
        EXPECT_TRUE(instances[i]->WaitExit(kExitTimeoutMs, &exitCode)) << "instance " << i << " still runs";
        EXPECT_EQ(exitCode, 0u) << "instance " << i;
        EXPECT_TRUE(watch.SeenFor(instances[i]->Id()).empty()) << "instance " << i << " showed a window";
    }
    // Asked while the box is up: all three paths, in the order they came.
    EXPECT_EQ(HandOverText(), Joined(paths));
    EXPECT_EQ(e2e::MessageBoxesOf(pids).size(), 1u);
    for (const Entry& entry : entries)
        EXPECT_TRUE(m_box.Exists(Bare(entry.name))) << "deleted before the answer: " << entry.name;

    ASSERT_TRUE(e2e::AnswerMessageBox(confirm, IDYES));
    HWND result = WaitForBoxWatched(watch, {instances[0]->Id()}, kBoxCaption, kWindowTimeoutMs);
    ASSERT_NE(result, nullptr) << "no result message";
    EXPECT_NE(result, confirm);
    EXPECT_EQ(e2e::MessageBoxText(result), kDeletedText);
    for (const Entry& entry : entries) {
        EXPECT_FALSE(m_box.Exists(Bare(entry.name))) << "not deleted: " << entry.name;
        EXPECT_TRUE(m_box.Exists(Bare(entry.twin))) << "twin gone: " << entry.twin;
    }
    ASSERT_TRUE(e2e::AnswerMessageBox(result, IDOK));
    DWORD exitCode = 99;
    EXPECT_TRUE(instances[0]->WaitExit(kExitTimeoutMs, &exitCode));
    EXPECT_EQ(exitCode, 0u);
    EXPECT_EQ(watch.SeenFor(instances[0]->Id()).size(), 2u) << "only the question and the result";
}

TEST_F(OrvelleE2E, DeleteRequestAnsweredNoDeletesNothing) {
    MakeEntry("tree\\");
    MakeEntry("tree\\report.");
    MakeEntry("tree\\dir.\\");
    ASSERT_FALSE(HasFatalFailure());

    Process& program = Launch("-d:" + m_box.Path("tree\\dir."));
    e2e::WindowWatch watch({program.Id()});
    HWND confirm = WaitForBoxWatched(watch, {program.Id()}, kBoxCaption, kWindowTimeoutMs);
    ASSERT_NE(confirm, nullptr);
    EXPECT_EQ(e2e::MessageBoxText(confirm), kConfirmText);
    EXPECT_EQ(HandOverText(), m_box.Path("tree\\dir."));

    ASSERT_TRUE(e2e::AnswerMessageBox(confirm, IDNO));
    DWORD exitCode = 99;
    EXPECT_TRUE(e2e::WaitUntil(
        [&] {
            watch.Sample();
            return program.WaitExit(0, &exitCode);
        },
        kExitTimeoutMs))
        << "still running after No";
    EXPECT_EQ(exitCode, 0u);
    EXPECT_EQ(watch.SeenFor(program.Id()).size(), 1u) << "a message after No";
    EXPECT_TRUE(m_box.Exists("tree\\dir."));
    EXPECT_TRUE(m_box.Exists("tree\\dir.\\inside.txt"));
    EXPECT_TRUE(m_box.Exists("tree\\report."));
}

TEST_F(OrvelleE2E, TwentyDeleteRequestsAtOnceAreEachHandledOnce) {
    ASSERT_TRUE(m_box.MakeFolder("many"));
    std::vector<std::string> names;
    for (int i = 0; i < 20; ++i) {
        char name[32];
        // Files and folders, with a trailing dot, a trailing blank, or a device name.
        switch (i % 4) {
        case 0: std::snprintf(name, sizeof name, "many\\file%02d.", i); break;
        case 1: std::snprintf(name, sizeof name, "many\\folder%02d.\\", i); break;
        case 2: std::snprintf(name, sizeof name, "many\\blank%02d \\", i); break;
        default: std::snprintf(name, sizeof name, "many\\aux.%02d", i); break;
        }
        names.push_back(name);
        MakeEntry(name);
    }
    MakeEntry("many\\file00");
    MakeEntry("many\\folder01\\");
    ASSERT_FALSE(HasFatalFailure());

    std::vector<std::string> paths;
    for (const std::string& name : names) paths.push_back(m_box.Path(Bare(name)));
    std::vector<Process*> instances;
    std::vector<DWORD> pids;
    std::unique_ptr<e2e::WindowWatch> watchHolder;
    HWND confirm = nullptr;
    for (int attempt = 0; attempt < kStartAttempts && !confirm; ++attempt) {
        KillAll();
        instances.clear();
        pids.clear();
        for (const std::string& path : paths) instances.push_back(&Launch("-d:" + path, true));
        for (Process* instance : instances) pids.push_back(instance->Id());
        watchHolder = std::make_unique<e2e::WindowWatch>(pids);
        for (Process* instance : instances) ASSERT_TRUE(instance->Resume());
        // Whichever claimed the block collects: it is held until all have handed over.
        std::string first;
        ASSERT_TRUE(e2e::WaitUntil(
            [&] {
                const std::vector<std::string> items = SplitAtCr(HandOverText());
                if (!items.empty()) first = items[0];
                return !first.empty();
            },
            // Twenty programs starting at once take a while on an emulated or busy machine.
            4 * kWindowTimeoutMs));
        Process* collector = nullptr;
        for (size_t i = 0; i < paths.size(); ++i)
            if (paths[i] == first) collector = instances[i];
        ASSERT_NE(collector, nullptr) << "an unknown path came first: " << first;
        ASSERT_TRUE(HoldCollector(*collector));
        e2e::WaitUntil([&] { return SplitAtCr(HandOverText()).size() == paths.size(); }, 2 * kWindowTimeoutMs);
        ASSERT_TRUE(collector->Resume());

        // The block is read before each look for the box: when the box is
        // there, every path must already have been in the block.
        size_t arrived = 0;
        HWND box = nullptr;
        e2e::WaitUntil(
            [&] {
                arrived = SplitAtCr(HandOverText()).size();
                box = WaitForBoxWatched(*watchHolder, pids, nullptr, 0);
                return box != nullptr;
            },
            2 * kWindowTimeoutMs);
        if (!box) FAIL() << "no confirmation";
        if (arrived == paths.size())
            confirm = box;
        else
            std::printf("attempt %d: asked after %u of %u paths; starting again\n", attempt + 1,
                        static_cast<unsigned>(arrived), static_cast<unsigned>(paths.size()));
    }
    ASSERT_NE(confirm, nullptr) << "each time, the confirmation came before every path was handed over";
    e2e::WindowWatch& watch = *watchHolder;
    const DWORD asker = e2e::ProcessOfWindow(confirm);
    EXPECT_EQ(e2e::TextOf(confirm), kBoxCaption);
    EXPECT_EQ(e2e::MessageBoxText(confirm), kConfirmText);

    // Every other instance hands over and ends without a word.
    for (Process* instance : instances) {
        if (instance->Id() == asker) continue;
        DWORD exitCode = 99;
        EXPECT_TRUE(e2e::WaitUntil(
            [&] {
                watch.Sample();
                return instance->WaitExit(0, &exitCode);
            },
            kExitTimeoutMs));
        EXPECT_EQ(exitCode, 0u);
        EXPECT_TRUE(watch.SeenFor(instance->Id()).empty()) << "a second instance showed a window";
    }
    EXPECT_EQ(e2e::MessageBoxesOf(pids).size(), 1u);

    std::vector<std::string> collected = SplitAtCr(HandOverText());
    std::vector<std::string> expected = paths;
    std::sort(collected.begin(), collected.end());
    std::sort(expected.begin(), expected.end());
    EXPECT_EQ(collected, expected) << "every path exactly once";

    ASSERT_TRUE(e2e::AnswerMessageBox(confirm, IDYES));
    HWND result = e2e::WaitForMessageBox({asker}, kBoxCaption, kWindowTimeoutMs);
    ASSERT_NE(result, nullptr);
    EXPECT_EQ(e2e::MessageBoxText(result), kDeletedText);
    ASSERT_TRUE(e2e::AnswerMessageBox(result, IDOK));
    for (Process* instance : instances) {
        if (instance->Id() != asker) continue;
        DWORD exitCode = 99;
        EXPECT_TRUE(instance->WaitExit(kExitTimeoutMs, &exitCode));
        EXPECT_EQ(exitCode, 0u);
    }
    for (const std::string& name : names) EXPECT_FALSE(m_box.Exists(Bare(name))) << "not deleted: " << name;
    EXPECT_TRUE(m_box.Exists("many\\file00"));
    EXPECT_TRUE(m_box.Exists("many\\folder01\\inside.txt"));
}

// ---- requests that come while a window or a confirmation is open ---------------

TEST_F(OrvelleE2E, ALaterSearchRequestBringsTheOpenWindowForwardWithItsFolder) {
    ASSERT_TRUE(m_box.MakeFolder("first"));
    ASSERT_TRUE(m_box.MakeFolder("second"));
    const std::string first = m_box.Path("first"), second = m_box.Path("second");

    Process& program = Launch("-p:" + first);
    HWND window = WaitForMainWindow(program);
    ASSERT_NE(window, nullptr) << "no main window";
    ASSERT_EQ(e2e::ControlText(window, kEditPath), first);
    // Out of the way, as a window the user left behind another program.
    ShowWindow(window, SW_MINIMIZE);
    ASSERT_TRUE(e2e::WaitUntil([&] { return IsIconic(window) != FALSE; }, kWindowTimeoutMs));

    Process& later = Launch("-p:" + second);
    e2e::WindowWatch watch({later.Id(), program.Id()});
    EXPECT_TRUE(e2e::WaitUntil(
        [&] {
            watch.Sample();
            return e2e::ControlText(window, kEditPath) == second;
        },
        kWindowTimeoutMs))
        << "the open window still shows " << e2e::ControlText(window, kEditPath);
    DWORD exitCode = 99;
    EXPECT_TRUE(e2e::WaitUntil(
        [&] {
            watch.Sample();
            return later.WaitExit(0, &exitCode);
        },
        kExitTimeoutMs))
        << "the later instance stays";
    EXPECT_EQ(exitCode, 0u);
    EXPECT_TRUE(watch.SeenFor(later.Id()).empty()) << "the later instance opened a window of its own";
    EXPECT_FALSE(IsIconic(window)) << "the window was not brought back";
    EXPECT_TRUE(e2e::WaitUntil([&] { return GetForegroundWindow() == window; }, kWindowTimeoutMs))
        << "the window is not in front";

    // The field is the window's own: a search now starts from the new folder, and it is what is saved.
    ASSERT_TRUE(CloseMainWindow(program, window));
    std::string saved;
    ASSERT_TRUE(m_box.ReadSavedPath(saved));
    EXPECT_EQ(saved, second);
}

// The path field is the user's while a search runs: what is typed stays, and
// a search request that arrives meanwhile is kept and put into the field when
// the search ends, exactly, whatever the code page holds; its own instance
// ends at once, as always. On close the field is saved when the settings
// file's code page holds it, and the value saved before stays otherwise.
struct HandedDuringSearchCase {
    const char* name;
    const wchar_t* folder;
    bool savedAsIs;
};

const HandedDuringSearchCase kHandedDuringSearchCases[] = {
    {"CodePageFolder", L"next \u4E0B\u8F7D", true},
    {"EmojiFolder", L"next \U0001F600", false},
};

class HandedDuringSearch : public OrvelleE2E, public ::testing::WithParamInterface<HandedDuringSearchCase> {};

TEST_P(HandedDuringSearch, TypingStaysAndARequestThatCameMeanwhileReachesTheField) {
    const HandedDuringSearchCase& c = GetParam();
    // A search that lasts: the host's /usr as Wine shows it, a large tree that
    // is only listed (a tree made here would take longer to make than to search).
    const std::string big = "Z:\\usr";
    if (GetFileAttributesA(big.c_str()) == INVALID_FILE_ATTRIBUTES) GTEST_SKIP() << "no large tree to search";
    ASSERT_TRUE(m_box.MakeFolderW(c.folder));
    const std::wstring next = m_box.PathW(c.folder);
    const std::string typed = m_box.Path("typed by hand");
    ASSERT_TRUE(m_box.WriteSavedPath("D:\\saved before"));

    Process& program = Launch("-p:" + big);
    HWND window = WaitForMainWindow(program);
    ASSERT_NE(window, nullptr) << "no main window";
    auto searching = [&] { return e2e::ControlText(window, kButtonSearch) == "停止"; };
    ASSERT_TRUE(e2e::ClickLater(window, kButtonSearch));
    ASSERT_TRUE(e2e::WaitUntil(searching, kWindowTimeoutMs));
    ASSERT_TRUE(e2e::SetControlText(window, kEditPath, typed));
    Sleep(1500);  // three ticks of the progress display
    ASSERT_TRUE(searching()) << "the search ended too soon to tell";
    EXPECT_EQ(e2e::ControlText(window, kEditPath), typed) << "the search wrote over what was typed";

    Process& later = LaunchW(L"-p:" + next);
    DWORD exitCode = 99;
    EXPECT_TRUE(later.WaitExit(kExitTimeoutMs, &exitCode)) << "the later instance stays";
    EXPECT_EQ(exitCode, 0u);
    ASSERT_TRUE(searching()) << "the search ended before the request came";
    EXPECT_EQ(e2e::ControlText(window, kEditPath), typed) << "the request replaced what is typed";

    // Its end, here by the stop button, puts the folder handed over into the field.
    ASSERT_TRUE(e2e::ClickLater(window, kButtonSearch));
    HWND summary = e2e::WaitForMessageBox({program.Id()}, kBoxCaption, 60000);
    ASSERT_NE(summary, nullptr) << "no summary";
    EXPECT_EQ(e2e::MessageBoxText(summary).rfind("搜索已停止", 0), 0u) << e2e::MessageBoxText(summary);
    EXPECT_EQ(e2e::ControlTextW(window, kEditPath), next) << "the request did not reach the field exactly";
    ASSERT_TRUE(e2e::AnswerMessageBox(summary, IDOK));
    ASSERT_TRUE(e2e::WaitUntil([&] { return !IsWindow(summary); }, kWindowTimeoutMs));
    ASSERT_TRUE(CloseMainWindow(program, window));
    std::string saved;
    ASSERT_TRUE(m_box.ReadSavedPath(saved));
    EXPECT_EQ(saved, c.savedAsIs ? e2e::AnsiOf(next) : "D:\\saved before");
}

INSTANTIATE_TEST_SUITE_P(Folder, HandedDuringSearch, ::testing::ValuesIn(kHandedDuringSearchCases),
                         [](const ::testing::TestParamInfo<HandedDuringSearchCase>& info) { return info.param.name; });

// Requests name entries by their exact names, whatever the ANSI code page
// holds: a folder named with an emoji (two UTF-16 units, not in code page
// 936) is searched, and "-d:" of "😀." deletes that file, not its twin "😀".
TEST_F(OrvelleE2E, ASearchRequestOutsideTheCodePageSearchesThatFolder) {
    const std::wstring folder = L"\U0001F600 \uD55C\uAE00";
    ASSERT_TRUE(m_box.MakeFolderW(folder));
    for (const wchar_t* name : {L"\\a.", L"\\con", L"\\\U0001F600 ", L"\\fine.txt"})
        ASSERT_TRUE(m_box.MakeFileW(folder + name)) << e2e::AnsiOf(name);
    const std::wstring path = m_box.PathW(folder);

    Process& program = LaunchW(L"-p:" + path);
    HWND window = WaitForMainWindow(program);
    ASSERT_NE(window, nullptr) << "no main window";
    EXPECT_EQ(e2e::ControlTextW(window, kEditPath), path);

    const std::string summary = RunSearch(program, window);
    EXPECT_EQ(summary.rfind(kSummaryHead, 0), 0u) << summary;
    HWND list = GetDlgItem(window, kListResult);
    std::vector<std::wstring> names;
    for (int row = 0; row < e2e::ListItemCount(list); ++row) {
        std::wstring cell;
        EXPECT_TRUE(e2e::ReadListTextW(list, row, 0, cell));
        names.push_back(cell);
    }
    std::vector<std::wstring> expected = {path + L"\\\U0001F600 ", path + L"\\a.", path + L"\\con"};
    std::sort(names.begin(), names.end());
    std::sort(expected.begin(), expected.end());
    EXPECT_EQ(names, expected);
    ASSERT_TRUE(CloseMainWindow(program, window));
}

TEST_F(OrvelleE2E, ADeleteRequestOutsideTheCodePageDeletesThatEntryOnly) {
    ASSERT_TRUE(m_box.MakeFileW(L"\U0001F600."));
    ASSERT_TRUE(m_box.MakeFileW(L"\U0001F600"));

    Process& program = LaunchW(L"-d:" + m_box.PathW(L"\U0001F600."));
    HWND confirm = e2e::WaitForMessageBox({program.Id()}, kBoxCaption, kWindowTimeoutMs);
    ASSERT_NE(confirm, nullptr) << "no question";
    EXPECT_EQ(e2e::MessageBoxTextW(confirm), L"确认删除选中的文件夹？");
    EXPECT_TRUE(m_box.ExistsW(L"\U0001F600.")) << "deleted before the answer";
    ASSERT_TRUE(e2e::AnswerMessageBox(confirm, IDYES));
    HWND result = nullptr;
    ASSERT_TRUE(e2e::WaitUntil(
        [&] {
            result = e2e::WaitForMessageBox({program.Id()}, kBoxCaption, 0);
            return result && result != confirm;
        },
        kWindowTimeoutMs))
        << "no result";
    EXPECT_EQ(e2e::MessageBoxTextW(result), L"删除成功！");
    ASSERT_TRUE(e2e::AnswerMessageBox(result, IDOK));
    DWORD exitCode = 99;
    EXPECT_TRUE(program.WaitExit(kExitTimeoutMs, &exitCode));
    EXPECT_EQ(exitCode, 0u);
    EXPECT_FALSE(m_box.ExistsW(L"\U0001F600."));
    EXPECT_TRUE(m_box.ExistsW(L"\U0001F600")) << "its twin went too";
}

struct LaterDeleteCase {
    const char* name;
    int answer;  // to the later request's confirmation
    bool deleted;
};

const LaterDeleteCase kLaterDeleteCases[] = {
    {"AnsweredYesDeletes", IDYES, true},
    {"AnsweredNoKeeps", IDNO, false},
};

class LaterDeleteRequest : public OrvelleE2E, public ::testing::WithParamInterface<LaterDeleteCase> {};

// While a search window is open, a delete request from the shell asks for
// itself and does what the answer says; the window is left as it was.
TEST_P(LaterDeleteRequest, WhileASearchWindowIsOpenAsksForItself) {
    const LaterDeleteCase& c = GetParam();
    ASSERT_TRUE(m_box.MakeFolder("tree"));
    MakeEntry("tree\\old.\\");
    MakeEntry("tree\\old\\");
    ASSERT_FALSE(HasFatalFailure());
    const std::string tree = m_box.Path("tree");

    Process& program = Launch("-p:" + tree);
    HWND window = WaitForMainWindow(program);
    ASSERT_NE(window, nullptr) << "no main window";

    Process& later = Launch("-d:" + m_box.Path("tree\\old."));
    e2e::WindowWatch watch({later.Id(), program.Id()});
    HWND confirm = WaitForBoxWatched(watch, {later.Id()}, kBoxCaption, kWindowTimeoutMs);
    ASSERT_NE(confirm, nullptr) << "the delete request was lost";
    EXPECT_EQ(e2e::MessageBoxText(confirm), kConfirmText);
    ASSERT_TRUE(e2e::AnswerMessageBox(confirm, c.answer));
    if (c.deleted) {
        HWND result = WaitForBoxWatched(watch, {later.Id()}, kBoxCaption, kWindowTimeoutMs);
        ASSERT_NE(result, nullptr) << "no result message";
        EXPECT_EQ(e2e::MessageBoxText(result), kDeletedText);
        ASSERT_TRUE(e2e::AnswerMessageBox(result, IDOK));
    }
    DWORD exitCode = 99;
    EXPECT_TRUE(e2e::WaitUntil(
        [&] {
            watch.Sample();
            return later.WaitExit(0, &exitCode);
        },
        kExitTimeoutMs));
    EXPECT_EQ(exitCode, 0u);
    EXPECT_EQ(m_box.Exists("tree\\old."), !c.deleted);
    EXPECT_EQ(m_box.Exists("tree\\old.\\inside.txt"), !c.deleted);
    EXPECT_TRUE(m_box.Exists("tree\\old\\inside.txt")) << "the twin went";
    EXPECT_EQ(watch.SeenFor(program.Id()).size(), 1u) << "the search window showed something";
    EXPECT_EQ(e2e::ControlText(window, kEditPath), tree);
    EXPECT_TRUE(CloseMainWindow(program, window));
}

INSTANTIATE_TEST_SUITE_P(Answer, LaterDeleteRequest, ::testing::ValuesIn(kLaterDeleteCases),
                         [](const ::testing::TestParamInfo<LaterDeleteCase>& info) { return info.param.name; });

// A delete request that comes while another one's confirmation is up joins no
// batch: that batch was taken when its question came. It asks for itself.
TEST_F(OrvelleE2E, ADeleteRequestAfterABatchWasTakenAsksForItself) {
    MakeEntry("asked.");
    MakeEntry("later.\\");
    ASSERT_FALSE(HasFatalFailure());

    Process& first = Launch("-d:" + m_box.Path("asked."));
    e2e::WindowWatch watch({first.Id()});
    HWND firstBox = WaitForBoxWatched(watch, {first.Id()}, kBoxCaption, kWindowTimeoutMs);
    ASSERT_NE(firstBox, nullptr);
    EXPECT_EQ(e2e::MessageBoxText(firstBox), kConfirmText);

    Process& later = Launch("-d:" + m_box.Path("later."));
    HWND laterBox = e2e::WaitForMessageBox({later.Id()}, kBoxCaption, kWindowTimeoutMs);
    ASSERT_NE(laterBox, nullptr) << "the later request was absorbed by a batch already asked about";
    EXPECT_EQ(e2e::MessageBoxText(laterBox), kConfirmText);
    ASSERT_TRUE(e2e::AnswerMessageBox(laterBox, IDYES));
    HWND result = e2e::WaitForMessageBox({later.Id()}, kBoxCaption, kWindowTimeoutMs);
    ASSERT_NE(result, nullptr);
    EXPECT_EQ(e2e::MessageBoxText(result), kDeletedText);
    EXPECT_FALSE(m_box.Exists("later.")) << "the later request deleted nothing";
    EXPECT_TRUE(m_box.Exists("asked.")) << "the first request's entry went before its answer";
    ASSERT_TRUE(e2e::AnswerMessageBox(result, IDOK));
    EXPECT_TRUE(later.WaitExit(kExitTimeoutMs));

    ASSERT_TRUE(e2e::AnswerMessageBox(firstBox, IDNO));
    EXPECT_TRUE(first.WaitExit(kExitTimeoutMs));
    EXPECT_TRUE(m_box.Exists("asked.")) << "answered No, yet deleted";
}

// ---- a search, started and read from outside ---------------------------------

// A tree with malformed entries at two depths, some inside folders that are
// themselves listed (and so never entered), beside well-formed neighbours.
struct TreeEntry {
    const char* path;  // below the tree; ends in "\" for a folder
    bool listed;
};
const TreeEntry kSearchTree[] = {
    {"report.", true},
    {"report", false},
    {"报告.", true},
    {"dir.\\", true},
    {"dir.\\inner.", false},  // inside a listed folder
    {"dir\\", false},
    {"dir\\con", true},
    {"dir\\aux.txt", true},
    {"dir\\keep.txt", false},
    {"dir\\console", false},
    {"dir\\trail \\", true},
    {"dir\\trail \\x.txt", false},
    {"dir\\sub\\", false},
    {"dir\\sub\\nul.log", true},
    {"dir\\sub\\lpt10", false},
};
// What the walk meets: everything but the insides of the two listed folders.
constexpr int kFoldersMet = 4;  // dir. dir trail sub
constexpr int kFilesMet = 9;    // report. report 报告. con aux.txt keep.txt console nul.log lpt10
constexpr int kListedFolders = 2;
constexpr int kListedFiles = 5;

class SearchTree : public OrvelleE2E {
protected:
    void MakeTree() {
        ASSERT_TRUE(m_box.MakeFolder("tree"));
        for (const TreeEntry& entry : kSearchTree) {
            const std::string path = std::string("tree\\") + entry.path;
            if (path.back() == '\\') {
                ASSERT_TRUE(m_box.MakeFolder(path.substr(0, path.size() - 1))) << path;
            } else {
                ASSERT_TRUE(m_box.MakeFile(path)) << path;
            }
        }
    }

    // The rows the search must list: path, [name], type, attribute text, result.
    Rows ExpectedRows() const {
        Rows rows;
        for (const TreeEntry& entry : kSearchTree) {
            if (!entry.listed) continue;
            std::string relative = entry.path;
            const bool folder = relative.back() == '\\';
            if (folder) relative.pop_back();
            const std::string name = relative.substr(relative.find_last_of('\\') + 1);
            rows.push_back(
                {m_box.Path("tree\\" + relative), "[" + name + "]", folder ? "文件夹" : "文件", "-", "未操作"});
        }
        std::sort(rows.begin(), rows.end());
        return rows;
    }
};

TEST_F(SearchTree, SearchFromOutsideListsEveryMalformedEntry) {
    MakeTree();
    ASSERT_FALSE(HasFatalFailure());
    const std::string tree = m_box.Path("tree");

    Process& program = Launch("-p:" + tree);
    HWND window = WaitForMainWindow(program);
    ASSERT_NE(window, nullptr);
    ASSERT_EQ(e2e::ControlText(window, kEditPath), tree);

    const std::string summary = RunSearch(program, window);
    const std::string counts = std::string(kSummaryHead) + std::to_string(kFoldersMet) + "个目录和" +
                               std::to_string(kFilesMet) +
                               "个文件\r\n找到了畸形目录: " + std::to_string(kListedFolders) +
                               " 个\r\n找到了畸形文件: " + std::to_string(kListedFiles) + " 个\r\n共花时: ";
    EXPECT_EQ(summary.substr(0, counts.size()), counts) << summary;
    const std::string time = summary.size() > counts.size() ? summary.substr(counts.size()) : "";
    EXPECT_TRUE(EndsWith(time, " 毫秒") || EndsWith(time, " 秒")) << summary;
    EXPECT_NE(time.find_first_of("0123456789"), std::string::npos) << summary;

    HWND list = GetDlgItem(window, kListResult);
    Rows rows;
    ASSERT_TRUE(e2e::ReadListRows(list, 5, rows));
    std::sort(rows.begin(), rows.end());
    EXPECT_EQ(rows, ExpectedRows());

    // At rest again: the button, the title, and export now that rows exist.
    EXPECT_TRUE(e2e::WaitUntil([&] { return e2e::TextOf(window) == RestTitle(); }, kWindowTimeoutMs))
        << e2e::TextOf(window);
    EXPECT_EQ(e2e::ControlText(window, kButtonSearch), kSearchButtonRest);
    EXPECT_TRUE(IsWindowEnabled(GetDlgItem(window, 1008)));
    // The search only lists.
    for (const TreeEntry& entry : kSearchTree)
        EXPECT_TRUE(m_box.Exists(std::string("tree\\") + entry.path)) << entry.path;
    EXPECT_TRUE(CloseMainWindow(program, window));
}

// ---- size, layout and pictures of the main window -----------------------------

// Waits for the window to settle, then saves a picture of it.
void Shoot(HWND window, const std::string& name) {
    const std::string folder = e2e::HostPath(ORVELLE_E2E_ARTIFACTS);
    CreateDirectoryA(folder.c_str(), nullptr);
    RedrawWindow(window, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN | RDW_FRAME);
    Sleep(400);  // the repaint happens in the program's own time
    const std::string path = folder + "\\" + name + ".bmp";
    EXPECT_TRUE(e2e::CaptureWindowToBmp(window, path)) << path;
}

TEST_F(SearchTree, WindowResizesSnapsBackToMinimumAndIsPhotographed) {
    MakeTree();
    ASSERT_FALSE(HasFatalFailure());
    Process& program = Launch("-p:" + m_box.Path("tree"));
    HWND window = WaitForMainWindow(program);
    ASSERT_NE(window, nullptr);
    RunSearch(program, window);
    ASSERT_FALSE(HasFailure());

    const SIZE start = e2e::WindowSize(window);
    EXPECT_GE(start.cx, 600);
    EXPECT_GE(start.cy, 400);
    RecordProperty("start_size", std::to_string(start.cx) + "x" + std::to_string(start.cy));
    Shoot(window, "e2e_main_start");

    RECT before = {};
    GetWindowRect(window, &before);
    ASSERT_TRUE(SetWindowPos(window, nullptr, 0, 0, 900, 650, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE));
    EXPECT_TRUE(e2e::WaitUntil(
        [&] {
            const SIZE s = e2e::WindowSize(window);
            return s.cx == 900 && s.cy == 650;
        },
        kWindowTimeoutMs));
    ExpectLayout(window);
    Shoot(window, "e2e_main_900x650");

    ASSERT_TRUE(SetWindowPos(window, nullptr, 0, 0, 500, 300, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE));
    EXPECT_TRUE(e2e::WaitUntil(
        [&] {
            const SIZE s = e2e::WindowSize(window);
            return s.cx == 600 && s.cy == 400;
        },
        kWindowTimeoutMs))
        << "snapped to " << e2e::WindowSize(window).cx << "x" << e2e::WindowSize(window).cy;
    RECT after = {};
    GetWindowRect(window, &after);
    EXPECT_EQ(after.left, before.left);
    EXPECT_EQ(after.top, before.top);
    ExpectLayout(window);
    Shoot(window, "e2e_main_minimum");

    EXPECT_EQ(e2e::ListItemCount(GetDlgItem(window, kListResult)), static_cast<int>(ExpectedRows().size()));
    EXPECT_TRUE(CloseMainWindow(program, window));
}

}  // namespace
