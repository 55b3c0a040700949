// A row as text where it leaves the window: the clipboard and the report
// file. Every such text is made here, so how a path is written out is decided
// in one place.
#pragma once

#include <string>

// The line a row's exact path becomes on the clipboard and in the report.
inline std::wstring RowPathText(const std::wstring& exactPath) { return exactPath; }
