// The command-line step of start-up, run by the main dialog's constructor
// before any window exists. A search request ("-p:") gives the path for the
// path field; a delete request is carried out here and ends the process, as
// does handing a path over to an instance already collecting.
#pragma once

#include <string>

#include "DeleteRequest.h"
#include "SFMServer.h"

struct CommandLineStepResult {
    bool hasArgument = false;  // at least one argument after the program name
    std::string searchPath;    // the "-p:" path, or empty
};

// The hand-over block's name and the name of the lock that guards it.
std::string HandOverBlockName(const std::string& appId);
std::string HandOverLockName(const std::string& appId);

// MessageBoxA without an owner.
int ShowOwnerlessMessageBox(const std::string& text, const std::string& caption, unsigned type);

// Reads the process's command line and handles its first argument. `sfm` is
// the caller's block (the dialog's m_sfm): it is re-opened on the hand-over
// block for an argument longer than 3 bytes and must stay open as long as the
// window lives, so that later instances keep handing their paths to it. Ends
// the process with exit code 0 instead of returning when the request has been
// handled here (delete request, handed over, or refused).
CommandLineStepResult RunCommandLineStep(CSFMServer& sfm, const std::string& appId,
                                         const DeletePathFn& deletePath,
                                         const MessageBoxFn& messageBox = ShowOwnerlessMessageBox);

// The same for an argument already taken from the command line (in the ANSI
// code page), without ending the process.
enum class StepEnd { OpenWindow, EndProcess };

struct HandledArgument {
    StepEnd end = StepEnd::OpenWindow;
    std::string searchPath;
};

HandledArgument HandleCommandLineArgument(CSFMServer& sfm, const std::string& appId,
                                          const std::string& argument, const DeletePathFn& deletePath,
                                          const MessageBoxFn& messageBox);

// The argument in the ANSI code page, converted without best-fit replacements
// (which would turn a character the code page lacks into a look-alike, and so
// name another entry). False when a character had no exact counterpart.
bool ToAnsiExactly(const std::wstring& text, std::string& ansi);

// HandleCommandLineArgument for the argument as the command line gives it. An
// argument the code page cannot hold exactly is refused: a delete request
// deletes nothing and shows the delete failure message, a search request
// opens the window with an empty path field; neither joins the hand-over.
HandledArgument HandleWideArgument(CSFMServer& sfm, const std::string& appId, const std::wstring& argument,
                                   const DeletePathFn& deletePath, const MessageBoxFn& messageBox);

// The first argument of a command line as the program takes it. The shell
// quotes "%L", so a clicked drive root arrives as "-p:C:\", which the
// command-line split reads as an escaped quote: -p:C:". A path never holds a
// quote, so a quote at the end stands for that backslash.
std::wstring FirstArgumentOf(const wchar_t* commandLine);

// How long one instance waits for the others to fall quiet (one period).
inline constexpr DWORD kHandOverQuietMs = 1000;
