// A dialog built from a dialog template resource, run modally by its own message loop.
//
// A derived dialog handles its messages in one switch, OnMessage, and hands every message it does
// not answer to CDialog::OnMessage, which runs OnInitDialog, OnOK and OnCancel.
#pragma once

#include <string>
#include <vector>

#include <windows.h>

#include "Wnd.h"

class CDialog;

// One run of a dialog's data exchange: controls into members (save) or members into controls.
class CDataExchange {
public:
    CDataExchange(CDialog* dialog, bool saveAndValidate) : m_pDlgWnd(dialog), m_bSaveAndValidate(saveAndValidate) {}
    CDialog* m_pDlgWnd;
    bool m_bSaveAndValidate;
};

// Binds control to the dialog's control id; the binding is dropped when the dialog window goes.
void DDX_Control(CDataExchange* pDX, int id, CWnd& control);
// Exchanges the window text of control id with value.
void DDX_Text(CDataExchange* pDX, int id, std::string& value);
// The same in UTF-16 (GetWindowTextW, SetWindowTextW): the text exactly, whatever the code page holds.
void DDX_Text(CDataExchange* pDX, int id, std::wstring& value);

class CDialog : public CWnd {
public:
    // parent null: the application's main window owns the dialog (no owner when there is none).
    explicit CDialog(UINT templateId, CWnd* parent = nullptr);
    ~CDialog() override;

    // Creates the dialog, disables its owner and runs the dialog's message loop until EndDialog.
    // Returns EndDialog's result, or -1 when the window could not be made, was destroyed without
    // EndDialog, or WM_QUIT arrived.
    INT_PTR DoModal();
    // Ends the modal loop with result; the loop leaves after the message being handled.
    void EndDialog(INT_PTR result);

    // Runs DoDataExchange in one direction. False when the dialog has no window.
    bool UpdateData(bool saveAndValidate = true);

    // Sees every message of the modal loop before the dialog manager; TRUE swallows it.
    virtual BOOL PreTranslateMessage(MSG* msg);

protected:
    // Data exchange "load"; TRUE lets the system put the focus on the first tab stop.
    virtual BOOL OnInitDialog();
    virtual void DoDataExchange(CDataExchange* pDX);
    // Data exchange "save", then EndDialog(IDOK).
    virtual void OnOK();
    // EndDialog(IDCANCEL).
    virtual void OnCancel();

    // The dialog's messages. Return true with result for a message the dialog answers; false lets
    // the system's default processing run (also after a handler that did its work).
    virtual bool OnMessage(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result);

private:
    friend void DDX_Control(CDataExchange* pDX, int id, CWnd& control);

    static INT_PTR CALLBACK DialogProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
    void CenterIfAtOrigin();
    void ForgetWindow();

    UINT m_nTemplateId;
    CWnd* m_pParentWnd;
    HWND m_hWndOwner = nullptr;
    bool m_bEnded = false;
    INT_PTR m_nModalResult = -1;
    std::vector<CWnd*> m_boundControls;
};
