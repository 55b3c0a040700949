// The main window's online side in this process, under Wine with a display.
// This program carries vendor addresses on 127.0.0.1:ORVELLE_TEST_PORT, where
// each test runs the loopback server with the answers it needs; a script on a
// second thread works the window while the dialog runs modally here.
#include <gtest/gtest.h>
#include <winsock2.h>
#include <windows.h>

#include <ctime>
#include <functional>
#include <string>
#include <vector>

#include "App.h"
#include "AppMessages.h"
#include "FakeUiHost.h"
#include "LoopbackHttpServer.h"
#include "MainDlg.h"
#include "OnlineText.h"
#include "Settings.h"
#include "StoredTexts.h"
#include "TimerSpy.h"
#include "resource.h"

namespace {

const std::string kUpdatePath = "/update";
const std::string kFeedPath = "/feed";

std::string Answer(const std::string& version, const std::string& url = "http://dl.example/Orvelle-New.exe") {
    std::string body = "<vskversion>" + version + "</vskversion>\r\n";
    if (!url.empty()) body += "<vskupdateurl>" + url + "</vskupdateurl>\r\n";
    return body + "<vskupdatetype>1</vskupdatetype>\r\n<vskupdateabout>Fixes\r\nand more</vskupdateabout>\r\n";
}

const char kThreeItems[] =
    "<vskads>\r\n"
    "<##><soft>*</soft><url>http://a.example/1</url><title>first news</title><color>1</color>\r\n"
    "<##><soft>*</soft><url>http://a.example/2</url><title>second news</title><color>2</color>\r\n"
    "<##><soft>*</soft><url>calc.exe</url><title>third news</title><color>7</color>\r\n"
    "</vskads>";

// A scripted host that the worker threads may call while the script reads it.
// onBox runs inside every box, on the thread showing it.
class LockedUiHost : public FakeUiHost {
public:
    LockedUiHost() { InitializeCriticalSection(&m_lock); }
    ~LockedUiHost() override { DeleteCriticalSection(&m_lock); }
    int ShowMessageBox(HWND owner, const char* text, const char* caption, UINT type) override {
        if (onBox) onBox();
        EnterCriticalSection(&m_lock);
        int answer = FakeUiHost::ShowMessageBox(owner, text, caption, type);
        LeaveCriticalSection(&m_lock);
        return answer;
    }
    HINSTANCE ShellExecuteFile(HWND owner, const char* verb, const char* file, const char* parameters,
                               const char* directory, int showCommand) override {
        EnterCriticalSection(&m_lock);
        HINSTANCE r = FakeUiHost::ShellExecuteFile(owner, verb, file, parameters, directory, showCommand);
        LeaveCriticalSection(&m_lock);
        return r;
    }
    std::vector<ShownBox> Boxes() {
        EnterCriticalSection(&m_lock);
        std::vector<ShownBox> copy = boxes;
        LeaveCriticalSection(&m_lock);
        return copy;
    }
    std::vector<ShellLaunch> Launches() {
        EnterCriticalSection(&m_lock);
        std::vector<ShellLaunch> copy = launches;
        LeaveCriticalSection(&m_lock);
        return copy;
    }
    void Answer(int answer) {
        EnterCriticalSection(&m_lock);
        answers.push_back(answer);
        LeaveCriticalSection(&m_lock);
    }
    std::function<void()> onBox;

private:
    CRITICAL_SECTION m_lock;
};

bool WaitFor(const std::function<bool()>& ready, DWORD ms = 15000) {
    DWORD start = GetTickCount();
    while (!ready()) {
        if (GetTickCount() - start > ms) return false;
        Sleep(10);
    }
    return true;
}

std::string Text(HWND h) {
    char buf[1024] = {};
    GetWindowTextA(h, buf, sizeof buf);
    return buf;
}

int64_t Now() { return static_cast<int64_t>(std::time(nullptr)); }

class OnlineDialog : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(InstallTimerSpy());
        ClearRecordedTimerCalls();
        m_previous = SetUiHost(&host);
        DeleteFileA(GetSettingsFilePath().c_str());
        server.Set(kFeedPath, LoopbackHttpServer::Ok("<html>no feed</html>", 404));
        server.Set(kUpdatePath, LoopbackHttpServer::Ok("<html>no answer</html>", 404));
    }
    void TearDown() override {
        SetUiHost(m_previous);
        DeleteFileA(GetSettingsFilePath().c_str());
    }

    void StartServer() { ASSERT_TRUE(server.Start(ORVELLE_TEST_PORT)) << "port " << ORVELLE_TEST_PORT << " is taken"; }

    // Runs a dialog modally here while script works it from another thread;
    // the dialog is closed through its close box when the script returns.
    // Returns how long the dialog object took to go after its window.
    DWORD Run(const std::function<void(CMyDlg&, HWND)>& script) {
        struct Context {
            CMyDlg* dlg;
            const std::function<void(CMyDlg&, HWND)>* script;
        };
        DWORD destroyMs = 0;
        {
            CMyDlg dlg{CMyDlg::StartArgs{true, L""}};
            Context context{&dlg, &script};
            struct Script {
                static DWORD WINAPI Run(void* p) {
                    auto* c = static_cast<Context*>(p);
                    HWND hwnd = nullptr;
                    WaitFor([&] { return (hwnd = c->dlg->GetSafeHwnd()) != nullptr && IsWindowVisible(hwnd); });
                    if (hwnd) {
                        (*c->script)(*c->dlg, hwnd);
                        PostMessageA(hwnd, WM_SYSCOMMAND, SC_CLOSE, 0);
                    }
                    return 0;
                }
            };
            HANDLE thread = CreateThread(nullptr, 0, &Script::Run, &context, 0, nullptr);
            dlg.DoModal();
            EXPECT_EQ(WaitForSingleObject(thread, 60000), WAIT_OBJECT_0);
            CloseHandle(thread);
            destroyMs = GetTickCount();
        }
        return GetTickCount() - destroyMs;
    }

    // Copies of the dialog's members, taken on its own thread.
    template <typename T>
    static T OnWindow(HWND hwnd, const std::function<T()>& read) {
        T value{};
        RunOnWindowThread(hwnd, [&] { value = read(); });
        return value;
    }

    bool WaitForBoxes(size_t n) {
        return WaitFor([&] { return host.Boxes().size() >= n; });
    }
    bool WaitForRequests(const std::string& path, size_t n) {
        return WaitFor([&] { return server.CountFor(path) >= n; });
    }

    LoopbackHttpServer server;
    LockedUiHost host;

private:
    UiHost* m_previous = nullptr;
};

const UINT kNoIcon = MB_YESNO;
const UINT kQuestion = MB_YESNO | MB_ICONQUESTION;

TEST_F(OnlineDialog, StartUpPromptsOnceADayAndWritesTheSettingsFirst) {
    StartServer();
    server.Set(kUpdatePath, LoopbackHttpServer::Ok(
                                "<VSKVERSION>1.4</VSKVERSION><VSKUPDATEURL>HTTP://DL.EXAMPLE/New.EXE</VSKUPDATEURL>"
                                "<VskUpdateType>1</VskUpdateType><VSKUPDATEABOUT>Line one\r\nline two"
                                "</VSKUPDATEABOUT>"));
    std::string versionAtBox, dateAtBox;
    host.onBox = [&] {
        versionAtBox = ReadSetting(kSettingOfferedVersion);
        dateAtBox = ReadSetting(kSettingOfferDate);
    };
    host.Answer(IDYES);
    const int64_t before = Now();
    HWND shownBy = nullptr;
    Run([&](CMyDlg&, HWND h) {
        shownBy = h;
        ASSERT_TRUE(WaitForBoxes(1));
    });
    const int64_t after = Now();
    std::vector<ShownBox> boxes = host.Boxes();
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].text, "检查到新版本信息，是否立即查看更新？\r\n版本号：1.4\r\nline one\rline two");
    EXPECT_EQ(boxes[0].type, kNoIcon);
    EXPECT_EQ(boxes[0].owner, shownBy);
    EXPECT_EQ(boxes[0].caption, GetAppName());
    // Both values were in the file when the box came up.
    EXPECT_EQ(versionAtBox, "1.4");
    ASSERT_FALSE(dateAtBox.empty());
    EXPECT_GE(std::atoll(dateAtBox.c_str()), before);
    EXPECT_LE(std::atoll(dateAtBox.c_str()), after);
    // Yes opens the download address, lowered like the whole answer.
    std::vector<ShellLaunch> launches = host.Launches();
    ASSERT_EQ(launches.size(), 1u);
    EXPECT_EQ(launches[0].verb, "open");
    EXPECT_EQ(launches[0].file, "http://dl.example/new.exe");
    EXPECT_EQ(launches[0].parameters, "(null)");
    EXPECT_EQ(launches[0].directory, "(null)");
    EXPECT_EQ(launches[0].showCommand, SW_SHOWNORMAL);
    // The requests carried the own version and rnum.
    std::vector<LoopbackHttpServer::Request> requests = server.Requests();
    ASSERT_FALSE(requests.empty());
    for (const auto& r : requests) EXPECT_NE(r.target.find("?ver=1.3&rnum="), std::string::npos) << r.target;

    // Within the day: the answer is fetched, nothing is shown or written.
    const std::string storedDate = ReadSetting(kSettingOfferDate);
    host.onBox = nullptr;
    const size_t asked = server.CountFor(kUpdatePath);
    Run([&](CMyDlg&, HWND) {
        ASSERT_TRUE(WaitForRequests(kUpdatePath, asked + 1));
        Sleep(700);
    });
    EXPECT_EQ(host.Boxes().size(), 1u);
    EXPECT_EQ(ReadSetting(kSettingOfferDate), storedDate);

    // A day after the last prompt it comes again.
    WriteSetting(kSettingOfferDate, FormatOfferDate(Now() - kUpdateOfferIntervalSeconds - 5));
    host.Answer(IDNO);
    Run([&](CMyDlg&, HWND) { ASSERT_TRUE(WaitForBoxes(2)); });
    EXPECT_EQ(host.Boxes().size(), 2u);
    EXPECT_EQ(host.Launches().size(), 1u);  // No opens nothing
    EXPECT_GE(std::atoll(ReadSetting(kSettingOfferDate).c_str()), after);
}

TEST_F(OnlineDialog, StoredDateThatIsNoTimeDoesNotHoldThePromptBack) {
    StartServer();
    server.Set(kUpdatePath, LoopbackHttpServer::Ok(Answer("1.4")));
    WriteSetting(kSettingOfferDate, "not a time");
    Run([&](CMyDlg&, HWND) { ASSERT_TRUE(WaitForBoxes(1)); });
    EXPECT_EQ(host.Boxes().size(), 1u);
}

TEST_F(OnlineDialog, ManualCheckAlwaysPromptsWithQuestionIconAndWritesAfterTheBox) {
    StartServer();
    server.Set(kUpdatePath, LoopbackHttpServer::Ok(Answer("1.4")));
    std::string dateAtBox = "unread";
    Run([&](CMyDlg&, HWND h) {
        ASSERT_TRUE(WaitForBoxes(1));  // the automatic prompt
        const std::string automaticDate = ReadSetting(kSettingOfferDate);
        // Move the recorded date back so that the manual check's own write shows.
        WriteSetting(kSettingOfferDate, "1000");
        host.onBox = [&] { dateAtBox = ReadSetting(kSettingOfferDate); };
        host.Answer(IDNO);
        PostMessageA(h, WM_COMMAND, ID_LIST_CHECK_UPDATE, 0);
        ASSERT_TRUE(WaitForBoxes(2));
        ASSERT_TRUE(WaitFor([&] { return ReadSetting(kSettingOfferDate) != "1000"; }));
        EXPECT_FALSE(automaticDate.empty());
    });
    std::vector<ShownBox> boxes = host.Boxes();
    ASSERT_EQ(boxes.size(), 2u);
    EXPECT_EQ(boxes[1].type, kQuestion);
    EXPECT_EQ(boxes[1].text, boxes[0].text);
    EXPECT_EQ(dateAtBox, "1000") << "the manual check writes after its box";
    EXPECT_GE(std::atoll(ReadSetting(kSettingOfferDate).c_str()), Now() - 60);
    EXPECT_EQ(ReadSetting(kSettingOfferedVersion), "1.4");
    EXPECT_TRUE(host.Launches().empty());
}

// Up to date only when the answer names the newest version; without such an
// answer the check says it failed.
TEST_F(OnlineDialog, ManualCheckWithoutNewerVersionSaysSo) {
    StartServer();
    const std::string upToDate = "当前版本 Ver1.3 已经是最新版本，没有检查到更新版本！";
    const std::string failed = "检查更新失败：无法从服务器取得版本信息，请检查网络连接后再试。";
    struct Case {
        const char* name;
        LoopbackHttpServer::Answer answer;
        std::string text;
        UINT type;
    } cases[] = {
        {"same version", LoopbackHttpServer::Ok(Answer("1.3")), upToDate, MB_ICONINFORMATION},
        {"1.10 is not newer than 1.3", LoopbackHttpServer::Ok(Answer("1.10")), upToDate, MB_ICONINFORMATION},
        {"no answer", LoopbackHttpServer::Ok("gone", 404), failed, MB_ICONEXCLAMATION},
        {"empty version element", LoopbackHttpServer::Ok("<vskversion></vskversion><vskupdateurl>u</vskupdateurl>"),
         failed, MB_ICONEXCLAMATION},
    };
    for (const Case& c : cases) {
        server.Set(kUpdatePath, c.answer);
        const size_t shown = host.Boxes().size();
        Run([&](CMyDlg&, HWND h) {
            ASSERT_TRUE(WaitForRequests(kUpdatePath, 1));
            server.ClearRequests();
            PostMessageA(h, WM_COMMAND, ID_LIST_CHECK_UPDATE, 0);
            ASSERT_TRUE(WaitForBoxes(shown + 1)) << c.name;
        });
        std::vector<ShownBox> boxes = host.Boxes();
        ASSERT_EQ(boxes.size(), shown + 1) << c.name;
        EXPECT_EQ(boxes.back().text, c.text) << c.name;
        EXPECT_EQ(boxes.back().type, c.type) << c.name;
        server.ClearRequests();
    }
    EXPECT_EQ(ReadSetting(kSettingOfferDate), "");
}

TEST_F(OnlineDialog, OnlyWebAddressesFromTheAnswerAreOpened) {
    StartServer();
    struct Case {
        const char* name;
        std::string answer;
        const char* opened;  // null: nothing
    } cases[] = {
        {"web address", Answer("1.4", "https://dl.example/x.exe"), "https://dl.example/x.exe"},
        {"a program on the machine", Answer("1.4", "c:\\windows\\system32\\calc.exe"), nullptr},
        {"a file address", Answer("1.4", "file:///c:/windows/system32/calc.exe"), nullptr},
        {"a bare program name", Answer("1.4", "calc.exe"), nullptr},
        {"no url element at all", Answer("1.4", ""), nullptr},
    };
    for (const Case& c : cases) {
        DeleteFileA(GetSettingsFilePath().c_str());
        server.Set(kUpdatePath, LoopbackHttpServer::Ok(c.answer));
        const size_t shown = host.Boxes().size();
        const size_t launched = host.Launches().size();
        host.Answer(IDYES);
        Run([&](CMyDlg&, HWND) { ASSERT_TRUE(WaitForBoxes(shown + 1)) << c.name; });
        std::vector<ShellLaunch> launches = host.Launches();
        if (c.opened) {
            ASSERT_EQ(launches.size(), launched + 1) << c.name;
            EXPECT_EQ(launches.back().file, c.opened) << c.name;
        } else {
            EXPECT_EQ(launches.size(), launched) << c.name;
        }
    }
}

TEST_F(OnlineDialog, NoServerShowsNothingAndRetriesTheFeedEveryFiveMinutes) {
    // Nothing listens on the port at start-up.
    Run([&](CMyDlg& dlg, HWND h) {
        ASSERT_TRUE(WaitFor([&] { return LastTimerPeriod(h, 0) != 0; }));
        EXPECT_EQ(LastTimerPeriod(h, 0), 300000u);
        Sleep(500);  // the update branch ends too
        EXPECT_TRUE(host.Boxes().empty());
        EXPECT_TRUE(OnWindow<bool>(h, [&] { return dlg.Online().ItemCount() == 0; }));

        // Timer 0 with an empty list: a feed-only fetch, the timer re-armed, the line untouched.
        StartServer();
        const std::string line = Text(GetDlgItem(h, IDC_STATIC_NOTICE));
        ClearRecordedTimerCalls();
        SendMessageA(h, WM_TIMER, 0, 0);
        EXPECT_EQ(LastTimerPeriod(h, 0), 300000u);
        EXPECT_EQ(OnWindow<int>(h, [&] { return static_cast<int>(dlg.Online().LastMode()); }), 1);
        ASSERT_TRUE(WaitForRequests(kFeedPath, 1));
        ASSERT_TRUE(WaitFor([&] { return RecordedTimerCalls().size() >= 2; }));
        Sleep(300);
        EXPECT_EQ(server.CountFor(kUpdatePath), 0u) << "feed only";
        EXPECT_EQ(Text(GetDlgItem(h, IDC_STATIC_NOTICE)), line);
        EXPECT_EQ(OnWindow<std::string>(h, [&] { return dlg.Online().ColorCode(); }), "7");
    });
    EXPECT_TRUE(host.Boxes().empty());
}

TEST_F(OnlineDialog, FeedRotatesEveryFiveSecondsWithItsColours) {
    StartServer();
    server.Set(kFeedPath, LoopbackHttpServer::Ok(kThreeItems));
    Run([&](CMyDlg& dlg, HWND h) {
        ASSERT_TRUE(WaitFor([&] { return OnWindow<size_t>(h, [&] { return dlg.Online().ItemCount(); }) == 3; }));
        ASSERT_TRUE(WaitFor([&] { return LastTimerPeriod(h, 0) != 0; }));
        EXPECT_EQ(LastTimerPeriod(h, 0), 5000u);
        HWND line = GetDlgItem(h, IDC_STATIC_NOTICE);
        struct Step {
            const char* title;
            const char* code;
            COLORREF color;
        } steps[] = {
            {"first news", "1", RGB(255, 0, 0)},  {"second news", "2", RGB(0, 0, 255)},
            {"third news", "7", RGB(0, 0, 0)},    {"first news", "1", RGB(255, 0, 0)},
            {"second news", "2", RGB(0, 0, 255)},
        };
        ClearRecordedTimerCalls();
        for (const Step& s : steps) {
            SendMessageA(h, WM_TIMER, 0, 0);
            EXPECT_EQ(Text(line), s.title);
            EXPECT_EQ(OnWindow<std::string>(h, [&] { return dlg.Online().ColorCode(); }), s.code);
            // The line's text colour, and the default handling's brush unchanged.
            COLORREF color = 0;
            bool sameBrush = false;
            RunOnWindowThread(h, [&] {
                HDC dc = CreateCompatibleDC(nullptr);
                HDC other = CreateCompatibleDC(nullptr);
                LRESULT brush =
                    SendMessageA(h, WM_CTLCOLORSTATIC, reinterpret_cast<WPARAM>(dc), reinterpret_cast<LPARAM>(line));
                color = GetTextColor(dc);
                LRESULT plain = DefWindowProcA(h, WM_CTLCOLORSTATIC, reinterpret_cast<WPARAM>(other),
                                               reinterpret_cast<LPARAM>(line));
                sameBrush = brush == plain && brush != 0;
                DeleteDC(other);
                DeleteDC(dc);
            });
            EXPECT_EQ(color, s.color) << s.title;
            EXPECT_TRUE(sameBrush) << s.title;
        }
        // The rotation does not re-arm the timer while the list has items.
        EXPECT_EQ(LastTimerPeriod(h, 0), 0u);
        // The notice line is the only control coloured.
        COLORREF labelColor = 0;
        RunOnWindowThread(h, [&] {
            HDC dc = CreateCompatibleDC(nullptr);
            SetTextColor(dc, RGB(1, 2, 3));
            SendMessageA(h, WM_CTLCOLORSTATIC, reinterpret_cast<WPARAM>(dc),
                         reinterpret_cast<LPARAM>(GetDlgItem(h, IDC_CHECK_HIDDEN)));
            labelColor = GetTextColor(dc);
            DeleteDC(dc);
        });
        EXPECT_EQ(labelColor, GetSysColor(COLOR_WINDOWTEXT));
    });
}

TEST_F(OnlineDialog, ClicksOnTheLineAndTheSupportButton) {
    StartServer();
    server.Set(kFeedPath, LoopbackHttpServer::Ok(kThreeItems));
    const std::string support = DecodeStoredText(StoredText::SupportUrl);
    const std::string notice = DecodeStoredText(StoredText::NoticeText);
    Run([&](CMyDlg& dlg, HWND h) {
        HWND line = GetDlgItem(h, IDC_STATIC_NOTICE);
        auto click = [&] {
            SendMessageA(h, WM_COMMAND, MAKEWPARAM(IDC_STATIC_NOTICE, STN_CLICKED), reinterpret_cast<LPARAM>(line));
        };
        auto opened = [&]() -> std::string {
            std::vector<ShellLaunch> l = host.Launches();
            return l.empty() ? std::string("(nothing)") : l.back().file;
        };
        ASSERT_TRUE(WaitFor([&] { return OnWindow<size_t>(h, [&] { return dlg.Online().ItemCount(); }) == 3; }));

        // The default notice text, in any letter case, opens the support page.
        EXPECT_EQ(Text(line), notice);
        click();
        EXPECT_EQ(opened(), support);
        std::string otherCase = notice;
        for (char& c : otherCase)
            c = static_cast<char>(c >= 'a' && c <= 'z' ? c - 'a' + 'A' : c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c);
        SetWindowTextA(line, otherCase.c_str());
        size_t before = host.Launches().size();
        click();
        ASSERT_EQ(host.Launches().size(), before + 1);
        EXPECT_EQ(opened(), support);

        // The item shown opens its own address.
        SendMessageA(h, WM_TIMER, 0, 0);
        SendMessageA(h, WM_TIMER, 0, 0);
        EXPECT_EQ(Text(line), "second news");
        click();
        EXPECT_EQ(opened(), "http://a.example/2");
        EXPECT_EQ(OnWindow<std::wstring>(h, [&] { return dlg.Online().Text(); }), L"second news");

        // The third item's address is no web address: nothing opens.
        SendMessageA(h, WM_TIMER, 0, 0);
        before = host.Launches().size();
        click();
        EXPECT_EQ(host.Launches().size(), before);

        // Any other text in the line: nothing.
        SetWindowTextA(line, "Z:\\some\\folder being searched");
        click();
        EXPECT_EQ(host.Launches().size(), before);

        // Button 1013 opens the support page, whatever the line shows.
        SendMessageA(h, WM_COMMAND, MAKEWPARAM(IDC_BTN_SUPPORT, BN_CLICKED),
                     reinterpret_cast<LPARAM>(GetDlgItem(h, IDC_BTN_SUPPORT)));
        ASSERT_EQ(host.Launches().size(), before + 1);
        EXPECT_EQ(opened(), support);
        EXPECT_EQ(host.Launches().back().verb, "open");
        EXPECT_EQ(host.Launches().back().showCommand, SW_SHOWNORMAL);
    });
}

TEST_F(OnlineDialog, CursorIsTheHandOnlyOverTheLine) {
    Run([&](CMyDlg&, HWND h) {
        struct Case {
            const char* name;
            HWND under;
            LPARAM hit;
            LPCSTR cursor;
        } cases[] = {
            {"the status line", GetDlgItem(h, IDC_STATIC_NOTICE), HTCLIENT, IDC_HAND},
            {"the path field", GetDlgItem(h, IDC_EDIT_PATH), HTCLIENT, IDC_ARROW},
            {"the list", GetDlgItem(h, IDC_LIST_RESULT), HTCLIENT, IDC_ARROW},
            {"the window's border", h, HTRIGHT, IDC_ARROW},
            {"the caption", h, HTCAPTION, IDC_ARROW},
        };
        for (const Case& c : cases) {
            HCURSOR shown = nullptr;
            LRESULT handled = 0;
            RunOnWindowThread(h, [&] {
                SetCursor(nullptr);
                handled =
                    SendMessageA(h, WM_SETCURSOR, reinterpret_cast<WPARAM>(c.under), MAKELPARAM(c.hit, WM_MOUSEMOVE));
                shown = GetCursor();
            });
            EXPECT_EQ(shown, LoadCursor(nullptr, c.cursor)) << c.name;
            EXPECT_EQ(handled, TRUE) << c.name;
        }
    });
}

TEST_F(OnlineDialog, OverlappingRunsNeitherTearTheAnswerNorTheList) {
    StartServer();
    server.Set(kFeedPath, LoopbackHttpServer::Ok(kThreeItems));
    server.Set(kUpdatePath, LoopbackHttpServer::Ok(Answer("1.3")));
    Run([&](CMyDlg& dlg, HWND h) {
        ASSERT_TRUE(WaitFor([&] { return OnWindow<size_t>(h, [&] { return dlg.Online().ItemCount(); }) == 3; }));
        // Many workers at once: manual checks and feed fetches, while the rotation reads the list.
        for (int i = 0; i < 8; ++i) {
            PostMessageA(h, WM_COMMAND, ID_LIST_CHECK_UPDATE, 0);
            RunOnWindowThread(h, [&] { dlg.Online().Start(OnlineLine::kFeedOnly); });
            SendMessageA(h, WM_TIMER, 0, 0);
        }
        ASSERT_TRUE(WaitForBoxes(8));
        for (int i = 0; i < 50; ++i) SendMessageA(h, WM_TIMER, 0, 0);
        UpdateInfo info = OnWindow<UpdateInfo>(h, [&] { return dlg.Online().Update(); });
        EXPECT_EQ(info.version, "1.3");
        EXPECT_EQ(info.downloadUrl, "http://dl.example/orvelle-new.exe");
        EXPECT_EQ(info.description, "fixes\rand more");
        EXPECT_EQ(OnWindow<size_t>(h, [&] { return dlg.Online().ItemCount(); }), 3u);
    });
    for (const ShownBox& b : host.Boxes()) EXPECT_EQ(b.text, "当前版本 Ver1.3 已经是最新版本，没有检查到更新版本！");
}

TEST_F(OnlineDialog, ClosingDuringAFetchLeavesTheDialogAlone) {
    StartServer();
    LoopbackHttpServer::Answer stall;
    stall.ending = LoopbackHttpServer::Ending::Stall;
    stall.stallMs = 15000;
    server.Set(kFeedPath, stall);
    server.Set(kUpdatePath, LoopbackHttpServer::Ok(Answer("9.9")));
    const DWORD destroyMs = Run([&](CMyDlg&, HWND) { ASSERT_TRUE(WaitForRequests(kFeedPath, 1)); });
    // The close cut the fetch short: the object did not wait for the silent server.
    EXPECT_LT(destroyMs, 5000u);
    Sleep(300);
    EXPECT_TRUE(host.Boxes().empty());
    EXPECT_EQ(server.CountFor(kUpdatePath), 0u);
    EXPECT_EQ(ReadSetting(kSettingOfferDate), "");
}

}  // namespace
