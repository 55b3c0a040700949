// A read-only look at a listed entry, so a user sees what a "nul" holds (or
// what an "Album." folder holds) before choosing to delete or keep it.
// Nothing is written.
#pragma once

#include <windows.h>

#include <string>
#include <utility>
#include <vector>

#include "Dialog.h"
#include "FileSystem.h"

// The bytes as text when they are text in UTF-8 or in the ANSI code page,
// else as a hex view; lines end in "\r\n" for the edit control.
std::wstring ContentText(const std::string& bytes);

// What the box shows of one entry.
struct ContentView {
    std::wstring path;  // the entry's full path, exactly as stored
    std::wstring note;  // what the content is: its size, a cut, an empty file, a folder's count
    std::wstring text;
    bool hex = false;  // drawn in a fixed-pitch font
};

// A file's first bytes, read with one byte more than limit: more than limit
// means the file was cut there. A cut inside a character still reads as text.
ContentView FileContentView(const std::wstring& path, const std::string& bytes, size_t limit);

// A folder: how many entries it holds and their names, folders with a
// trailing "\", at most maxNames of them.
ContentView FolderContentView(const std::wstring& path, const std::vector<DirEntry>& entries, size_t maxNames);

// The controls the box makes in the template's place for its content.
inline constexpr int IDC_CONTENT_PATH = 1023;  // the entry's path
inline constexpr int IDC_CONTENT_NOTE = 1024;  // what is shown
inline constexpr int IDC_CONTENT_TEXT = 1025;  // the content

class CContentDlg : public CDialog {
public:
    CContentDlg(CWnd* parent, ContentView view);
    ~CContentDlg() override;

protected:
    BOOL OnInitDialog() override;

private:
    ContentView m_view;
    HFONT m_fixedFont = nullptr;
};
