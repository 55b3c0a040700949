// A critical section that owns itself, and the guard that holds it for a scope.
#pragma once

#include <windows.h>

class CriticalSection {
public:
    CriticalSection() { InitializeCriticalSection(&m_section); }
    ~CriticalSection() { DeleteCriticalSection(&m_section); }
    CriticalSection(const CriticalSection&) = delete;
    CriticalSection& operator=(const CriticalSection&) = delete;

private:
    friend class LockScope;
    CRITICAL_SECTION m_section;
};

class LockScope {
public:
    explicit LockScope(CriticalSection& lock) : m_section(lock.m_section) { EnterCriticalSection(&m_section); }
    ~LockScope() { LeaveCriticalSection(&m_section); }
    LockScope(const LockScope&) = delete;
    LockScope& operator=(const LockScope&) = delete;

private:
    CRITICAL_SECTION& m_section;
};
