// The export, the statistics box and clearing the list.
#include <windows.h>

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "FileDialog.h"
#include "ExactAnsi.h"
#include "ListCommands.h"
#include "RowText.h"
#include "MainDlg.h"
#include "ResultRow.h"
#include "StoredTexts.h"
#include "resource.h"

void CMyDlg::ExportResults() { m_export.Run(this); }

void CMyDlg::ShowStatistics() {
    int folders = 0, files = 0;
    m_results.CountKinds(folders, files);
    MessageBox(BuildStatisticsText(folders, files).c_str(), nullptr, MB_OK | MB_ICONINFORMATION);
}

void CMyDlg::ClearResults() {
    if (IsDeleting()) return;  // its rows are still leaving
    const std::string caption = DecodeStoredText(StoredText::ClearResultsCaption);
    if (MessageBox("确定要清空当前数据吗？", caption.c_str(), MB_OKCANCEL) == IDOK) m_results.Clear();
}
