// The online side of the main window: the worker that fetches the feed and
// checks for a newer version, the status line's colours and clicks, the
// technical-support button and the cursor.
//
// The worker never touches the dialog's members from its own thread: the new
// feed and the update answer are applied on the window's thread (so they never
// overlap the handlers that read them, nor each other), and once the window is
// gone the worker only finishes its network call and ends.
#include <windows.h>
#include <objbase.h>

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
    if (!address.empty() && IsWebAddress(address))
        OpenInBrowser(owner, address);
}

// The shell may hand an address to extensions that need COM on this thread.
class ComScope {
public:
    ComScope() : m_ok(SUCCEEDED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED | COINIT_DISABLE_OLE1DDE))) {}
    ~ComScope() {
        if (m_ok)
            CoUninitialize();
    }

private:
    bool m_ok;
};

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
    if (OnlineStopped())
        return false;
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
    const HWND hwnd = run.hwnd;
    const int mode = run.mode;

    if (mode == kFeedAndAutomaticCheck || mode == kFeedOnly) {
        std::vector<AnnouncementItem> items = FetchAnnouncements(endpoints.feedUrl);
        bool applied = false;
        if (!OnlineStopped()) {
            RunOnWindowThread(hwnd, [&] {
                if (OnlineStopped())
                    return;
                m_ads = std::move(items);
                ::SetTimer(hwnd, kTimerAnnouncements, m_ads.empty() ? kAnnouncementRetryMs : kAnnouncementMs,
                           nullptr);
                applied = true;
            });
        }
        if (!applied)
            return;
    }
    if (mode != kFeedAndAutomaticCheck && mode != kManualCheck)
        return;

    const int64_t now = static_cast<int64_t>(std::time(nullptr));
    const std::string body = FetchUrlText(endpoints.updateUrl);
    bool applied = false;
    bool newer = false;
    UpdateInfo info;
    if (!OnlineStopped()) {
        // Applied on the window's thread, so that overlapping runs never mix their fields.
        RunOnWindowThread(hwnd, [&] {
            if (OnlineStopped())
                return;
            newer = ApplyUpdateAnswer(body, endpoints.ownVersion, m_updateInfo);
            info = m_updateInfo;
            applied = true;
        });
    }
    if (!applied)
        return;

    if (!newer) {
        if (mode == kManualCheck && !OnlineStopped() && IsWindow(hwnd))
            AppMessageBox(hwnd, BuildUpToDateMessage(run.version).c_str(), MB_ICONINFORMATION);
        return;
    }

    const std::string prompt = BuildUpdatePrompt(info);
    ComScope com;
    if (mode == kFeedAndAutomaticCheck) {
        if (UpdateOfferThrottled(ReadSetting(kSettingOfferDate), now))
            return;
        // Written before the box: a prompt left open still counts as shown.
        WriteSetting(kSettingOfferedVersion, info.version);
        WriteSetting(kSettingOfferDate, FormatOfferDate(now));
        if (OnlineStopped() || !IsWindow(hwnd))
            return;
        if (AppMessageBox(hwnd, prompt.c_str(), MB_YESNO) == IDYES)
            OpenNetworkAddress(hwnd, info.downloadUrl);
    } else {
        if (OnlineStopped() || !IsWindow(hwnd))
            return;
        if (AppMessageBox(hwnd, prompt.c_str(), MB_YESNO | MB_ICONQUESTION) == IDYES)
            OpenNetworkAddress(hwnd, info.downloadUrl);
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
    if (m_nAdIndex < 0 || m_nAdIndex >= static_cast<int>(m_ads.size()))
        return;
    const AnnouncementItem& item = m_ads[static_cast<size_t>(m_nAdIndex)];
    if (item.title == m_strNotice)
        OpenNetworkAddress(m_hWnd, item.url);
}

LRESULT CMyDlg::ColorNoticeLine(HDC dc, HWND control) {
    // The default handling picks the background brush and colours; only the text colour changes.
    LRESULT brush = DefWindowProcA(m_hWnd, WM_CTLCOLORSTATIC, reinterpret_cast<WPARAM>(dc),
                                   reinterpret_cast<LPARAM>(control));
    SetTextColor(dc, static_cast<COLORREF>(AnnouncementTextColor(m_strAdColor)));
    return brush;
}

void CMyDlg::SetCursorFor(HWND under) {
    const bool onNotice = under != nullptr && under == GetDlgItem(IDC_STATIC_NOTICE);
    ::SetCursor(LoadCursor(nullptr, onNotice ? IDC_HAND : IDC_ARROW));
}
