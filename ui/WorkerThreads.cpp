#include "WorkerThreads.h"

WorkerThreads::WorkerThreads() = default;

WorkerThreads::~WorkerThreads() {
    for (HANDLE h : m_threads) CloseHandle(h);
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
    LockScope held(m_lock);
    CloseEnded();
    DWORD id = 0;
    HANDLE h = CreateThread(nullptr, 0, routine, argument, 0, &id);
    if (h) m_threads.push_back(h);
    return h;
}

int WorkerThreads::Running() {
    LockScope held(m_lock);
    CloseEnded();
    return static_cast<int>(m_threads.size());
}

bool WorkerThreads::WaitAll(DWORD timeoutMs) {
    const DWORD start = GetTickCount();
    for (;;) {
        std::vector<HANDLE> running;
        {
            LockScope held(m_lock);
            CloseEnded();
            running = m_threads;
        }
        if (running.empty()) return true;
        const DWORD spent = GetTickCount() - start;
        if (timeoutMs != INFINITE && spent >= timeoutMs) return false;
        // At most MAXIMUM_WAIT_OBJECTS handles per wait; the loop comes back for the rest.
        const DWORD count =
            static_cast<DWORD>(running.size() < MAXIMUM_WAIT_OBJECTS ? running.size() : MAXIMUM_WAIT_OBJECTS);
        const DWORD r =
            WaitForMultipleObjects(count, running.data(), TRUE, timeoutMs == INFINITE ? INFINITE : timeoutMs - spent);
        // A handle that cannot be waited on would fail the same wait again at once.
        if (r == WAIT_FAILED) return false;
    }
}
