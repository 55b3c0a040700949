// The application object: builds the main dialog (which reads the command
// line first, and may end the process there) and runs it.
#include "App.h"
#include "MainDlg.h"

namespace {

// How long a closed window waits for its workers. They were told to stop and
// their fetches were cut when the window went, so they end at once; one stuck
// elsewhere (a listing on a share that hangs) must not keep the process.
constexpr DWORD kWorkersEndMs = 700;

}  // namespace

class CMyApp : public CWinApp {
public:
    BOOL InitInstance() override {
        CMyDlg dlg;
        m_pMainWnd = &dlg;
        dlg.DoModal();
        m_pMainWnd = nullptr;
        // The path is saved and the hand-over block released already: ending
        // here loses nothing.
        if (!dlg.WaitForWorkers(kWorkersEndMs)) TerminateProcess(GetCurrentProcess(), 0);
        // No message loop after the dialog: the process ends.
        return FALSE;
    }
};

CMyApp theApp;
