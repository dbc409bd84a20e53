#include "ui/MainDlg.h"

#include <commctrl.h>
#include <shellapi.h>

#include <algorithm>

#include "ui/AboutDlg.h"

// A message of the shell's drag and drop that the SDK's headers do not name.
constexpr UINT WM_COPYGLOBALDATA = 0x0049;

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
    // Files dropped from the shell come as WM_DROPFILES (Drop.cpp).
    ::DragAcceptFiles(m_hWnd, TRUE);
    // The shell runs at the user's level: let its word through when this
    // program runs with more rights. Its drops are refused unless
    // WM_DROPFILES, WM_COPYDATA and WM_COPYGLOBALDATA are let through too.
    if (CTaskbarProgress::ButtonCreatedMessage() != 0)
        ::ChangeWindowMessageFilterEx(m_hWnd, CTaskbarProgress::ButtonCreatedMessage(),
                                      MSGFLT_ALLOW, nullptr);
    for (UINT message : {UINT{WM_DROPFILES}, UINT{WM_COPYDATA}, WM_COPYGLOBALDATA})
        ::ChangeWindowMessageFilterEx(m_hWnd, message, MSGFLT_ALLOW, nullptr);
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
    m_pTaskbar->Begin();
    return 0;
}

// Only the newest position is drawn: one with a newer one queued behind it is
// passed over, and while a job runs the bar is drawn at most every
// JOB_DRAW_INTERVAL_MS, but for the job's last step (WorkerMessages.h).
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
        ShowProgressOnTaskbar();
        m_nProgressDrawnAt = now;
    }
    // At the job's last step the list shows every block handed over: a block
    // taken early by a hand-over message, while the bar was not yet full,
    // may still wait to be drawn, and the job's end comes only after its box.
    if (lastStep)
        DrawMergeList();
    else
        DrawMergeListIfDue();
    return 0;
}

// Block names handed over by the separate job: every name waiting, in order
// (WorkerMessages.h). Appended, not sorted in: the names come in block order,
// which sorting would break past 99,999 blocks. While the job runs the list
// is drawn at most every JOB_DRAW_INTERVAL_MS, but for its last block (the
// bar is full then); a list left undrawn is drawn by the job's next message.
LRESULT CMainDlg::OnAddMergeItem(UINT, WPARAM, LPARAM, BOOL&)
{
    if (!TakeHandedOverNames())
        return 0;
    const bool barFull = ::SendMessageW(m_hProgress, PBM_GETPOS, 0, 0) >=
                         ::SendMessageW(m_hProgress, PBM_GETRANGE, FALSE, 0);
    if (m_nJobKind == JOB_NONE || barFull)
        DrawMergeList();
    else
        DrawMergeListIfDue();
    return 0;
}

bool CMainDlg::TakeHandedOverNames()
{
    std::deque<CString> names;
    {
        CLock lock(m_lock);
        names.swap(m_fileList);
    }
    // Added without the lock: the job waits for it to hand the next name over.
    if (names.empty())
        return false;
    if (!m_bListHeld)
        ::SendMessageW(m_hMergeList, WM_SETREDRAW, FALSE, 0);
    m_bListHeld = true;
    for (const CString& name : names)
        ::SendMessageW(m_hMergeList, LB_INSERTSTRING, static_cast<WPARAM>(-1),
                       reinterpret_cast<LPARAM>(name.c_str()));
    return true;
}

void CMainDlg::DrawMergeList()
{
    if (!m_bListHeld)
        return;
    const LRESULT count = ::SendMessageW(m_hMergeList, LB_GETCOUNT, 0, 0);
    ::SendMessageW(m_hMergeList, LB_SETCURSEL, count - 1, 0);
    ::SendMessageW(m_hMergeList, WM_SETREDRAW, TRUE, 0);
    // Painted now: a paint left to the queue comes only once no posted
    // message waits, and a fast job keeps one waiting until its end. (The
    // list redrew its scroll bar as its drawing was turned back on.)
    ::RedrawWindow(m_hMergeList, nullptr, nullptr,
                   RDW_ERASE | RDW_INVALIDATE | RDW_UPDATENOW);
    m_bListHeld = false;
    m_nListDrawnAt = ::GetTickCount64();
}

void CMainDlg::DrawMergeListIfDue()
{
    if (::GetTickCount64() - m_nListDrawnAt >= JOB_DRAW_INTERVAL_MS)
        DrawMergeList();
}

// The job's end: names still waiting are listed (their own messages may
// never have been posted), the list is drawn and the bar emptied.
LRESULT CMainDlg::OnJobEnd(UINT uMsg, WPARAM, LPARAM, BOOL&)
{
    if (uMsg == WM_SEPARATE_END)
        TakeHandedOverNames();
    DrawMergeList();
    ::SendMessageW(m_hProgress, PBM_SETRANGE32, 0, 0);
    ::SendMessageW(m_hProgress, PBM_SETPOS, 0, 0);
    m_pTaskbar->Clear();
    return 0;
}

void CMainDlg::FinishCancelledJob(UINT endMessage)
{
    // What the job posted before it ended is taken now, in order; then the
    // end, which it may have failed to post while this window waited.
    MSG msg;
    while (::PeekMessageW(&msg, m_hWnd, WM_PROGRESS_RANGE, WM_MERGE_END, PM_REMOVE))
        ::DispatchMessageW(&msg);
    BOOL handled = TRUE;
    OnJobEnd(endMessage, 0, 0, handled);
}

// (Were the message not registered, 0 would stand for it: WM_NULL is not it.)
LRESULT CMainDlg::OnTaskbarButtonCreated(UINT uMsg, WPARAM, LPARAM, BOOL& bHandled)
{
    if (uMsg == WM_NULL) {
        bHandled = FALSE;
        return 0;
    }
    m_pTaskbar->Attach(m_hWnd);
    return 0;
}

// The taskbar list goes with the window, on its thread.
LRESULT CMainDlg::OnDestroy(UINT, WPARAM, LPARAM, BOOL& bHandled)
{
    m_pTaskbar->Detach();
    bHandled = FALSE;
    return 0;
}

// The button shows what the bar shows: the position's share of the range. A
// range of one step is full at its step.
void CMainDlg::ShowProgressOnTaskbar()
{
    PBRANGE range = {};
    ::SendMessageW(m_hProgress, PBM_GETRANGE, TRUE, reinterpret_cast<LPARAM>(&range));
    const LONGLONG pos = ::SendMessageW(m_hProgress, PBM_GETPOS, 0, 0);
    if (range.iHigh <= range.iLow) {
        m_pTaskbar->Show(pos >= range.iHigh ? 1 : 0, 1);
        return;
    }
    const LONGLONG done = std::min<LONGLONG>(std::max<LONGLONG>(pos, range.iLow), range.iHigh);
    m_pTaskbar->Show(static_cast<ULONGLONG>(done - range.iLow),
                     static_cast<ULONGLONG>(range.iHigh - range.iLow));
}

LRESULT CMainDlg::OnAbout(WORD, WORD, HWND, BOOL&)
{
    CAboutDlg about;
    about.DoModal(::GetActiveWindow(), 0);
    return 0;
}
