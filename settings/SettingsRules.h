// The decisions behind the settings file, apart from the profile calls.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

// A path with its terminator fits in 260 bytes.
inline constexpr size_t kMaxSettingsPathLength = 259;

// The settings file beside an executable: the executable's drive and folder
// (with its trailing separator) followed by `fileName`. Empty when the result
// would not be an absolute path of at most 259 bytes: the profile functions put
// a file given by a bare name into the Windows folder, so no file is better.
// Folder names may hold GBK characters whose second byte is 0x5C.
std::string SettingsPathBeside(std::string_view exePath, std::string_view fileName);

// The text to hand to the profile writer so that the reader gives `value`
// back unchanged: the reader drops blanks around a value and one pair of
// quotes enclosing it, so such a value is written inside double quotes.
// Nothing when the value cannot be kept in one line (it holds a CR or LF).
std::optional<std::string> ProfileTextForValue(std::string_view value);

// The saved path as the path field may take it: at most 259 UTF-16 units. A
// longer value (the file edited by hand) is dropped rather than cut, since a
// cut path names some other folder.
std::wstring AcceptSavedPath(std::wstring value);
