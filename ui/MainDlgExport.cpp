// Export of the listed paths, the statistics box and clearing the list.
#include <windows.h>

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "FileDialog.h"
#include "ListCommands.h"
#include "MainDlg.h"
#include "ResultRow.h"
#include "StoredTexts.h"
#include "resource.h"

namespace {

const char kReportFilter[] = "(*.txt)|*.txt|(所有文件)|*.*||";

// Replaces the file's content with text. False when the file cannot be opened
// or not every byte reached it.
bool WriteReportFile(const std::string& file, const std::string& text) {
    // The line breaks are in the text already (CR LF): written as they stand.
    FILE* stream = std::fopen(file.c_str(), "wb");
    if (!stream) return false;
    bool written = std::fwrite(text.data(), 1, text.size(), stream) == text.size();
    if (std::fclose(stream) != 0) written = false;
    return written;
}

}  // namespace

void CMyDlg::ExportResults() {
    // The save-file form: a Save button, and a question before an existing file is replaced.
    CFileDialog dialog(FALSE, "txt", nullptr, OFN_HIDEREADONLY | OFN_OVERWRITEPROMPT, kReportFilter, this);
    if (dialog.DoModal() != IDOK) return;
    const std::string file = dialog.GetPathName();

    std::vector<std::string> paths;
    for (int row = 0; row < m_listResult.GetItemCount(); ++row) {
        char path[MAX_PATH] = {};
        ReadCellText(m_listResult, row, 0, path, MAX_PATH);
        paths.push_back(path);
    }
    if (!WriteReportFile(file, BuildReportText(paths))) {
        std::string text = "导出失败，无法写入文件：\n" + file;
        MessageBox(text.c_str(), nullptr, MB_OK | MB_ICONWARNING);
    }
}

void CMyDlg::ShowStatistics() {
    int folders = 0, files = 0;
    for (int row = 0; row < m_listResult.GetItemCount(); ++row) {
        char type[10] = {};
        m_listResult.GetItemText(row, 2, type, sizeof type);
        if (std::strcmp(type, kTypeFolder) == 0)
            ++folders;
        else
            ++files;
    }
    MessageBox(BuildStatisticsText(folders, files).c_str(), nullptr, MB_OK | MB_ICONINFORMATION);
}

void CMyDlg::ClearResults() {
    if (IsDeleting()) return;  // its rows are still leaving
    const std::string caption = DecodeStoredText(StoredText::ClearResultsCaption);
    if (MessageBox("确定要清空当前数据吗？", caption.c_str(), MB_OKCANCEL) == IDOK) {
        m_listResult.DeleteAllItems();
        m_rowEntries.Clear();
    }
}
