// Instances started together, as the Explorer menu starts them for a multiple
// selection: exactly one collects, and it gets every path once and whole.
#include <gtest/gtest.h>

#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "CommandLineStep.h"
#include "HandOver.h"
#include "TestNames.h"

namespace {

constexpr DWORD kRunTimeoutMs = 60000;

std::string BesideMe(const char* name) {
    char own[MAX_PATH] = {};
    GetModuleFileNameA(nullptr, own, MAX_PATH);
    std::string path = own;
    return path.substr(0, path.find_last_of('\\') + 1) + name;
}

std::string TempFile(const std::string& name) {
    char folder[MAX_PATH] = {};
    GetTempPathA(MAX_PATH, folder);
    return std::string(folder) + name;
}

struct Instance {
    PROCESS_INFORMATION process = {};
    std::string outputFile;
    DWORD exitCode = 99;
    std::vector<std::string> lines;
};

// Starts the driver suspended, its standard output going to a file of its own.
bool Launch(const std::string& argument, bool withArgument, Instance& instance) {
    static int counter = 0;
    instance.outputFile = TempFile(UniqueTestName("out") + "_" + std::to_string(++counter) + ".txt");
    SECURITY_ATTRIBUTES inherit = {sizeof inherit, nullptr, TRUE};
    const HANDLE out = CreateFileA(instance.outputFile.c_str(), GENERIC_WRITE, FILE_SHARE_READ, &inherit, CREATE_ALWAYS,
                                   FILE_ATTRIBUTE_NORMAL, nullptr);
    if (out == INVALID_HANDLE_VALUE) return false;
    const std::string driver = BesideMe("handover_driver.exe");
    std::string commandLine = "\"" + driver + "\"";
    if (withArgument) commandLine += " \"" + argument + "\"";
    std::vector<char> line(commandLine.begin(), commandLine.end());
    line.push_back('\0');
    STARTUPINFOA startup = {};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdInput = nullptr;
    startup.hStdOutput = out;
    startup.hStdError = out;
    const BOOL started = CreateProcessA(driver.c_str(), line.data(), nullptr, nullptr, TRUE, CREATE_SUSPENDED, nullptr,
                                        nullptr, &startup, &instance.process);
    CloseHandle(out);
    return started != FALSE;
}

std::vector<std::string> ReadLines(const std::string& path) {
    std::vector<std::string> lines;
    std::string text;
    if (std::FILE* file = std::fopen(path.c_str(), "rb")) {
        char chunk[4096];
        size_t got;
        while ((got = std::fread(chunk, 1, sizeof chunk, file)) > 0) text.append(chunk, got);
        std::fclose(file);
    }
    size_t start = 0;
    for (size_t end; (end = text.find('\n', start)) != std::string::npos; start = end + 1)
        lines.push_back(text.substr(start, end - start));
    return lines;
}

// The paths in the hand-over block of appId, in the order they came, without
// the kind letter of each item, in the ANSI code page as the arguments are.
std::vector<std::string> HandedPaths(const std::string& appId) {
    std::vector<std::string> paths;
    const HANDLE mapping = OpenFileMappingA(FILE_MAP_READ, FALSE, HandOverBlockName(appId).c_str());
    if (!mapping) return paths;
    const auto* view = static_cast<const char16_t*>(MapViewOfFile(mapping, FILE_MAP_READ, 0, 0, 0));
    if (view) {
        for (const std::u16string& item : SplitHandOverText({view, HandOverTextLength(view, kHandOverUnits)})) {
            const std::wstring path(item.begin() + (item.empty() ? 0 : 1), item.end());
            std::string ansi(path.size() * 2, '\0');
            ansi.resize(
                static_cast<size_t>(WideCharToMultiByte(CP_ACP, 0, path.data(), static_cast<int>(path.size()), &ansi[0],
                                                        static_cast<int>(ansi.size()), nullptr, nullptr)));
            paths.push_back(ansi);
        }
        UnmapViewOfFile(view);
    }
    CloseHandle(mapping);
    return paths;
}

// Suspends the thread at a moment it does not hold the hand-over lock.
bool SuspendOutsideTheLock(HANDLE thread, const std::string& appId) {
    const HANDLE lock = OpenMutexA(SYNCHRONIZE, FALSE, HandOverLockName(appId).c_str());
    if (!lock) return false;
    bool held = false;
    for (int attempt = 0; attempt < 1000 && !held; ++attempt) {
        if (SuspendThread(thread) == static_cast<DWORD>(-1)) break;
        const DWORD wait = WaitForSingleObject(lock, 0);
        if (wait == WAIT_OBJECT_0 || wait == WAIT_ABANDONED) {
            ReleaseMutex(lock);
            held = true;
        } else {
            ResumeThread(thread);  // it holds the lock for a moment: let it finish
            Sleep(1);
        }
    }
    CloseHandle(lock);
    return held;
}

// Instances released together must all hand over within one quiet period of
// the first, which a busy machine does not promise. So the instance that
// claims the block is held until every other path has arrived: its wait then
// ends as it would on an idle machine.
void HoldCollectorUntilAllArrived(std::vector<Instance>& instances, const std::vector<std::string>& arguments,
                                  const std::string& appId) {
    std::vector<std::string> handed;
    const DWORD start = GetTickCount();
    while ((handed = HandedPaths(appId)).empty() && GetTickCount() - start < kRunTimeoutMs) Sleep(5);
    if (handed.empty()) return;  // the waits below report what became of them
    HANDLE collector = nullptr;
    for (size_t i = 0; i < arguments.size(); ++i)
        if (arguments[i].substr(3) == handed[0]) collector = instances[i].process.hThread;
    if (!collector || !SuspendOutsideTheLock(collector, appId)) {
        ADD_FAILURE() << "the instance that claimed the block could not be held";
        return;
    }
    while (HandedPaths(appId).size() < arguments.size() && GetTickCount() - start < kRunTimeoutMs) Sleep(5);
    ResumeThread(collector);
}

// Starts one instance per argument, all released at once, and waits for all.
std::vector<Instance> RunTogether(const std::vector<std::string>& arguments, bool withArgument = true) {
    std::vector<Instance> instances(arguments.size());
    for (size_t i = 0; i < arguments.size(); ++i) {
        if (!Launch(arguments[i], withArgument, instances[i])) {
            ADD_FAILURE() << "cannot start the driver for " << arguments[i];
            instances.resize(i);
            break;
        }
    }
    for (Instance& instance : instances) ResumeThread(instance.process.hThread);
    char appId[256] = {};
    if (withArgument && instances.size() > 1 &&
        GetEnvironmentVariableA("ORVELLE_HANDOVER_TEST_ID", appId, sizeof appId) > 0)
        HoldCollectorUntilAllArrived(instances, arguments, appId);
    for (Instance& instance : instances) {
        EXPECT_EQ(WaitForSingleObject(instance.process.hProcess, kRunTimeoutMs), WAIT_OBJECT_0);
        GetExitCodeProcess(instance.process.hProcess, &instance.exitCode);
        CloseHandle(instance.process.hThread);
        CloseHandle(instance.process.hProcess);
        instance.lines = ReadLines(instance.outputFile);
        DeleteFileA(instance.outputFile.c_str());
    }
    return instances;
}

class HandOverAcrossProcesses : public testing::Test {
protected:
    void SetUp() override { UseFreshBlock(); }
    // The drivers started from now on use a block of their own.
    void UseFreshBlock() {
        m_appId = UniqueTestName("proc");
        SetEnvironmentVariableA("ORVELLE_HANDOVER_TEST_ID", m_appId.c_str());
    }
    std::string m_appId;
};

TEST_F(HandOverAcrossProcesses, DeleteRequestsStartedTogetherAreHandledOnceByOne) {
    std::vector<std::string> paths = {
        "D:\\one",
        "D:\\二\\奬状",
        "E:\\blank at the end ",
        "F:\\" + std::string(600, 'a'),
        "G:\\" + std::string(600, 'b'),
        "H:\\" + std::string(600, 'c'),
        "I:\\dot.",
    };
    for (int round = 0; round < 2; ++round) {
        SCOPED_TRACE("round " + std::to_string(round));
        UseFreshBlock();
        std::vector<std::string> arguments;
        for (const std::string& path : paths) arguments.push_back("-d:" + path);
        const std::vector<Instance> instances = RunTogether(arguments);
        ASSERT_EQ(instances.size(), paths.size());

        int collectors = 0;
        for (size_t i = 0; i < instances.size(); ++i) {
            const Instance& instance = instances[i];
            EXPECT_EQ(instance.exitCode, 0u);
            if (instance.lines.empty()) continue;  // handed its path over
            ++collectors;
            ASSERT_GE(instance.lines.size(), 2u);
            EXPECT_EQ(instance.lines.front(), "BOX 确认删除选中的文件夹？");
            EXPECT_EQ(instance.lines.back(), "BOX 删除成功！");
            std::vector<std::string> deleted;
            for (size_t k = 1; k + 1 < instance.lines.size(); ++k) {
                ASSERT_EQ(instance.lines[k].rfind("DELETE ", 0), 0u) << instance.lines[k];
                deleted.push_back(instance.lines[k].substr(7));
            }
            ASSERT_FALSE(deleted.empty());
            EXPECT_EQ(deleted.front(), paths[i]);  // its own path comes first
            std::vector<std::string> sortedDeleted = deleted, sortedPaths = paths;
            std::sort(sortedDeleted.begin(), sortedDeleted.end());
            std::sort(sortedPaths.begin(), sortedPaths.end());
            EXPECT_EQ(sortedDeleted, sortedPaths);  // every path once, none torn
        }
        EXPECT_EQ(collectors, 1);
    }
}

TEST_F(HandOverAcrossProcesses, SearchRequestsStartedTogetherOpenOneWindowWithItsOwnPath) {
    const std::vector<std::string> paths = {"D:\\alpha", "D:\\beta", "D:\\gamma"};
    std::vector<std::string> arguments;
    for (const std::string& path : paths) arguments.push_back("-p:" + path);
    const std::vector<Instance> instances = RunTogether(arguments);
    ASSERT_EQ(instances.size(), paths.size());
    int windows = 0;
    for (size_t i = 0; i < instances.size(); ++i) {
        EXPECT_EQ(instances[i].exitCode, 0u);
        if (instances[i].lines.empty()) continue;
        ++windows;
        EXPECT_EQ(instances[i].lines, std::vector<std::string>{"WINDOW 1 " + paths[i]});
    }
    EXPECT_EQ(windows, 1);
}

TEST_F(HandOverAcrossProcesses, AnOverLongPathIsRefusedAndNothingIsWritten) {
    CSFMServer held;  // plays an instance collecting deletions
    held.Open(nullptr, HandOverBlockName(m_appId).c_str(), 1);
    ASSERT_NE(held.GetBuffer(), nullptr);
    auto* units = reinterpret_cast<char16_t*>(held.GetBuffer());
    const std::u16string text = u"DC:\\held";
    std::copy(text.begin(), text.end() + 1, units);
    auto heldText = [&] { return std::u16string(units, HandOverTextLength(units, kHandOverUnits)); };

    // Past the block's 2048 units, though not past its 4096 bytes.
    const std::vector<Instance> refused = RunTogether({"-d:D:\\" + std::string(2100, 'x')});
    ASSERT_EQ(refused.size(), 1u);
    EXPECT_EQ(refused[0].exitCode, 0u);
    EXPECT_TRUE(refused[0].lines.empty());
    EXPECT_EQ(heldText(), u"DC:\\held");

    const std::vector<Instance> accepted = RunTogether({"-d:D:\\ok"});
    ASSERT_EQ(accepted.size(), 1u);
    EXPECT_EQ(accepted[0].exitCode, 0u);
    EXPECT_TRUE(accepted[0].lines.empty());
    EXPECT_EQ(heldText(), u"DC:\\held\rDD:\\ok");
}

TEST_F(HandOverAcrossProcesses, NoOrShortArgumentOpensTheWindowAtOnce) {
    const std::vector<Instance> none = RunTogether({""}, false);
    ASSERT_EQ(none.size(), 1u);
    EXPECT_EQ(none[0].lines, std::vector<std::string>{"WINDOW 0 "});
    const std::vector<Instance> shortOne = RunTogether({"-d:"});
    ASSERT_EQ(shortOne.size(), 1u);
    EXPECT_EQ(shortOne[0].lines, std::vector<std::string>{"WINDOW 1 "});
}

}  // namespace
