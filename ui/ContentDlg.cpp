#include "ContentDlg.h"

#include <cstdio>

#include "ExactAnsi.h"
#include "resource.h"

CContentDlg::CContentDlg(CWnd* parent, ContentView view) : CDialog(IDD_VIEW_CONTENT, parent), m_view(std::move(view)) {}

CContentDlg::~CContentDlg() {
    if (m_fixedFont) DeleteObject(m_fixedFont);
}

namespace {

bool Decodes(const std::string& bytes, UINT codePage, std::wstring& text) {
    if (bytes.empty()) {
        text.clear();
        return true;
    }
    const int length =
        MultiByteToWideChar(codePage, MB_ERR_INVALID_CHARS, bytes.data(), static_cast<int>(bytes.size()), nullptr, 0);
    if (length <= 0) return false;
    text.assign(static_cast<size_t>(length), L'\0');
    MultiByteToWideChar(codePage, MB_ERR_INVALID_CHARS, bytes.data(), static_cast<int>(bytes.size()), &text[0], length);
    // Text has no control characters but tabs and line ends.
    for (wchar_t c : text)
        if (c < 32 && c != L'\t' && c != L'\r' && c != L'\n') return false;
    return true;
}

bool DecodesAsText(const std::string& bytes, std::wstring& text) {
    return Decodes(bytes, CP_UTF8, text) || Decodes(bytes, CP_ACP, text);
}

std::wstring WithCrLf(const std::wstring& text) {
    std::wstring out;
    out.reserve(text.size() + text.size() / 16);
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] == L'\n' && (i == 0 || text[i - 1] != L'\r')) out += L'\r';
        out += text[i];
    }
    return out;
}

std::wstring HexView(const std::string& bytes) {
    std::wstring out;
    wchar_t cell[16];
    for (size_t at = 0; at < bytes.size(); at += 16) {
        std::swprintf(cell, 16, L"%08X ", static_cast<unsigned>(at));
        out += cell;
        std::wstring letters;
        for (size_t i = at; i < at + 16; ++i) {
            if (i < bytes.size()) {
                const unsigned char c = static_cast<unsigned char>(bytes[i]);
                std::swprintf(cell, 16, L" %02X", c);
                out += cell;
                letters += (c >= 32 && c < 127) ? static_cast<wchar_t>(c) : L'.';
            } else {
                out += L"   ";
            }
        }
        out += L"  " + letters + L"\r\n";
    }
    return out;
}

std::wstring Number(size_t n) { return std::to_wstring(n); }

// The last component of a full path, for the caption.
std::wstring NameOf(const std::wstring& path) {
    const size_t slash = path.find_last_of(L'\\');
    return slash == std::wstring::npos ? path : path.substr(slash + 1);
}

}  // namespace

std::wstring ContentText(const std::string& bytes) {
    std::wstring text;
    if (DecodesAsText(bytes, text)) return WithCrLf(text);
    return HexView(bytes);
}

ContentView FileContentView(const std::wstring& path, const std::string& bytes, size_t limit) {
    ContentView view;
    view.path = path;
    const bool cut = bytes.size() > limit;
    const std::string shown = cut ? bytes.substr(0, limit) : bytes;
    if (shown.empty()) {
        view.note = L"文件为空（0 字节）。";
        return view;
    }
    std::wstring text;
    bool isText = false;
    // The cut may split the last character: up to three bytes of it are left out.
    for (UINT codePage : {static_cast<UINT>(CP_UTF8), static_cast<UINT>(CP_ACP)})
        for (size_t drop = 0; !isText && drop <= (cut ? 3u : 0u) && drop < shown.size(); ++drop)
            isText = Decodes(shown.substr(0, shown.size() - drop), codePage, text);
    view.hex = !isText;
    view.text = isText ? WithCrLf(text) : HexView(shown);
    const std::wstring form = isText ? L"以文本显示" : L"以十六进制显示";
    if (cut)
        view.note =
            L"文件超过 " + Number(limit / 1024) + L" KB，仅显示前 " + Number(limit / 1024) + L" KB，" + form + L"。";
    else
        view.note = L"共 " + Number(shown.size()) + L" 字节，" + form + L"。";
    return view;
}

ContentView FolderContentView(const std::wstring& path, const std::vector<DirEntry>& entries, size_t maxNames) {
    ContentView view;
    view.path = path;
    if (entries.empty()) {
        view.note = L"这是一个文件夹，文件夹为空。";
        return view;
    }
    size_t folders = 0;
    for (const DirEntry& e : entries)
        if (e.attributes & fs_attr::kDirectory) ++folders;
    view.note = L"这是一个文件夹，共 " + Number(entries.size()) + L" 项（" + Number(folders) + L" 个文件夹，" +
                Number(entries.size() - folders) + L" 个文件）";
    view.note += entries.size() > maxNames ? L"，仅列出前 " + Number(maxNames) + L" 项。" : L"。";
    for (size_t i = 0; i < entries.size() && i < maxNames; ++i) {
        const DirEntry& e = entries[i];
        view.text.append(e.name.begin(), e.name.end());
        if (e.attributes & fs_attr::kDirectory) view.text += L'\\';
        view.text += L"\r\n";
    }
    return view;
}

BOOL CContentDlg::OnInitDialog() {
    CDialog::OnInitDialog();
    // Wide controls in the place the template keeps for them, so every
    // character shows as it is whatever the code page: the entry's path on
    // top (read-only and selectable, a long one scrolls), what is shown under
    // it, then the content.
    HWND place = GetDlgItem(IDC_STATIC_CONTENT);
    RECT r = {};
    GetWindowRect(place, &r);
    MapWindowPoints(nullptr, m_hWnd, reinterpret_cast<POINT*>(&r), 2);
    ShowWindow(place, SW_HIDE);
    RECT units = {0, 0, 12, 14};  // a line's height and the step to the next, in dialog units
    MapDialogRect(m_hWnd, &units);
    const int lineHeight = units.right, lineStep = units.bottom;
    const HINSTANCE instance = GetModuleHandleW(nullptr);
    const WPARAM font = static_cast<WPARAM>(SendMessageW(m_hWnd, WM_GETFONT, 0, 0));

    HWND path = CreateWindowExW(WS_EX_CLIENTEDGE, L"EDIT", L"", WS_CHILD | WS_VISIBLE | ES_READONLY | ES_AUTOHSCROLL,
                                r.left, r.top, r.right - r.left, lineHeight, m_hWnd,
                                reinterpret_cast<HMENU>(static_cast<INT_PTR>(IDC_CONTENT_PATH)), instance, nullptr);
    HWND note = CreateWindowExW(0, L"STATIC", L"", WS_CHILD | WS_VISIBLE | SS_LEFTNOWORDWRAP, r.left, r.top + lineStep,
                                r.right - r.left, lineHeight, m_hWnd,
                                reinterpret_cast<HMENU>(static_cast<INT_PTR>(IDC_CONTENT_NOTE)), instance, nullptr);
    const int top = r.top + 2 * lineStep;
    HWND edit = CreateWindowExW(WS_EX_CLIENTEDGE, L"EDIT", L"",
                                WS_CHILD | WS_VISIBLE | WS_VSCROLL | WS_HSCROLL | ES_MULTILINE | ES_READONLY |
                                    ES_AUTOVSCROLL | ES_AUTOHSCROLL | WS_TABSTOP,
                                r.left, top, r.right - r.left, r.bottom - top, m_hWnd,
                                reinterpret_cast<HMENU>(static_cast<INT_PTR>(IDC_CONTENT_TEXT)), instance, nullptr);
    for (HWND control : {path, note, edit})
        if (control) SendMessageW(control, WM_SETFONT, font, TRUE);
    if (path) SetWindowTextW(path, m_view.path.c_str());
    if (note) SetWindowTextW(note, m_view.note.c_str());
    if (edit) {
        if (m_view.hex) {
            // The hex view's columns line up only when every character is as wide as the next.
            LOGFONTW shape = {};
            if (!font || !GetObjectW(reinterpret_cast<HFONT>(font), sizeof shape, &shape)) shape.lfHeight = -12;
            shape.lfWidth = 0;
            shape.lfWeight = FW_NORMAL;
            shape.lfCharSet = DEFAULT_CHARSET;
            shape.lfPitchAndFamily = FIXED_PITCH | FF_MODERN;
            lstrcpynW(shape.lfFaceName, L"Courier New", LF_FACESIZE);
            m_fixedFont = CreateFontIndirectW(&shape);
            if (m_fixedFont) SendMessageW(edit, WM_SETFONT, reinterpret_cast<WPARAM>(m_fixedFont), TRUE);
        }
        SendMessageW(edit, EM_SETLIMITTEXT, 0, 0);
        SetWindowTextW(edit, m_view.text.c_str());
    }
    // The caption names the entry too, where the window can show its name exactly.
    const std::wstring name = NameOf(m_view.path);
    std::string ansi;
    if (!name.empty() && (IsWindowUnicode(m_hWnd) || WideToAnsiExactly(name, ansi))) {
        const int length = GetWindowTextLengthW(m_hWnd);
        std::wstring caption(static_cast<size_t>(length > 0 ? length : 0) + 1, L'\0');
        caption.resize(static_cast<size_t>(GetWindowTextW(m_hWnd, &caption[0], length + 1)));
        SetWindowTextW(m_hWnd, (caption + L" - " + name).c_str());
    }
    ::SetFocus(GetDlgItem(IDOK));
    return FALSE;
}
