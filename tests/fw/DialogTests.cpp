// The dialog class: its own modal loop, pre-translation, data exchange, the dialog procedure's
// answers, ownership by the main window, and message boxes through the UI host.
#include <string>

#include <gtest/gtest.h>

#include "App.h"
#include "FakeUiHost.h"
#include "TestDialog.h"

namespace {

class TestApp : public CWinApp {};

HWND Item(TestDialog& d, int id) { return GetDlgItem(d.m_hWnd, id); }

std::string TextOf(HWND hwnd) {
    char text[512] = {};
    GetWindowTextA(hwnd, text, sizeof text);
    return text;
}

// How a modal run ends, and what DoModal then returns.
struct EndingCase {
    const char* name;
    void (*end)(TestDialog&);
    INT_PTR expected;
};

const EndingCase kEndings[] = {
    {"OK command", [](TestDialog& d) { PostMessageA(d.m_hWnd, WM_COMMAND, IDOK, 0); }, IDOK},
    {"Cancel command", [](TestDialog& d) { PostMessageA(d.m_hWnd, WM_COMMAND, IDCANCEL, 0); }, IDCANCEL},
    {"close box", [](TestDialog& d) { PostMessageA(d.m_hWnd, WM_SYSCOMMAND, SC_CLOSE, 0); }, IDCANCEL},
    {"Escape key", [](TestDialog& d) { PostMessageA(Item(d, IDC_EDIT_PATH), WM_KEYDOWN, VK_ESCAPE, 0); }, IDCANCEL},
    {"EndDialog in a handler", [](TestDialog& d) { PostMessageA(d.m_hWnd, kMsgEnd, 1234, 0); }, 1234},
    {"EndDialog during initialisation", [](TestDialog& d) { d.EndDialog(-7); }, -7},
    {"window destroyed without EndDialog", [](TestDialog& d) { d.Post([&d] { DestroyWindow(d.m_hWnd); }); }, -1},
};

TEST(Dialog, DoModalReturnsTheCodeTheDialogEndedWith) {
    for (const EndingCase& c : kEndings) {
        SCOPED_TRACE(c.name);
        TestDialog dialog;
        HWND hwnd = nullptr;
        dialog.onInit = [&](TestDialog& d) {
            hwnd = d.m_hWnd;
            c.end(d);
        };
        EXPECT_EQ(c.expected, dialog.DoModal());
        EXPECT_FALSE(IsWindow(hwnd)) << "the window must be gone when DoModal returns";
        EXPECT_EQ(nullptr, dialog.m_hWnd);
    }
}

TEST(Dialog, ReturnReachesPreTranslateMessageFirstAndCanBeSwallowed) {
    TestDialog dialog;
    dialog.swallowReturn = true;
    dialog.onInit = [](TestDialog& d) {
        HWND edit = Item(d, IDC_EDIT_PATH);
        PostMessageA(edit, WM_KEYDOWN, 'A', 0);
        PostMessageA(edit, WM_KEYDOWN, VK_RETURN, 0);
        PostMessageA(d.m_hWnd, kMsgEnd, 5, 0);
    };
    // Had Return reached the dialog manager, the dialog would have ended with IDOK.
    EXPECT_EQ(5, dialog.DoModal());
    EXPECT_EQ((std::vector<WPARAM>{'A', VK_RETURN}), dialog.keysSeen);
}

TEST(Dialog, ReturnNotSwallowedRunsOnOKWhichSavesTheFieldsAndEnds) {
    TestDialog dialog;
    dialog.onInit = [](TestDialog& d) {
        SetWindowTextA(Item(d, IDC_EDIT_PATH), "D:\\数据\\新建");
        PostMessageA(Item(d, IDC_EDIT_PATH), WM_KEYDOWN, VK_RETURN, 0);
    };
    EXPECT_EQ(IDOK, dialog.DoModal());
    EXPECT_EQ((std::vector<WPARAM>{VK_RETURN}), dialog.keysSeen);
    EXPECT_EQ("D:\\数据\\新建", dialog.m_strPath);
}

TEST(Dialog, DataExchangeLoadsAtInitialisationAndSavesOnRequest) {
    TestDialog dialog;
    dialog.m_strPath = "C:\\奬状\\a. ";
    dialog.m_strNotice = "通知";
    std::string shownPath, shownNotice, pathAfterSave, noticeAfterSave;
    HWND boundEdit = nullptr, boundList = nullptr;
    dialog.onInit = [&](TestDialog& d) {
        shownPath = TextOf(Item(d, IDC_EDIT_PATH));
        shownNotice = TextOf(Item(d, IDC_STATIC_NOTICE));
        boundEdit = d.m_editPath.m_hWnd;
        boundList = d.m_listResult.m_hWnd;
        EXPECT_EQ(Item(d, IDC_EDIT_PATH), boundEdit);
        EXPECT_EQ(Item(d, IDC_LIST_RESULT), boundList);

        SetWindowTextA(Item(d, IDC_EDIT_PATH), "");
        SetWindowTextA(Item(d, IDC_STATIC_NOTICE), std::string(700, 'x').c_str());
        EXPECT_TRUE(d.UpdateData(true));
        pathAfterSave = d.m_strPath;
        noticeAfterSave = d.m_strNotice;

        d.m_strPath = "E:\\再次";
        EXPECT_TRUE(d.UpdateData(false));
        EXPECT_EQ("E:\\再次", TextOf(Item(d, IDC_EDIT_PATH)));
        d.EndDialog(IDCANCEL);
    };
    EXPECT_EQ(IDCANCEL, dialog.DoModal());
    EXPECT_EQ("C:\\奬状\\a. ", shownPath);
    EXPECT_EQ("通知", shownNotice);
    EXPECT_EQ("", pathAfterSave);
    EXPECT_EQ(std::string(700, 'x'), noticeAfterSave);
    // The bindings go with the window, and data exchange without a window does nothing.
    EXPECT_EQ(nullptr, dialog.m_editPath.m_hWnd);
    EXPECT_EQ(nullptr, dialog.m_listResult.m_hWnd);
    EXPECT_FALSE(dialog.UpdateData(true));
    EXPECT_EQ("E:\\再次", dialog.m_strPath);
}

// What a message sent to the dialog returns to its sender.
struct AnswerCase {
    const char* name;
    LRESULT (*send)(TestDialog&);
    LRESULT expected;
};

LRESULT SendNotify(TestDialog& d, UINT code) {
    NMHDR header = {Item(d, IDC_LIST_RESULT), IDC_LIST_RESULT, code};
    return SendMessageA(d.m_hWnd, WM_NOTIFY, IDC_LIST_RESULT, reinterpret_cast<LPARAM>(&header));
}

const AnswerCase kAnswers[] = {
    {"handled WM_NOTIFY answers through DWLP_MSGRESULT", [](TestDialog& d) { return SendNotify(d, NM_DBLCLK); },
     kNotifyAnswer},
    {"unhandled WM_NOTIFY answers 0", [](TestDialog& d) { return SendNotify(d, NM_RCLICK); }, 0},
    {"WM_CTLCOLORSTATIC answers the brush itself",
     [](TestDialog& d) {
         HDC dc = GetDC(d.m_hWnd);
         LRESULT brush = SendMessageA(d.m_hWnd, WM_CTLCOLORSTATIC, reinterpret_cast<WPARAM>(dc),
                                      reinterpret_cast<LPARAM>(Item(d, IDC_STATIC_NOTICE)));
         ReleaseDC(d.m_hWnd, dc);
         return brush;
     },
     reinterpret_cast<LRESULT>(GetStockObject(BLACK_BRUSH))},
    {"an exception in a handler stays inside the dialog",
     [](TestDialog& d) { return SendMessageA(d.m_hWnd, kMsgThrow, 0, 0); }, 0},
};

TEST(Dialog, DialogProcedureAnswersTheSender) {
    for (const AnswerCase& c : kAnswers) {
        SCOPED_TRACE(c.name);
        LRESULT answer = -1;
        EXPECT_EQ(IDOK, RunInDialog([&](TestDialog& d) { answer = c.send(d); }));
        EXPECT_EQ(c.expected, answer);
    }
}

TEST(Dialog, HandlerThatThrowsLeavesTheModalLoopRunning) {
    TestDialog dialog;
    dialog.onInit = [](TestDialog& d) {
        PostMessageA(d.m_hWnd, kMsgThrow, 0, 0);
        PostMessageA(d.m_hWnd, kMsgEnd, 9, 0);
    };
    EXPECT_EQ(9, dialog.DoModal());
}

TEST(Dialog, MainWindowOwnsADialogWithoutParentAndIsDisabledMeanwhile) {
    TestApp app;
    TestDialog outer;
    app.m_pMainWnd = &outer;
    HWND outerHwnd = nullptr;
    HWND innerOwner = nullptr;
    BOOL outerEnabledDuring = TRUE;
    INT_PTR innerResult = 0;
    BOOL outerEnabledAfter = FALSE;
    outer.onInit = [&](TestDialog& o) {
        outerHwnd = o.m_hWnd;
        o.Post([&] {
            TestDialog inner(IDD_ABOUT);
            inner.exchangeTexts = false;
            inner.onInit = [&](TestDialog& i) {
                innerOwner = GetWindow(i.m_hWnd, GW_OWNER);
                outerEnabledDuring = IsWindowEnabled(o.m_hWnd);
                PostMessageA(i.m_hWnd, WM_COMMAND, IDOK, 0);
            };
            innerResult = inner.DoModal();
            outerEnabledAfter = IsWindowEnabled(o.m_hWnd);
            o.EndDialog(IDCANCEL);
        });
    };
    EXPECT_EQ(IDCANCEL, outer.DoModal());
    EXPECT_EQ(IDOK, innerResult);
    EXPECT_NE(nullptr, outerHwnd);
    EXPECT_EQ(outerHwnd, innerOwner);
    EXPECT_FALSE(outerEnabledDuring);
    EXPECT_TRUE(outerEnabledAfter);
}

TEST(Dialog, MessageBoxIsOwnedByTheDialogAndCaptionedWithTheAppName) {
    FakeUiHost host;
    host.answers = {IDYES, IDNO};
    ScopedUiHost scope(&host);
    HWND hwnd = nullptr;
    int first = 0, second = 0;
    RunInDialog([&](TestDialog& d) {
        hwnd = d.m_hWnd;
        first = d.MessageBox("是否要删除？", nullptr, MB_YESNO | MB_ICONQUESTION);
        second = d.MessageBox("正文", "标题", MB_OK);
    });
    EXPECT_EQ(IDYES, first);
    EXPECT_EQ(IDNO, second);
    ASSERT_EQ(2u, host.boxes.size());
    EXPECT_EQ(hwnd, host.boxes[0].owner);
    EXPECT_EQ("是否要删除？", host.boxes[0].text);
    EXPECT_EQ("orvelle_fw_tests", host.boxes[0].caption);
    EXPECT_EQ(static_cast<UINT>(MB_YESNO | MB_ICONQUESTION), host.boxes[0].type);
    EXPECT_EQ("标题", host.boxes[1].caption);
}

}  // namespace
