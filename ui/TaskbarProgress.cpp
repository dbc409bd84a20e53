#include "ui/TaskbarProgress.h"

#include <objbase.h>
#include <shobjidl.h>

CTaskbarProgress::~CTaskbarProgress()
{
    Detach();
}

UINT CTaskbarProgress::ButtonCreatedMessage()
{
    static const UINT message = ::RegisterWindowMessageW(L"TaskbarButtonCreated");
    return message;
}

void CTaskbarProgress::Attach(HWND window)
{
    Detach();
    m_hWnd = window;
    m_bOpen = OpenList();
}

void CTaskbarProgress::Detach()
{
    if (m_bOpen)
        CloseList();
    m_bOpen = false;
    m_bShown = false;
    m_hWnd = nullptr;
}

void CTaskbarProgress::Begin()
{
    m_bJob = true;
}

void CTaskbarProgress::Show(ULONGLONG done, ULONGLONG total)
{
    if (!m_bOpen || !m_bJob)
        return;
    SetValue(m_hWnd, done, total);
    m_bShown = true;
}

void CTaskbarProgress::Clear()
{
    m_bJob = false;
    if (!m_bOpen || !m_bShown)
        return;
    SetNoProgress(m_hWnd);
    m_bShown = false;
}

// Creating the list fails where the shell has none (Windows before 7, a shell
// without a taskbar, Wine), and a list that fails HrInit may not be used.
bool CTaskbarProgress::OpenList()
{
    ITaskbarList3* list = nullptr;
    if (FAILED(::CoCreateInstance(CLSID_TaskbarList, nullptr, CLSCTX_INPROC_SERVER,
                                  IID_ITaskbarList3, reinterpret_cast<void**>(&list))))
        return false;
    if (FAILED(list->HrInit())) {
        list->Release();
        return false;
    }
    m_pList = list;
    return true;
}

void CTaskbarProgress::CloseList()
{
    if (m_pList != nullptr)
        m_pList->Release();
    m_pList = nullptr;
}

// A button that can't show progress just shows none: the results are not
// looked at.
void CTaskbarProgress::SetValue(HWND window, ULONGLONG done, ULONGLONG total)
{
    m_pList->SetProgressValue(window, done, total);
}

void CTaskbarProgress::SetNoProgress(HWND window)
{
    m_pList->SetProgressState(window, TBPF_NOPROGRESS);
}
