#include "WindowTasks.h"

namespace {

// How long one wake-up runs tasks before the window's other messages come.
constexpr DWORD kSliceMs = 30;

}  // namespace

void WindowTasks::Attach(HWND window) {
    LockScope held(m_lock);
    m_window = window;
    if (!m_queue.empty()) WakeLocked();
}

void WindowTasks::Detach() {
    std::deque<std::function<void()>> dropped;
    {
        LockScope held(m_lock);
        m_window = nullptr;
        m_wakePending = false;
        dropped.swap(m_queue);
    }
    // Destroyed outside the lock: a task's copies may be large.
}

bool WindowTasks::Post(std::function<void()> task) {
    LockScope held(m_lock);
    if (!m_window) return false;
    m_queue.push_back(std::move(task));
    WakeLocked();
    return true;
}

void WindowTasks::WakeLocked() {
    if (m_wakePending || !m_window) return;
    m_wakePending = PostMessageA(m_window, m_message, 0, 0) != FALSE;
}

void WindowTasks::RunPending() {
    {
        LockScope held(m_lock);
        m_wakePending = false;
    }
    const DWORD start = GetTickCount();
    // One at a time from the front: a task that shows a box runs the tasks
    // queued after it from the box's own loop, still in their order.
    for (;;) {
        std::function<void()> task;
        {
            LockScope held(m_lock);
            if (m_queue.empty()) return;
            if (GetTickCount() - start >= kSliceMs) {
                WakeLocked();
                return;
            }
            task = std::move(m_queue.front());
            m_queue.pop_front();
        }
        task();
    }
}
