#include "CommandLineStep.h"

#include <shellapi.h>

#include <algorithm>
#include <vector>

#include "CommandLine.h"
#include "ExactAnsi.h"
#include "HandOver.h"
#include "HandOverMessages.h"
#include "UiText.h"

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
        if (m_hMutex) CloseHandle(m_hMutex);
    }
    HandOverLock(const HandOverLock&) = delete;
    HandOverLock& operator=(const HandOverLock&) = delete;

    bool Exists() const { return m_hMutex != nullptr; }
    bool Acquire() {
        if (!m_hMutex) return false;
        const DWORD wait = WaitForSingleObject(m_hMutex, kLockWaitMs);
        return wait == WAIT_OBJECT_0 || wait == WAIT_ABANDONED;
    }
    void Release() { ReleaseMutex(m_hMutex); }

private:
    HANDLE m_hMutex;
};

// The units of the view that can be used, at most kHandOverUnits.
size_t HandOverRoomOf(const char* view) {
    MEMORY_BASIC_INFORMATION info = {};
    if (VirtualQuery(view, &info, sizeof info) != sizeof info) return 0;
    const size_t region = info.RegionSize - static_cast<size_t>(view - static_cast<const char*>(info.BaseAddress));
    return std::min(region, kHandOverRoom) / sizeof(char16_t);
}

// UTF-16 either way: wchar_t is 16 bits here.
static_assert(sizeof(wchar_t) == sizeof(char16_t));

std::u16string U16Of(const std::wstring& text) { return std::u16string(text.begin(), text.end()); }

std::wstring WideOf(const std::u16string& text) { return std::wstring(text.begin(), text.end()); }

// The state kept beside the text, opened on `state`; null without one (the
// batches then behave as before it existed).
HandOverState* OpenHandOverState(CSFMServer& state, const std::string& appId) {
    state.Open(nullptr, HandOverStateName(appId).c_str(), sizeof(HandOverState));
    return reinterpret_cast<HandOverState*>(state.GetBuffer());
}

// The state the blocks hold, when they took part in the hand-over (they hold
// the default block otherwise, which is no state).
HandOverState* StateOf(HandOverBlocks& blocks, const std::string& appId) {
    const char* name = blocks.state.GetMapName();
    if (!name || HandOverStateName(appId) != name) return nullptr;
    return reinterpret_cast<HandOverState*>(blocks.state.GetBuffer());
}

HWND WindowOfRecord(uint32_t handle) {
    // As the system widens a 32-bit handle: sign-extended.
    return reinterpret_cast<HWND>(static_cast<intptr_t>(static_cast<int32_t>(handle)));
}

// The recorded search window, when it is still there and still its process's.
HWND LiveSearchWindow(const HandOverState& state, DWORD& process) {
    if (state.windowProcess == 0) return nullptr;
    HWND window = WindowOfRecord(state.windowHandle);
    DWORD owner = 0;
    if (!IsWindow(window) || !GetWindowThreadProcessId(window, &owner) || owner != state.windowProcess) return nullptr;
    process = owner;
    return window;
}

// Gives the open window the path; true when it took it. The window's process
// may then come to the front, as this instance would have.
bool HandSearchToWindow(HWND window, DWORD process, const std::u16string& path) {
    AllowSetForegroundWindow(process);
    COPYDATASTRUCT data = {};
    data.dwData = kCopyDataSearchPathW;
    data.cbData = static_cast<DWORD>(path.size() * sizeof(char16_t));
    data.lpData = const_cast<char16_t*>(path.data());
    DWORD_PTR answer = 0;
    return SendMessageTimeoutA(window, WM_COPYDATA, 0, reinterpret_cast<LPARAM>(&data), SMTO_ABORTIFHUNG,
                               kSearchWindowAnswerMs, &answer) != 0 &&
           answer == TRUE;
}

HandledArgument HandleRequest(CSFMServer& sfm, CSFMServer& stateBlock, const std::string& appId,
                              const std::wstring& argument, const DeletePathFn& deletePath,
                              const MessageBoxFn& messageBox);

}  // namespace

std::string HandOverBlockName(const std::string& appId) { return appId + "_7041"; }

std::string HandOverStateName(const std::string& appId) { return appId + "_7041_state"; }

std::string HandOverLockName(const std::string& appId) { return appId + "_7041_lock"; }

int ShowOwnerlessMessageBox(const std::string& text, const std::string& caption, unsigned type) {
    return MessageBoxW(nullptr, UiWide(text).c_str(), UiWide(caption).c_str(), type);
}

HandledArgument HandleCommandLineArgument(CSFMServer& sfm, const std::string& appId, const std::wstring& argument,
                                          const DeletePathFn& deletePath, const MessageBoxFn& messageBox) {
    CSFMServer state;
    return HandleRequest(sfm, state, appId, argument, deletePath, messageBox);
}

HandledArgument HandleCommandLineArgument(HandOverBlocks& blocks, const std::string& appId,
                                          const std::wstring& argument, const DeletePathFn& deletePath,
                                          const MessageBoxFn& messageBox) {
    return HandleRequest(blocks.text, blocks.state, appId, argument, deletePath, messageBox);
}

namespace {

HandledArgument HandleRequest(CSFMServer& sfm, CSFMServer& stateBlock, const std::string& appId,
                              const std::wstring& argument, const DeletePathFn& deletePath,
                              const MessageBoxFn& messageBox) {
    HandledArgument handled;
    const CommandLineRequest request = ClassifyArgument(U16Of(argument));
    if (request.kind == RequestKind::None) return handled;

    sfm.Open(nullptr, HandOverBlockName(appId).c_str(), 1);
    if (!sfm.GetBuffer()) return handled;  // no block: the argument is ignored
    const size_t room = HandOverRoomOf(sfm.GetBuffer());
    // The mapping starts on a page: its units are aligned.
    char16_t* const view = reinterpret_cast<char16_t*>(sfm.GetBuffer());

    HandOverState* const state = OpenHandOverState(stateBlock, appId);

    HandOverLock lock(HandOverLockName(appId));
    if (!lock.Acquire()) return handled;  // as without a block: never hand over unguarded
    const HandOverKind kind = request.kind == RequestKind::Search ? HandOverKind::Search : HandOverKind::Delete;
    const size_t length = HandOverTextLength(view, room);
    const bool searchesCollecting = length > 0 && length < room &&
                                    view[0] == static_cast<char16_t>(HandOverKind::Search) &&
                                    !(state && state->batchTaken);
    DWORD windowProcess = 0;
    HWND const window = kind == HandOverKind::Search && !searchesCollecting && state
                            ? LiveSearchWindow(*state, windowProcess)
                            : nullptr;
    if (window) {
        lock.Release();
        // A search window is open: the request is its, not a new window's.
        if (!HandSearchToWindow(window, windowProcess, request.path)) {
            handled.searchPath = WideOf(request.path);  // it did not answer: a window of this instance's own
            return handled;
        }
        handled.end = StepEnd::EndProcess;
        return handled;
    }
    const HandOverRole role = JoinHandOver(view, room, state, kind, request.path);
    lock.Release();
    if (role == HandOverRole::OtherKind) {
        // Another instance collects requests of the other kind: joining its
        // batch would search what was to be deleted, or delete what was to be
        // searched. This one is handled here, alone.
        if (request.kind == RequestKind::Search) {
            handled.searchPath = WideOf(request.path);
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
        if (held) lock.Release();
        return length;
    };
    WaitForQuietHandOver(lockedTextLength, [] { Sleep(kHandOverQuietMs); });

    const bool held = lock.Acquire();
    const std::u16string text(view, HandOverTextLength(view, room));
    // From now on a request starts a batch of its own: none is taken in and lost.
    if (state) state->batchTaken = 1;
    if (held) lock.Release();
    std::vector<std::u16string> paths = HandOverPathsOfKind(text, kind);
    // The first item is this instance's own. A writer of an older, narrow text
    // may have written over it; the request itself is still this instance's.
    if (paths.empty() || paths.front() != request.path) paths.insert(paths.begin(), request.path);

    if (request.kind == RequestKind::Search) {
        handled.searchPath = WideOf(request.path);  // own path; the others are only absorbed
        return handled;
    }
    RunDeleteRequest(paths, deletePath, messageBox);
    handled.end = StepEnd::EndProcess;
    return handled;
}

}  // namespace

void RecordSearchWindow(HandOverBlocks& blocks, const std::string& appId, HWND window) {
    HandOverState* const state = StateOf(blocks, appId);
    if (!state || !window) return;
    HandOverLock lock(HandOverLockName(appId));
    if (!lock.Acquire()) return;
    DWORD process = 0;
    if (!LiveSearchWindow(*state, process)) {
        state->windowProcess = GetCurrentProcessId();
        state->windowHandle = static_cast<uint32_t>(reinterpret_cast<uintptr_t>(window));
    }
    lock.Release();
}

void ForgetSearchWindow(HandOverBlocks& blocks, const std::string& appId, HWND window) {
    HandOverState* const state = StateOf(blocks, appId);
    if (!state) return;
    HandOverLock lock(HandOverLockName(appId));
    const bool held = lock.Acquire();
    if (state->windowProcess == GetCurrentProcessId() && WindowOfRecord(state->windowHandle) == window) {
        state->windowProcess = 0;
        state->windowHandle = 0;
    }
    if (held) lock.Release();
}

std::wstring FirstArgumentOf(const wchar_t* commandLine) {
    int argc = 0;
    LPWSTR* argv = CommandLineToArgvW(commandLine, &argc);
    if (!argv) return std::wstring();
    std::wstring argument = argc >= 2 ? argv[1] : L"";
    LocalFree(argv);
    if (!argument.empty() && argument.back() == L'"') argument.back() = L'\\';
    return argument;
}

CommandLineStepResult RunCommandLineStep(HandOverBlocks& blocks, const std::string& appId,
                                         const DeletePathFn& deletePath, const MessageBoxFn& messageBox) {
    CommandLineStepResult result;
    const std::wstring argument = FirstArgumentOf(GetCommandLineW());
    if (argument.empty()) return result;

    result.hasArgument = true;
    const HandledArgument handled = HandleCommandLineArgument(blocks, appId, argument, deletePath, messageBox);
    if (handled.end == StepEnd::EndProcess) ExitProcess(0);
    result.searchPath = handled.searchPath;
    return result;
}
