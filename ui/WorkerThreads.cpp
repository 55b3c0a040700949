#include "WorkerThreads.h"

WorkerThreads::WorkerThreads() { InitializeCriticalSection(&m_lock); }

WorkerThreads::~WorkerThreads() {
    for (HANDLE h : m_threads) CloseHandle(h);
    DeleteCriticalSection(&m_lock);
}

void WorkerThreads::CloseEnded() {
    for (size_t i = 0; i < m_threads.size();) {
        if (WaitForSingleObject(m_threads[i], 0) == WAIT_OBJECT_0) {
            CloseHandle(m_threads[i]);
            m_threads.erase(m_threads.begin() + static_cast<long>(i));
        } else {
            ++i;
        }
    }
}

HANDLE WorkerThreads::Start(LPTHREAD_START_ROUTINE routine, void* argument) {
    EnterCriticalSection(&m_lock);
    CloseEnded();
    DWORD id = 0;
    HANDLE h = CreateThread(nullptr, 0, routine, argument, 0, &id);
    if (h) m_threads.push_back(h);
    LeaveCriticalSection(&m_lock);
    return h;
}

int WorkerThreads::Running() {
    EnterCriticalSection(&m_lock);
    CloseEnded();
    int n = static_cast<int>(m_threads.size());
    LeaveCriticalSection(&m_lock);
    return n;
}

bool WorkerThreads::WaitAll(DWORD timeoutMs) {
    DWORD start = GetTickCount();
    for (;;) {
        EnterCriticalSection(&m_lock);
        CloseEnded();
        std::vector<HANDLE> running = m_threads;
        LeaveCriticalSection(&m_lock);
        if (running.empty()) return true;
        DWORD spent = GetTickCount() - start;
        if (timeoutMs != INFINITE && spent >= timeoutMs) return false;
        // At most MAXIMUM_WAIT_OBJECTS - 1 handles per wait; the loop comes back for the rest.
        DWORD count = static_cast<DWORD>(running.size() < MAXIMUM_WAIT_OBJECTS - 1 ? running.size()
                                                                                   : MAXIMUM_WAIT_OBJECTS - 1);
        DWORD r = MsgWaitForMultipleObjects(count, running.data(), FALSE,
                                            timeoutMs == INFINITE ? INFINITE : timeoutMs - spent, QS_SENDMESSAGE);
        // A handle that cannot be waited on would fail the same wait again at once.
        if (r == WAIT_FAILED) return false;
        if (r == WAIT_OBJECT_0 + count) {
            MSG msg;
            // Peeking dispatches the messages other threads sent to our windows.
            PeekMessageA(&msg, nullptr, 0, 0, PM_NOREMOVE | PM_QS_SENDMESSAGE);
        }
    }
}
