#include "OnlineLine.h"

#include <ctime>
#include <memory>

#include "App.h"
#include "MainTimers.h"
#include "OnlineText.h"
#include "Settings.h"
#include "StoredTexts.h"
#include "UiHost.h"
#include "UiText.h"

namespace {

void OpenInBrowser(HWND owner, const std::string& address) {
    GetUiHost().ShellExecuteFile(owner, "open", address.c_str(), nullptr, nullptr, SW_SHOWNORMAL);
}

// An address from the vendor's answers reaches the shell only as a web address.
void OpenNetworkAddress(HWND owner, const std::string& address) {
    if (!address.empty() && IsWebAddress(address)) OpenInBrowser(owner, address);
}

// Equal but for the letter case of ASCII letters.
bool EqualsIgnoringAsciiCase(const std::wstring& a, const std::wstring& b) {
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); ++i) {
        wchar_t x = a[i], y = b[i];
        if (x >= L'A' && x <= L'Z') x = static_cast<wchar_t>(x - L'A' + L'a');
        if (y >= L'A' && y <= L'Z') y = static_cast<wchar_t>(y - L'A' + L'a');
        if (x != y) return false;
    }
    return true;
}

}  // namespace

// What one run is given when it starts, on the window's thread.
struct OnlineLine::Run {
    OnlineLine* line;
    Mode mode;
};

OnlineLine::OnlineLine(WorkerThreads& workers, WindowTasks& tasks)
    : m_workers(workers), m_tasks(tasks), m_text(UiWide(DecodeStoredText(StoredText::NoticeText))) {}

void OnlineLine::Attach(HWND window, int lineId, const std::string& version) {
    m_window = window;
    m_lineId = lineId;
    m_version = version;
    Show(m_text);
}

void OnlineLine::Close() {
    m_closed = true;
    m_fetches.Cancel();
}

bool OnlineLine::Start(Mode mode) {
    if (Closed()) return false;
    m_mode = mode;
    auto* run = new Run{this, mode};
    if (!m_workers.Start(&OnlineLine::Worker, run)) {
        delete run;
        return false;
    }
    return true;
}

DWORD WINAPI OnlineLine::Worker(void* p) {
    std::unique_ptr<Run> run(static_cast<Run*>(p));
    try {
        run->line->RunWorker(*run);
    } catch (...) {
        // Nothing may unwind out of a thread; a run that failed just ends.
    }
    return 0;
}

void OnlineLine::RunWorker(const Run& run) {
    // Closing cuts this run's fetches short.
    FetchGroup::Member fetching(m_fetches);
    const OnlineEndpoints endpoints = BuildOnlineEndpoints();
    const Mode mode = run.mode;

    if (mode == kFeedAndAutomaticCheck || mode == kFeedOnly) {
        std::vector<AnnouncementItem> items = FetchAnnouncements(endpoints.feedUrl);
        if (Closed()) return;
        m_tasks.Post([this, items = std::move(items)]() mutable {
            if (!Closed()) TakeFeed(std::move(items));
        });
    }
    if (mode != kFeedAndAutomaticCheck && mode != kManualCheck) return;

    const std::string body = FetchUrlText(endpoints.updateUrl);
    if (Closed()) return;
    // Applied and answered on the window's thread, so that overlapping runs
    // never mix their answers and every box has its owner's thread.
    m_tasks.Post([this, body, ownVersion = endpoints.ownVersion, mode] {
        if (!Closed()) AnswerUpdateCheck(body, ownVersion, mode);
    });
}

void OnlineLine::TakeFeed(std::vector<AnnouncementItem> items) {
    m_items = std::move(items);
    if (m_window)
        SetTimer(m_window, kTimerAnnouncements, m_items.empty() ? kAnnouncementRetryMs : kAnnouncementMs, nullptr);
}

int OnlineLine::Box(const std::string& text, UINT type) const { return AppMessageBox(m_window, text.c_str(), type); }

void OnlineLine::AnswerUpdateCheck(const std::string& body, const std::string& ownVersion, Mode mode) {
    if (!ApplyUpdateAnswer(body, ownVersion, m_update)) {
        if (mode != kManualCheck) return;
        // Up to date only when the answer said which version is the newest.
        if (UpdateAnswerNamesVersion(body))
            Box(BuildUpToDateMessage(m_version), MB_ICONINFORMATION);
        else
            Box(BuildUpdateCheckFailedMessage(), MB_ICONEXCLAMATION);
        return;
    }
    const UpdateInfo info = m_update;
    const std::string prompt = BuildUpdatePrompt(info);
    const int64_t now = static_cast<int64_t>(std::time(nullptr));
    if (mode == kFeedAndAutomaticCheck) {
        if (UpdateOfferThrottled(ReadSetting(kSettingOfferDate), now)) return;
        // Written before the box: a prompt left open still counts as shown.
        WriteSetting(kSettingOfferedVersion, info.version);
        WriteSetting(kSettingOfferDate, FormatOfferDate(now));
        if (Box(prompt, MB_YESNO) == IDYES) OpenNetworkAddress(m_window, info.downloadUrl);
    } else {
        if (Box(prompt, MB_YESNO | MB_ICONQUESTION) == IDYES) OpenNetworkAddress(m_window, info.downloadUrl);
        WriteSetting(kSettingOfferedVersion, info.version);
        WriteSetting(kSettingOfferDate, FormatOfferDate(now));
    }
}

void OnlineLine::Rotate() {
    ++m_index;
    if (m_items.empty() || m_index >= static_cast<int>(m_items.size())) m_index = 0;
    if (m_items.empty()) {
        Start(kFeedOnly);
        if (m_window) SetTimer(m_window, kTimerAnnouncements, kAnnouncementRetryMs, nullptr);
        return;
    }
    const AnnouncementItem& item = m_items[static_cast<size_t>(m_index)];
    m_color = item.color;
    Show(UiWide(item.title));
}

void OnlineLine::ShowPlain(const std::wstring& text) {
    m_color = "7";
    Show(text);
}

void OnlineLine::Show(const std::wstring& text) {
    m_text = text;
    if (m_window) SetDlgItemTextW(m_window, m_lineId, m_text.c_str());
}

void OnlineLine::Clicked() {
    if (EqualsIgnoringAsciiCase(m_text, UiWide(DecodeStoredText(StoredText::NoticeText)))) {
        OpenSupportPage();
        return;
    }
    if (m_index < 0 || m_index >= static_cast<int>(m_items.size())) return;
    const AnnouncementItem& item = m_items[static_cast<size_t>(m_index)];
    if (UiWide(item.title) == m_text) OpenNetworkAddress(m_window, item.url);
}

void OnlineLine::OpenSupportPage() { OpenInBrowser(m_window, DecodeStoredText(StoredText::SupportUrl)); }

LRESULT OnlineLine::Color(HDC dc, HWND control) {
    // The default handling picks the background brush and colours; only the text colour changes.
    const LRESULT brush =
        DefWindowProcW(m_window, WM_CTLCOLORSTATIC, reinterpret_cast<WPARAM>(dc), reinterpret_cast<LPARAM>(control));
    SetTextColor(dc, static_cast<COLORREF>(AnnouncementTextColor(m_color)));
    return brush;
}
