#include <gtest/gtest.h>

#include "VersionText.h"

namespace {

struct VersionCase {
    uint32_t ms, ls;
    const char* expected;
};

const VersionCase kVersions[] = {
    {0x00010003, 0x00000000, "1.3"},     {0x00010003, 0x00000001, "1.3.0.1"},
    {0x00010003, 0x00000007, "1.3.0.7"}, {0x00010000, 0x00020000, "1.0.2.0"},
    {0x000C0000, 0x00000000, "12.0"},    {0x0002000A, 0x00010000, "2.10.1.0"},
    {0x00000000, 0x00000000, "0.0"},     {0xFFFFFFFF, 0xFFFFFFFF, "65535.65535.65535.65535"},
};

TEST(FormatFileVersion, ShortFormUnlessBuildOrRevisionIsSet) {
    for (const VersionCase& v : kVersions)
        EXPECT_EQ(FormatFileVersion(v.ms, v.ls), v.expected) << std::hex << v.ms << " " << v.ls;
}

}  // namespace
