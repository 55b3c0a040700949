#include "App.h"

#include <commctrl.h>

#include "UiHost.h"
#include "UiText.h"

namespace {

CWinApp* g_app = nullptr;

std::wstring ModuleAppName() {
    // The module's path may lie outside the code page: taken in UTF-16.
    std::wstring path(MAX_PATH, L'\0');
    for (;;) {
        const DWORD length = GetModuleFileNameW(nullptr, &path[0], static_cast<DWORD>(path.size()));
        if (length < path.size()) {
            path.resize(length);
            break;
        }
        path.resize(path.size() * 2);
    }
    return AppNameFromModulePath(path.c_str());
}

}  // namespace

CWinApp::CWinApp() : m_hInstance(GetModuleHandleW(nullptr)), m_strAppName(ModuleAppName()) { g_app = this; }

CWinApp::~CWinApp() {
    if (g_app == this) g_app = nullptr;
}

BOOL CWinApp::InitInstance() { return TRUE; }

int CWinApp::ExitInstance() { return 0; }

CWinApp* GetApp() { return g_app; }

std::wstring GetAppNameW() { return g_app ? g_app->m_strAppName : ModuleAppName(); }

std::string GetAppName() { return ShownNarrow(GetAppNameW()); }

std::wstring AppNameFromModulePath(const wchar_t* path) {
    const wchar_t* name = path;
    const wchar_t* dot = nullptr;
    for (const wchar_t* p = path; *p; ++p) {
        if (*p == L'\\' || *p == L'/' || *p == L':') {
            name = p + 1;
            dot = nullptr;
        } else if (*p == L'.') {
            dot = p;
        }
    }
    return dot ? std::wstring(name, dot) : std::wstring(name);
}

int AppMessageBox(HWND owner, const char* text, UINT type, const char* caption) {
    const std::wstring wide = UiWide(text ? text : "");
    const std::wstring title = caption ? UiWide(caption) : GetAppNameW();
    return GetUiHost().ShowMessageBoxW(owner, wide.c_str(), title.c_str(), type);
}

int AppMessageBoxW(HWND owner, const wchar_t* text, UINT type) {
    const std::wstring caption = GetAppNameW();
    return GetUiHost().ShowMessageBoxW(owner, text, caption.c_str(), type);
}

// The entry point lives beside the application object's constructor: a program that defines its
// application object pulls this object file out of the library, and with it WinMain.
int WINAPI WinMain(HINSTANCE hInstance, HINSTANCE, LPSTR, int) {
    CWinApp* app = GetApp();
    if (!app) return 1;
    app->m_hInstance = hInstance;

    INITCOMMONCONTROLSEX controls = {sizeof controls, ICC_WIN95_CLASSES};
    InitCommonControlsEx(&controls);

    try {
        if (!app->InitInstance()) return app->ExitInstance();
        MSG msg;
        while (GetMessageW(&msg, nullptr, 0, 0) > 0) {
            TranslateMessage(&msg);
            DispatchMessageW(&msg);
        }
        return app->ExitInstance();
    } catch (...) {
        return 1;
    }
}
