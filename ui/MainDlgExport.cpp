// Export of the listed paths, the statistics box and clearing the list.
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

// The report: every row's path in the list's order, in the code page when
// each one fits it exactly, otherwise all in UTF-8 after a byte-order mark.
std::string ReportBytes(const ResultList& results) {
    std::vector<std::wstring> lines;
    lines.reserve(static_cast<size_t>(results.Count()));
    for (int row = 0; row < results.Count(); ++row) lines.push_back(RowPathText(results.ExactPath(row)));
    std::vector<std::string> narrow(lines.size());
    bool fits = true;
    for (size_t i = 0; i < lines.size() && fits; ++i) fits = WideToAnsiExactly(lines[i], narrow[i]);
    if (fits) return BuildReportText(narrow);
    for (size_t i = 0; i < lines.size(); ++i) {
        const std::wstring& line = lines[i];
        const int size =
            WideCharToMultiByte(CP_UTF8, 0, line.data(), static_cast<int>(line.size()), nullptr, 0, nullptr, nullptr);
        narrow[i].assign(size > 0 ? static_cast<size_t>(size) : 0, '\0');
        if (size > 0)
            WideCharToMultiByte(CP_UTF8, 0, line.data(), static_cast<int>(line.size()), &narrow[i][0], size, nullptr,
                                nullptr);
    }
    return "\xEF\xBB\xBF" + BuildReportText(narrow);
}

}  // namespace

void CMyDlg::ExportResults() {
    // The save-file form: a Save button, and a question before an existing file is replaced.
    CFileDialog dialog(FALSE, "txt", nullptr, OFN_HIDEREADONLY | OFN_OVERWRITEPROMPT, kReportFilter, this);
    if (dialog.DoModal() != IDOK) return;
    const std::string file = dialog.GetPathName();
    if (!WriteReportFile(file, ReportBytes(m_results))) {
        std::string text = "导出失败，无法写入文件：\n" + file;
        MessageBox(text.c_str(), nullptr, MB_OK | MB_ICONWARNING);
    }
}

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
