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

// A text in the ANSI code page as the system converts it (a character the
// page lacks becomes a look-alike or "?"): for messages and narrow comparisons.
std::string AnsiOf(const std::wstring& text);

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
    // The same with the argument in UTF-16, for names the ANSI code page lacks.
    bool StartW(const std::string& exe, const std::wstring& argument, bool suspended = false);
    // Starts a whole command line the way the shell runs a verb's command:
    // no module name, so the system takes the program from the line itself.
    bool StartCommandLine(const std::string& commandLine);
    bool Resume();
    // Holds the first thread (Resume lets it go on).
    bool Suspend();

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
// The same through the wide message (WM_GETTEXT sent with SendMessageW): the
// text exactly, whatever the ANSI code page holds.
std::wstring TextOfW(HWND window);
std::wstring ControlTextW(HWND dialog, int id);
bool SetControlTextW(HWND dialog, int id, const std::wstring& text);
bool SetControlText(HWND dialog, int id, const std::string& text);

// Presses a button with BM_CLICK and returns once the target has handled it.
bool Click(HWND dialog, int id);
// Presses a button with a posted BM_CLICK and returns at once: for buttons
// whose handler opens a modal window (a message box, a file dialog) and so
// answers only when that window closes.
bool ClickLater(HWND dialog, int id);
// Posts WM_COMMAND `id` to the window, as a menu item chosen there would.
bool PostCommand(HWND window, int id);
// Returns once the window's thread answers a message sent now, so it is not
// busy inside a handler (it may be inside a modal loop); false when it does
// not answer in time. Messages posted before may still be waiting.
bool Settle(HWND window);
// Returns once the thread of `edit` has taken every message posted to any of
// its windows before this call: a marker is posted behind them (the edit's
// modified flag, which the program must not use) and waited for, then the
// flag is put back. False when the marker does not come through in time.
bool FlushPosted(HWND edit, DWORD timeoutMs);

// The direct children of a window, in z-order.
std::vector<HWND> ChildWindows(HWND parent);
// The first visible top-level window of `pid` that is not `except`, of the
// class when given; for the dialogs a program opens beside its main window.
HWND WaitForOtherTopLevel(DWORD pid, HWND except, const char* className, DWORD timeoutMs);

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
// The box's text as the box holds it, in UTF-16.
std::wstring MessageBoxTextW(HWND box);
// Clicks the box's button `buttonId` (IDYES, IDNO, IDOK...); false when it has none.
bool AnswerMessageBox(HWND box, int buttonId);

// The system icon a message box shows, told apart by its pixels on screen
// (its handle belongs to the box's process): each candidate is drawn on the
// box's background here and the closest one wins.
enum class BoxIcon { Unreadable, None, Hand, Question, Exclamation, Asterisk };
const char* BoxIconName(BoxIcon icon);
// Polls until the icon is painted, within `timeoutMs`.
// The wait is for the box to be painted, which an emulated 32-bit program on
// a busy machine can take several seconds to do.
BoxIcon MessageBoxIcon(HWND box, DWORD timeoutMs = 15000);

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
// One cell read whole through the list's wide message (LVM_GETITEMTEXTW), for
// texts the ANSI code page cannot hold and paths past MAX_PATH.
bool ReadListTextW(HWND list, int row, int column, std::wstring& text);
// A column's heading through LVM_GETCOLUMNW.
bool ReadListHeadingW(HWND list, int column, std::wstring& text);
int ListColumnWidth(HWND list, int column);
// The columns of a report-view list (its header's items); -1 when it does not answer.
int ListColumnCount(HWND list);
// The width the list gives `text` in its own font (LVM_GETSTRINGWIDTH), -1
// when it does not answer.
int ListStringWidth(HWND list, const std::string& text);
// A row's check mark, as the list's state image: 1 unchecked, 2 checked, 0
// none, -1 when the list does not answer.
int ListCheckState(HWND list, int row);
// Makes row the list's one selected and focused row, scrolled into view.
bool SelectListRow(HWND list, int row);
// Sets a row's check mark through LVM_SETITEMSTATE with the state-image mask.
bool SetListCheck(HWND list, int row, bool checked);
// A row's rectangle in the list's client coordinates (LVM_GETITEMRECT).
bool ListRowRect(HWND list, int row, RECT& rect);

// ---- combo boxes and popup menus in another process ------------------------

// The items of a combo box and the index of the chosen one (-1 for none).
bool ReadComboItems(HWND combo, std::vector<std::string>& items, int& selected);

// The popup menu on screen for `pid` (a "#32768" window), and its items'
// texts with their command ids; false when the menu cannot be read from here.
HWND FindPopupMenuWindow(DWORD pid);
bool ReadPopupMenuItems(HWND menuWindow, std::vector<std::pair<UINT, std::string>>& items);

// ---- clipboard ----------------------------------------------------------------

// The clipboard's CF_UNICODETEXT; false when it holds none or cannot be opened.
bool ClipboardTextW(std::wstring& text);

// ---- named shared block ---------------------------------------------------

// Reads the text of UTF-16 units ended by a 0 unit at the start of the named
// file mapping, under the named mutex `lockName` when that exists. False when
// no process holds a mapping of that name. The mapping is closed again before
// returning, so the reader never keeps the block alive.
bool ReadNamedBlockText(const std::string& mappingName, const std::string& lockName, std::wstring& text);
bool NamedBlockExists(const std::string& mappingName);

// ---- pictures ---------------------------------------------------------------

// Copies the window's screen area (frame included) into a 24-bit BMP file,
// with the window lifted above every other one for the moment.
bool CaptureWindowToBmp(HWND window, const std::string& bmpPath);
// The screen's pixels in `screenRect` (rows of 32-bit pixels, top down), as
// they are now: nothing is repainted or lifted first.
bool CaptureScreen(const RECT& screenRect, std::vector<unsigned char>& pixels);
// The screen's pixels in `screenRect` into a BMP file, as they are now (a
// tooltip over a window comes along).
bool CaptureScreenAreaToBmp(const RECT& screenRect, const std::string& bmpPath);

}  // namespace e2e
