// The command-line step of start-up, run by the application before any window
// exists. A search request ("-p:") gives the path for the path field, or goes
// to the search window already open; a delete request is carried out here and
// ends the process, as does handing a path over to an instance collecting.
#pragma once

#include <string>

#include "DeleteRequest.h"
#include "SFMServer.h"

// The blocks an instance holds while it takes part in the hand-over: the text
// of the requests, and beside it the state of its batch and of the window that
// takes later searches. A search window keeps both open as long as it lives.
struct HandOverBlocks {
    CSFMServer text;
    CSFMServer state;
    void Close() {
        text.Close();
        state.Close();
    }
};

struct CommandLineStepResult {
    bool hasArgument = false;  // at least one argument after the program name
    std::wstring searchPath;   // the "-p:" path exactly, or empty
};

// The hand-over block's name, its state block's and the name of the lock that
// guards both.
std::string HandOverBlockName(const std::string& appId);
std::string HandOverStateName(const std::string& appId);
std::string HandOverLockName(const std::string& appId);

// MessageBoxW without an owner, text and caption (GBK) decoded from code page
// 936, so that they read the same under every ANSI code page.
int ShowOwnerlessMessageBox(const std::string& text, const std::string& caption, unsigned type);

// Reads the process's command line and handles its first argument. `blocks`
// are the caller's: the text is re-opened on the hand-over block for an
// argument longer than 3 units, and both must stay open as long as a search
// window lives. Ends the process with exit code 0 instead of returning when
// the request has been handled here (delete request, handed over to another
// instance or to its window, or refused).
CommandLineStepResult RunCommandLineStep(HandOverBlocks& blocks, const std::string& appId,
                                         const DeletePathFn& deletePath,
                                         const MessageBoxFn& messageBox = ShowOwnerlessMessageBox);

// The same for an argument already taken from the command line (in UTF-16,
// as it gives it), without ending the process. The path goes on exactly as it
// was given, whatever the ANSI code page can hold.
enum class StepEnd { OpenWindow, EndProcess };

struct HandledArgument {
    StepEnd end = StepEnd::OpenWindow;
    std::wstring searchPath;
};

HandledArgument HandleCommandLineArgument(HandOverBlocks& blocks, const std::string& appId,
                                          const std::wstring& argument, const DeletePathFn& deletePath,
                                          const MessageBoxFn& messageBox);
// The same with the state block held for the call only.
HandledArgument HandleCommandLineArgument(CSFMServer& sfm, const std::string& appId, const std::wstring& argument,
                                          const DeletePathFn& deletePath, const MessageBoxFn& messageBox);

// The window a search request opened, as the one that takes later search
// requests (unless another live window does already); and taken back, when it
// is this one, as it goes. Both before the blocks are closed.
void RecordSearchWindow(HandOverBlocks& blocks, const std::string& appId, HWND window);
void ForgetSearchWindow(HandOverBlocks& blocks, const std::string& appId, HWND window);

// The first argument of a command line as the program takes it. The shell
// quotes "%L", so a clicked drive root arrives as "-p:C:\", which the
// command-line split reads as an escaped quote: -p:C:". A path never holds a
// quote, so a quote at the end stands for that backslash.
std::wstring FirstArgumentOf(const wchar_t* commandLine);

// How long one instance waits for the others to fall quiet (one period).
inline constexpr DWORD kHandOverQuietMs = 1000;
// How long a later search request waits for the open window to take its path
// before it opens a window of its own.
inline constexpr DWORD kSearchWindowAnswerMs = 5000;
