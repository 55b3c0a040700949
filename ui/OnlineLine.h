// The status line's online side: the announcements the feed gave, which one
// shows and in what colour, the answer to the update check, and the worker
// that fetches both. Lives on the window's thread; the worker never touches
// it from its own thread: it hands what it fetched to the window's thread,
// which applies it (so it never overlaps the handlers that read it) and shows
// the boxes. Once closed the worker only finishes its network call and ends.
#pragma once

#include <windows.h>

#include <atomic>
#include <string>
#include <vector>

#include "HttpFetch.h"
#include "OnlineTypes.h"
#include "WindowTasks.h"
#include "WorkerThreads.h"

class OnlineLine {
public:
    enum Mode { kFeedAndAutomaticCheck = 0, kFeedOnly = 1, kManualCheck = 2 };

    // Workers start in workers and hand their results over through tasks.
    OnlineLine(WorkerThreads& workers, WindowTasks& tasks);
    OnlineLine(const OnlineLine&) = delete;
    OnlineLine& operator=(const OnlineLine&) = delete;

    // The window: its line (control lineId) shows the texts, its timer
    // rotates them, and it owns the boxes; version is the program's own.
    void Attach(HWND window, int lineId, const std::string& version);
    // No run starts from now on, and fetches in flight return at once.
    void Close();

    // Starts a run in mode; false when none was started.
    bool Start(Mode mode);
    // An update check the user asked for: its answer is always said.
    void CheckNow() { Start(kManualCheck); }

    // The announcement timer: the next item, or a new fetch while there is none.
    void Rotate();
    // The line shows text (a search's folder or position) in the plain colour.
    void ShowPlain(const std::wstring& text);
    // A click on the line: the support page for the default text, an
    // item's own page for an item.
    void Clicked();
    void OpenSupportPage();
    // WM_CTLCOLORSTATIC of the line: the item's colour.
    LRESULT Color(HDC dc, HWND control);

    const std::wstring& Text() const { return m_text; }
    size_t ItemCount() const { return m_items.size(); }
    Mode LastMode() const { return m_mode; }
    const std::string& ColorCode() const { return m_color; }
    const UpdateInfo& Update() const { return m_update; }

private:
    struct Run;
    static DWORD WINAPI Worker(void* run);
    void RunWorker(const Run& run);
    void TakeFeed(std::vector<AnnouncementItem> items);
    void AnswerUpdateCheck(const std::string& body, const std::string& ownVersion, Mode mode);
    void Show(const std::wstring& text);
    bool Closed() const { return m_closed.load(); }
    int Box(const std::string& text, UINT type) const;

    WorkerThreads& m_workers;
    WindowTasks& m_tasks;
    std::atomic<bool> m_closed{false};
    FetchGroup m_fetches;  // the runs' fetches, cut short at close

    HWND m_window = nullptr;
    int m_lineId = 0;
    std::string m_version;  // the program's, for the update answer's boxes
    std::vector<AnnouncementItem> m_items;
    int m_index = -1;  // the item shown, -1 before the first
    Mode m_mode = kFeedAndAutomaticCheck;
    std::string m_color = "7";  // the text colour's code
    UpdateInfo m_update;
    std::wstring m_text;  // what the line shows
};
