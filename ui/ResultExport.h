// The export of the listed paths to a text file: where to write is asked in
// the save form, every row's exact path is written in the list's order, and
// a file that could not be written is said.
#pragma once

#include <string>

#include "ResultList.h"
#include "Wnd.h"

// The report's bytes: every row's path on a line of its own, in the ANSI
// code page when each one fits it exactly, otherwise all in UTF-8 after a
// byte-order mark.
std::string ReportBytes(const ResultList& results);

class ResultExport {
public:
    explicit ResultExport(const ResultList& results) : m_results(results) {}
    ResultExport(const ResultExport&) = delete;
    ResultExport& operator=(const ResultExport&) = delete;

    // Asks for a file over owner and writes the report there; the file chosen
    // last is offered again. False when nothing was written (cancelled, or
    // the file could not be written: a box says so).
    bool Run(CWnd* owner);
    // Where the last report went; empty before one was written.
    const std::wstring& LastFile() const { return m_lastFile; }

private:
    const ResultList& m_results;
    std::wstring m_lastFile;
};
