// A row as text where it leaves the window: the clipboard and the report
// file. Every such text is made here, so how a path is written out is decided
// in one place.
#pragma once

#include <string>

#include "ExactText.h"

// The line a row's exact path becomes on the clipboard and in the report: as
// it stands, unless something in it would split the line (a TAB, a line
// break) or cannot be written (a lone surrogate): then its quoted form, which
// OrvelleScan --from reads back to the same path, and no other.
inline std::wstring RowPathText(const std::wstring& exactPath) {
    const std::u16string path(exactPath.begin(), exactPath.end());
    if (!NeedsQuoting(path)) return exactPath;
    const std::string quoted = QuotedField(path);  // ASCII
    return std::wstring(quoted.begin(), quoted.end());
}
