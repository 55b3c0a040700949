// The worker threads a window starts. The window never kills one: it asks
// them to stop (their own flags) and waits here, a bounded time, before the
// objects they use go away.
#pragma once

#include <windows.h>

#include <vector>

#include "Lock.h"

class WorkerThreads {
public:
    WorkerThreads();
    ~WorkerThreads();
    WorkerThreads(const WorkerThreads&) = delete;
    WorkerThreads& operator=(const WorkerThreads&) = delete;

    // Starts routine(argument) on a new thread; its handle stays owned here.
    // Null when the thread could not be created.
    HANDLE Start(LPTHREAD_START_ROUTINE routine, void* argument);

    // Waits until every thread started here has ended, at most timeoutMs
    // (INFINITE: no bound). Workers never wait on a window, so nothing
    // needs to be handled meanwhile.
    // True when all ended; false at the bound or when the wait itself fails.
    bool WaitAll(DWORD timeoutMs);

    // Threads started here that have not ended yet.
    int Running();

private:
    void CloseEnded();  // with m_lock held

    CriticalSection m_lock;
    std::vector<HANDLE> m_threads;
};
