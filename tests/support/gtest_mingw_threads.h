// GoogleTest wants std::mutex and std::condition_variable, which mingw's win32
// thread model does not have. This stand-in is force-included into the test
// programs of the Windows builds only; the program itself never sees it.
#pragma once

#if defined(__MINGW32__) && !defined(_GLIBCXX_HAS_GTHREADS)
#include <windows.h>

#include <condition_variable>
#include <mutex>

namespace std {

class mutex {
public:
    mutex() { InitializeCriticalSection(&m_cs); }
    ~mutex() { DeleteCriticalSection(&m_cs); }
    mutex(const mutex&) = delete;
    mutex& operator=(const mutex&) = delete;
    void lock() { EnterCriticalSection(&m_cs); }
    bool try_lock() { return TryEnterCriticalSection(&m_cs) != FALSE; }
    void unlock() { LeaveCriticalSection(&m_cs); }

private:
    CRITICAL_SECTION m_cs;
};

// Enough for GoogleTest's one use: a waiter that polls its predicate.
class condition_variable {
public:
    void notify_one() {}
    void notify_all() {}
    template <class Lock, class Predicate>
    void wait(Lock& lock, Predicate ready) {
        while (!ready()) {
            lock.unlock();
            Sleep(1);
            lock.lock();
        }
    }
};

}  // namespace std
#endif
