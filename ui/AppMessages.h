// Every private message of the program's windows, numbered from WM_APP.
#pragma once

#include <windows.h>

#include <functional>

enum AppMessage : UINT {
    // lParam: a std::function<void()>* that the window's thread runs; sent,
    // so the sender waits until it has run. Only for code that drives the
    // window from outside and must see the result (tests); the program's own
    // workers post their tasks (WindowTasks) and never wait on the window.
    WM_APP_RUN_TASK = WM_APP + 1,
    // Posted by WindowTasks: tasks are queued for the window's thread.
    WM_APP_TASKS = WM_APP + 2,
};

// Runs task on the thread that owns window and returns after it ran. False
// when the window is gone and nothing ran.
inline bool RunOnWindowThread(HWND window, const std::function<void()>& task) {
    if (!IsWindow(window)) return false;
    return SendMessageA(window, WM_APP_RUN_TASK, 0, reinterpret_cast<LPARAM>(&task)) != 0;
}

// The window procedure's half: runs the task and answers 1.
inline LRESULT RunSentTask(LPARAM lParam) {
    (*reinterpret_cast<const std::function<void()>*>(lParam))();
    return 1;
}
