#include "Dialog.h"

#include <algorithm>

#include <commctrl.h>

#include "App.h"

namespace {

// Messages whose answer a dialog procedure returns itself instead of through DWLP_MSGRESULT.
bool AnswersDirectly(UINT message) {
    switch (message) {
    case WM_INITDIALOG:
    case WM_CTLCOLORMSGBOX:
    case WM_CTLCOLOREDIT:
    case WM_CTLCOLORLISTBOX:
    case WM_CTLCOLORBTN:
    case WM_CTLCOLORDLG:
    case WM_CTLCOLORSCROLLBAR:
    case WM_CTLCOLORSTATIC:
    case WM_COMPAREITEM:
    case WM_VKEYTOITEM:
    case WM_CHARTOITEM:
    case WM_QUERYDRAGICON: return true;
    default: return false;
    }
}

void EnsureCommonControls() {
    static bool done = false;
    if (done) return;
    INITCOMMONCONTROLSEX controls = {sizeof controls, ICC_WIN95_CLASSES};
    InitCommonControlsEx(&controls);
    done = true;
}

}  // namespace

void DDX_Control(CDataExchange* pDX, int id, CWnd& control) {
    CDialog* dialog = pDX->m_pDlgWnd;
    control.Attach(::GetDlgItem(dialog->m_hWnd, id));
    auto& bound = dialog->m_boundControls;
    if (std::find(bound.begin(), bound.end(), &control) == bound.end()) bound.push_back(&control);
}

void DDX_Text(CDataExchange* pDX, int id, std::string& value) {
    HWND control = ::GetDlgItem(pDX->m_pDlgWnd->m_hWnd, id);
    if (!control) return;
    if (pDX->m_bSaveAndValidate) {
        int length = GetWindowTextLengthA(control);
        std::string text(length > 0 ? length + 1 : 1, '\0');
        length = GetWindowTextA(control, &text[0], static_cast<int>(text.size()));
        text.resize(length > 0 ? length : 0);
        value = text;
    } else {
        SetWindowTextA(control, value.c_str());
    }
}

void DDX_Text(CDataExchange* pDX, int id, std::wstring& value) {
    HWND control = ::GetDlgItem(pDX->m_pDlgWnd->m_hWnd, id);
    if (!control) return;
    if (pDX->m_bSaveAndValidate) {
        int length = GetWindowTextLengthW(control);
        std::wstring text(length > 0 ? length + 1 : 1, L'\0');
        length = GetWindowTextW(control, &text[0], static_cast<int>(text.size()));
        text.resize(length > 0 ? length : 0);
        value = text;
    } else {
        SetWindowTextW(control, value.c_str());
    }
}

CDialog::CDialog(UINT templateId, CWnd* parent) : m_nTemplateId(templateId), m_pParentWnd(parent) {}

CDialog::~CDialog() {
    if (m_hWnd) {
        // Past this point no virtual of the derived dialog may run: cut the window loose first.
        SetWindowLongPtrA(m_hWnd, DWLP_USER, 0);
        HWND hwnd = m_hWnd;
        ForgetWindow();
        DestroyWindow(hwnd);
    }
}

INT_PTR CDialog::DoModal() {
    EnsureCommonControls();

    HWND owner = m_pParentWnd ? m_pParentWnd->m_hWnd : nullptr;
    if (!m_pParentWnd) {
        CWinApp* app = GetApp();
        if (app && app->m_pMainWnd && app->m_pMainWnd != this) owner = app->m_pMainWnd->m_hWnd;
    }
    if (owner && !IsWindow(owner)) owner = nullptr;
    if (owner) owner = GetAncestor(owner, GA_ROOT);
    m_hWndOwner = owner;
    m_bEnded = false;
    m_nModalResult = -1;

    // The owner is disabled before the dialog exists, so nothing reaches it from initialisation on.
    const bool disabledOwner = owner && IsWindowEnabled(owner);
    if (disabledOwner) ::EnableWindow(owner, FALSE);

    HINSTANCE instance = GetApp() ? GetApp()->m_hInstance : GetModuleHandleA(nullptr);
    HWND hwnd = CreateDialogParamA(instance, MAKEINTRESOURCEA(m_nTemplateId), owner, DialogProc,
                                   reinterpret_cast<LPARAM>(this));
    if (!hwnd) {
        if (disabledOwner) ::EnableWindow(owner, TRUE);
        return -1;
    }

    try {
        if (!m_bEnded && !IsWindowVisible(hwnd)) ShowWindow(hwnd, SW_SHOWNORMAL);
        MSG msg;
        while (!m_bEnded) {
            BOOL got = GetMessageA(&msg, nullptr, 0, 0);
            if (got == 0) {
                PostQuitMessage(static_cast<int>(msg.wParam));
                m_nModalResult = -1;
                break;
            }
            if (got < 0) break;
            if (PreTranslateMessage(&msg)) continue;
            if (IsWindow(hwnd) && IsDialogMessageA(hwnd, &msg)) continue;
            TranslateMessage(&msg);
            DispatchMessageA(&msg);
        }
    } catch (...) {
        if (disabledOwner) ::EnableWindow(owner, TRUE);
        if (IsWindow(hwnd)) DestroyWindow(hwnd);
        throw;
    }

    // The owner comes back before this window goes, so the system activates it rather than
    // some other program's window.
    if (disabledOwner) ::EnableWindow(owner, TRUE);
    if (owner && GetActiveWindow() == hwnd) SetActiveWindow(owner);
    if (IsWindow(hwnd)) DestroyWindow(hwnd);
    return m_nModalResult;
}

void CDialog::EndDialog(INT_PTR result) {
    m_nModalResult = result;
    m_bEnded = true;
    // Wakes the loop when this was called from a message sent by another thread.
    if (m_hWnd) PostMessageA(m_hWnd, WM_NULL, 0, 0);
}

bool CDialog::UpdateData(bool saveAndValidate) {
    if (!m_hWnd) return false;
    CDataExchange dx(this, saveAndValidate);
    DoDataExchange(&dx);
    return true;
}

BOOL CDialog::PreTranslateMessage(MSG*) { return FALSE; }

BOOL CDialog::OnInitDialog() {
    UpdateData(false);
    return TRUE;
}

void CDialog::DoDataExchange(CDataExchange*) {}

void CDialog::OnOK() {
    UpdateData(true);
    EndDialog(IDOK);
}

void CDialog::OnCancel() { EndDialog(IDCANCEL); }

bool CDialog::OnMessage(UINT message, WPARAM wParam, LPARAM, LRESULT& result) {
    switch (message) {
    case WM_INITDIALOG: result = OnInitDialog(); return true;
    case WM_COMMAND:
        switch (LOWORD(wParam)) {
        case IDOK: OnOK(); return true;
        case IDCANCEL: OnCancel(); return true;
        }
        break;
    }
    return false;
}

// Whether the dialog's template leaves its position to us (x and y both 0).
static bool TemplateAtOrigin(UINT templateId) {
    HINSTANCE instance = GetApp() ? GetApp()->m_hInstance : GetModuleHandleA(nullptr);
    HRSRC found = FindResourceA(instance, MAKEINTRESOURCEA(templateId), reinterpret_cast<LPCSTR>(RT_DIALOG));
    HGLOBAL loaded = found ? LoadResource(instance, found) : nullptr;
    const WORD* words = loaded ? static_cast<const WORD*>(LockResource(loaded)) : nullptr;
    if (!words || SizeofResource(instance, found) < 26) return false;
    // DLGTEMPLATEEX starts with 1, 0xFFFF and keeps x, y at word 9; DLGTEMPLATE at word 5.
    const bool extended = words[0] == 1 && words[1] == 0xFFFF;
    const short* xy = reinterpret_cast<const short*>(words + (extended ? 9 : 5));
    return xy[0] == 0 && xy[1] == 0;
}

// A template placed at 0,0 opens centred over its owner, or over the work area without one.
void CDialog::CenterIfAtOrigin() {
    if (!TemplateAtOrigin(m_nTemplateId)) return;
    RECT window;
    GetWindowRect(m_hWnd, &window);

    RECT area;
    SystemParametersInfoA(SPI_GETWORKAREA, 0, &area, 0);
    RECT around = area;
    if (m_hWndOwner && IsWindowVisible(m_hWndOwner) && !IsIconic(m_hWndOwner)) GetWindowRect(m_hWndOwner, &around);
    const int width = window.right - window.left;
    const int height = window.bottom - window.top;
    int x = around.left + (around.right - around.left - width) / 2;
    int y = around.top + (around.bottom - around.top - height) / 2;
    x = std::max(static_cast<int>(area.left), std::min(x, static_cast<int>(area.right) - width));
    y = std::max(static_cast<int>(area.top), std::min(y, static_cast<int>(area.bottom) - height));
    SetWindowPos(m_hWnd, nullptr, x, y, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

void CDialog::ForgetWindow() {
    for (CWnd* control : m_boundControls) control->Detach();
    m_boundControls.clear();
    m_hWnd = nullptr;
}

INT_PTR CALLBACK CDialog::DialogProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    CDialog* self;
    if (message == WM_INITDIALOG) {
        self = reinterpret_cast<CDialog*>(lParam);
        SetWindowLongPtrA(hwnd, DWLP_USER, reinterpret_cast<LONG_PTR>(self));
        self->m_hWnd = hwnd;
        self->CenterIfAtOrigin();
    } else {
        self = reinterpret_cast<CDialog*>(GetWindowLongPtrA(hwnd, DWLP_USER));
    }
    if (!self) return FALSE;

    LRESULT result = 0;
    bool handled = false;
    try {
        handled = self->OnMessage(message, wParam, lParam, result);
    } catch (...) {
        // Nothing may unwind into the system's code: the message gets the default processing.
        handled = false;
    }

    if (message == WM_NCDESTROY) {
        SetWindowLongPtrA(hwnd, DWLP_USER, 0);
        self->ForgetWindow();
        // A window destroyed without EndDialog ends its modal loop all the same.
        self->m_bEnded = true;
    }
    if (!handled) return FALSE;
    if (AnswersDirectly(message)) return static_cast<INT_PTR>(result);
    SetWindowLongPtrA(hwnd, DWLP_MSGRESULT, result);
    return TRUE;
}
