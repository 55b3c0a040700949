// GetFileVersionText on modules built with known version resources; this
// program itself carries 1.3.0.0, as the shipped one does.
#include <gtest/gtest.h>

#include <windows.h>

#include <string>

#include "VersionText.h"

namespace {

std::string OwnPath() {
    char path[MAX_PATH] = {};
    GetModuleFileNameA(nullptr, path, MAX_PATH);
    return path;
}

std::string BesideMe(const char* name) {
    const std::string own = OwnPath();
    return own.substr(0, own.find_last_of('\\') + 1) + name;
}

struct ProbeCase {
    const char* module;
    const char* expected;
};

const ProbeCase kProbes[] = {
    {"version_probe_1_3_0_0.dll", "1.3"},
    {"version_probe_1_3_0_1.dll", "1.3.0.1"},
    {"version_probe_1_0_2_0.dll", "1.0.2.0"},
    {"version_probe_12_0_0_0.dll", "12.0"},
    {"version_probe_2_10_1_0.dll", "2.10.1.0"},
    {"version_probe_none.dll", ""},  // no version resource
    {"no_such_module.dll", ""},
};

TEST(GetFileVersionText, ReadsTheFileVersionOfAModule) {
    for (const ProbeCase& p : kProbes) {
        const std::string path = BesideMe(p.module);
        EXPECT_EQ(GetFileVersionText(path.c_str()), p.expected) << path;
    }
}

TEST(GetFileVersionText, ReadsTheRunningProgramsOwnVersion) { EXPECT_EQ(GetFileVersionText(OwnPath().c_str()), "1.3"); }

TEST(GetFileVersionText, GivesEmptyForNoPath) {
    EXPECT_EQ(GetFileVersionText(nullptr), "");
    EXPECT_EQ(GetFileVersionText(""), "");
}

}  // namespace
