// The program's own texts are narrow strings in code page 936 (its sources'
// literals are compiled so, and the online texts come so); windows take
// UTF-16. The texts are decoded from 936 whatever the system's ANSI code page
// is, so the window reads the same on a Chinese Windows and on a Western one.
// Paths and names never pass through here: they stay UTF-16 from end to end.
#pragma once

#include <string>
#include <string_view>

#include <windows.h>

// The code page of the program's texts.
inline constexpr UINT kUiTextCodePage = 936;

// A text of the program in UTF-16. A system that lacks the page (an XP
// without East Asian support) decodes by its own ANSI code page instead,
// which is what the narrow functions did.
std::wstring UiWide(std::string_view text);
// UTF-16 back into the program's code page; a character it lacks becomes "?".
std::string UiNarrow(std::wstring_view text);

// A text as the system's narrow functions give it (the ANSI code page; a
// character it lacks comes as a look-alike or "?").
std::string ShownNarrow(std::wstring_view text);

// The window's text in UTF-16, however long.
std::wstring WindowTextW(HWND window);
// The program's text into a window or a dialog's control.
void SetWindowUiText(HWND window, std::string_view text);
void SetDlgItemUiText(HWND dialog, int id, std::string_view text);
