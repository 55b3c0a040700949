// The application object: builds the main dialog (which reads the command
// line first, and may end the process there) and runs it.
#include "App.h"
#include "MainDlg.h"

class CMyApp : public CWinApp {
public:
    BOOL InitInstance() override {
        CMyDlg dlg;
        m_pMainWnd = &dlg;
        dlg.DoModal();
        m_pMainWnd = nullptr;
        // No message loop after the dialog: the process ends.
        return FALSE;
    }
};

CMyApp theApp;
