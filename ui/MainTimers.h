// The main window's two timers: their ids and periods, in one place.
#pragma once

#include <windows.h>

// Rotates the announcements, or retries the feed while there are none.
inline constexpr UINT_PTR kTimerAnnouncements = 0;
inline constexpr UINT kAnnouncementMs = 5000;
inline constexpr UINT kAnnouncementRetryMs = 300000;

// Shows a running search's progress in the window title.
inline constexpr UINT_PTR kTimerProgress = 1;
inline constexpr UINT kProgressMs = 500;
