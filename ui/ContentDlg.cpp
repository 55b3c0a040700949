#include "ContentDlg.h"

#include <cstdio>

#include "resource.h"

CContentDlg::CContentDlg(CWnd* parent, std::wstring text)
    : CDialog(IDD_VIEW_CONTENT, parent), m_text(std::move(text)) {}

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

}  // namespace

std::wstring ContentText(const std::string& bytes) {
    std::wstring text;
    if (Decodes(bytes, CP_UTF8, text) || Decodes(bytes, CP_ACP, text)) return WithCrLf(text);
    return HexView(bytes);
}

BOOL CContentDlg::OnInitDialog() {
    CDialog::OnInitDialog();
    // A wide edit control in the place the template keeps for it, so every
    // character shows as it is whatever the code page.
    HWND place = GetDlgItem(IDC_STATIC_CONTENT);
    RECT r = {};
    GetWindowRect(place, &r);
    MapWindowPoints(nullptr, m_hWnd, reinterpret_cast<POINT*>(&r), 2);
    ShowWindow(place, SW_HIDE);
    HWND edit = CreateWindowExW(WS_EX_CLIENTEDGE, L"EDIT", L"",
                                WS_CHILD | WS_VISIBLE | WS_VSCROLL | WS_HSCROLL | ES_MULTILINE | ES_READONLY |
                                    ES_AUTOVSCROLL | ES_AUTOHSCROLL | WS_TABSTOP,
                                r.left, r.top, r.right - r.left, r.bottom - r.top, m_hWnd, nullptr,
                                GetModuleHandleW(nullptr), nullptr);
    if (edit) {
        SendMessageW(edit, WM_SETFONT, SendMessageW(m_hWnd, WM_GETFONT, 0, 0), TRUE);
        SendMessageW(edit, EM_SETLIMITTEXT, 0, 0);
        SetWindowTextW(edit, m_text.c_str());
    }
    ::SetFocus(GetDlgItem(IDOK));
    return FALSE;
}
