// The online side of the main window: the worker that fetches the feed and
// checks for a newer version, the status line's colours and clicks, the
// technical-support button and the cursor.
//
// The worker never touches the dialog's members from its own thread: it hands
// the new feed and the update answer to the window's thread, which applies
// them (so they never overlap the handlers that read them, nor each other) and
// shows the boxes; once the window is gone the worker only finishes its
// network call and ends.
#include <windows.h>

#include <ctime>
#include <memory>

#include "App.h"
#include "AppMessages.h"
#include "HttpFetch.h"
#include "MainDlg.h"
#include "MainTimers.h"
#include "OnlineText.h"
#include "Settings.h"
#include "StoredTexts.h"
#include "UiHost.h"
#include "resource.h"

namespace {

enum OnlineMode { kFeedAndAutomaticCheck = 0, kFeedOnly = 1, kManualCheck = 2 };

void OpenInBrowser(HWND owner, const std::string& address) {
    GetUiHost().ShellExecuteFile(owner, "open", address.c_str(), nullptr, nullptr, SW_SHOWNORMAL);
}

// An address from the vendor's answers reaches the shell only as a web address.
void OpenNetworkAddress(HWND owner, const std::string& address) {
    if (!address.empty() && IsWebAddress(address)) OpenInBrowser(owner, address);
}

}  // namespace

// What one run is given when it starts: the window, the mode and the version
// text, all taken on the window's thread.
struct CMyDlg::OnlineRun {
    CMyDlg* dialog;
    HWND hwnd;
    int mode;
    std::string version;
};

bool CMyDlg::StartOnlineWorker() {
    if (OnlineStopped()) return false;
    auto* run = new OnlineRun{this, m_hWnd, m_nOnlineMode, m_strVersion};
    HANDLE thread = m_workers.Start(&CMyDlg::OnlineWorker, run);
    if (!thread) {
        delete run;
        return false;
    }
    m_hThread = thread;
    return true;
}

DWORD WINAPI CMyDlg::OnlineWorker(void* p) {
    std::unique_ptr<OnlineRun> run(static_cast<OnlineRun*>(p));
    try {
        run->dialog->RunOnlineWorker(*run);
    } catch (...) {
        // Nothing may unwind out of a thread; a run that failed just ends.
    }
    return 0;
}

void CMyDlg::RunOnlineWorker(const OnlineRun& run) {
    // Closing the window cuts this run's fetches short.
    FetchGroup::Member fetching(m_fetches);
    const OnlineEndpoints endpoints = BuildOnlineEndpoints();
    const int mode = run.mode;

    if (mode == kFeedAndAutomaticCheck || mode == kFeedOnly) {
        std::vector<AnnouncementItem> items = FetchAnnouncements(endpoints.feedUrl);
        if (OnlineStopped()) return;
        m_tasks.Post([this, items = std::move(items)]() mutable {
            if (OnlineStopped()) return;
            m_ads = std::move(items);
            SetTimer(m_hWnd, kTimerAnnouncements, m_ads.empty() ? kAnnouncementRetryMs : kAnnouncementMs, nullptr);
        });
    }
    if (mode != kFeedAndAutomaticCheck && mode != kManualCheck) return;

    const std::string body = FetchUrlText(endpoints.updateUrl);
    if (OnlineStopped()) return;
    // Applied and answered on the window's thread, so that overlapping runs
    // never mix their fields and every box has its owner's thread.
    m_tasks.Post([this, body, ownVersion = endpoints.ownVersion, mode, version = run.version] {
        if (!OnlineStopped()) AnswerUpdateCheck(body, ownVersion, mode, version);
    });
}

void CMyDlg::AnswerUpdateCheck(const std::string& body, const std::string& ownVersion, int mode,
                               const std::string& version) {
    if (!ApplyUpdateAnswer(body, ownVersion, m_updateInfo)) {
        if (mode != kManualCheck) return;
        // Up to date only when the answer said which version is the newest.
        if (UpdateAnswerNamesVersion(body))
            MessageBox(BuildUpToDateMessage(version).c_str(), nullptr, MB_ICONINFORMATION);
        else
            MessageBox(BuildUpdateCheckFailedMessage().c_str(), nullptr, MB_ICONEXCLAMATION);
        return;
    }
    const UpdateInfo info = m_updateInfo;
    const std::string prompt = BuildUpdatePrompt(info);
    const int64_t now = static_cast<int64_t>(std::time(nullptr));
    if (mode == kFeedAndAutomaticCheck) {
        if (UpdateOfferThrottled(ReadSetting(kSettingOfferDate), now)) return;
        // Written before the box: a prompt left open still counts as shown.
        WriteSetting(kSettingOfferedVersion, info.version);
        WriteSetting(kSettingOfferDate, FormatOfferDate(now));
        if (MessageBox(prompt.c_str(), nullptr, MB_YESNO) == IDYES) OpenNetworkAddress(m_hWnd, info.downloadUrl);
    } else {
        if (MessageBox(prompt.c_str(), nullptr, MB_YESNO | MB_ICONQUESTION) == IDYES)
            OpenNetworkAddress(m_hWnd, info.downloadUrl);
        WriteSetting(kSettingOfferedVersion, info.version);
        WriteSetting(kSettingOfferDate, FormatOfferDate(now));
    }
}

void CMyDlg::CheckForUpdateNow() {
    m_nOnlineMode = kManualCheck;
    StartOnlineWorker();
}

void CMyDlg::OpenSupportPage() { OpenInBrowser(m_hWnd, DecodeStoredText(StoredText::SupportUrl)); }

void CMyDlg::OnNoticeClicked() {
    UpdateData(true);
    if (EqualsIgnoreCaseDbcs(m_strNotice, DecodeStoredText(StoredText::NoticeText))) {
        OpenSupportPage();
        return;
    }
    if (m_nAdIndex < 0 || m_nAdIndex >= static_cast<int>(m_ads.size())) return;
    const AnnouncementItem& item = m_ads[static_cast<size_t>(m_nAdIndex)];
    if (item.title == m_strNotice) OpenNetworkAddress(m_hWnd, item.url);
}

LRESULT CMyDlg::ColorNoticeLine(HDC dc, HWND control) {
    // The default handling picks the background brush and colours; only the text colour changes.
    LRESULT brush =
        DefWindowProcA(m_hWnd, WM_CTLCOLORSTATIC, reinterpret_cast<WPARAM>(dc), reinterpret_cast<LPARAM>(control));
    SetTextColor(dc, static_cast<COLORREF>(AnnouncementTextColor(m_strAdColor)));
    return brush;
}

void CMyDlg::SetCursorFor(HWND under) {
    const bool onNotice = under != nullptr && under == GetDlgItem(IDC_STATIC_NOTICE);
    ::SetCursor(LoadCursor(nullptr, onNotice ? IDC_HAND : IDC_ARROW));
}
