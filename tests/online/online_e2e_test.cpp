// The program itself, built a second time with its vendor addresses on
// 127.0.0.1:ORVELLE_E2E_PORT, started as a user starts it, in a folder of its
// own. The loopback server plays the vendor; the program's windows and boxes
// are found from outside, and a hook DLL records the timers it arms and the
// boxes it asks for (their icon is not visible from another process).
#include <gtest/gtest.h>
#include <winsock2.h>
#include <windows.h>

#include <cstdlib>
#include <ctime>
#include <fstream>
#include <functional>
#include <sstream>
#include <string>
#include <vector>

#include "LoopbackHttpServer.h"
#include "OnlineText.h"

namespace {

const UINT kCheckForUpdateCommand = 32786;

bool WaitFor(const std::function<bool()>& ready, DWORD ms) {
    DWORD start = GetTickCount();
    while (!ready()) {
        if (GetTickCount() - start > ms) return false;
        Sleep(20);
    }
    return true;
}

// A path of the build tree as the Windows side sees it ("/a/b" is "Z:\a\b" under Wine).
std::string WindowsPath(std::string path) {
    if (!path.empty() && path[0] == '/') path = "Z:" + path;
    for (char& c : path)
        if (c == '/') c = '\\';
    return path;
}

std::string Hex(const std::string& bytes) {
    static const char kDigits[] = "0123456789abcdef";
    std::string hex;
    for (unsigned char c : bytes) {
        hex += kDigits[c >> 4];
        hex += kDigits[c & 15];
    }
    return hex;
}

std::string ReadFileText(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

// A folder of its own with a copy of the program, so that the settings file beside it is the test's.
class ProgramFolder {
public:
    ProgramFolder() {
        char temp[MAX_PATH] = {};
        GetTempPathA(MAX_PATH, temp);
        m_dir = std::string(temp) + "orvelle-online-" + std::to_string(GetCurrentProcessId()) + "-" +
                std::to_string(GetTickCount());
        CreateDirectoryA(m_dir.c_str(), nullptr);
        m_ok = CopyFileA(WindowsPath(ORVELLE_LOOPBACK_PROGRAM).c_str(), Exe().c_str(), FALSE) != FALSE;
    }
    ~ProgramFolder() {
        for (const char* name : {"Orvelle.exe", "Orvelle.ini", "spy.log"}) DeleteFileA((m_dir + "\\" + name).c_str());
        RemoveDirectoryA(m_dir.c_str());
    }
    bool Ok() const { return m_ok; }
    std::string Exe() const { return m_dir + "\\Orvelle.exe"; }
    std::string Settings() const { return m_dir + "\\Orvelle.ini"; }
    std::string SpyLog() const { return m_dir + "\\spy.log"; }
    std::string Setting(const char* key) const {
        char value[260] = {};
        GetPrivateProfileStringA("VskSystem", key, "", value, sizeof value, Settings().c_str());
        return value;
    }

private:
    std::string m_dir;
    bool m_ok = false;
};

// One run of the program, with the spy hooked in before its first instruction.
class Program {
public:
    explicit Program(const ProgramFolder& folder) : m_folder(folder) {}
    ~Program() {
        if (m_info.hProcess) {
            if (WaitForSingleObject(m_info.hProcess, 0) == WAIT_TIMEOUT) TerminateProcess(m_info.hProcess, 1);
            WaitForSingleObject(m_info.hProcess, 10000);
            CloseHandle(m_info.hProcess);
            CloseHandle(m_info.hThread);
        }
        if (m_hook) UnhookWindowsHookEx(m_hook);
        if (m_spy) FreeLibrary(m_spy);
    }

    // Starts the program, with argument as its one argument when not empty.
    bool Start(const std::string& argument = std::string()) {
        DeleteFileA(m_folder.SpyLog().c_str());
        SetEnvironmentVariableA("ORVELLE_SPY_LOG", m_folder.SpyLog().c_str());
        SetEnvironmentVariableA("ORVELLE_SPY_TARGET", "Orvelle.exe");
        m_spy = LoadLibraryA(WindowsPath(ORVELLE_SPY_DLL).c_str());
        auto hookProc = reinterpret_cast<HOOKPROC>(reinterpret_cast<void*>(GetProcAddress(m_spy, "SpyHookProc")));
        if (!hookProc) return false;
        std::string commandLine = "\"" + m_folder.Exe() + "\"";
        if (!argument.empty()) commandLine += " \"" + argument + "\"";
        STARTUPINFOA startup = {};
        startup.cb = sizeof startup;
        if (!CreateProcessA(m_folder.Exe().c_str(), &commandLine[0], nullptr, nullptr, FALSE, CREATE_SUSPENDED, nullptr,
                            nullptr, &startup, &m_info))
            return false;
        m_hook = SetWindowsHookExA(WH_CALLWNDPROC, hookProc, m_spy, m_info.dwThreadId);
        ResumeThread(m_info.hThread);
        return m_hook != nullptr;
    }

    // The visible dialogs ("#32770") of the program: its main window and its message boxes.
    std::vector<HWND> Dialogs() const {
        struct Search {
            DWORD pid;
            std::vector<HWND> found;
        } search{m_info.dwProcessId, {}};
        struct Visit {
            static BOOL CALLBACK Window(HWND h, LPARAM p) {
                auto* s = reinterpret_cast<Search*>(p);
                DWORD pid = 0;
                GetWindowThreadProcessId(h, &pid);
                char cls[64] = {};
                GetClassNameA(h, cls, sizeof cls);
                if (pid == s->pid && IsWindowVisible(h) && lstrcmpA(cls, "#32770") == 0) s->found.push_back(h);
                return TRUE;
            }
        };
        EnumWindows(&Visit::Window, reinterpret_cast<LPARAM>(&search));
        return search.found;
    }
    HWND MainWindow() const {
        for (HWND h : Dialogs())
            if (GetDlgItem(h, 1001)) return h;
        return nullptr;
    }
    std::vector<HWND> MessageBoxes() const {
        std::vector<HWND> boxes;
        for (HWND h : Dialogs())
            if (GetDlgItem(h, 0xFFFF) && !GetDlgItem(h, 1001)) boxes.push_back(h);
        return boxes;
    }
    HWND WaitForMessageBox(DWORD ms) const {
        HWND box = nullptr;
        WaitFor([&] { return !(MessageBoxes().empty()) && (box = MessageBoxes().front()) != nullptr; }, ms);
        return box;
    }

    std::vector<std::string> SpyLines() const {
        std::vector<std::string> lines;
        std::stringstream in(ReadFileText(m_folder.SpyLog()));
        std::string line;
        while (std::getline(in, line)) {
            if (!line.empty() && line.back() == '\r') line.pop_back();
            lines.push_back(line);
        }
        return lines;
    }
    bool SpyHas(const std::string& line) const {
        for (const std::string& l : SpyLines())
            if (l == line) return true;
        return false;
    }
    size_t SpyCount(const std::string& prefix) const {
        size_t n = 0;
        for (const std::string& l : SpyLines()) n += l.rfind(prefix, 0) == 0 ? 1 : 0;
        return n;
    }

    HANDLE Process() const { return m_info.hProcess; }

    // Closes the main window as the close box does; true when the program ended with 0.
    bool Close() {
        HWND main = MainWindow();
        if (main) PostMessageA(main, WM_SYSCOMMAND, SC_CLOSE, 0);
        if (WaitForSingleObject(m_info.hProcess, 20000) != WAIT_OBJECT_0) return false;
        DWORD code = 1;
        GetExitCodeProcess(m_info.hProcess, &code);
        return code == 0;
    }

private:
    const ProgramFolder& m_folder;
    PROCESS_INFORMATION m_info = {};
    HHOOK m_hook = nullptr;
    HMODULE m_spy = nullptr;
};

std::string BoxText(HWND box) {
    char text[2048] = {};
    GetDlgItemTextA(box, 0xFFFF, text, sizeof text);
    return text;
}

void Answer(HWND box, int button) {
    PostMessageA(box, WM_COMMAND, MAKEWPARAM(button, BN_CLICKED), reinterpret_cast<LPARAM>(GetDlgItem(box, button)));
}

const char kAnswer[] =
    "<VSKVERSION>1.4</VSKVERSION>\r\n<VSKUPDATEURL>HTTP://DL.EXAMPLE/ORVELLE.EXE</VSKUPDATEURL>\r\n"
    "<VSKUPDATETYPE>1</VSKUPDATETYPE>\r\n<VSKUPDATEABOUT>New\r\nthings</VSKUPDATEABOUT>\r\n";
const char kCheckFailed[] = "检查更新失败：无法从服务器取得版本信息，请检查网络连接后再试。";
const char kPrompt[] = "检查到新版本信息，是否立即查看更新？\r\n版本号：1.4\r\nnew\rthings";

class OnlineEndToEnd : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(folder.Ok()) << "cannot copy " << ORVELLE_LOOPBACK_PROGRAM; }
    ProgramFolder folder;
    LoopbackHttpServer server;
};

TEST_F(OnlineEndToEnd, PromptAtStartUpOnceADayAndOnRequest) {
    ASSERT_TRUE(server.Start(ORVELLE_E2E_PORT)) << "port " << ORVELLE_E2E_PORT << " is taken";
    server.Set("/update", LoopbackHttpServer::Ok(kAnswer));
    const int64_t before = static_cast<int64_t>(std::time(nullptr));

    // First start: the automatic prompt, with both settings written before it.
    {
        Program program(folder);
        ASSERT_TRUE(program.Start());
        HWND box = program.WaitForMessageBox(30000);
        ASSERT_NE(box, nullptr) << "no prompt at start-up";
        EXPECT_EQ(folder.Setting("VskVersion"), "1.4");
        const std::string date = folder.Setting("VskChkDate");
        EXPECT_GE(std::atoll(date.c_str()), before);
        EXPECT_LE(std::atoll(date.c_str()), static_cast<int64_t>(std::time(nullptr)));
        EXPECT_EQ(BoxText(box), kPrompt);
        char caption[64] = {};
        GetWindowTextA(box, caption, sizeof caption);
        EXPECT_STREQ(caption, "Orvelle");
        EXPECT_EQ(GetWindow(box, GW_OWNER), program.MainWindow());
        EXPECT_TRUE(program.SpyHas("installed"));
        EXPECT_TRUE(program.SpyHas("MessageBox " + std::to_string(MB_YESNO) + " " + Hex(kPrompt)))
            << "the automatic prompt has Yes and No and no icon";
        // No feed: timer 0 waits five minutes.
        EXPECT_TRUE(program.SpyHas("SetTimer 0 300000"));
        Answer(box, IDNO);
        ASSERT_TRUE(WaitFor([&] { return program.MessageBoxes().empty(); }, 10000));
        EXPECT_TRUE(program.Close());
    }
    const std::string firstDate = folder.Setting("VskChkDate");

    // Second start within the day: the answer is fetched, nothing is shown.
    {
        server.ClearRequests();
        Program program(folder);
        ASSERT_TRUE(program.Start());
        ASSERT_TRUE(WaitFor([&] { return server.CountFor("/update") > 0; }, 30000));
        ASSERT_TRUE(WaitFor([&] { return program.MainWindow() != nullptr; }, 10000));
        Sleep(1500);
        EXPECT_TRUE(program.MessageBoxes().empty());
        EXPECT_EQ(program.SpyCount("MessageBox "), 0u);
        EXPECT_EQ(folder.Setting("VskChkDate"), firstDate);

        // The manual check from the list's menu: the prompt with the question icon.
        WritePrivateProfileStringA("VskSystem", "VskChkDate", "1000", folder.Settings().c_str());
        PostMessageA(program.MainWindow(), WM_COMMAND, kCheckForUpdateCommand, 0);
        HWND box = program.WaitForMessageBox(30000);
        ASSERT_NE(box, nullptr) << "no prompt for the manual check";
        EXPECT_EQ(BoxText(box), kPrompt);
        EXPECT_TRUE(program.SpyHas("MessageBox " + std::to_string(MB_YESNO | MB_ICONQUESTION) + " " + Hex(kPrompt)));
        EXPECT_EQ(folder.Setting("VskChkDate"), "1000") << "the manual check writes after its box";
        Answer(box, IDNO);
        // The program rewrites the whole file for each key it writes: a read in
        // the middle of a write finds the key missing, so one read is judged.
        std::string date;
        EXPECT_TRUE(WaitFor(
            [&] {
                date = folder.Setting("VskChkDate");
                return !date.empty() && date != "1000";
            },
            10000));
        EXPECT_GE(std::atoll(date.c_str()), before);
        EXPECT_TRUE(program.Close());
    }
}

TEST_F(OnlineEndToEnd, WithoutServerNothingIsShownAndTheFeedWaitsFiveMinutes) {
    // Nobody listens on the vendor's port.
    Program program(folder);
    ASSERT_TRUE(program.Start());
    ASSERT_TRUE(WaitFor([&] { return program.SpyHas("SetTimer 0 300000"); }, 30000))
        << "timer 0 was not armed for 300000 ms";
    ASSERT_TRUE(WaitFor([&] { return program.MainWindow() != nullptr; }, 10000));
    Sleep(1500);
    EXPECT_TRUE(program.MessageBoxes().empty());
    EXPECT_EQ(program.SpyCount("MessageBox "), 0u);
    EXPECT_EQ(program.SpyCount("SetTimer 0 "), 1u);
    EXPECT_EQ(folder.Setting("VskChkDate"), "");

    // Asked for, the check says it failed: without an answer it cannot tell
    // whether the program is the newest.
    PostMessageA(program.MainWindow(), WM_COMMAND, kCheckForUpdateCommand, 0);
    HWND box = program.WaitForMessageBox(30000);
    ASSERT_NE(box, nullptr) << "the manual check said nothing";
    EXPECT_EQ(BoxText(box), kCheckFailed);
    EXPECT_TRUE(program.SpyHas("MessageBox " + std::to_string(MB_ICONEXCLAMATION) + " " + Hex(kCheckFailed)));
    Answer(box, IDOK);
    ASSERT_TRUE(WaitFor([&] { return program.MessageBoxes().empty(); }, 10000));
    EXPECT_EQ(folder.Setting("VskChkDate"), "");
    EXPECT_TRUE(program.Close());
}

TEST_F(OnlineEndToEnd, ClosingWhileTheVendorNeverAnswersEndsAtOnceAndMissesNoRequest) {
    ASSERT_TRUE(server.Start(ORVELLE_E2E_PORT)) << "port " << ORVELLE_E2E_PORT << " is taken";
    // The vendor takes the connection and never answers (far beyond every limit of the fetch).
    LoopbackHttpServer::Answer silent;
    silent.ending = LoopbackHttpServer::Ending::Stall;
    silent.stallMs = LoopbackHttpServer::kLifetimeMs;
    server.Set("/feed", silent);
    server.Set("/update", silent);

    // Started as the Explorer verb starts it: it holds the hand-over block while its window is open.
    const std::string folderToSearch = folder.Exe().substr(0, folder.Exe().rfind('\\'));
    Program program(folder);
    ASSERT_TRUE(program.Start("-p:" + folderToSearch));
    ASSERT_TRUE(WaitFor([&] { return program.MainWindow() != nullptr; }, 30000));
    ASSERT_TRUE(WaitFor([&] { return server.CountFor("/feed") > 0; }, 30000)) << "no fetch in flight";
    const HWND main = program.MainWindow();

    // A delete request started right after the close is the program's own
    // again: it asks, rather than handing its path to a window that is gone.
    const std::string victim = folderToSearch + "\\victim.txt";
    HANDLE file = CreateFileA(victim.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    ASSERT_NE(file, INVALID_HANDLE_VALUE);
    CloseHandle(file);
    Program request(folder);

    PostMessageA(main, WM_SYSCOMMAND, SC_CLOSE, 0);
    ASSERT_TRUE(WaitFor([&] { return !IsWindow(main); }, 20000)) << "the window did not close";
    FILETIME closed = {};
    GetSystemTimeAsFileTime(&closed);
    ASSERT_TRUE(request.Start("-d:" + victim));
    ASSERT_EQ(WaitForSingleObject(program.Process(), 20000), static_cast<DWORD>(WAIT_OBJECT_0))
        << "still running 20 s after its window closed";
    DWORD code = 1;
    GetExitCodeProcess(program.Process(), &code);
    EXPECT_EQ(code, 0u);
    // From the close to the end of the process, as the system recorded it.
    FILETIME created = {}, exited = {}, kernel = {}, user = {};
    ASSERT_TRUE(GetProcessTimes(program.Process(), &created, &exited, &kernel, &user));
    auto ticks = [](const FILETIME& t) { return (static_cast<int64_t>(t.dwHighDateTime) << 32) | t.dwLowDateTime; };
    const int64_t tookMs = (ticks(exited) - ticks(closed)) / 10000;
    EXPECT_LT(tookMs, 1000) << "the process waited for the network after its window closed";

    HWND box = request.WaitForMessageBox(30000);
    ASSERT_NE(box, nullptr) << "the delete request was taken in by the closed window";
    EXPECT_EQ(BoxText(box), "确认删除选中的文件夹？");
    Answer(box, IDNO);
    EXPECT_EQ(WaitForSingleObject(request.Process(), 20000), static_cast<DWORD>(WAIT_OBJECT_0));
    EXPECT_NE(GetFileAttributesA(victim.c_str()), INVALID_FILE_ATTRIBUTES);
    DeleteFileA(victim.c_str());
}

}  // namespace
