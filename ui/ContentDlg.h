// A read-only look at the first bytes of a listed file, so a user sees what
// a "nul" holds before choosing to delete or keep it. Nothing is written.
#pragma once

#include <string>
#include <utility>

#include "Dialog.h"

// The bytes as text when they are text in UTF-8 or in the ANSI code page,
// else as a hex view; lines end in "\r\n" for the edit control.
std::wstring ContentText(const std::string& bytes);

class CContentDlg : public CDialog {
public:
    CContentDlg(CWnd* parent, std::wstring text);

protected:
    BOOL OnInitDialog() override;

private:
    std::wstring m_text;
};
