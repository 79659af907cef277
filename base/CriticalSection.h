// A critical section with a scoped lock: the win32 thread model of our compilers has no
// std::mutex, and the few places that share data between threads need no more than this.
#pragma once
#ifdef _WIN32
#include <windows.h>

namespace kit {

class CriticalSection {
public:
    CriticalSection() { ::InitializeCriticalSection(&m_section); }
    CriticalSection(const CriticalSection&) = delete;
    CriticalSection& operator=(const CriticalSection&) = delete;
    ~CriticalSection() { ::DeleteCriticalSection(&m_section); }
    void Enter() { ::EnterCriticalSection(&m_section); }
    void Leave() { ::LeaveCriticalSection(&m_section); }

private:
    CRITICAL_SECTION m_section;
};

class Lock {
public:
    explicit Lock(CriticalSection& section) : m_section(section) { m_section.Enter(); }
    Lock(const Lock&) = delete;
    Lock& operator=(const Lock&) = delete;
    ~Lock() { m_section.Leave(); }

private:
    CriticalSection& m_section;
};

}  // namespace kit
#endif
