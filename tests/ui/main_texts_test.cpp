#include <gtest/gtest.h>

#include "MainTexts.h"
#include "Names.h"

namespace {

TEST(SearchSummary, CountsAndTheTimeRule) {
    struct Case {
        uint32_t ms;
        const char* timeLine;
    } cases[] = {
        {0, "共花时: 0 毫秒"},  {999, "共花时: 999 毫秒"}, {1000, "共花时: 1 秒"},
        {1999, "共花时: 1 秒"}, {3700, "共花时: 3 秒"},    {0xFFFFFFFFu, "共花时: 4294967 秒"},
    };
    for (const Case& c : cases) {
        std::string text = BuildSearchSummary(12, 345, 1, 2, 0, c.ms);
        EXPECT_EQ(text, std::string("搜索完成，共搜索了12个目录和345个文件\r\n找到了畸形目录: 1 个\r\n"
                                    "找到了畸形文件: 2 个\r\n") +
                            c.timeLine)
            << c.ms;
    }
    EXPECT_EQ(BuildSearchSummary(0, 0, 0, 0, 0, 5),
              "搜索完成，共搜索了0个目录和0个文件\r\n找到了畸形目录: 0 个\r\n找到了畸形文件: 0 个\r\n共花时: 5 毫秒");
}

// The list's last column: the verdict first, so that a narrow column still
// shows it, then every reason in the order of the rules.
TEST(WhyListed, TheVerdictThenEveryReason) {
    EXPECT_EQ(BuildWhyListedText(kListedDeviceNameWithExtension, false), "本机无法访问：设备名+扩展名");
    EXPECT_EQ(BuildWhyListedText(kListedDeviceName, true), "本机可正常访问：设备名");
    EXPECT_EQ(BuildWhyListedText(kListedHidden | kListedTrailingBlank | kListedReadOnly, false),
              "本机无法访问：末尾是空格、只读、隐藏");
    EXPECT_EQ(BuildWhyListedText(kListedRefusedCharacter | kListedSystem | kListedTrailingDot, false),
              "本机无法访问：末尾是点、含非法字符、系统");
    EXPECT_EQ(BuildWhyListedText(0, false), "");
}

TEST(SearchSummary, WhatCouldNotBeSearchedFollowsTheCounts) {
    EXPECT_EQ(BuildSearchSummary(4, 9, 0, 1, 3, 1500),
              "搜索完成，共搜索了4个目录和9个文件\r\n找到了畸形目录: 0 个\r\n找到了畸形文件: 1 个\r\n"
              "未能搜索: 3 个目录或文件（无法访问或路径过长）\r\n共花时: 1 秒");
}

TEST(SearchSummary, AStoppedSearchSaysSoAndKeepsItsCounts) {
    EXPECT_EQ(
        BuildSearchSummary(4, 9, 0, 1, 0, 20, SearchEnd::Stopped),
        "搜索已停止，共搜索了4个目录和9个文件\r\n找到了畸形目录: 0 个\r\n找到了畸形文件: 1 个\r\n共花时: 20 毫秒");
}

TEST(WindowTitles, RestAndProgress) {
    EXPECT_EQ(BuildWindowTitle("Voskar·Orvelle", "1.3", "www.example"), "Voskar·Orvelle[Ver1.3] - www.example");
    EXPECT_EQ(BuildProgressTitle("T", 12, 345), "T-已搜索个12目录和345文件...");
    EXPECT_EQ(BuildDeleteSummary(2, 1), "删除完毕，删除成功 2 个，删除失败 1 个。");
    // A stopped deletion also says how many rows it left untried.
    EXPECT_EQ(BuildDeleteSummary(2, 1, true, 4), "删除已停止，删除成功 2 个，删除失败 1 个。\r\n未删除 4 个。");
}

}  // namespace
