// The main window run modally in this process while a script on a second
// thread works it, with a UI host that answers the boxes and records what the
// window would have launched. Under Wine with a display.
#pragma once

#include <gtest/gtest.h>
#include <windows.h>
#include <commctrl.h>

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "AppMessages.h"
#include "FakeUiHost.h"
#include "ListCommands.h"
#include "MainDlg.h"
#include "Settings.h"
#include "resource.h"

// FakeUiHost whose records may be read by the script while the window's
// thread or the search worker adds to them.
class ScriptedUiHost : public FakeUiHost {
public:
    ScriptedUiHost() { InitializeCriticalSection(&m_lock); }
    ~ScriptedUiHost() override { DeleteCriticalSection(&m_lock); }

    int ShowMessageBox(HWND owner, const char* text, const char* caption, UINT type) override {
        return Locked([&] { return FakeUiHost::ShowMessageBox(owner, text, caption, type); });
    }
    int ShowMessageBoxW(HWND owner, const wchar_t* text, const wchar_t* caption, UINT type) override {
        return Locked([&] { return FakeUiHost::ShowMessageBoxW(owner, text, caption, type); });
    }
    HINSTANCE ShellExecuteFileW(HWND owner, const wchar_t* verb, const wchar_t* file, const wchar_t* parameters,
                                const wchar_t* directory, int showCommand) override {
        return Locked(
            [&] { return FakeUiHost::ShellExecuteFileW(owner, verb, file, parameters, directory, showCommand); });
    }
    UINT RunCommandLineW(const wchar_t* commandLine, UINT showCommand) override {
        return Locked([&] { return FakeUiHost::RunCommandLineW(commandLine, showCommand); });
    }
    std::vector<std::wstring> WideCommandLines() {
        return Locked([&] { return wideCommandLines; });
    }
    HINSTANCE ShellExecuteFile(HWND owner, const char* verb, const char* file, const char* parameters,
                               const char* directory, int showCommand) override {
        return Locked(
            [&] { return FakeUiHost::ShellExecuteFile(owner, verb, file, parameters, directory, showCommand); });
    }
    UINT RunCommandLine(const char* commandLine, UINT showCommand) override {
        return Locked([&] { return FakeUiHost::RunCommandLine(commandLine, showCommand); });
    }
    bool ChooseFileName(OPENFILENAMEW& ofn, bool openForm) override {
        return Locked([&] { return FakeUiHost::ChooseFileName(ofn, openForm); });
    }

    std::vector<ShownBox> Boxes() {
        return Locked([&] { return boxes; });
    }
    std::vector<ShellLaunch> Launches() {
        return Locked([&] { return launches; });
    }
    std::vector<std::string> CommandLines() {
        return Locked([&] { return commandLines; });
    }
    std::vector<UINT> CommandShows() {
        return Locked([&] { return commandShows; });
    }
    std::vector<ChosenFile> Files() {
        return Locked([&] { return files; });
    }
    void Answer(int answer) {
        Locked([&] {
            answers.push_back(answer);
            return 0;
        });
    }
    void ChooseFile(const std::string& path) {
        Locked([&] {
            fileAnswer = path;
            return 0;
        });
    }

private:
    template <typename F>
    auto Locked(F f) -> decltype(f()) {
        EnterCriticalSection(&m_lock);
        struct Leave {
            CRITICAL_SECTION* lock;
            ~Leave() { LeaveCriticalSection(lock); }
        } leave{&m_lock};
        return f();
    }
    CRITICAL_SECTION m_lock;
};

// A bound for what normally takes a moment, generous for a busy machine.
inline bool WaitFor(const std::function<bool()>& ready, DWORD ms = 30000) {
    DWORD start = GetTickCount();
    while (!ready()) {
        if (GetTickCount() - start > ms) return false;
        Sleep(10);
    }
    return true;
}

inline std::string Text(HWND h) {
    char buf[1024] = {};
    GetWindowTextA(h, buf, sizeof buf);
    return buf;
}

// One row of the result list, column by column.
struct Row {
    std::string path, name, type, attribute, result;
    bool operator==(const Row& o) const {
        return path == o.path && name == o.name && type == o.type && attribute == o.attribute && result == o.result;
    }
};

inline std::ostream& operator<<(std::ostream& os, const Row& r) {
    return os << "{" << r.path << " | " << r.name << " | " << r.type << " | " << r.attribute << " | " << r.result
              << "}";
}

class DialogTest : public ::testing::Test {
protected:
    void SetUp() override {
        m_previous = SetUiHost(&host);
        DeleteFileA(GetSettingsFilePath().c_str());
        // Each test stands for a fresh start of the program.
        TheListSortState() = ListSortState{};
    }
    void TearDown() override {
        SetUiHost(m_previous);
        DeleteFileA(GetSettingsFilePath().c_str());
    }

    // Runs dlg modally; script gets the window once it is visible, and the
    // window is closed through its close box when the script returns.
    void Run(CMyDlg& dlg, const std::function<void(HWND)>& script) {
        Context context{&dlg, &script};
        HANDLE thread = CreateThread(nullptr, 0, &DialogTest::ScriptThread, &context, 0, nullptr);
        dlg.DoModal();
        EXPECT_EQ(WaitForSingleObject(thread, 30000), WAIT_OBJECT_0);
        CloseHandle(thread);
    }

    bool WaitForBoxes(size_t n) {
        return WaitFor([&] { return host.Boxes().size() >= n; });
    }
    // A delete command returns at once; its rows leave while the window runs.
    static bool WaitForDeletion(const CMyDlg& dlg) {
        return WaitFor([&] { return !dlg.IsDeleting(); });
    }

    // Runs f on the window's thread and returns when it has run.
    static void OnUi(HWND h, const std::function<void()>& f) { ASSERT_TRUE(RunOnWindowThread(h, f)); }

    // The result list is the window's: read and changed on its thread, through its owner.
    static void AddRows(HWND h, CMyDlg& dlg, const std::vector<Row>& rows) {
        OnUi(h, [&] {
            std::vector<ResultRow> given;
            for (const Row& r : rows) {
                ResultRow row;
                row.path = r.path;
                row.bracketedName = r.name;
                row.type = r.type;
                row.attribute = r.attribute;
                row.result = r.result;
                given.push_back(row);
            }
            dlg.Results().Append(given);
        });
    }
    template <typename F>
    static auto OnList(CMyDlg& dlg, F f) -> decltype(f(dlg.Results())) {
        decltype(f(dlg.Results())) out{};
        RunOnWindowThread(dlg.GetSafeHwnd(), [&] { out = f(dlg.Results()); });
        return out;
    }
    static int Count(CMyDlg& dlg) {
        return OnList(dlg, [](ResultList& l) { return l.Count(); });
    }
    // A cell as a narrow reader of the list gets it.
    static std::string Cell(CMyDlg& dlg, int row, int column) {
        return OnList(dlg, [&](ResultList& l) { return l.NarrowText(row, column); });
    }
    static std::vector<Row> Rows(CMyDlg& dlg) {
        return OnList(dlg, [](ResultList& l) {
            std::vector<Row> out;
            for (int i = 0; i < l.Count(); ++i)
                out.push_back({l.NarrowText(i, 0), l.NarrowText(i, 1), l.NarrowText(i, 2), l.NarrowText(i, 3),
                               l.NarrowText(i, 4)});
            return out;
        });
    }
    static std::vector<std::string> Column(CMyDlg& dlg, int column) {
        return OnList(dlg, [&](ResultList& l) {
            std::vector<std::string> out;
            for (int i = 0; i < l.Count(); ++i) out.push_back(l.NarrowText(i, column));
            return out;
        });
    }
    static std::vector<bool> Checks(CMyDlg& dlg) {
        return OnList(dlg, [](ResultList& l) {
            std::vector<bool> out;
            for (int i = 0; i < l.Count(); ++i) out.push_back(l.IsChecked(i));
            return out;
        });
    }
    static void SetChecks(HWND h, CMyDlg& dlg, const std::vector<bool>& checks) {
        OnUi(h, [&] {
            for (size_t i = 0; i < checks.size(); ++i) dlg.Results().SetChecked(static_cast<int>(i), checks[i]);
        });
    }
    // Selects one row (-1: none).
    static void Select(HWND h, CMyDlg& dlg, int row) {
        OnUi(h, [&] { dlg.Results().Select(row); });
    }
    static int Selected(CMyDlg& dlg) {
        return OnList(dlg, [](ResultList& l) { return l.Selected(); });
    }

    // A button pressed as by the mouse; a disabled button does nothing.
    static void Click(HWND h, int id) {
        HWND button = GetDlgItem(h, id);
        OnUi(h, [&] { SendMessageA(button, BM_CLICK, 0, 0); });
    }
    // A menu command as the popup menu sends it.
    static void Command(HWND h, int id) {
        OnUi(h, [&] { SendMessageA(h, WM_COMMAND, MAKEWPARAM(id, 0), 0); });
    }
    // A notification of the result list, as the list sends it.
    static void Notify(HWND h, UINT code, int subItem = 0) {
        OnUi(h, [&] {
            NMLISTVIEW nm = {};
            nm.hdr.hwndFrom = GetDlgItem(h, IDC_LIST_RESULT);
            nm.hdr.idFrom = IDC_LIST_RESULT;
            nm.hdr.code = code;
            nm.iItem = -1;
            nm.iSubItem = subItem;
            SendMessageA(h, WM_NOTIFY, IDC_LIST_RESULT, reinterpret_cast<LPARAM>(&nm));
        });
    }
    // A left click on a column's header.
    static void ClickHeader(HWND h, int column) {
        HWND list = GetDlgItem(h, IDC_LIST_RESULT);
        OnUi(h, [&] {
            HWND header = reinterpret_cast<HWND>(SendMessageA(list, LVM_GETHEADER, 0, 0));
            RECT r = {};
            SendMessageA(header, HDM_GETITEMRECT, column, reinterpret_cast<LPARAM>(&r));
            LPARAM at = MAKELPARAM((r.left + r.right) / 2, (r.top + r.bottom) / 2);
            SendMessageA(header, WM_LBUTTONDOWN, MK_LBUTTON, at);
            SendMessageA(header, WM_LBUTTONUP, 0, at);
        });
    }

    // The list's right-click menu, open: sent from a thread of its own, since
    // the window's thread stays in the menu until it closes.
    struct OpenMenu {
        HANDLE sender = nullptr;
        HWND window = nullptr;
        HMENU menu = nullptr;
        std::unique_ptr<NMITEMACTIVATE> notification;
        std::unique_ptr<std::pair<HWND, NMITEMACTIVATE*>> args;
    };
    static DWORD WINAPI SendRightClick(void* p) {
        auto* a = static_cast<std::pair<HWND, NMITEMACTIVATE*>*>(p);
        SendMessageA(a->first, WM_NOTIFY, IDC_LIST_RESULT, reinterpret_cast<LPARAM>(a->second));
        return 0;
    }
    static void OpenListMenu(HWND h, OpenMenu& m) {
        m.notification.reset(new NMITEMACTIVATE());
        m.notification->hdr.hwndFrom = GetDlgItem(h, IDC_LIST_RESULT);
        m.notification->hdr.idFrom = IDC_LIST_RESULT;
        m.notification->hdr.code = NM_RCLICK;
        m.notification->iItem = -1;
        m.args.reset(new std::pair<HWND, NMITEMACTIVATE*>(h, m.notification.get()));
        m.sender = CreateThread(nullptr, 0, &DialogTest::SendRightClick, m.args.get(), 0, nullptr);
        const bool shown = WaitFor([&] {
            m.window = FindWindowA("#32768", nullptr);
            return m.window && IsWindowVisible(m.window);
        });
        if (shown) m.menu = reinterpret_cast<HMENU>(SendMessageA(m.window, MN_GETHMENU, 0, 0));
        if (!m.menu) {
            ADD_FAILURE() << (shown ? "the open menu gave no handle" : "no menu opened");
            CloseListMenu(h, m);
        }
    }
    // Waits until the menu has closed and its handler has returned.
    static void WaitMenuClosed(OpenMenu& m) {
        EXPECT_EQ(WaitForSingleObject(m.sender, 10000), WAIT_OBJECT_0);
        CloseHandle(m.sender);
        m.sender = nullptr;
    }
    static void CloseListMenu(HWND h, OpenMenu& m) {
        OnUi(h, [] { EndMenu(); });
        WaitMenuClosed(m);
    }

    ScriptedUiHost host;

private:
    struct Context {
        CMyDlg* dlg;
        const std::function<void(HWND)>* script;
    };
    static DWORD WINAPI ScriptThread(void* p) {
        auto* c = static_cast<Context*>(p);
        HWND hwnd = nullptr;
        WaitFor([&] { return (hwnd = c->dlg->GetSafeHwnd()) != nullptr && IsWindowVisible(hwnd); });
        if (hwnd) {
            (*c->script)(hwnd);
            PostMessageA(hwnd, WM_SYSCOMMAND, SC_CLOSE, 0);
        }
        return 0;
    }
    UiHost* m_previous = nullptr;
};
