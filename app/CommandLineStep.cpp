#include "CommandLineStep.h"

#include <shellapi.h>

#include <algorithm>
#include <vector>

#include "CommandLine.h"
#include "ExactAnsi.h"
#include "HandOver.h"

static_assert(kBoxYesNo == MB_YESNO && kBoxIconQuestion == MB_ICONQUESTION &&
              kBoxIconExclamation == MB_ICONEXCLAMATION && kBoxIconInformation == MB_ICONINFORMATION &&
              kAnswerYes == IDYES);

namespace {

// Holders keep the lock for a few memory accesses only; a holder that died
// leaves it abandoned, which the next waiter takes over.
constexpr DWORD kLockWaitMs = 5000;

// A named mutex around the test-and-append of the hand-over text and its reads,
// so that instances starting together cannot both claim the first place nor
// write into each other's paths.
class HandOverLock {
public:
    explicit HandOverLock(const std::string& name) : m_hMutex(CreateMutexA(nullptr, FALSE, name.c_str())) {}
    ~HandOverLock() {
        if (m_hMutex)
            CloseHandle(m_hMutex);
    }
    HandOverLock(const HandOverLock&) = delete;
    HandOverLock& operator=(const HandOverLock&) = delete;

    bool Exists() const { return m_hMutex != nullptr; }
    bool Acquire() {
        if (!m_hMutex)
            return false;
        const DWORD wait = WaitForSingleObject(m_hMutex, kLockWaitMs);
        return wait == WAIT_OBJECT_0 || wait == WAIT_ABANDONED;
    }
    void Release() { ReleaseMutex(m_hMutex); }

private:
    HANDLE m_hMutex;
};

// The bytes of the view that can be used, at most kHandOverRoom.
size_t HandOverRoomOf(const char* view) {
    MEMORY_BASIC_INFORMATION info = {};
    if (VirtualQuery(view, &info, sizeof info) != sizeof info)
        return 0;
    const size_t region = info.RegionSize - static_cast<size_t>(view - static_cast<const char*>(info.BaseAddress));
    return std::min(region, kHandOverRoom);
}

}  // namespace

bool ToAnsiExactly(const std::wstring& text, std::string& ansi) {
    // A NUL cannot come from the command line; the path would end there.
    return WideToAnsiExactly(text, ansi) && ansi.find('\0') == std::string::npos;
}

HandledArgument HandleWideArgument(CSFMServer& sfm, const std::string& appId, const std::wstring& argument,
                                   const DeletePathFn& deletePath, const MessageBoxFn& messageBox) {
    std::string ansi;
    if (ToAnsiExactly(argument, ansi))
        return HandleCommandLineArgument(sfm, appId, ansi, deletePath, messageBox);
    // A character the code page cannot hold would come out as another one (or
    // the default character) and name a different entry: the request is refused
    // before it reaches the hand-over, so no other instance acts on it either.
    HandledArgument refused;
    if (ClassifyArgument(ansi).kind == RequestKind::Delete) {
        messageBox(kDeleteFailedText, kDeleteRequestCaption, kBoxIconExclamation);
        refused.end = StepEnd::EndProcess;
    }
    return refused;  // a search request opens the window with an empty path field
}

std::string HandOverBlockName(const std::string& appId) { return appId + "_7041"; }

std::string HandOverLockName(const std::string& appId) { return appId + "_7041_lock"; }

int ShowOwnerlessMessageBox(const std::string& text, const std::string& caption, unsigned type) {
    return MessageBoxA(nullptr, text.c_str(), caption.c_str(), type);
}

HandledArgument HandleCommandLineArgument(CSFMServer& sfm, const std::string& appId,
                                          const std::string& argument, const DeletePathFn& deletePath,
                                          const MessageBoxFn& messageBox) {
    HandledArgument handled;
    const CommandLineRequest request = ClassifyArgument(argument);
    if (request.kind == RequestKind::None)
        return handled;

    sfm.Open(nullptr, HandOverBlockName(appId).c_str(), 1);
    char* const view = sfm.GetBuffer();
    if (!view)
        return handled;  // no block: the argument is ignored
    const size_t room = HandOverRoomOf(view);

    HandOverLock lock(HandOverLockName(appId));
    if (!lock.Acquire())
        return handled;  // as without a block: never hand over unguarded
    const HandOverKind kind = request.kind == RequestKind::Search ? HandOverKind::Search : HandOverKind::Delete;
    const HandOverRole role = AppendRequestToHandOver(view, room, kind, request.path);
    lock.Release();
    if (role == HandOverRole::OtherKind) {
        // Another instance collects requests of the other kind: joining its
        // batch would search what was to be deleted, or delete what was to be
        // searched. This one is handled here, alone.
        if (request.kind == RequestKind::Search) {
            handled.searchPath = request.path;
            return handled;
        }
        RunDeleteRequest({request.path}, deletePath, messageBox);
        handled.end = StepEnd::EndProcess;
        return handled;
    }
    if (role != HandOverRole::First) {
        handled.end = StepEnd::EndProcess;
        return handled;
    }

    // First instance: collect until a whole period passes without a new path.
    auto lockedTextLength = [&] {
        const bool held = lock.Acquire();
        const size_t length = HandOverTextLength(view, room);
        if (held)
            lock.Release();
        return length;
    };
    WaitForQuietHandOver(lockedTextLength, [] { Sleep(kHandOverQuietMs); });

    const bool held = lock.Acquire();
    const std::string text(view, HandOverTextLength(view, room));
    if (held)
        lock.Release();
    const std::vector<std::string> paths = HandOverPathsOfKind(text, kind);

    if (request.kind == RequestKind::Search) {
        handled.searchPath = request.path;  // own path; the others are only absorbed
        return handled;
    }
    RunDeleteRequest(paths, deletePath, messageBox);
    handled.end = StepEnd::EndProcess;
    return handled;
}

std::wstring FirstArgumentOf(const wchar_t* commandLine) {
    int argc = 0;
    LPWSTR* argv = CommandLineToArgvW(commandLine, &argc);
    if (!argv)
        return std::wstring();
    std::wstring argument = argc >= 2 ? argv[1] : L"";
    LocalFree(argv);
    if (!argument.empty() && argument.back() == L'"')
        argument.back() = L'\\';
    return argument;
}

CommandLineStepResult RunCommandLineStep(CSFMServer& sfm, const std::string& appId,
                                         const DeletePathFn& deletePath, const MessageBoxFn& messageBox) {
    CommandLineStepResult result;
    const std::wstring argument = FirstArgumentOf(GetCommandLineW());
    if (argument.empty())
        return result;

    result.hasArgument = true;
    const HandledArgument handled = HandleWideArgument(sfm, appId, argument, deletePath, messageBox);
    if (handled.end == StepEnd::EndProcess)
        ExitProcess(0);
    result.searchPath = handled.searchPath;
    return result;
}
