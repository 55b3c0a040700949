// Conversions between UTF-16 and the ANSI code page that never substitute: a
// text either converts to the very characters it holds, or the call fails.
// The system's own conversion maps what the page lacks to look-alikes (best
// fit: "ｋ" to "k", "＼" to "\") or to "?", and such a name names another
// entry, or none. Windows only.
#pragma once

#include <string>

// False when text has a character the ANSI code page cannot hold exactly;
// ansi then receives the system's approximate form (for display only).
bool WideToAnsiExactly(const std::wstring& text, std::string& ansi);
bool WideToAnsiExactly(const wchar_t* text, size_t length, std::string& ansi);

// How the exact conversion calls WideCharToMultiByte for a code page: UTF-8
// takes no flags and no "default used" report on Windows (the call fails with
// them), every other page is told not to use best fit.
struct ExactConversionCall {
    unsigned long flags;
    bool reportsDefaultUsed;
};
ExactConversionCall ExactConversionFor(unsigned codePage);

// False when ansi is not valid text of the ANSI code page.
bool AnsiToWide(const std::string& ansi, std::wstring& wide);

// A text of code page 936 (the program's own GBK texts) in UTF-16, whatever
// the ANSI code page is, so it reads the same on every Windows that has the
// page; one without it decodes by its ANSI code page.
std::wstring WideOfGbk(const std::string& gbk);
