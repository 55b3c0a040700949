// Drives another process's windows from outside, the way a user (or the
// shell) reaches a running program: top-level windows and message boxes,
// control texts, button clicks, the rows of a list view, a named shared block,
// and pictures of windows. Nothing here knows the program it drives.
#pragma once

#include <windows.h>

#include <functional>
#include <string>
#include <utility>
#include <vector>

namespace e2e {

// ---- waiting --------------------------------------------------------------

// Polls `condition` every `pollMs` until it holds or `timeoutMs` passed; says
// whether it held. The condition is tested once more at the deadline.
bool WaitUntil(const std::function<bool()>& condition, DWORD timeoutMs, DWORD pollMs = 15);

// ---- processes --------------------------------------------------------------

// One started process, owned: the destructor ends it (by its handle) when it
// still runs, so no test leaves a program behind.
class Process {
public:
    Process() = default;
    ~Process();
    Process(const Process&) = delete;
    Process& operator=(const Process&) = delete;

    // Starts `exe` with one argument (quoted), or with none when `argument`
    // is null. `suspended` keeps its first thread waiting for Resume().
    bool Start(const std::string& exe, const char* argument, bool suspended = false);
    bool Resume();

    DWORD Id() const { return m_info.dwProcessId; }
    HANDLE Handle() const { return m_info.hProcess; }
    // Tick count taken just before the process was created (or resumed).
    DWORD StartTick() const { return m_startTick; }

    bool Running() const;
    // Waits for the end; true with its exit code when it ended in time.
    bool WaitExit(DWORD timeoutMs, DWORD* exitCode = nullptr) const;
    // Ends it when it still runs, and waits until it is gone.
    void Kill();

private:
    PROCESS_INFORMATION m_info = {};
    DWORD m_startTick = 0;
};

// ---- windows ----------------------------------------------------------------

DWORD ProcessOfWindow(HWND window);
std::string ClassOf(HWND window);

// Top-level windows of process `pid` (of every process when 0), in z-order.
std::vector<HWND> TopLevelWindows(DWORD pid, bool visibleOnly = true);

// The first visible top-level window of `pid` (any when 0) whose class and
// caption equal the given ones (a null one matches anything).
HWND FindTopLevel(DWORD pid, const char* className, const char* caption);
HWND WaitForTopLevel(DWORD pid, const char* className, const char* caption, DWORD timeoutMs);

// The text of a window or control, asked for with WM_GETTEXT (which the system
// carries across processes); empty when the window does not answer in time.
std::string TextOf(HWND window);
std::string ControlText(HWND dialog, int id);
bool SetControlText(HWND dialog, int id, const std::string& text);

// Presses a button with BM_CLICK and returns once the target has handled it.
bool Click(HWND dialog, int id);

// Client rectangle of a child in its parent's client coordinates.
RECT ChildRect(HWND parent, int id);
SIZE WindowSize(HWND window);

// ---- message boxes ----------------------------------------------------------

// The system's message boxes: a "#32770" dialog with the message in a static
// control of id 0xFFFF.
bool IsMessageBox(HWND window);
// Visible message boxes of the given processes, with the caption when given.
std::vector<HWND> MessageBoxesOf(const std::vector<DWORD>& pids, const char* caption = nullptr);
HWND WaitForMessageBox(const std::vector<DWORD>& pids, const char* caption, DWORD timeoutMs);
std::string MessageBoxText(HWND box);
// Clicks the box's button `buttonId` (IDYES, IDNO, IDOK...); false when it has none.
bool AnswerMessageBox(HWND box, int buttonId);

// Remembers which processes ever had a visible top-level window while it was
// sampled, for "this instance showed nothing".
class WindowWatch {
public:
    explicit WindowWatch(std::vector<DWORD> pids) : m_pids(std::move(pids)) {}
    void Sample();
    // Distinct visible windows seen for `pid` so far, with their captions.
    std::vector<std::string> SeenFor(DWORD pid) const;

private:
    struct Seen {
        DWORD pid;
        HWND window;
        std::string caption;
    };
    std::vector<DWORD> m_pids;
    std::vector<Seen> m_seen;
};

// ---- list views in another process -----------------------------------------

int ListItemCount(HWND list);
// Every row's first `columns` texts, read through a buffer placed in the
// list's own process (LVM_GETITEMTEXT takes a pointer).
bool ReadListRows(HWND list, int columns, std::vector<std::vector<std::string>>& rows);
int ListColumnWidth(HWND list, int column);

// ---- named shared block ---------------------------------------------------

// Reads the NUL-terminated text at the start of the named file mapping, under
// the named mutex `lockName` when that exists. False when no process holds a
// mapping of that name. The mapping is closed again before returning, so the
// reader never keeps the block alive.
bool ReadNamedBlockText(const std::string& mappingName, const std::string& lockName, std::string& text);
bool NamedBlockExists(const std::string& mappingName);

// ---- pictures ---------------------------------------------------------------

// Copies the window's screen area (frame included) into a 24-bit BMP file.
bool CaptureWindowToBmp(HWND window, const std::string& bmpPath);

}  // namespace e2e
