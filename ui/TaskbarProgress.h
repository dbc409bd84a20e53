// The main window's taskbar button as a copy of its progress bar, where the
// shell has a taskbar list (Windows 7 and later). Without one, nothing here
// does anything.
#pragma once

#include <windows.h>

struct ITaskbarList3;

class CTaskbarProgress {
public:
    CTaskbarProgress() = default;
    virtual ~CTaskbarProgress();
    CTaskbarProgress(const CTaskbarProgress&) = delete;
    CTaskbarProgress& operator=(const CTaskbarProgress&) = delete;

    // The message the shell sends once it has made a window's taskbar button
    // (again after the shell restarts); 0 when it can't be registered.
    static UINT ButtonCreatedMessage();

    // The shell made window's button: takes a taskbar list for it, anew.
    void Attach(HWND window);
    // The window is going: lets the list go.
    void Detach();
    // A job has sized its work: from now until Clear(), Show() shows done of
    // total on the button.
    void Begin();
    void Show(ULONGLONG done, ULONGLONG total);
    // The job has ended: takes the progress off the button.
    void Clear();

protected:
    // What the shell is asked (tests stand in for it). OpenList is false where
    // the shell has no taskbar list.
    virtual bool OpenList();
    virtual void CloseList();
    virtual void SetValue(HWND window, ULONGLONG done, ULONGLONG total);
    virtual void SetNoProgress(HWND window);

private:
    ITaskbarList3* m_pList = nullptr;
    HWND m_hWnd = nullptr;
    bool m_bOpen = false;
    bool m_bJob = false;
    bool m_bShown = false;
};
