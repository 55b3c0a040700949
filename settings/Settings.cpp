#include "Settings.h"

#include <windows.h>

#include <vector>

#include "ExactAnsi.h"
#include "SettingsRules.h"
#include "StoredTexts.h"

std::string GetSettingsFilePath() {
    char exePath[MAX_PATH] = {};
    const DWORD length = GetModuleFileNameA(nullptr, exePath, MAX_PATH);
    // A full buffer means a cut path (and on XP no terminator).
    if (length == 0 || length >= MAX_PATH) return std::string();
    return SettingsPathBeside(std::string(exePath, length), DecodeStoredText(StoredText::SettingsFileName));
}

std::string ReadSettingFrom(const std::string& settingsPath, const SettingKey& key) {
    if (settingsPath.empty()) return std::string();
    // The reader reports a cut value as size - 1 (or size - 2): grow until it fits.
    for (DWORD size = 1024; size <= 65536; size *= 4) {
        std::vector<char> buffer(size, '\0');
        const DWORD got =
            GetPrivateProfileStringA(key.section, key.name, "", buffer.data(), size, settingsPath.c_str());
        if (got + 2 < size) return std::string(buffer.data(), got);
    }
    return std::string();
}

bool WriteSettingTo(const std::string& settingsPath, const SettingKey& key, const std::string& value) {
    if (settingsPath.empty()) return false;
    const std::optional<std::string> text = ProfileTextForValue(value);
    if (!text) return false;
    return WritePrivateProfileStringA(key.section, key.name, text->c_str(), settingsPath.c_str()) != FALSE;
}

std::string ReadSetting(const SettingKey& key) { return ReadSettingFrom(GetSettingsFilePath(), key); }

bool WriteSetting(const SettingKey& key, const std::string& value) {
    return WriteSettingTo(GetSettingsFilePath(), key, value);
}

std::wstring ReadSavedPath() {
    std::wstring path;
    if (!AnsiToWide(ReadSetting(kSettingSavedPath), path)) return std::wstring();
    return AcceptSavedPath(path);
}

bool WriteSavedPath(const std::wstring& path) {
    std::string ansi;
    if (!WideToAnsiExactly(path, ansi)) return false;
    return WriteSetting(kSettingSavedPath, ansi);
}
