#include "App.h"

#include <commctrl.h>

#include "CodePage.h"
#include "UiHost.h"

namespace {

CWinApp* g_app = nullptr;

std::string ModuleAppName() {
    char path[MAX_PATH] = {};
    GetModuleFileNameA(nullptr, path, MAX_PATH);
    return AppNameFromModulePath(path);
}

}  // namespace

CWinApp::CWinApp() : m_hInstance(GetModuleHandleA(nullptr)), m_strAppName(ModuleAppName()) { g_app = this; }

CWinApp::~CWinApp() {
    if (g_app == this) g_app = nullptr;
}

BOOL CWinApp::InitInstance() { return TRUE; }

int CWinApp::ExitInstance() { return 0; }

CWinApp* GetApp() { return g_app; }

std::string GetAppName() { return g_app ? g_app->m_strAppName : ModuleAppName(); }

std::string AppNameFromModulePath(const char* path) {
    const char* name = path;
    const char* dot = nullptr;
    for (const char* p = path; *p; ++p) {
        if (IsAnsiLeadByte(static_cast<unsigned char>(*p)) && p[1]) {
            ++p;
            continue;
        }
        if (*p == '\\' || *p == '/' || *p == ':') {
            name = p + 1;
            dot = nullptr;
        } else if (*p == '.') {
            dot = p;
        }
    }
    return dot ? std::string(name, dot) : std::string(name);
}

int AppMessageBox(HWND owner, const char* text, UINT type, const char* caption) {
    if (caption) return GetUiHost().ShowMessageBox(owner, text, caption, type);
    const std::string appName = GetAppName();
    return GetUiHost().ShowMessageBox(owner, text, appName.c_str(), type);
}

int AppMessageBoxW(HWND owner, const wchar_t* text, UINT type) {
    const std::string appName = GetAppName();
    std::wstring caption(appName.size() + 1, L'\0');
    const int length = MultiByteToWideChar(CP_ACP, 0, appName.c_str(), static_cast<int>(appName.size()), &caption[0],
                                           static_cast<int>(caption.size()));
    caption.resize(length > 0 ? static_cast<size_t>(length) : 0);
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
        while (GetMessageA(&msg, nullptr, 0, 0) > 0) {
            TranslateMessage(&msg);
            DispatchMessageA(&msg);
        }
        return app->ExitInstance();
    } catch (...) {
        return 1;
    }
}
