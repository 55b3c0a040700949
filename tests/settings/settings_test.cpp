// The settings file through the system's profile functions, in a temporary
// folder of the test's own; the user's settings file is never touched.
#include <gtest/gtest.h>

#include <windows.h>

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "Settings.h"

namespace {

class TempFolder {
public:
    TempFolder() {
        char base[MAX_PATH] = {};
        GetTempPathA(MAX_PATH, base);
        static int counter = 0;
        char name[64];
        std::snprintf(name, sizeof name, "orvelle-settings-%lu-%lu-%d", GetCurrentProcessId(), GetTickCount(),
                      ++counter);
        m_path = std::string(base) + name;
        CreateDirectoryA(m_path.c_str(), nullptr);
    }
    ~TempFolder() {
        WIN32_FIND_DATAA found;
        const HANDLE find = FindFirstFileA((m_path + "\\*").c_str(), &found);
        if (find != INVALID_HANDLE_VALUE) {
            do {
                if (!(found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY))
                    DeleteFileA((m_path + "\\" + found.cFileName).c_str());
            } while (FindNextFileA(find, &found));
            FindClose(find);
        }
        RemoveDirectoryA(m_path.c_str());
    }
    std::string File(const char* name) const { return m_path + "\\" + name; }
    const std::string& Path() const { return m_path; }

private:
    std::string m_path;
};

std::string ReadBytes(const std::string& path) {
    std::string bytes;
    if (std::FILE* file = std::fopen(path.c_str(), "rb")) {
        char chunk[4096];
        size_t got;
        while ((got = std::fread(chunk, 1, sizeof chunk, file)) > 0) bytes.append(chunk, got);
        std::fclose(file);
    }
    return bytes;
}

bool Exists(const std::string& path) { return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES; }

// The same file may be named through short or long folder names.
std::string LongForm(const std::string& path) {
    char buffer[MAX_PATH] = {};
    const DWORD length = GetLongPathNameA(path.c_str(), buffer, MAX_PATH);
    return length > 0 && length < MAX_PATH ? std::string(buffer, length) : path;
}

TEST(SettingsFile, ValuesComeBackAsTheyWereWritten) {
    TempFolder folder;
    const std::string ini = folder.File("Orvelle.ini");
    const std::string values[] = {
        "D:\\data",
        "",
        "D:\\奬状\\报告",
        "D:\\bad ",  // a folder name ending in a blank
        " D:\\lead",
        "D:\\bad.",
        "\"quoted\"",
        "'quoted'",
        "D:\\a=b;c[d]",
        "C:\\" + std::string(256, 'x'),  // 259 bytes
        std::string(600, 'y'),           // longer than any path: read back whole, not cut
    };
    for (const std::string& value : values) {
        ASSERT_TRUE(WriteSettingTo(ini, kSettingSavedPath, value)) << value;
        EXPECT_EQ(ReadSettingFrom(ini, kSettingSavedPath), value);
    }
}

TEST(SettingsFile, MissingFileOrKeyReadsEmptyAndCreatesNothing) {
    TempFolder folder;
    const std::string ini = folder.File("Orvelle.ini");
    for (const SettingKey& key : kAllSettingKeys) EXPECT_EQ(ReadSettingFrom(ini, key), "") << key.name;
    EXPECT_FALSE(Exists(ini));

    ASSERT_TRUE(WriteSettingTo(ini, kSettingSavedPath, "D:\\data"));
    EXPECT_EQ(ReadSettingFrom(ini, kSettingOfferDate), "");
}

TEST(SettingsFile, AnEmptyPathIsWrittenNotDeleted) {
    TempFolder folder;
    const std::string ini = folder.File("Orvelle.ini");
    ASSERT_TRUE(WriteSettingTo(ini, kSettingSavedPath, "D:\\data"));
    ASSERT_TRUE(WriteSettingTo(ini, kSettingSavedPath, ""));
    const std::string text = ReadBytes(ini);
    EXPECT_NE(text.find("[AppInfo]"), std::string::npos) << text;
    EXPECT_NE(text.find("Path="), std::string::npos) << text;
    EXPECT_EQ(ReadSettingFrom(ini, kSettingSavedPath), "");
}

TEST(SettingsFile, AValueWithALineBreakIsNotWritten) {
    TempFolder folder;
    const std::string ini = folder.File("Orvelle.ini");
    ASSERT_TRUE(WriteSettingTo(ini, kSettingSavedPath, "D:\\ok"));
    EXPECT_FALSE(WriteSettingTo(ini, kSettingSavedPath, "D:\\x\r\n[VskSystem]\r\nVskChkDate=2000000000"));
    EXPECT_EQ(ReadSettingFrom(ini, kSettingSavedPath), "D:\\ok");
    EXPECT_EQ(ReadSettingFrom(ini, kSettingOfferDate), "");
}

TEST(SettingsFile, UpdateRecordLivesInItsOwnSection) {
    TempFolder folder;
    const std::string ini = folder.File("Orvelle.ini");
    ASSERT_TRUE(WriteSettingTo(ini, kSettingSavedPath, "D:\\data"));
    ASSERT_TRUE(WriteSettingTo(ini, kSettingOfferedVersion, "1.4"));
    ASSERT_TRUE(WriteSettingTo(ini, kSettingOfferDate, "1700000000"));
    EXPECT_EQ(ReadSettingFrom(ini, kSettingSavedPath), "D:\\data");
    EXPECT_EQ(ReadSettingFrom(ini, kSettingOfferedVersion), "1.4");
    EXPECT_EQ(ReadSettingFrom(ini, kSettingOfferDate), "1700000000");
    const std::string text = ReadBytes(ini);
    EXPECT_NE(text.find("[VskSystem]"), std::string::npos) << text;
    EXPECT_LT(text.find("VskVersion=1.4"), text.find("VskChkDate=1700000000")) << text;
}

TEST(SettingsFile, NoPathMeansNoAccess) {
    EXPECT_EQ(ReadSettingFrom("", kSettingSavedPath), "");
    EXPECT_FALSE(WriteSettingTo("", kSettingSavedPath, "D:\\data"));
}

// The file beside the program: a copy of this program, placed in a temporary
// folder, saves and reads the path there.
int RunChild(const char* ansiValue, const char* reportPath) {
    wchar_t value[MAX_PATH] = {};
    if (!MultiByteToWideChar(CP_ACP, MB_ERR_INVALID_CHARS, ansiValue, -1, value, MAX_PATH)) return 3;
    if (!WriteSavedPath(value)) return 2;
    if (std::FILE* report = std::fopen(reportPath, "wb")) {
        const std::string path = GetSettingsFilePath();
        std::fwrite(path.data(), 1, path.size(), report);
        std::fclose(report);
    }
    return ReadSavedPath() == value ? 0 : 1;
}

TEST(SettingsFile, LiesBesideTheRunningProgram) {
    TempFolder folder;
    char own[MAX_PATH] = {};
    GetModuleFileNameA(nullptr, own, MAX_PATH);
    const std::string copy = folder.File("settings_copy.exe");
    ASSERT_TRUE(CopyFileA(own, copy.c_str(), FALSE));

    const std::string value = "D:\\数据\\trailing ";
    const std::string report = folder.File("report.txt");
    std::string commandLine = "\"" + copy + "\" --settings-child \"" + value + "\" \"" + report + "\"";
    std::vector<char> line(commandLine.begin(), commandLine.end());
    line.push_back('\0');
    STARTUPINFOA startup = {};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process = {};
    ASSERT_TRUE(CreateProcessA(copy.c_str(), line.data(), nullptr, nullptr, FALSE, 0, nullptr, folder.Path().c_str(),
                               &startup, &process));
    ASSERT_EQ(WaitForSingleObject(process.hProcess, 30000), WAIT_OBJECT_0);
    DWORD exitCode = 99;
    GetExitCodeProcess(process.hProcess, &exitCode);
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);

    EXPECT_EQ(exitCode, 0u);
    const std::string ini = folder.File("Orvelle.ini");
    EXPECT_EQ(LongForm(ReadBytes(report)), LongForm(ini));
    EXPECT_EQ(ReadSettingFrom(ini, kSettingSavedPath), value);
}

}  // namespace

int main(int argc, char** argv) {
    if (argc == 4 && std::strcmp(argv[1], "--settings-child") == 0) return RunChild(argv[2], argv[3]);
    testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
