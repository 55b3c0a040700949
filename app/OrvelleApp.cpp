// The application object: reads the command line first (which may end the
// process there), then builds the main dialog with what it found and runs it.
#include "App.h"
#include "CommandLineStep.h"
#include "Delete.h"
#include "MainDlg.h"
#include "StoredTexts.h"
#include "Win32FileSystem.h"

namespace {

// How long a closed window waits for its workers. They were told to stop and
// their fetches were cut when the window went, so they end at once; one stuck
// elsewhere (a listing on a share that hangs) must not keep the process.
constexpr DWORD kWorkersEndMs = 700;

}  // namespace

class CMyApp : public CWinApp {
public:
    BOOL InitInstance() override {
        const std::string appId = DecodeStoredText(StoredText::ProgramId);
        // Open on the default block until an argument asks for the hand-over;
        // a search window holds the hand-over blocks for as long as it lives.
        HandOverBlocks blocks;
        CMyDlg::StartArgs args;
        {
            DeleteSession session(TheFileSystem());
            const CommandLineStepResult step = RunCommandLineStep(
                blocks, appId, [&session](const std::u16string& path) { return session.DeleteListedPath(path); });
            args.hasArgument = step.hasArgument;
            args.searchPath = step.searchPath;
        }
        if (!args.searchPath.empty()) args.onWindowUp = [&](HWND window) { RecordSearchWindow(blocks, appId, window); };
        args.onWindowGone = [&](HWND window) {
            ForgetSearchWindow(blocks, appId, window);
            blocks.Close();
        };

        CMyDlg dlg(args);
        m_pMainWnd = &dlg;
        dlg.DoModal();
        m_pMainWnd = nullptr;
        // The path is saved and the hand-over blocks released already: ending
        // here loses nothing.
        if (!dlg.WaitForWorkers(kWorkersEndMs)) TerminateProcess(GetCurrentProcess(), 0);
        // No message loop after the dialog: the process ends.
        return FALSE;
    }
};

CMyApp theApp;
