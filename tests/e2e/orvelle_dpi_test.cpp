// The real Orvelle.exe at 150 % display scaling (144 dots per inch): the
// program declares itself DPI aware, so the window is laid out anew for the
// larger font rather than stretched, and its minimum size grows with it.
#include <gtest/gtest.h>

#include <windows.h>

#include <string>
#include <vector>

#include "OrvelleFixture.h"

#ifndef ORVELLE_E2E_ARTIFACTS
#error "ORVELLE_E2E_ARTIFACTS: where the screenshots go"
#endif

namespace {

using namespace orvelle_e2e;

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

struct Control {
    HWND window;
    std::string className;
    LONG style;
    RECT rect;  // in the dialog's client coordinates
};

std::vector<Control> VisibleControls(HWND dialog) {
    std::vector<Control> controls;
    for (HWND child : e2e::ChildWindows(dialog)) {
        if (!IsWindowVisible(child)) continue;
        Control c{child, e2e::ClassOf(child), GetWindowLongA(child, GWL_STYLE), {}};
        GetWindowRect(child, &c.rect);
        MapWindowPoints(nullptr, dialog, reinterpret_cast<POINT*>(&c.rect), 2);
        controls.push_back(c);
    }
    return controls;
}

bool IsGroupBox(const Control& c) { return c.className == "Button" && (c.style & BS_TYPEMASK) == BS_GROUPBOX; }

bool Inside(const RECT& inner, const RECT& outer) {
    return inner.left >= outer.left && inner.top >= outer.top && inner.right <= outer.right &&
           inner.bottom <= outer.bottom;
}

std::string Describe(const Control& c) {
    return c.className + " \"" + e2e::TextOf(c.window) + "\" (" + std::to_string(c.rect.left) + "," +
           std::to_string(c.rect.top) + ")-(" + std::to_string(c.rect.right) + "," + std::to_string(c.rect.bottom) +
           ")";
}

// Every visible control lies within the client area, and none covers
// another; a group box may only hold controls whole.
void ExpectNothingCutOrOverlapping(HWND dialog, const char* when) {
    RECT client;
    GetClientRect(dialog, &client);
    const std::vector<Control> controls = VisibleControls(dialog);
    ASSERT_GT(controls.size(), 8u) << when;
    for (size_t i = 0; i < controls.size(); ++i) {
        EXPECT_TRUE(Inside(controls[i].rect, client)) << when << ": " << Describe(controls[i]) << " leaves the window";
        for (size_t j = i + 1; j < controls.size(); ++j) {
            const Control& a = controls[i];
            const Control& b = controls[j];
            RECT common;
            if (!IntersectRect(&common, &a.rect, &b.rect)) continue;
            if (IsGroupBox(a) && Inside(b.rect, a.rect)) continue;
            if (IsGroupBox(b) && Inside(a.rect, b.rect)) continue;
            ADD_FAILURE() << when << ": " << Describe(a) << " overlaps " << Describe(b);
        }
    }
}

// The size the window keeps when asked to become tiny.
SIZE MinimumSize(HWND window) {
    SetWindowPos(window, nullptr, 0, 0, 40, 40, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
    e2e::Settle(window);
    return e2e::WindowSize(window);
}

struct Measured {
    SIZE minimum{};
    int editHeight = 0;
};

class OrvelleDpi : public OrvelleE2E {
protected:
    void SetUp() override {
        // Sizes of the program's windows as they are, not as an unaware reader would be told.
        using SetAware = BOOL(WINAPI*)();
        FARPROC found = GetProcAddress(GetModuleHandleA("user32.dll"), "SetProcessDPIAware");
        if (found) reinterpret_cast<SetAware>(reinterpret_cast<void*>(found))();
        OrvelleE2E::SetUp();
    }

    // Starts the program at `dpi`, checks its layout at its minimum size and
    // somewhat above, takes its picture and closes it.
    Measured Measure(DWORD dpi) {
        Measured m;
        HWND window = nullptr;
        e2e::Process* process = nullptr;
        {
            ScopedLogPixels scaling(dpi);
            process = &Launch(nullptr);
            window = WaitForMainWindow(*process);
        }
        if (!window) {
            ADD_FAILURE() << "no main window at " << dpi << " dpi";
            return m;
        }
        const std::string label = std::to_string(dpi) + " dpi";
        RECT edit = e2e::ChildRect(window, kEditPath);
        m.editHeight = edit.bottom - edit.top;
        m.minimum = MinimumSize(window);
        ExpectNothingCutOrOverlapping(window, (label + ", smallest").c_str());

        SetWindowPos(window, nullptr, 20, 20, m.minimum.cx * 5 / 4, m.minimum.cy * 5 / 4,
                     SWP_NOZORDER | SWP_NOACTIVATE);
        e2e::Settle(window);
        ExpectNothingCutOrOverlapping(window, (label + ", larger").c_str());
        RedrawWindow(window, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN | RDW_UPDATENOW);
        e2e::Settle(window);
        Sleep(500);  // painted
        const std::string picture =
            e2e::HostPath(ORVELLE_E2E_ARTIFACTS) + "\\main_window_" + std::to_string(dpi) + "dpi.bmp";
        CreateDirectoryA(e2e::HostPath(ORVELLE_E2E_ARTIFACTS).c_str(), nullptr);
        EXPECT_TRUE(e2e::CaptureWindowToBmp(window, picture)) << picture;
        EXPECT_TRUE(CloseMainWindow(*process, window));
        return m;
    }
};

TEST_F(OrvelleDpi, LaidOutAnewAt144DpiAndTheMinimumGrows) {
    const Measured normal = Measure(96);
    const Measured scaled = Measure(144);
    ASSERT_GT(normal.editHeight, 0);
    // The dialog's font, and with it every control, is half as large again:
    // not stretched as a bitmap (which would leave the sizes of 96 dpi).
    EXPECT_GE(scaled.editHeight * 10, normal.editHeight * 13) << normal.editHeight << " -> " << scaled.editHeight;
    EXPECT_GE(scaled.minimum.cx * 10, normal.minimum.cx * 13) << normal.minimum.cx << " -> " << scaled.minimum.cx;
    EXPECT_GE(scaled.minimum.cy * 10, normal.minimum.cy * 13) << normal.minimum.cy << " -> " << scaled.minimum.cy;
}

// Wine lays out every program at the prefix's DPI, aware or not; Windows
// stretches a program as a bitmap unless its manifest declares awareness.
TEST(OrvelleManifest, DeclaresSystemDpiAwareness) {
    HMODULE exe = LoadLibraryExA(e2e::HostPath(ORVELLE_E2E_PROGRAM).c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
    ASSERT_TRUE(exe);
    HRSRC found = FindResourceA(exe, MAKEINTRESOURCEA(1), MAKEINTRESOURCEA(24));  // RT_MANIFEST
    ASSERT_TRUE(found);
    const char* data = static_cast<const char*>(LockResource(LoadResource(exe, found)));
    const std::string manifest(data, SizeofResource(exe, found));
    FreeLibrary(exe);
    const size_t settings = manifest.find("<application xmlns=\"urn:schemas-microsoft-com:asm.v3\">");
    const size_t aware =
        manifest.find("<dpiAware xmlns=\"http://schemas.microsoft.com/SMI/2005/WindowsSettings\">true</dpiAware>");
    ASSERT_NE(settings, std::string::npos) << manifest;
    ASSERT_NE(aware, std::string::npos) << manifest;
    EXPECT_LT(settings, aware);
    EXPECT_LT(aware, manifest.find("</application>", settings));
}

}  // namespace
