// Names of kernel objects that no other run of the tests (nor the real
// program) uses.
#pragma once

#include <windows.h>

#include <cstdio>
#include <string>

inline std::string UniqueTestName(const char* what) {
    static int counter = 0;
    char name[96];
    std::snprintf(name, sizeof name, "OrvelleTest_%s_%lu_%lu_%d", what, GetCurrentProcessId(), GetTickCount(),
                  ++counter);
    return name;
}
