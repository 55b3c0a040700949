// What every end-to-end test of the real Orvelle.exe shares: the control ids
// of its main window, the bounds of the waits, and a fixture that starts the
// program from a private sandbox, finds its window, runs a search and ends
// whatever it started.
#pragma once

#include <gtest/gtest.h>

#include <windows.h>

#include <cmath>
#include <memory>
#include <string>
#include <vector>

#include "CommandLineStep.h"
#include "Sandbox.h"
#include "StoredTexts.h"
#include "WinDriver.h"

#ifndef ORVELLE_E2E_PROGRAM
#error "ORVELLE_E2E_PROGRAM: the built Orvelle.exe"
#endif

namespace orvelle_e2e {

// Waits for the window to settle, then saves a picture of it among the
// test's artifacts.
inline void ShootSettled(HWND window, const std::string& name) {
    const std::string folder = e2e::HostPath(ORVELLE_E2E_ARTIFACTS);
    CreateDirectoryA(folder.c_str(), nullptr);
    RedrawWindow(window, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN | RDW_FRAME);
    e2e::Settle(window);
    Sleep(300);  // the repaint happens in the program's own time
    const std::string path = folder + "\\" + name + ".bmp";
    EXPECT_TRUE(e2e::CaptureWindowToBmp(window, path)) << path;
}

// The display scaling of programs started while it lives: Wine reads the
// user's LogPixels (windows) and the configuration's (fonts) at start-up.
// The old values are put back, or removed when there were none.
class ScopedLogPixels {
public:
    explicit ScopedLogPixels(DWORD dpi) {
        Set(HKEY_CURRENT_USER, "Control Panel\\Desktop", dpi, m_user);
        Set(HKEY_CURRENT_CONFIG, "Software\\Fonts", dpi, m_config);
    }
    ~ScopedLogPixels() {
        Restore(HKEY_CURRENT_USER, "Control Panel\\Desktop", m_user);
        Restore(HKEY_CURRENT_CONFIG, "Software\\Fonts", m_config);
    }

private:
    struct Old {
        bool had = false;
        DWORD value = 0;
    };
    static void Set(HKEY root, const char* path, DWORD dpi, Old& old) {
        HKEY key;
        if (RegCreateKeyExA(root, path, 0, nullptr, 0, KEY_READ | KEY_WRITE, nullptr, &key, nullptr) != ERROR_SUCCESS)
            return;
        DWORD size = sizeof old.value, type = 0;
        old.had = RegQueryValueExA(key, "LogPixels", nullptr, &type, reinterpret_cast<BYTE*>(&old.value), &size) ==
                      ERROR_SUCCESS &&
                  type == REG_DWORD;
        RegSetValueExA(key, "LogPixels", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&dpi), sizeof dpi);
        RegCloseKey(key);
    }
    static void Restore(HKEY root, const char* path, const Old& old) {
        HKEY key;
        if (RegOpenKeyExA(root, path, 0, KEY_WRITE, &key) != ERROR_SUCCESS) return;
        if (old.had)
            RegSetValueExA(key, "LogPixels", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&old.value), sizeof old.value);
        else
            RegDeleteValueA(key, "LogPixels");
        RegCloseKey(key);
    }

    Old m_user, m_config;
};

using Rows = std::vector<std::vector<std::string>>;

// Control ids of the main window.
constexpr int kEditPath = 1001;
constexpr int kButtonSearch = 1007;
constexpr int kButtonExport = 1008;
constexpr int kListResult = 1009;
constexpr int kButtonSelectAll = 1010;
constexpr int kButtonDelete = 1012;
constexpr int kButtonSupport = 1013;
constexpr int kButtonInvert = 1018;

// Bounds for things that normally take a fraction of them.
constexpr DWORD kWindowTimeoutMs = 15000;
constexpr DWORD kExitTimeoutMs = 15000;

const char kProgramName[] = "Orvelle.exe";
// Boxes without a caption of their own show the executable's base name.
const char kBoxCaption[] = "Orvelle";
const char kSearchButtonRest[] = "开始搜索";

inline std::string HandOverBlock() { return HandOverBlockName(DecodeStoredText(StoredText::ProgramId)); }
inline std::string HandOverLock() { return HandOverLockName(DecodeStoredText(StoredText::ProgramId)); }

// Where the resize layout puts the list and the bottom row for a client size.
// Its numbers are pixels at the template font's base units (6 x 12) and grow
// with the base units the window really has; those are whole numbers, read
// back from the path field, which the layout never moves (178 x 14 units).
inline void ExpectLayout(HWND window) {
    RECT client = {};
    ASSERT_TRUE(GetClientRect(window, &client));
    const int w = client.right, h = client.bottom;
    const RECT edit = e2e::ChildRect(window, 1001);
    const double baseX = std::lround(4.0 * (edit.right - edit.left) / 178);
    const double baseY = std::lround(8.0 * (edit.bottom - edit.top) / 14);
    auto X = [&](int px) { return static_cast<int>(std::lround(px * baseX / 6)); };
    auto Y = [&](int px) { return static_cast<int>(std::lround(px * baseY / 12)); };
    const RECT list = e2e::ChildRect(window, kListResult);
    EXPECT_EQ(list.left, X(3));
    EXPECT_EQ(list.top, Y(75));
    EXPECT_EQ(list.right, w - X(3));
    EXPECT_EQ(list.bottom, h - Y(40));
    // The columns end at the list's right edge: the path column takes the rest.
    HWND listWindow = GetDlgItem(window, kListResult);
    RECT listClient = {};
    GetClientRect(listWindow, &listClient);
    int columns = 0;
    for (int i = 0; i < 6; ++i) columns += e2e::ListColumnWidth(listWindow, i);
    EXPECT_EQ(columns, listClient.right);
    struct Bottom {
        int id, x, width;
    };
    const Bottom row[] = {
        {kButtonSelectAll, 3, 45}, {kButtonInvert, 56, 48}, {kButtonDelete, 112, 45}, {kButtonSupport, 165, 65}};
    for (const Bottom& b : row) {
        const RECT r = e2e::ChildRect(window, b.id);
        EXPECT_EQ(r.left, X(b.x)) << "control " << b.id;
        EXPECT_EQ(r.right - r.left, X(b.width)) << "control " << b.id;
        EXPECT_EQ(r.top, h - Y(32)) << "control " << b.id;
        EXPECT_LE(r.bottom, h) << "control " << b.id << " cut off";
    }
    // Nothing overlaps: the list starts below the top row's frame.
    EXPECT_GT(list.top, e2e::ChildRect(window, 1005).bottom) << "list covers the options";
    EXPECT_LE(e2e::ChildRect(window, 1008).right, w) << "export button cut";
}

class OrvelleE2E : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(m_box.Create(e2e::HostPath(ORVELLE_E2E_PROGRAM), kProgramName))
            << "cannot copy " << e2e::HostPath(ORVELLE_E2E_PROGRAM);
        // An instance left open elsewhere would take every request of ours.
        ASSERT_TRUE(e2e::WaitUntil([] { return !e2e::NamedBlockExists(HandOverBlock()); }, kExitTimeoutMs))
            << "another Orvelle instance holds the hand-over block; close it first";
    }

    void TearDown() override { KillAll(); }

    // Ends every instance this test started and waits until the hand-over
    // block they held is gone.
    void KillAll() {
        for (auto& process : m_processes) process->Kill();
        e2e::WaitUntil([] { return !e2e::NamedBlockExists(HandOverBlock()); }, kExitTimeoutMs);
    }

    // Starts `exe` (the sandbox's program unless given) with one argument
    // (none when null).
    e2e::Process& LaunchProgram(const std::string& exe, const char* argument, bool suspended = false) {
        m_processes.push_back(std::make_unique<e2e::Process>());
        e2e::Process& process = *m_processes.back();
        EXPECT_TRUE(process.Start(exe, argument, suspended)) << "cannot start " << exe;
        return process;
    }
    e2e::Process& Launch(const char* argument, bool suspended = false) {
        return LaunchProgram(m_box.Program(), argument, suspended);
    }
    e2e::Process& Launch(const std::string& argument, bool suspended = false) {
        return Launch(argument.c_str(), suspended);
    }
    // With the argument in UTF-16, for names the ANSI code page lacks.
    e2e::Process& LaunchW(const std::wstring& argument) {
        m_processes.push_back(std::make_unique<e2e::Process>());
        e2e::Process& process = *m_processes.back();
        EXPECT_TRUE(process.StartW(m_box.Program(), argument)) << "cannot start " << m_box.Program();
        return process;
    }

    // The process's main window: its visible dialog with the path field.
    static HWND MainWindowOf(const e2e::Process& process) {
        for (HWND window : e2e::TopLevelWindows(process.Id()))
            if (e2e::ClassOf(window) == "#32770" && GetDlgItem(window, kEditPath)) return window;
        return nullptr;
    }
    static HWND WaitForMainWindow(const e2e::Process& process) {
        HWND window = nullptr;
        e2e::WaitUntil([&] { return (window = MainWindowOf(process)) != nullptr; }, kWindowTimeoutMs);
        return window;
    }

    // Waits for a message box of `pids`, with `watch` sampling all the while;
    // the box found is sampled too, so the watch never misses it.
    static HWND WaitForBoxWatched(e2e::WindowWatch& watch, const std::vector<DWORD>& pids, const char* caption,
                                  DWORD timeoutMs) {
        HWND box = nullptr;
        e2e::WaitUntil(
            [&] {
                box = e2e::WaitForMessageBox(pids, caption, 0);
                watch.Sample();
                return box != nullptr;
            },
            timeoutMs);
        return box;
    }

    // Closes the main window the way its close box does, and waits for the end.
    static bool CloseMainWindow(const e2e::Process& process, HWND window) {
        PostMessageA(window, WM_SYSCOMMAND, SC_CLOSE, 0);
        return process.WaitExit(kExitTimeoutMs);
    }

    // Presses "开始搜索", answers the summary and returns its text.
    static std::string RunSearch(const e2e::Process& process, HWND window) {
        EXPECT_EQ(e2e::ControlText(window, kButtonSearch), kSearchButtonRest);
        EXPECT_TRUE(e2e::Click(window, kButtonSearch));
        HWND summary = e2e::WaitForMessageBox({process.Id()}, kBoxCaption, kWindowTimeoutMs);
        if (!summary) {
            ADD_FAILURE() << "no summary box after the search";
            return std::string();
        }
        const std::string text = e2e::MessageBoxText(summary);
        EXPECT_TRUE(e2e::AnswerMessageBox(summary, IDOK));
        EXPECT_TRUE(e2e::WaitUntil([&] { return !IsWindow(summary); }, kWindowTimeoutMs));
        return text;
    }

    // Makes `name` and, when given, its well-formed twin beside it; files
    // unless the name ends in "\" (a folder, which gets a file inside, so
    // that deleting it means emptying it first).
    void MakeEntry(const std::string& name) {
        if (!name.empty() && name.back() == '\\') {
            const std::string folder = name.substr(0, name.size() - 1);
            ASSERT_TRUE(m_box.MakeFolder(folder)) << folder;
            ASSERT_TRUE(m_box.MakeFile(folder + "\\inside.txt")) << folder;
        } else {
            ASSERT_TRUE(m_box.MakeFile(name)) << name;
        }
    }
    static std::string Bare(const std::string& name) {
        return !name.empty() && name.back() == '\\' ? name.substr(0, name.size() - 1) : name;
    }

    e2e::Sandbox m_box;
    std::vector<std::unique_ptr<e2e::Process>> m_processes;
};

}  // namespace orvelle_e2e
