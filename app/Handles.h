// Small owners for Win32 handles and locks, so that every way out of a
// function releases what it took.
#pragma once

#include <windows.h>
#include <shellapi.h>

// Owns a kernel handle closed with CloseHandle. Both null and
// INVALID_HANDLE_VALUE mean "no handle".
class CHandle {
public:
    CHandle() = default;
    explicit CHandle(HANDLE h) : m_h(h) {}
    ~CHandle() { Close(); }
    CHandle(const CHandle&) = delete;
    CHandle& operator=(const CHandle&) = delete;
    CHandle(CHandle&& other) noexcept : m_h(other.Detach()) {}
    CHandle& operator=(CHandle&& other) noexcept
    {
        if (this != &other)
            Attach(other.Detach());
        return *this;
    }

    bool IsValid() const { return m_h != nullptr && m_h != INVALID_HANDLE_VALUE; }
    HANDLE Get() const { return m_h; }
    operator HANDLE() const { return m_h; }

    void Attach(HANDLE h)
    {
        Close();
        m_h = h;
    }
    HANDLE Detach()
    {
        HANDLE h = m_h;
        m_h = nullptr;
        return h;
    }
    // False when the handle was there and closing it failed.
    bool Close()
    {
        const bool closed = !IsValid() || ::CloseHandle(m_h) != FALSE;
        m_h = nullptr;
        return closed;
    }

private:
    HANDLE m_h = nullptr;
};

// Owns a directory search opened with FindFirstFileW.
class CFindHandle {
public:
    explicit CFindHandle(HANDLE h) : m_h(h) {}
    ~CFindHandle()
    {
        if (m_h != INVALID_HANDLE_VALUE)
            ::FindClose(m_h);
    }
    CFindHandle(const CFindHandle&) = delete;
    CFindHandle& operator=(const CFindHandle&) = delete;
    bool IsValid() const { return m_h != INVALID_HANDLE_VALUE; }

private:
    HANDLE m_h;
};

// Owns a hook set with SetWindowsHookExW.
class CHookHandle {
public:
    explicit CHookHandle(HHOOK h) : m_h(h) {}
    ~CHookHandle()
    {
        if (m_h != nullptr)
            ::UnhookWindowsHookEx(m_h);
    }
    CHookHandle(const CHookHandle&) = delete;
    CHookHandle& operator=(const CHookHandle&) = delete;

private:
    HHOOK m_h;
};

// Owns the files dropped on a window (WM_DROPFILES), let go with DragFinish.
class CDropHandle {
public:
    explicit CDropHandle(HDROP h) : m_h(h) {}
    ~CDropHandle()
    {
        if (m_h != nullptr)
            ::DragFinish(m_h);
    }
    CDropHandle(const CDropHandle&) = delete;
    CDropHandle& operator=(const CDropHandle&) = delete;
    operator HDROP() const { return m_h; }

private:
    HDROP m_h;
};

// A critical section that lives as long as its owner.
class CCriticalSection {
public:
    CCriticalSection() { ::InitializeCriticalSection(&m_cs); }
    ~CCriticalSection() { ::DeleteCriticalSection(&m_cs); }
    CCriticalSection(const CCriticalSection&) = delete;
    CCriticalSection& operator=(const CCriticalSection&) = delete;
    void Enter() { ::EnterCriticalSection(&m_cs); }
    void Leave() { ::LeaveCriticalSection(&m_cs); }

private:
    CRITICAL_SECTION m_cs;
};

// Holds a critical section for the rest of the scope.
class CLock {
public:
    explicit CLock(CCriticalSection& cs) : m_cs(cs) { m_cs.Enter(); }
    ~CLock() { m_cs.Leave(); }
    CLock(const CLock&) = delete;
    CLock& operator=(const CLock&) = delete;

private:
    CCriticalSection& m_cs;
};
