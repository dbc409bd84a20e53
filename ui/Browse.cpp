// Choosing the files of a job, and the order of the merge list.
#include <algorithm>
#include <vector>

#include "app/MessageBoxes.h"
#include "ui/FileDialog.h"
#include "ui/MainDlg.h"

// The buffer a multiple selection starts with: a directory and a few hundred
// names. The dialog grows it for larger selections.
constexpr DWORD MULTI_SELECT_CAPACITY = 67600;

bool CMainDlg::ChooseFile(CFileDialog& dialog)
{
    DWORD error = 0;
    if (RunFileDialog(dialog, error))
        return true;
    if (error == FNERR_BUFFERTOOSMALL)
        ShowError(IDS_PATH_TOO_LONG);
    return false;
}

LRESULT CMainDlg::OnBrowseSource(WORD, WORD, HWND, BOOL&)
{
    if (IsJobRunning())
        return 0;
    CFileDialog dialog(true, OFN_FILEMUSTEXIST | OFN_PATHMUSTEXIST | OFN_HIDEREADONLY,
                       ::GetActiveWindow());
    if (ChooseFile(dialog))
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
    if (ChooseFile(dialog))
        ::SetWindowTextW(m_hResultEdit, dialog.GetPathName());
    return 0;
}

namespace {

// A merge-list name with what it is sorted by: the name with every run of
// digits written as its count of significant digits (three places) and those
// digits, so that two runs at the same place compare by their numbers.
struct SortedName {
    CString key;
    const wchar_t* name;
};

CString MakeSortKey(const wchar_t* name)
{
    CString key;
    for (const wchar_t* p = name; *p != L'\0';) {
        if (*p < L'0' || *p > L'9') {
            key += *p++;
            continue;
        }
        while (*p == L'0' && p[1] >= L'0' && p[1] <= L'9')
            ++p;
        const wchar_t* run = p;
        while (*p >= L'0' && *p <= L'9')
            ++p;
        const size_t digits = std::min<size_t>(p - run, 999);
        wchar_t count[4] = {static_cast<wchar_t>(L'0' + digits / 100),
                            static_cast<wchar_t>(L'0' + digits / 10 % 10),
                            static_cast<wchar_t>(L'0' + digits % 10), L'\0'};
        key += count;
        key.append(run, p);
    }
    return key;
}

// Case-insensitive order in which names that differ only in a run of digits
// go by its number, as the shell lists them: name_99999.bin before
// name_100000.bin. It is one consistent order, so every run compares by its
// number wherever two names reach digits at the same place (x1y before x10);
// names that are equal in it (x01 and x1, X.bin and x.bin) keep the
// case-insensitive order, and the order they were given in after that.
bool ComesBefore(const SortedName& a, const SortedName& b)
{
    const int byKey = ::lstrcmpiW(a.key.c_str(), b.key.c_str());
    return byKey != 0 ? byKey < 0 : ::lstrcmpiW(a.name, b.name) < 0;
}

} // namespace

LRESULT CMainDlg::OnBrowseMerge(WORD, WORD, HWND, BOOL&)
{
    if (IsJobRunning())
        return 0;
    CFileDialog dialog(true, OFN_ALLOWMULTISELECT | OFN_PATHMUSTEXIST | OFN_HIDEREADONLY,
                       ::GetActiveWindow(), MULTI_SELECT_CAPACITY);
    if (!ChooseFile(dialog))
        return 0;
    const wchar_t* buffer = dialog.GetPathName();

    // The text before the first name is the directory: with one file it ends
    // in the path's last backslash, with several in the zero after the
    // directory, which becomes the backslash.
    const size_t offset = dialog.m_ofn.nFileOffset;
    CString directory(buffer, offset);
    if (!directory.empty() && directory.back() != L'\\')
        directory.back() = L'\\';

    // Each name runs to the next zero; an empty name ends the list.
    std::vector<const wchar_t*> names;
    for (const wchar_t* name = buffer + offset; *name != L'\0'; name += lstrlenW(name) + 1)
        names.push_back(name);
    FillMergeList(directory, names);
    return 0;
}

// Sorted in memory (stable: equal names keep the order given), then added in
// one pass without drawing, so that thousands of names take a blink.
void CMainDlg::FillMergeList(const CString& directory, const std::vector<const wchar_t*>& names)
{
    m_strListDir = directory;
    std::vector<SortedName> sorted;
    sorted.reserve(names.size());
    size_t characters = 0;
    for (const wchar_t* name : names) {
        sorted.push_back({MakeSortKey(name), name});
        characters += lstrlenW(name) + 1;
    }
    std::stable_sort(sorted.begin(), sorted.end(), ComesBefore);

    ::SendMessageW(m_hMergeList, WM_SETREDRAW, FALSE, 0);
    ::SendMessageW(m_hMergeList, LB_RESETCONTENT, 0, 0);
    ::SendMessageW(m_hMergeList, LB_INITSTORAGE, sorted.size(), characters * sizeof(wchar_t));
    for (const SortedName& name : sorted)
        ::SendMessageW(m_hMergeList, LB_INSERTSTRING, static_cast<WPARAM>(-1),
                       reinterpret_cast<LPARAM>(name.name));
    ::SendMessageW(m_hMergeList, WM_SETREDRAW, TRUE, 0);
    ::InvalidateRect(m_hMergeList, nullptr, TRUE);
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
