// The settings file beside the executable (Windows private-profile format).
// Every access forms the path afresh and opens the file only for that call;
// failures are silent: a value that cannot be read reads as empty.
#pragma once

#include <string>

#include "SettingsKeys.h"

// Full path of the settings file beside the running executable; empty when it
// cannot be formed (the executable's path or the result does not fit in 260
// bytes). Nothing is read or written then.
std::string GetSettingsFilePath();

// A value of the settings file; empty when missing or unreadable.
std::string ReadSetting(const SettingKey& key);
// Writes a value (created with the file when missing); false when nothing was
// written. A value holding a line break is not written.
bool WriteSetting(const SettingKey& key, const std::string& value);

// The same on an explicit file, for the two above and for tests.
std::string ReadSettingFrom(const std::string& settingsPath, const SettingKey& key);
bool WriteSettingTo(const std::string& settingsPath, const SettingKey& key, const std::string& value);

// "Path" in "AppInfo": the folder to put into the path field at start-up
// (at most 259 units, possibly empty), and its saving when the window closes.
// The file keeps ANSI text: a path the code page cannot hold exactly is not
// written (false), and the value saved before stays; a look-alike would name
// another folder.
std::wstring ReadSavedPath();
bool WriteSavedPath(const std::wstring& path);
