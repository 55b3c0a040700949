#include "ResultExport.h"

#include <windows.h>

#include <algorithm>
#include <vector>

#include "App.h"
#include "ExactAnsi.h"
#include "FileDialog.h"
#include "ListRules.h"
#include "RowText.h"
#include "UiText.h"

namespace {

const char kReportFilter[] = "(*.txt)|*.txt|(所有文件)|*.*||";

// Replaces the file's content with bytes. False when the file cannot be
// opened or not every byte reached it.
bool WriteReportFile(const std::wstring& file, const std::string& bytes) {
    HANDLE out = CreateFileW(file.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (out == INVALID_HANDLE_VALUE) return false;
    bool written = true;
    for (size_t at = 0; written && at < bytes.size();) {
        const DWORD chunk = static_cast<DWORD>(std::min<size_t>(bytes.size() - at, 1u << 20));
        DWORD done = 0;
        written = WriteFile(out, bytes.data() + at, chunk, &done, nullptr) && done == chunk;
        at += done;
    }
    if (!CloseHandle(out)) written = false;
    return written;
}

std::string Utf8Of(const std::wstring& line) {
    const int size =
        WideCharToMultiByte(CP_UTF8, 0, line.data(), static_cast<int>(line.size()), nullptr, 0, nullptr, nullptr);
    std::string bytes(size > 0 ? static_cast<size_t>(size) : 0, '\0');
    if (size > 0)
        WideCharToMultiByte(CP_UTF8, 0, line.data(), static_cast<int>(line.size()), &bytes[0], size, nullptr, nullptr);
    return bytes;
}

}  // namespace

std::string ReportBytes(const ResultList& results) {
    std::vector<std::wstring> lines;
    lines.reserve(static_cast<size_t>(results.Count()));
    for (int row = 0; row < results.Count(); ++row) lines.push_back(RowPathText(results.ExactPath(row)));
    std::vector<std::string> narrow(lines.size());
    bool fits = true;
    for (size_t i = 0; i < lines.size() && fits; ++i) fits = WideToAnsiExactly(lines[i], narrow[i]);
    if (fits) return BuildReportText(narrow);
    for (size_t i = 0; i < lines.size(); ++i) narrow[i] = Utf8Of(lines[i]);
    return "\xEF\xBB\xBF" + BuildReportText(narrow);
}

bool ResultExport::Run(CWnd* owner) {
    // The save form: a Save button, and a question before an existing file is replaced.
    CFileDialog dialog(FALSE, "txt", nullptr, OFN_HIDEREADONLY | OFN_OVERWRITEPROMPT, kReportFilter, owner);
    if (!m_lastFile.empty()) dialog.SetFileName(m_lastFile);
    if (dialog.DoModal() != IDOK) return false;
    const std::wstring file = dialog.GetPathName();
    if (!WriteReportFile(file, ReportBytes(m_results))) {
        // The file is named exactly, whatever the code page holds.
        const std::wstring text = UiWide("导出失败，无法写入文件：\n") + file;
        AppMessageBoxW(owner ? owner->m_hWnd : nullptr, text.c_str(), MB_OK | MB_ICONWARNING);
        return false;
    }
    m_lastFile = file;
    return true;
}
