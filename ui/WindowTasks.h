// Work handed from a worker thread to the thread that owns a window. A worker
// queues a task that owns copies of what it needs and goes on at once: it
// never waits on the window, so the window can never wait on it in turn. Only
// the window's thread changes window state and shows boxes.
#pragma once

#include <windows.h>

#include <deque>
#include <functional>

#include "Lock.h"

class WindowTasks {
public:
    explicit WindowTasks(UINT message) : m_message(message) {}
    WindowTasks(const WindowTasks&) = delete;
    WindowTasks& operator=(const WindowTasks&) = delete;

    // The window's thread, once its window exists: tasks queued from now on
    // wake it with the message this object was made with.
    void Attach(HWND window);
    // The window's thread, as its window goes: what is queued and what comes
    // later is dropped, since what the tasks would change is going too.
    void Detach();

    // Any thread. Queues task to run on the window's thread after every task
    // queued before it. False (and task dropped) once detached.
    bool Post(std::function<void()> task);

    // The window's thread, on the message: runs queued tasks in order. It
    // returns after a short slice when more are queued (and wakes itself
    // again), so input and paints come between them.
    void RunPending();

private:
    void WakeLocked();

    const UINT m_message;
    CriticalSection m_lock;
    HWND m_window = nullptr;
    bool m_wakePending = false;
    std::deque<std::function<void()>> m_queue;
};
