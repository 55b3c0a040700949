// The About box: template 145 as it stands, with the vendor's address as a
// link (hand cursor, opened in the browser when clicked).
#pragma once

#include "Dialog.h"

class CAboutDlg2 : public CDialog {
public:
    // parent null: the application's main window owns the box.
    explicit CAboutDlg2(CWnd* parent = nullptr);

protected:
    bool OnMessage(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result) override;
};
