#include "UiHost.h"

#include <atomic>
#include <string>

#include <shellapi.h>

#include "UiText.h"

namespace {

class SystemUiHost : public UiHost {
public:
    int ShowMessageBox(HWND owner, const char* text, const char* caption, UINT type) override {
        return ::MessageBoxW(owner, UiWide(text ? text : "").c_str(), UiWide(caption ? caption : "").c_str(), type);
    }

    int ShowMessageBoxW(HWND owner, const wchar_t* text, const wchar_t* caption, UINT type) override {
        return ::MessageBoxW(owner, text, caption, type);
    }

    HINSTANCE ShellExecuteFileW(HWND owner, const wchar_t* verb, const wchar_t* file, const wchar_t* parameters,
                                const wchar_t* directory, int showCommand) override {
        return ::ShellExecuteW(owner, verb, file, parameters, directory, showCommand);
    }

    UINT RunCommandLineW(const wchar_t* commandLine, UINT showCommand) override {
        std::wstring line(commandLine);  // CreateProcessW may write into the line
        STARTUPINFOW start = {};
        start.cb = sizeof start;
        start.dwFlags = STARTF_USESHOWWINDOW;
        start.wShowWindow = static_cast<WORD>(showCommand);
        PROCESS_INFORMATION process = {};
        if (!CreateProcessW(nullptr, &line[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &start, &process))
            return ERROR_FILE_NOT_FOUND;  // below 32, as WinExec fails
        CloseHandle(process.hThread);
        CloseHandle(process.hProcess);
        return 33;
    }

    HINSTANCE ShellExecuteFile(HWND owner, const char* verb, const char* file, const char* parameters,
                               const char* directory, int showCommand) override {
        return ShellExecuteA(owner, verb, file, parameters, directory, showCommand);
    }

    UINT RunCommandLine(const char* commandLine, UINT showCommand) override {
        return WinExec(commandLine, showCommand);
    }

    bool BrowseForFolderW(BROWSEINFOW& info, wchar_t* path) override {
        LPITEMIDLIST item = SHBrowseForFolderW(&info);
        if (!item) return false;
        SHGetPathFromIDListW(item, path);
        CoTaskMemFree(item);  // the shell allocates item lists with the task allocator
        return true;
    }

    bool ChooseFileName(OPENFILENAMEW& ofn, bool openForm) override {
        return (openForm ? GetOpenFileNameW(&ofn) : GetSaveFileNameW(&ofn)) != FALSE;
    }
};

SystemUiHost g_systemHost;
std::atomic<UiHost*> g_host{&g_systemHost};

}  // namespace

UiHost& GetUiHost() { return *g_host.load(); }

UiHost* SetUiHost(UiHost* host) { return g_host.exchange(host ? host : &g_systemHost); }
