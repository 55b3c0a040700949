// What a later instance hands the open search window: a WM_COPYDATA whose
// dwData is this tag and whose data is the folder's path in the ANSI code
// page, without a terminator. The window answers TRUE when it took it.
#pragma once

#include <windows.h>

inline constexpr ULONG_PTR kCopyDataSearchPath = 0x4F525631;
