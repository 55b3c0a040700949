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
#include "OnlineLine.h"
#include "ResultExport.h"
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
    std::wstring FailureTipOf(int row) const;
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

    // The status line's online side (announcements, update check) and the export.
    OnlineLine& Online() { return m_online; }
    const ResultExport& Export() const { return m_export; }
    // The window's title while nothing runs.
    const std::string& Title() const { return m_strTitle; }

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

    bool m_bHasArgument = false;
    std::string m_strAppId;
    bool m_bLayoutPending = true;
    CWnd m_editPath;
    CWnd m_btnInvert;
    CWnd m_btnSearch;
    CWnd m_staticNotice;
    CWnd m_btnDelete;
    CWnd m_btnSupport;
    CWnd m_btnSelectAll;
    std::wstring m_strPath;  // the path field, exactly (UTF-16)
    HICON m_hIcon = nullptr;
    std::string m_strTitle;

    FileSystem* m_fs;
    std::function<void(HWND)> m_onWindowUp;
    std::function<void(HWND)> m_onWindowGone;
    WorkerThreads m_workers;
    WindowTasks m_tasks;     // what workers hand to the window's thread
    ResultList m_results;    // the rows, shown by list 1009
    FolderSearch m_search;   // the search's walk and its rows
    RowDeletion m_deletion;  // the delete commands' worker and its rows
    OnlineLine m_online;     // the status line's announcements and the update check
    ResultExport m_export;   // the export of the rows to a file
    // Set when the window goes: workers then leave the dialog alone and no
    // search or fetch starts.
    std::atomic<bool> m_bClosing{false};
    bool m_bComReady = false;  // COM initialised on the window's thread
    // A folder a search request handed over while a walk ran: it goes into the
    // path field when the walk ends, so that it does not replace what the user
    // types meanwhile, nor is lost.
    std::wstring m_strHandedPath;
    // The path field's text and caret after its last change within the limit.
    std::wstring m_strFieldKept;
    DWORD m_nFieldCaret = 0;
};
