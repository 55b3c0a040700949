#include <gtest/gtest.h>

#include <windows.h>

#include <cstring>
#include <string>

#include "SFMServer.h"
#include "TestNames.h"

namespace {

TEST(CSFMServer, ConstructionOpensTheDefaultBlock) {
    CSFMServer sfm;
    EXPECT_TRUE(sfm.IsOpen());
    EXPECT_STREQ(sfm.GetMapName(), "VSK_70041");
    EXPECT_EQ(sfm.GetSize(), 65536u);
    EXPECT_EQ(sfm.GetFile(), INVALID_HANDLE_VALUE);
    EXPECT_EQ(sfm.GetFileName(), nullptr);
    ASSERT_NE(sfm.GetBuffer(), nullptr);
    sfm.GetBuffer()[65535] = 'x';  // the whole size is mapped
}

TEST(CSFMServer, TwoOpensOfOneNameShareTheBlock) {
    const std::string name = UniqueTestName("shared");
    CSFMServer writer, reader;
    writer.Open(nullptr, name.c_str(), 1);
    reader.Open(nullptr, name.c_str(), 1);
    ASSERT_NE(writer.GetBuffer(), nullptr);
    ASSERT_NE(reader.GetBuffer(), nullptr);
    EXPECT_NE(writer.GetBuffer(), reader.GetBuffer());  // two views of one block
    EXPECT_EQ(reader.GetBuffer()[0], '\0');             // a new block is zeroed

    // A 1-byte block has a whole page of room.
    std::memset(writer.GetBuffer(), 'a', 4095);
    writer.GetBuffer()[4095] = '\0';
    EXPECT_EQ(std::strlen(reader.GetBuffer()), 4095u);

    // The block outlives one of its holders.
    writer.Close();
    EXPECT_EQ(std::strlen(reader.GetBuffer()), 4095u);
    CSFMServer third;
    third.Open(nullptr, name.c_str(), 1);
    ASSERT_NE(third.GetBuffer(), nullptr);
    EXPECT_EQ(third.GetBuffer()[0], 'a');
}

TEST(CSFMServer, ABlockNobodyHoldsIsGone) {
    const std::string name = UniqueTestName("gone");
    {
        CSFMServer first;
        first.Open(nullptr, name.c_str(), 1);
        ASSERT_NE(first.GetBuffer(), nullptr);
        first.GetBuffer()[0] = 'z';
    }
    CSFMServer again;
    again.Open(nullptr, name.c_str(), 1);
    ASSERT_NE(again.GetBuffer(), nullptr);
    EXPECT_EQ(again.GetBuffer()[0], '\0');
}

TEST(CSFMServer, CloseResetsEveryField) {
    CSFMServer sfm;
    sfm.Close();
    EXPECT_FALSE(sfm.IsOpen());
    EXPECT_EQ(sfm.GetBuffer(), nullptr);
    EXPECT_EQ(sfm.GetMapping(), nullptr);
    EXPECT_EQ(sfm.GetFile(), nullptr);
    EXPECT_EQ(sfm.GetMapName(), nullptr);
    EXPECT_EQ(sfm.GetFileName(), nullptr);
    EXPECT_EQ(sfm.GetSize(), 0u);
    sfm.Close();  // twice is harmless
    EXPECT_FALSE(sfm.IsOpen());
}

TEST(CSFMServer, OpenReplacesWhatWasOpenAndKeepsItsOwnCopies) {
    CSFMServer sfm;
    char name[64];
    std::strcpy(name, UniqueTestName("copy").c_str());
    const std::string expected = name;
    sfm.Open(nullptr, name, 0);
    name[0] = '#';
    EXPECT_EQ(std::string(sfm.GetMapName()), expected);
    EXPECT_EQ(sfm.GetSize(), 65536u);  // 0 means the default size
    EXPECT_NE(sfm.GetBuffer(), nullptr);

    sfm.Open(nullptr, nullptr, 8);
    EXPECT_STREQ(sfm.GetMapName(), "VSK_70041");
    EXPECT_EQ(sfm.GetSize(), 8u);
}

TEST(CSFMServer, BacksTheBlockWithAFileWhenNamed) {
    char folder[MAX_PATH] = {};
    GetTempPathA(MAX_PATH, folder);
    const std::string file = std::string(folder) + UniqueTestName("file") + ".bin";
    {
        CSFMServer sfm;
        sfm.Open(file.c_str(), UniqueTestName("filemap").c_str(), 16);
        ASSERT_NE(sfm.GetBuffer(), nullptr);
        EXPECT_STREQ(sfm.GetFileName(), file.c_str());
        EXPECT_NE(sfm.GetFile(), INVALID_HANDLE_VALUE);
        std::memcpy(sfm.GetBuffer(), "held in a file", 15);
    }
    char bytes[32] = {};
    DWORD got = 0;
    const HANDLE h = CreateFileA(file.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(h, INVALID_HANDLE_VALUE);
    ReadFile(h, bytes, sizeof bytes, &got, nullptr);
    CloseHandle(h);
    DeleteFileA(file.c_str());
    EXPECT_EQ(got, 16u);
    EXPECT_STREQ(bytes, "held in a file");
}

TEST(CSFMServer, AFileThatCannotBeOpenedGivesNoBlockNotThePagingFile) {
    char folder[MAX_PATH] = {};
    GetTempPathA(MAX_PATH, folder);
    const std::string file = std::string(folder) + UniqueTestName("missing") + "\\block.bin";
    CSFMServer sfm;
    sfm.Open(file.c_str(), UniqueTestName("nofile").c_str(), 16);
    EXPECT_TRUE(sfm.IsOpen());
    EXPECT_EQ(sfm.GetMapping(), nullptr);
    EXPECT_EQ(sfm.GetBuffer(), nullptr);
}

}  // namespace
