// The main window: the path field, the options, the result list and the
// commands around it. Runs modally for the whole life of the process.
#pragma once

#include <windows.h>

#include <atomic>
#include <functional>
#include <string>
#include <vector>

#include "Dialog.h"
#include "Delete.h"
#include "FileSystem.h"
#include "HttpFetch.h"
#include "ResultList.h"
#include "MainTexts.h"
#include "OnlineTypes.h"
#include "RowDeletion.h"
#include "FolderSearch.h"
#include "Scan.h"
#include "WindowTasks.h"
#include "WorkerThreads.h"

class CMyDlg : public CDialog {
public:
    // How the dialog starts, as whoever read the command line found it; and
    // whom it tells, on its own thread, that its window is up (and can be
    // reached) and that the window is going.
    struct StartArgs {
        bool hasArgument = false;
        std::wstring searchPath;
        std::function<void(HWND)> onWindowUp = nullptr;
        std::function<void(HWND)> onWindowGone = nullptr;
    };

    explicit CMyDlg(const StartArgs& args, FileSystem* fs = nullptr);
    ~CMyDlg() override;

    BOOL PreTranslateMessage(MSG* msg) override;

    // Command handlers, public so that tests can drive them like clicks.
    void ToggleSearch();
    void ChooseFolder();
    void AcceptDroppedPath(HDROP drop);
    void DeleteCheckedRows();
    void DeleteSelectedRow();
    // The Del key: one question naming the entry, then as DeleteSelectedRow.
    void AskAndDeleteSelectedRow();
    // Rescue: the selected row's entry renamed to a name Windows accepts, or
    // the first bytes of its file shown read-only.
    void RenameSelectedRow();
    // The tip of a row whose deletion or renaming failed: why, and who holds it.
    std::string FailureTipOf(int row) const;
    // The result list: its rows, their entries, marks and outcomes.
    ResultList& Results() { return m_results; }
    const ResultList& Results() const { return m_results; }
    void ViewSelectedRow();
    void DeleteAllRows();
    // The result list's commands (check marks, right-click menu, copy, open,
    // sort), export, statistics, clearing, the About box, the Explorer verbs.
    void CheckAllRows();
    void InvertRowChecks();
    void ShowListMenu();
    void CopySelectedPath();
    void OpenSelectedFolder();
    void SortByColumn(int column);
    void ExportResults();
    void ShowStatistics();
    void ClearResults();
    void ShowAboutBox();
    void ToggleExplorerMenu();

    // Starts the online worker (update check and announcement feed) in the
    // mode m_nOnlineMode holds; false when no thread was started.
    bool StartOnlineWorker();
    // Menu command 32786: an update check asked for by the user.
    void CheckForUpdateNow();
    // Button 1013, and a click on the status line (1015).
    void OpenSupportPage();
    void OnNoticeClicked();

    // Whether a walk is under way (also while a stopped one unwinds).
    bool IsWalking() const { return m_search.IsWalking(); }
    // Whether a deletion is under way (also while a stopped one finishes its
    // entry); the window's thread.
    bool IsDeleting() const { return m_deletion.IsRunning(); }
    // Stops a running deletion after the entry under way, as the delete
    // button and Esc do while one runs.
    void StopDeletion();

    // Waits, at most ms, until every worker this window started has ended
    // (they were told to stop when the window went). False when some did not.
    bool WaitForWorkers(DWORD ms) { return m_workers.WaitAll(ms); }

    bool m_bHasArgument = false;
    std::string m_strAppId;
    std::vector<AnnouncementItem> m_ads;
    UpdateInfo m_updateInfo;
    int m_nAdIndex = -1;
    int m_nOnlineMode = 0;
    std::string m_strAdColor;
    std::string m_strVersion;
    HANDLE m_hThread = nullptr;  // the worker started last; owned by m_workers
    bool m_bLayoutPending = true;
    CWnd m_editPath;
    CWnd m_btnInvert;
    CWnd m_btnSearch;
    CWnd m_staticNotice;
    CWnd m_btnDelete;
    CWnd m_btnSupport;
    CWnd m_btnSelectAll;
    std::wstring m_strPath;  // the path field, exactly (UTF-16)
    std::string m_strNotice;
    HICON m_hIcon = nullptr;
    std::string m_strTitle;

protected:
    BOOL OnInitDialog() override;
    void DoDataExchange(CDataExchange* pDX) override;
    bool OnMessage(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result) override;

private:
    void InitMembers();
    // A folder a later search request hands the open window: into the path
    // field, and the window to the front. False when it is not taken.
    bool TakeHandedSearchPath(const COPYDATASTRUCT& data);
    bool OnCommand(int id);
    bool OnListNotify(const NMHDR& header, LRESULT& result);
    void OnSize(UINT type);
    void LayOut();
    int ScreenDpi() const;
    SIZE MinimumWindowSize() const;
    void OnTimer(UINT_PTR id);
    bool OnPaint();
    void OnDestroy();
    void KeepPathFieldWithinLimit();
    void ShowProgress();
    void RotateAnnouncement();

    struct OnlineRun;
    static DWORD WINAPI OnlineWorker(void* run);
    void RunOnlineWorker(const OnlineRun& run);
    // The window's thread: the update answer applied, and the box it calls for.
    void AnswerUpdateCheck(const std::string& body, const std::string& ownVersion, int mode,
                           const std::string& version);
    bool OnlineStopped() const { return m_bClosing.load(); }
    LRESULT ColorNoticeLine(HDC dc, HWND control);
    void SetCursorFor(HWND under);

    void StopSearch();
    // The window's thread, once the walk's last rows are in the list.
    void OnSearchEnded(const SearchOutcome& outcome);
    // The window's thread runs what the workers hand it.
    bool IsBusy() const { return IsWalking() || IsDeleting(); }
    // Deletes the entries of rows in the background; the checked rows' command
    // ends with its summary box.
    void StartDeletion(const std::vector<int>& rows, bool withSummary);
    void OnDeletionEnded(const DeletionTally& tally, bool withSummary, BOOL exportWasEnabled);

    FileSystem* m_fs;
    std::function<void(HWND)> m_onWindowUp;
    std::function<void(HWND)> m_onWindowGone;
    WorkerThreads m_workers;
    WindowTasks m_tasks;     // what workers hand to the window's thread
    ResultList m_results;    // the rows, shown by list 1009
    FolderSearch m_search;   // the search's walk and its rows
    RowDeletion m_deletion;  // the delete commands' worker and its rows
    // Set when the window goes: workers then leave the dialog alone and no
    // search or fetch starts.
    std::atomic<bool> m_bClosing{false};
    FetchGroup m_fetches;      // the online workers' fetches, cut short at close
    bool m_bComReady = false;  // COM initialised on the window's thread
    // A folder a search request handed over while a walk ran: it goes into the
    // path field when the walk ends, so that it does not replace what the user
    // types meanwhile, nor is lost.
    std::wstring m_strHandedPath;
    // The path field's text and caret after its last change within the limit.
    std::wstring m_strFieldKept;
    DWORD m_nFieldCaret = 0;
};
