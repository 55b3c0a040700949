// Sees the window timers a program arms: the main module's import of
// user32!SetTimer is pointed at a recorder that passes every call on.
// The system has no way to ask a window which timers it has, and the
// announcement timer's period is what the tests want to know.
#pragma once

#include <windows.h>

#include <vector>

struct TimerCall {
    HWND window;
    UINT_PTR id;
    UINT periodMs;
};

// Puts the recorder into the import table of `module` (the program when
// null). True when it is in place, also when it was already.
bool InstallTimerSpy(HMODULE module = nullptr);

// The calls recorded so far, oldest first, and their clearing.
std::vector<TimerCall> RecordedTimerCalls();
void ClearRecordedTimerCalls();

// The period of the last SetTimer call for (window, id); 0 when none.
UINT LastTimerPeriod(HWND window, UINT_PTR id);
