#include "ui/MainDlg.h"

#include <commctrl.h>

#include "ui/AboutDlg.h"

LRESULT CMainDlg::OnInitDialog(UINT, WPARAM, LPARAM, BOOL&)
{
    CenterWindow();

    HINSTANCE instance = g_Module.GetResourceInstance();
    HICON big = static_cast<HICON>(::LoadImageW(instance, MAKEINTRESOURCEW(IDR_MAINFRAME), IMAGE_ICON,
                                                ::GetSystemMetrics(SM_CXICON),
                                                ::GetSystemMetrics(SM_CYICON), LR_DEFAULTCOLOR));
    SendMessage(WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(big));
    HICON small = static_cast<HICON>(::LoadImageW(instance, MAKEINTRESOURCEW(IDR_MAINFRAME), IMAGE_ICON,
                                                  ::GetSystemMetrics(SM_CXSMICON),
                                                  ::GetSystemMetrics(SM_CYSMICON), LR_DEFAULTCOLOR));
    SendMessage(WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(small));

    m_hSourceEdit = GetDlgItem(IDC_SOURCE_FILE);
    m_hBlockSizeEdit = GetDlgItem(IDC_BLOCK_SIZE);
    m_hMByteRadio = GetDlgItem(IDC_MBYTE);
    ::SendMessageW(m_hMByteRadio, BM_SETCHECK, BST_CHECKED, 0);
    m_hKByteRadio = GetDlgItem(IDC_KBYTE);
    ::SendMessageW(m_hKByteRadio, BM_SETCHECK, BST_UNCHECKED, 0);
    m_hMergeList = GetDlgItem(IDC_MERGE_LIST);
    m_hResultEdit = GetDlgItem(IDC_RESULT_FILE);
    m_hProgress = GetDlgItem(IDC_PROGRESS);

    InitJobState(m_hWnd);
    return 1;
}

LRESULT CMainDlg::OnMByte(WORD, WORD, HWND, BOOL&)
{
    ::SendMessageW(m_hMByteRadio, BM_SETCHECK, BST_CHECKED, 0);
    ::SendMessageW(m_hKByteRadio, BM_SETCHECK, BST_UNCHECKED, 0);
    return 0;
}

LRESULT CMainDlg::OnKByte(WORD, WORD, HWND, BOOL&)
{
    ::SendMessageW(m_hMByteRadio, BM_SETCHECK, BST_UNCHECKED, 0);
    ::SendMessageW(m_hKByteRadio, BM_SETCHECK, BST_CHECKED, 0);
    return 0;
}

// The bar takes the full 32-bit range, so a job of more than 65,535 chunks
// still shows true progress.
LRESULT CMainDlg::OnProgressRange(UINT, WPARAM wParam, LPARAM lParam, BOOL&)
{
    ::SendMessageW(m_hProgress, PBM_SETRANGE32, wParam, lParam);
    return 0;
}

// A job posts a position per chunk, and the bar takes 1-2 ms to draw one:
// drawing each would leave the window behind a fast job, or busy most of
// the time. A position with a newer one already queued behind it is passed
// over, so the bar draws only the newest; and while a job runs the bar is
// drawn at most every JOB_DRAW_INTERVAL_MS, except for the job's last step.
// A position passed over is followed by the job's next one or by its end.
// (Looking at the queue also answers messages sent from other threads
// meanwhile; this handler holds nothing while it looks.)
LRESULT CMainDlg::OnProgressPos(UINT, WPARAM wParam, LPARAM, BOOL&)
{
    const ULONGLONG now = ::GetTickCount64();
    const bool lastStep =
        static_cast<LRESULT>(wParam) >= ::SendMessageW(m_hProgress, PBM_GETRANGE, FALSE, 0);
    const bool due = lastStep || m_nJobKind == JOB_NONE ||
                     now - m_nProgressDrawnAt >= JOB_DRAW_INTERVAL_MS;
    MSG newer;
    if (due && !::PeekMessageW(&newer, m_hWnd, WM_PROGRESS_POS, WM_PROGRESS_POS, PM_NOREMOVE)) {
        ::SendMessageW(m_hProgress, PBM_SETPOS, wParam, 0);
        m_nProgressDrawnAt = now;
    }
    DrawMergeListIfDue();
    return 0;
}

LRESULT CMainDlg::OnJobEnd(UINT, WPARAM, LPARAM, BOOL&)
{
    DrawMergeList();
    ::SendMessageW(m_hProgress, PBM_SETRANGE32, 0, 0);
    ::SendMessageW(m_hProgress, PBM_SETPOS, 0, 0);
    return 0;
}

LRESULT CMainDlg::OnAbout(WORD, WORD, HWND, BOOL&)
{
    CAboutDlg about;
    about.DoModal(::GetActiveWindow(), 0);
    return 0;
}
