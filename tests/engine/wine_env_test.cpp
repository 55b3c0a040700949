#include <gtest/gtest.h>
#include <windows.h>

// The whole program speaks GBK: the test environment must give code page 936.
TEST(WineEnvironment, AnsiCodePageIs936) { EXPECT_EQ(GetACP(), 936u); }
