// What a later instance hands the open search window: a WM_COPYDATA whose
// dwData is one of these tags and whose data is the folder's path without a
// terminator. The window answers TRUE when it took it.
#pragma once

#include <windows.h>

// The path in UTF-16 units, exactly as the later instance's command line gave it.
inline constexpr ULONG_PTR kCopyDataSearchPathW = 0x4F525657;
// The path in the ANSI code page, as earlier versions send it.
inline constexpr ULONG_PTR kCopyDataSearchPath = 0x4F525631;
