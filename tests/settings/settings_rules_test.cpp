#include <gtest/gtest.h>

#include <optional>
#include <string>

#include "SettingsKeys.h"
#include "SettingsRules.h"

namespace {

struct BesideCase {
    std::string exePath;
    std::string expected;
};

TEST(SettingsPathBeside, JoinsTheProgramsFolderAndTheFileName) {
    const std::string folder248 = "C:\\" + std::string(244, 'f') + "\\";  // 248 bytes
    const BesideCase cases[] = {
        {"C:\\Program Files\\Orvelle\\Orvelle.exe", "C:\\Program Files\\Orvelle\\Orvelle.ini"},
        {"C:\\Orvelle.exe", "C:\\Orvelle.ini"},
        {"C:/tools/o.exe", "C:/tools/Orvelle.ini"},
        {"\\\\server\\share\\tools\\o.exe", "\\\\server\\share\\tools\\Orvelle.ini"},
        {"\\\\?\\C:\\tools\\o.exe", "\\\\?\\C:\\tools\\Orvelle.ini"},
        // GBK names whose second byte is 0x5C: not separators.
        {"C:\\奬状\\o.exe", "C:\\奬状\\Orvelle.ini"},
        {"C:\\tools\\奬.exe", "C:\\tools\\Orvelle.ini"},
        // No folder: the profile functions would pick the Windows folder.
        {"o.exe", ""},
        {"C:o.exe", ""},
        {"", ""},
        // 259 bytes fit, 260 do not.
        {folder248 + "o.exe", folder248 + "Orvelle.ini"},
        {folder248.substr(0, 3) + "g" + folder248.substr(3) + "o.exe", ""},
    };
    for (const BesideCase& c : cases) EXPECT_EQ(SettingsPathBeside(c.exePath, "Orvelle.ini"), c.expected) << c.exePath;
}

struct ValueCase {
    std::string value;
    std::optional<std::string> written;
};

TEST(ProfileTextForValue, QuotesWhatTheReaderWouldTrim) {
    const ValueCase cases[] = {
        {"D:\\data", "D:\\data"},
        {"", ""},
        {"D:\\奬状", "D:\\奬状"},
        {"D:\\a=b;c[d]", "D:\\a=b;c[d]"},
        {"'D:\\x", "'D:\\x"},
        {"D:\\bad ", "\"D:\\bad \""},  // folders may end in a blank
        {" D:\\lead", "\" D:\\lead\""},
        {"D:\\tab\t", "\"D:\\tab\t\""},
        {"\"quoted\"", "\"\"quoted\"\""},
        {"'quoted'", "\"'quoted'\""},
        {"a\rb", std::nullopt},
        {"a\nb", std::nullopt},
    };
    for (const ValueCase& c : cases) EXPECT_EQ(ProfileTextForValue(c.value), c.written) << c.value;
}

TEST(AcceptSavedPath, DropsWhatThePathFieldCannotHoldRatherThanCutIt) {
    EXPECT_EQ(AcceptSavedPath(L""), L"");
    EXPECT_EQ(AcceptSavedPath(std::wstring(259, L'p')), std::wstring(259, L'p'));
    EXPECT_EQ(AcceptSavedPath(std::wstring(260, L'p')), L"");
}

TEST(SettingKeys, NameTheSectionsAndKeysOfTheFile) {
    EXPECT_STREQ(kSettingSavedPath.section, "AppInfo");
    EXPECT_STREQ(kSettingSavedPath.name, "Path");
    EXPECT_STREQ(kSettingOfferedVersion.section, "VskSystem");
    EXPECT_STREQ(kSettingOfferedVersion.name, "VskVersion");
    EXPECT_STREQ(kSettingOfferDate.section, "VskSystem");
    EXPECT_STREQ(kSettingOfferDate.name, "VskChkDate");
}

}  // namespace
