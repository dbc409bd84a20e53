// Choosing the files of a job, and the order of the merge list.
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

// The merge truncates its result: an existing file is taken only once the
// user has agreed to replace it.
LRESULT CMainDlg::OnBrowseResult(WORD, WORD, HWND, BOOL&)
{
    if (IsJobRunning())
        return 0;
    CFileDialog dialog(false, OFN_OVERWRITEPROMPT | OFN_PATHMUSTEXIST | OFN_HIDEREADONLY,
                       ::GetActiveWindow());
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
