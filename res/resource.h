// Every resource, control and command id of the program.
#pragma once

#ifndef IDC_STATIC
#define IDC_STATIC (-1)
#endif

// Icons, menus and dialog templates
#define IDR_MAINFRAME 128     // application icon (About box, executable)
#define IDR_MENU_LIST 133     // right-click menu of the result list
#define IDI_WINDOW 144        // main window icon
#define IDD_MAIN 102          // main dialog
#define IDD_ABOUT 145         // About box
#define IDD_VIEW_CONTENT 146  // the first bytes of a listed file, read-only

// Main dialog controls
#define IDC_EDIT_PATH 1001
#define IDC_CHECK_HIDDEN 1002
#define IDC_CHECK_READONLY 1003
#define IDC_CHECK_SYSTEM 1004
#define IDC_CHECK_MALFORMED 1005
#define IDC_BTN_BROWSE 1006
#define IDC_BTN_SEARCH 1007
#define IDC_BTN_EXPORT 1008
#define IDC_LIST_RESULT 1009
#define IDC_BTN_CHECK_ALL 1010
#define IDC_BTN_DELETE 1012
#define IDC_BTN_SUPPORT 1013
#define IDC_STATIC_NOTICE 1015
#define IDC_BTN_INVERT 1018

// About box controls
#define IDC_STATIC_WEBSITE 1021

// The content box: where its read-only text goes
#define IDC_STATIC_CONTENT 1022

// Commands of the result list's menu
#define ID_LIST_COPY_PATH 32773
#define ID_LIST_OPEN_FOLDER 32774
#define ID_LIST_CLEAR 32775
#define ID_LIST_DELETE_CURRENT 32777
#define ID_LIST_DELETE_ALL 32778
#define ID_LIST_ABOUT 32780
#define ID_LIST_EXPLORER_MENU 32784
#define ID_LIST_CHECK_UPDATE 32786
#define ID_LIST_STATISTICS 32789
#define ID_LIST_RENAME 32790
#define ID_LIST_VIEW 32791

// The help command the application object answers
#define ID_HELP 57670

// The vendor's web site on the About box's address line, shown and opened as it stands. The build
// passes it as ORVELLE_URL_ABOUT (online/CMakeLists.txt) to whatever links orvelle_res or
// orvelle_about_url; the fallback is that setting's default.
#ifdef ORVELLE_URL_ABOUT
#define ORVELLE_WEBSITE_TEXT ORVELLE_URL_ABOUT
#else
#define ORVELLE_WEBSITE_TEXT "https://www.orvelle.example/"
#endif
