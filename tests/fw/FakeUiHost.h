// A UI host that answers message boxes and file dialogs from a script and records every call.
#pragma once

#include <deque>
#include <string>
#include <vector>

#include "UiHost.h"

struct ShownBox {
    HWND owner;
    std::string text;  // in the ANSI code page (a wide box's text converted, as the system would)
    std::string caption;
    UINT type;
    std::wstring wideText = std::wstring();  // a wide box's own text, exactly
};

struct ShellLaunch {
    HWND owner;
    std::string verb;
    std::string file;
    std::string parameters;  // "(null)" for a null pointer, as for directory
    std::string directory;
    int showCommand;
    std::wstring wideFile = std::wstring();  // a wide launch's own target, exactly
};

struct ChosenFile {
    bool openForm;
    HWND owner;
    std::string filter;  // every byte of the filter list, its NULs included
    std::string defaultExt;
    std::string initialFile;
    DWORD flags;
};

class FakeUiHost : public UiHost {
public:
    int ShowMessageBox(HWND owner, const char* text, const char* caption, UINT type) override {
        boxes.push_back({owner, text, caption, type});
        if (answers.empty()) return IDCANCEL;
        int answer = answers.front();
        answers.pop_front();
        return answer;
    }

    int ShowMessageBoxW(HWND owner, const wchar_t* text, const wchar_t* caption, UINT type) override {
        const int answer = ShowMessageBox(owner, Narrow(text).c_str(), Narrow(caption).c_str(), type);
        boxes.back().wideText = text ? text : L"";
        return answer;
    }

    HINSTANCE ShellExecuteFileW(HWND owner, const wchar_t* verb, const wchar_t* file, const wchar_t* parameters,
                                const wchar_t* directory, int showCommand) override {
        launches.push_back({owner, NarrowOrNull(verb), NarrowOrNull(file), NarrowOrNull(parameters),
                            NarrowOrNull(directory), showCommand, file ? file : L""});
        return reinterpret_cast<HINSTANCE>(static_cast<INT_PTR>(42));
    }

    UINT RunCommandLineW(const wchar_t* commandLine, UINT showCommand) override {
        wideCommandLines.push_back(commandLine);
        return RunCommandLine(Narrow(commandLine).c_str(), showCommand);
    }

    HINSTANCE ShellExecuteFile(HWND owner, const char* verb, const char* file, const char* parameters,
                               const char* directory, int showCommand) override {
        launches.push_back({owner, Text(verb), Text(file), Text(parameters), Text(directory), showCommand});
        return reinterpret_cast<HINSTANCE>(static_cast<INT_PTR>(42));
    }

    UINT RunCommandLine(const char* commandLine, UINT showCommand) override {
        commandLines.push_back(commandLine);
        commandShows.push_back(showCommand);
        return 33;
    }

    bool BrowseForFolderW(BROWSEINFOW& info, wchar_t* path) override {
        browseTitles.push_back(info.lpszTitle ? info.lpszTitle : L"(null)");
        if (folderAnswer.empty()) return false;
        lstrcpynW(path, folderAnswer.c_str(), MAX_PATH);
        return true;
    }

    bool ChooseFileName(OPENFILENAMEW& ofn, bool openForm) override {
        // The filter's parts as a narrow reader sees them, each with its NUL.
        std::string filter;
        if (ofn.lpstrFilter) {
            for (const wchar_t* p = ofn.lpstrFilter; *p; p += wcslen(p) + 1) filter += Narrow(p) + '\0';
            filter += '\0';
        }
        files.push_back(
            {openForm, ofn.hwndOwner, filter, NarrowOrNull(ofn.lpstrDefExt), NarrowOrNull(ofn.lpstrFile), ofn.Flags});
        const std::wstring answer = !wideFileAnswer.empty() ? wideFileAnswer : Wide(fileAnswer);
        if (answer.empty()) return false;
        lstrcpynW(ofn.lpstrFile, answer.c_str(), static_cast<int>(ofn.nMaxFile));
        return true;
    }

    static std::string Text(const char* p) { return p ? p : "(null)"; }
    // A wide text as the system's narrow functions would see it (best fit, "?").
    static std::string Narrow(const wchar_t* p) {
        if (!p || !*p) return std::string();
        const int size = WideCharToMultiByte(CP_ACP, 0, p, -1, nullptr, 0, nullptr, nullptr);
        std::string text(size > 0 ? static_cast<size_t>(size) : 1, '\0');
        WideCharToMultiByte(CP_ACP, 0, p, -1, &text[0], size, nullptr, nullptr);
        text.resize(text.size() - 1);
        return text;
    }
    static std::string NarrowOrNull(const wchar_t* p) { return p ? Narrow(p) : "(null)"; }
    static std::wstring Wide(const std::string& text) {
        if (text.empty()) return std::wstring();
        std::wstring wide(text.size(), L'\0');
        const int length = MultiByteToWideChar(CP_ACP, 0, text.data(), static_cast<int>(text.size()), &wide[0],
                                               static_cast<int>(wide.size()));
        wide.resize(length > 0 ? static_cast<size_t>(length) : 0);
        return wide;
    }

    std::deque<int> answers;
    std::wstring folderAnswer;
    std::string fileAnswer;       // in the ANSI code page
    std::wstring wideFileAnswer;  // or exactly, when set

    std::vector<ShownBox> boxes;
    std::vector<ShellLaunch> launches;
    std::vector<std::string> commandLines;
    std::vector<std::wstring> wideCommandLines;
    std::vector<UINT> commandShows;
    std::vector<std::wstring> browseTitles;
    std::vector<ChosenFile> files;
};

// Puts a host in force for one scope.
class ScopedUiHost {
public:
    explicit ScopedUiHost(UiHost* host) : m_previous(SetUiHost(host)) {}
    ~ScopedUiHost() { SetUiHost(m_previous); }
    ScopedUiHost(const ScopedUiHost&) = delete;
    ScopedUiHost& operator=(const ScopedUiHost&) = delete;

private:
    UiHost* m_previous;
};
