#include "app/Window.h"

// Moves [start, start + length) inside [low, high): onto low if it starts
// before it, else left until it ends at high if it runs past it.
static LONG KeepInside(LONG start, LONG length, LONG low, LONG high)
{
    if (start < low)
        return low;
    if (start + length > high)
        return high - length;
    return start;
}

void CWindow::CenterWindow() const
{
    HWND owner = ::GetWindow(m_hWnd, GW_OWNER);
    bool onOwner = owner != nullptr && ::IsWindowVisible(owner) && !::IsIconic(owner);

    MONITORINFO monitor = {};
    monitor.cbSize = sizeof(monitor);
    ::GetMonitorInfoW(::MonitorFromWindow(onOwner ? owner : m_hWnd, MONITOR_DEFAULTTONEAREST),
                      &monitor);
    const RECT& work = monitor.rcWork;

    RECT area = work;
    if (onOwner)
        ::GetWindowRect(owner, &area);
    RECT window;
    ::GetWindowRect(m_hWnd, &window);
    LONG width = window.right - window.left;
    LONG height = window.bottom - window.top;

    LONG left = (area.left + area.right) / 2 - width / 2;
    LONG top = (area.top + area.bottom) / 2 - height / 2;
    left = KeepInside(left, width, work.left, work.right);
    top = KeepInside(top, height, work.top, work.bottom);
    ::SetWindowPos(m_hWnd, nullptr, left, top, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}
