// Choosing the files of a job, and the order of the merge list.
#include <windows.h>
#include <commctrl.h>

#include <vector>

#include "ui/FileDialog.h"
#include "ui/MainDlg.h"

// Room for a multiple selection: a directory and a few hundred names.
constexpr DWORD MULTI_SELECT_CAPACITY = 67600;

LRESULT CMainDlg::OnBrowseSource(WORD, WORD, HWND, BOOL&)
{
    if (IsJobRunning())
        return 0;
    CFileDialog dialog(true, OFN_FILEMUSTEXIST | OFN_PATHMUSTEXIST | OFN_HIDEREADONLY,
                       ::GetActiveWindow());
    if (dialog.DoModal() == IDOK)
        ::SetWindowTextW(m_hSourceEdit, dialog.GetPathName());
    return 0;
}

LRESULT CMainDlg::OnBrowseResult(WORD, WORD, HWND, BOOL&)
{
    if (IsJobRunning())
        return 0;
    CFileDialog dialog(false, OFN_PATHMUSTEXIST | OFN_HIDEREADONLY, ::GetActiveWindow());
    if (dialog.DoModal() == IDOK)
        ::SetWindowTextW(m_hResultEdit, dialog.GetPathName());
    return 0;
}

LRESULT CMainDlg::OnBrowseMerge(WORD, WORD, HWND, BOOL&)
{
    if (IsJobRunning())
        return 0;
    std::vector<wchar_t> buffer(MULTI_SELECT_CAPACITY, L'\0');
    CFileDialog dialog(true, OFN_ALLOWMULTISELECT | OFN_PATHMUSTEXIST | OFN_HIDEREADONLY,
                       ::GetActiveWindow(), buffer.data(), MULTI_SELECT_CAPACITY);
    if (dialog.DoModal() != IDOK)
        return 0;

    ::SendMessageW(m_hMergeList, LB_RESETCONTENT, 0, 0);

    // The text before the first name is the directory: with one file it ends
    // in the path's last backslash, with several in the zero after the
    // directory, which becomes the backslash.
    const size_t offset = dialog.m_ofn.nFileOffset;
    CString directory(buffer.data(), offset);
    if (!directory.empty() && directory.back() != L'\\')
        directory.back() = L'\\';
    m_strListDir = directory;

    // Each name runs to the next zero; an empty name ends the list. Sorted
    // in case-insensitively; equal names keep the dialog's order.
    for (const wchar_t* name = buffer.data() + offset; *name != L'\0'; name += lstrlenW(name) + 1) {
        const int count = static_cast<int>(::SendMessageW(m_hMergeList, LB_GETCOUNT, 0, 0));
        int index = 0;
        for (; index < count; ++index) {
            if (::lstrcmpiW(GetListBoxText(m_hMergeList, index).c_str(), name) > 0)
                break;
        }
        ::SendMessageW(m_hMergeList, LB_INSERTSTRING, index, reinterpret_cast<LPARAM>(name));
    }
    return 0;
}

// Moves the selected merge-list item by step places and keeps it selected.
static void MoveSelection(HWND list, int step)
{
    const int selected = static_cast<int>(::SendMessageW(list, LB_GETCURSEL, 0, 0));
    const int count = static_cast<int>(::SendMessageW(list, LB_GETCOUNT, 0, 0));
    const int target = selected + step;
    if (selected == LB_ERR || target < 0 || target >= count)
        return;
    const CString text = GetListBoxText(list, selected);
    ::SendMessageW(list, LB_DELETESTRING, selected, 0);
    ::SendMessageW(list, LB_INSERTSTRING, target, reinterpret_cast<LPARAM>(text.c_str()));
    ::SendMessageW(list, LB_SETCURSEL, target, 0);
}

LRESULT CMainDlg::OnUp(WORD, WORD, HWND, BOOL&)
{
    if (!IsJobRunning())
        MoveSelection(m_hMergeList, -1);
    return 0;
}

LRESULT CMainDlg::OnDown(WORD, WORD, HWND, BOOL&)
{
    if (!IsJobRunning())
        MoveSelection(m_hMergeList, +1);
    return 0;
}

// A block name handed over by the separate job. Appended, not sorted in: the
// names come in block order, which sorting would break past 99,999 blocks.
// The list is drawn after the last of the names waiting in m_fileList (each
// has its own message queued behind this one); while the job runs, no more
// often than every JOB_DRAW_INTERVAL_MS (Wine redraws the list's scroll bar
// for 4 ms on every change), except for its last block (the bar is full
// then). A list left undrawn is drawn by the job's next message: its next
// position, or its end.
LRESULT CMainDlg::OnAddMergeItem(UINT, WPARAM, LPARAM, BOOL&)
{
    {
        CLock lock(m_lock);
        if (!m_fileList.empty()) {
            if (!m_bListHeld)
                ::SendMessageW(m_hMergeList, WM_SETREDRAW, FALSE, 0);
            m_bListHeld = true;
            ::SendMessageW(m_hMergeList, LB_INSERTSTRING, static_cast<WPARAM>(-1),
                           reinterpret_cast<LPARAM>(m_fileList.front().c_str()));
            m_fileList.pop_front();
        }
        if (!m_fileList.empty())
            return 0;
    }
    // Drawn without the lock: the job waits for it to hand the next name over.
    const bool barFull = ::SendMessageW(m_hProgress, PBM_GETPOS, 0, 0) >=
                         ::SendMessageW(m_hProgress, PBM_GETRANGE, FALSE, 0);
    if (m_nJobKind == JOB_NONE || barFull)
        DrawMergeList();
    else
        DrawMergeListIfDue();
    return 0;
}

void CMainDlg::DrawMergeList()
{
    if (!m_bListHeld)
        return;
    const LRESULT count = ::SendMessageW(m_hMergeList, LB_GETCOUNT, 0, 0);
    ::SendMessageW(m_hMergeList, LB_SETCURSEL, count - 1, 0);
    ::SendMessageW(m_hMergeList, WM_SETREDRAW, TRUE, 0);
    ::InvalidateRect(m_hMergeList, nullptr, TRUE);
    m_bListHeld = false;
    m_nListDrawnAt = ::GetTickCount64();
}

void CMainDlg::DrawMergeListIfDue()
{
    if (::GetTickCount64() - m_nListDrawnAt >= JOB_DRAW_INTERVAL_MS)
        DrawMergeList();
}
