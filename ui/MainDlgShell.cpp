// Menu command 32784: adds the program's verbs to the Explorer right-click
// menu, or removes them when they are there.
#include "ExplorerMenu.h"
#include "ExplorerVerbs.h"
#include "MainDlg.h"

void CMyDlg::ToggleExplorerMenu() {
    if (!IsExplorerMenuPresent(m_strAppId)) {
        if (AddExplorerMenu(m_strAppId, ExecutablePathForVerbs()))
            MessageBox(kExplorerMenuAdded, nullptr, MB_OK | MB_ICONINFORMATION);
    } else if (RemoveExplorerMenu(m_strAppId)) {
        MessageBox(kExplorerMenuRemoved, nullptr, MB_OK | MB_ICONINFORMATION);
    }
}
