// Every section and key of the settings file, in one place.
#pragma once

struct SettingKey {
    const char* section;
    const char* name;
};

// The path field's text when the window last closed.
inline constexpr SettingKey kSettingSavedPath{"AppInfo", "Path"};
// The newest version the last update prompt offered (a record; nothing reads it).
inline constexpr SettingKey kSettingOfferedVersion{"VskSystem", "VskVersion"};
// When that prompt was shown: seconds since 1970-01-01 00:00 UTC, "%d".
inline constexpr SettingKey kSettingOfferDate{"VskSystem", "VskChkDate"};

inline constexpr SettingKey kAllSettingKeys[] = {
    kSettingSavedPath,
    kSettingOfferedVersion,
    kSettingOfferDate,
};
