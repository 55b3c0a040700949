#include "UiHost.h"

#include <atomic>

#include <shellapi.h>

namespace {

class SystemUiHost : public UiHost {
public:
    int ShowMessageBox(HWND owner, const char* text, const char* caption, UINT type) override {
        return MessageBoxA(owner, text, caption, type);
    }

    HINSTANCE ShellExecuteFile(HWND owner, const char* verb, const char* file, const char* parameters,
                               const char* directory, int showCommand) override {
        return ShellExecuteA(owner, verb, file, parameters, directory, showCommand);
    }

    UINT RunCommandLine(const char* commandLine, UINT showCommand) override {
        return WinExec(commandLine, showCommand);
    }

    bool BrowseForFolder(BROWSEINFOA& info, char* path) override {
        LPITEMIDLIST item = SHBrowseForFolderA(&info);
        if (!item) return false;
        SHGetPathFromIDListA(item, path);
        CoTaskMemFree(item);  // the shell allocates item lists with the task allocator
        return true;
    }

    bool ChooseFileName(OPENFILENAMEA& ofn, bool openForm) override {
        return (openForm ? GetOpenFileNameA(&ofn) : GetSaveFileNameA(&ofn)) != FALSE;
    }
};

SystemUiHost g_systemHost;
std::atomic<UiHost*> g_host{&g_systemHost};

}  // namespace

UiHost& GetUiHost() { return *g_host.load(); }

UiHost* SetUiHost(UiHost* host) { return g_host.exchange(host ? host : &g_systemHost); }
