// A dialog on the main template whose behaviour each test scripts: what runs at initialisation,
// which keys the pre-translation swallows, how some messages are answered.
#pragma once

#include <functional>
#include <stdexcept>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "Dialog.h"
#include "ListCtrl.h"
#include "resource.h"

// Private messages of the test dialog.
enum : UINT {
    kMsgThrow = WM_APP + 1,  // its handler throws
    kMsgEnd,                 // EndDialog(wParam)
    kMsgRun,                 // runs the posted step (lParam: std::function<void()>*)
};

constexpr UINT_PTR kWatchdogTimer = 77;
constexpr INT_PTR kWatchdogResult = -99;
constexpr LRESULT kNotifyAnswer = 42;

class TestDialog : public CDialog {
public:
    explicit TestDialog(UINT templateId = IDD_MAIN, CWnd* parent = nullptr) : CDialog(templateId, parent) {}

    std::function<void(TestDialog&)> onInit;
    std::function<void(TestDialog&)> onEnd;  // runs at WM_DESTROY, while the controls still exist
    bool swallowReturn = false;
    std::vector<WPARAM> keysSeen;  // WM_KEYDOWN keys in the order the pre-translation saw them
    bool exchangeTexts = true;

    std::string m_strPath;
    std::string m_strNotice;
    CWnd m_editPath;
    CListCtrl m_listResult;

    // Runs step inside the modal loop, after the messages already queued.
    void Post(std::function<void()> step) {
        PostMessageA(m_hWnd, kMsgRun, 0, reinterpret_cast<LPARAM>(new std::function<void()>(std::move(step))));
    }

    BOOL PreTranslateMessage(MSG* msg) override {
        if (msg->message == WM_KEYDOWN) {
            keysSeen.push_back(msg->wParam);
            if (swallowReturn && msg->wParam == VK_RETURN) return TRUE;
        }
        return CDialog::PreTranslateMessage(msg);
    }

protected:
    // The program's list asks its owner for every text (owner data); the
    // wrapper's own tests want a list that keeps its rows, in the same place.
    void PlainList() {
        HWND list = ::GetDlgItem(m_hWnd, IDC_LIST_RESULT);
        const LONG style = list ? GetWindowLongA(list, GWL_STYLE) : 0;
        if (!(style & LVS_OWNERDATA)) return;
        RECT r;
        ::GetWindowRect(list, &r);
        MapWindowPoints(nullptr, m_hWnd, reinterpret_cast<POINT*>(&r), 2);
        const HFONT font = reinterpret_cast<HFONT>(::SendMessageA(list, WM_GETFONT, 0, 0));
        const LONG exStyle = GetWindowLongA(list, GWL_EXSTYLE);
        HWND after = ::GetWindow(list, GW_HWNDPREV);
        ::DestroyWindow(list);
        HWND plain = CreateWindowExW(exStyle, WC_LISTVIEWW, L"List1", static_cast<DWORD>(style & ~LVS_OWNERDATA),
                                     r.left, r.top, r.right - r.left, r.bottom - r.top, m_hWnd,
                                     reinterpret_cast<HMENU>(static_cast<INT_PTR>(IDC_LIST_RESULT)),
                                     GetModuleHandleA(nullptr), nullptr);
        ::SendMessageA(plain, WM_SETFONT, reinterpret_cast<WPARAM>(font), FALSE);
        ::SetWindowPos(plain, after ? after : HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
    }

    BOOL OnInitDialog() override {
        CDialog::OnInitDialog();
        SetTimer(m_hWnd, kWatchdogTimer, 10000, nullptr);
        if (onInit) onInit(*this);
        return TRUE;
    }

    void DoDataExchange(CDataExchange* pDX) override {
        PlainList();
        DDX_Control(pDX, IDC_EDIT_PATH, m_editPath);
        DDX_Control(pDX, IDC_LIST_RESULT, m_listResult);
        if (exchangeTexts) {
            DDX_Text(pDX, IDC_EDIT_PATH, m_strPath);
            DDX_Text(pDX, IDC_STATIC_NOTICE, m_strNotice);
        }
    }

    bool OnMessage(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result) override {
        switch (message) {
        case kMsgThrow: throw std::runtime_error("handler failed");
        case kMsgEnd: EndDialog(static_cast<INT_PTR>(wParam)); return true;
        case kMsgRun: {
            auto* step = reinterpret_cast<std::function<void()>*>(lParam);
            (*step)();
            delete step;
            return true;
        }
        case WM_DESTROY:
            if (onEnd) onEnd(*this);
            break;
        case WM_TIMER:
            if (wParam == kWatchdogTimer) {
                ADD_FAILURE() << "the dialog did not end by itself";
                EndDialog(kWatchdogResult);
                return true;
            }
            break;
        case WM_NOTIFY:
            if (reinterpret_cast<NMHDR*>(lParam)->code == NM_DBLCLK) {
                result = kNotifyAnswer;
                return true;
            }
            break;
        case WM_CTLCOLORSTATIC:
            if (::GetDlgCtrlID(reinterpret_cast<HWND>(lParam)) == IDC_STATIC_NOTICE) {
                result = reinterpret_cast<LRESULT>(GetStockObject(BLACK_BRUSH));
                return true;
            }
            break;
        }
        return CDialog::OnMessage(message, wParam, lParam, result);
    }
};

// Runs a test dialog whose initialisation runs body and then ends the dialog; returns DoModal's result.
inline INT_PTR RunInDialog(const std::function<void(TestDialog&)>& body) {
    TestDialog dialog;
    dialog.onInit = [&](TestDialog& d) {
        body(d);
        d.EndDialog(IDOK);
    };
    return dialog.DoModal();
}
