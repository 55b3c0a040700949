// The Explorer verbs in the test prefix's registry, under an identifier of the
// tests' own; every key the tests touch is put back as it was.
#include <gtest/gtest.h>

#include <windows.h>
#include <shellapi.h>

#include <string>
#include <vector>

#include "ExplorerMenu.h"
#include "ExplorerVerbs.h"
#include "VerbRegistry.h"

namespace {

const char kTestId[] = "OrvelleTestVerbs";

TEST(ExplorerVerbKeys, SixKeysWithTheirValues) {
    const std::wstring exe = L"C:\\Program Files\\Orvelle 1.3\\Orvelle.exe";
    const std::vector<VerbKeyValue> expected = {
        {"Folder\\shell\\VskOrvelle", L"使用[Voskar]搜索Orvelle(&F)"},
        {"Folder\\shell\\VskOrvelle\\command", L"\"" + exe + L"\" \"-p:%L\""},
        {"Folder\\shell\\VskOrvelle_del", L"使用[Voskar]删除(&K)"},
        {"Folder\\shell\\VskOrvelle_del\\command", L"\"" + exe + L"\" \"-d:%L\""},
        {"*\\shell\\ZVskOrvelle_del", L"使用[Voskar]删除(&K)"},
        {"*\\shell\\ZVskOrvelle_del\\command", L"\"" + exe + L"\" \"-d:%L\""},
    };
    const std::vector<VerbKeyValue> keys = ExplorerVerbKeys("VskOrvelle", exe);
    ASSERT_EQ(keys.size(), expected.size());
    for (size_t i = 0; i < keys.size(); ++i) {
        EXPECT_EQ(keys[i].keyPath, expected[i].keyPath) << i;
        EXPECT_EQ(keys[i].value, expected[i].value) << i;
    }
    EXPECT_EQ(ExplorerPresenceKey("VskOrvelle"), "Folder\\shell\\VskOrvelle");
    EXPECT_STREQ(ExplorerMenuLabel(true), "从右键脱离(&T)");
    EXPECT_STREQ(ExplorerMenuLabel(false), "添加到右键(&T)");
}

std::wstring Wide(const std::string& text) {
    const int size = MultiByteToWideChar(CP_ACP, 0, text.c_str(), -1, nullptr, 0);
    std::wstring wide(size > 0 ? size : 1, L'\0');
    MultiByteToWideChar(CP_ACP, 0, text.c_str(), -1, &wide[0], size);
    return wide.c_str();
}

// The arguments of a command line as Windows splits it.
std::vector<std::wstring> SplitLikeWindows(const std::wstring& commandLine) {
    int argc = 0;
    LPWSTR* argv = CommandLineToArgvW(commandLine.c_str(), &argc);
    std::vector<std::wstring> args;
    if (!argv) return args;
    for (int i = 0; i < argc; ++i) args.push_back(argv[i]);
    LocalFree(argv);
    return args;
}

// Wine quotes an unquoted program path when it starts a command line, so
// only the split the way Windows makes it shows what the shell would run.
TEST(ExplorerVerbKeys, EachCommandSplitsIntoTheProgramAndOneRequest) {
    const wchar_t* const programs[] = {
        L"C:\\Program Files\\Orvelle 1.3\\Orvelle.exe",
        L"C:\\Orvelle\\Orvelle.exe",
        L"D:\\绿色 工具\\Orvelle.exe",
        // Outside every ANSI code page.
        L"E:\\\U0001F600 \uAC00\\Orvelle.exe",
    };
    const char* const clicked[] = {"D:\\my data\\dir.", "E:\\照片 2026\\con.txt", "F:\\a  b \\c"};
    for (const wchar_t* exe : programs) {
        const std::vector<VerbKeyValue> keys = ExplorerVerbKeys("VskOrvelle", exe);
        for (size_t i = 1; i < keys.size(); i += 2) {
            const std::string prefix = i == 1 ? "-p:" : "-d:";
            for (const char* item : clicked) {
                std::wstring line = keys[i].value;
                const size_t at = line.find(L"%L");
                ASSERT_NE(at, std::wstring::npos);
                line.replace(at, 2, Wide(item));
                const std::vector<std::wstring> args = SplitLikeWindows(line);
                ASSERT_EQ(args.size(), 2u) << item;
                EXPECT_EQ(args[0], exe) << item;
                EXPECT_EQ(args[1], Wide(prefix + item)) << item;
            }
        }
    }
}

std::wstring ModuleFileName() {
    wchar_t path[MAX_PATH] = {};
    GetModuleFileNameW(nullptr, path, MAX_PATH);
    return path;
}

TEST(ExplorerMenu, AddWritesTheSixKeysAndRemoveTakesThemAway) {
    VerbRegistryGuard guard(kTestId);
    // Another program's verb beside ours must survive both.
    const std::string neighbour = "Folder\\shell\\OrvelleTestNeighbour";
    WriteClassesKey(neighbour, "neighbour");

    ASSERT_FALSE(IsExplorerMenuPresent(kTestId));
    const std::wstring exe = L"C:\\Program Files\\\uAC00 Orvelle 1.3\\Orvelle.exe";
    EXPECT_TRUE(AddExplorerMenu(kTestId, exe));
    EXPECT_TRUE(IsExplorerMenuPresent(kTestId));
    const std::vector<VerbKeyValue> wanted = ExplorerVerbKeys(kTestId, exe);
    const std::vector<KeyState> now = guard.Now();
    for (size_t i = 0; i < wanted.size(); ++i) {
        EXPECT_TRUE(now[i].exists) << wanted[i].keyPath;
        EXPECT_EQ(now[i].wideValue, wanted[i].value) << wanted[i].keyPath;
    }
    EXPECT_EQ(ReadClassesKey("Folder\\shell\\" + std::string(kTestId) + "\\command").wideValue,
              L"\"C:\\Program Files\\\uAC00 Orvelle 1.3\\Orvelle.exe\" \"-p:%L\"");
    // Explorer shows the labels as the program's Chinese whatever the code page.
    EXPECT_EQ(ReadClassesKey("Folder\\shell\\" + std::string(kTestId)).wideValue, L"使用[Voskar]搜索Orvelle(&F)");

    EXPECT_TRUE(RemoveExplorerMenu(kTestId));
    EXPECT_FALSE(IsExplorerMenuPresent(kTestId));
    for (const KeyState& k : guard.Now()) EXPECT_FALSE(k.exists);
    EXPECT_TRUE(ReadClassesKey("Folder\\shell").exists);
    EXPECT_TRUE(ReadClassesKey("*\\shell").exists);
    EXPECT_EQ(ReadClassesKey(neighbour).value, "neighbour");
    DeleteClassesTree(neighbour);
}

TEST(ExplorerMenu, OnlyTheFolderSearchKeyDecidesPresence) {
    VerbRegistryGuard guard(kTestId);
    const std::wstring exe = ModuleFileName();
    const std::vector<VerbKeyValue> keys = ExplorerVerbKeys(kTestId, exe);

    // The search key alone: present; a removal takes whatever exists.
    WriteClassesKey(keys[0].keyPath, "stale");
    EXPECT_TRUE(IsExplorerMenuPresent(kTestId));
    EXPECT_TRUE(RemoveExplorerMenu(kTestId));
    EXPECT_FALSE(IsExplorerMenuPresent(kTestId));

    // Everything but the search key: absent, and adding writes all six again.
    WriteClassesKey(keys[2].keyPath, "old");
    WriteClassesKey(keys[4].keyPath, "old");
    WriteClassesKey(keys[5].keyPath, "D:\\moved\\Orvelle.exe \"-d:%L\"");
    EXPECT_FALSE(IsExplorerMenuPresent(kTestId));
    EXPECT_TRUE(AddExplorerMenu(kTestId, exe));
    const std::vector<KeyState> now = guard.Now();
    for (size_t i = 0; i < keys.size(); ++i) EXPECT_EQ(now[i].wideValue, keys[i].value) << keys[i].keyPath;

    // A registration whose executable moved still counts as present.
    WriteClassesKey(keys[1].keyPath, "D:\\moved\\Orvelle.exe \"-p:%L\"");
    EXPECT_TRUE(IsExplorerMenuPresent(kTestId));
}

TEST(ExplorerMenu, AnEmptyIdentifierTouchesNothing) {
    VerbRegistryGuard guard(kTestId);
    // "Folder\shell" exists with a verb in it, as on every Windows.
    const std::string neighbour = "Folder\\shell\\OrvelleTestNeighbour";
    WriteClassesKey(neighbour, "neighbour");
    const KeyState folderShell = ReadClassesKey("Folder\\shell");
    ASSERT_TRUE(folderShell.exists);

    EXPECT_FALSE(IsExplorerMenuPresent(""));
    EXPECT_FALSE(AddExplorerMenu("", L"C:\\x.exe"));
    EXPECT_EQ(ReadClassesKey("Folder\\shell").value, folderShell.value);
    EXPECT_FALSE(ReadClassesKey("Folder\\shell\\command").exists);
    EXPECT_FALSE(RemoveExplorerMenu(""));
    EXPECT_EQ(ReadClassesKey(neighbour).value, "neighbour");
    DeleteClassesTree(neighbour);
}

TEST(ExplorerMenu, TheExecutablePathIsTheModulePath) {
    EXPECT_EQ(ExecutablePathForVerbs(), ModuleFileName());
    EXPECT_FALSE(ExecutablePathForVerbs().empty());
}

}  // namespace
