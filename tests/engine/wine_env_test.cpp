#include <gtest/gtest.h>
#include <windows.h>

// The whole program speaks GBK: the test environment must give code page 936.
TEST(WineEnvironment, AnsiCodePageIs936) { EXPECT_EQ(GetACP(), 936u); }

#include "CodePage.h"

// The engine cuts paths by the code page the process really runs under.
TEST(WineEnvironment, ActiveCodePageIsTheSystemsOwn) {
    EXPECT_EQ(ActiveCodePage().Number(), GetACP());
    for (unsigned c = 0; c < 256; ++c)
        EXPECT_EQ(IsAnsiLeadByte(static_cast<unsigned char>(c)), IsDBCSLeadByte(static_cast<BYTE>(c)) != FALSE) << c;
}
