// The commands that start a job from the window's inputs, stop it, and close
// the window.
#include <cstdlib>
#include <string>

#include "app/MessageBoxes.h"
#include "ui/MainDlg.h"

// The largest block, in bytes: the jobs count it in 32 bits.
constexpr long long MAX_BLOCK_SIZE = 0x7FFFFFFF;

// Reads a block-size text as a signed decimal number: leading blanks, one
// optional sign, then digits up to the first other character; 0 without
// digits. The whole text is read; a number too long for 64 bits comes back
// as the largest (or smallest) 64-bit number, never wrapped.
static long long ParseBlockSize(const CString& text)
{
    int length = ::WideCharToMultiByte(CP_THREAD_ACP, 0, text.c_str(), -1, nullptr, 0, nullptr, nullptr);
    if (length <= 0)
        return 0;
    std::string narrow(length, '\0');
    ::WideCharToMultiByte(CP_THREAD_ACP, 0, text.c_str(), -1, &narrow[0], length, nullptr, nullptr);
    return std::strtoll(narrow.c_str(), nullptr, 10);
}

LRESULT CMainDlg::OnSeparate(WORD, WORD, HWND, BOOL&)
{
    if (IsJobRunning())
        return 0;

    const CString path = GetWindowTextString(m_hSourceEdit);
    if (path.empty()) {
        ShowError(IDS_NO_SOURCE);
        return 0;
    }
    const long long number = ParseBlockSize(GetWindowTextString(m_hBlockSizeEdit));
    if (number <= 0) {
        ShowError(IDS_BAD_BLOCK_SIZE);
        return 0;
    }
    const bool megabytes = ::SendMessageW(m_hMByteRadio, BM_GETCHECK, 0, 0) == BST_CHECKED;
    const long long unit = megabytes ? 1024 * 1024 : 1024;
    if (number > MAX_BLOCK_SIZE / unit) {
        ShowError(IDS_BLOCK_SIZE_TOO_BIG);
        return 0;
    }
    const long long bytes = number * unit;

    // Only now that every check has passed: a refused Separate leaves the
    // merge list pointing where it pointed.
    m_strJobPath = path;
    size_t separator = FindLastSeparator(path);
    m_strListDir = separator == CString::npos ? CString() : path.substr(0, separator + 1);
    m_nBlockSize = static_cast<int32_t>(bytes);

    ::SendMessageW(m_hMergeList, LB_RESETCONTENT, 0, 0);
    m_fileList.clear();
    LaunchJob(JOB_SEPARATE);
    return 0;
}

LRESULT CMainDlg::OnMerge(WORD, WORD, HWND, BOOL&)
{
    if (IsJobRunning())
        return 0;

    const CString path = GetWindowTextString(m_hResultEdit);
    if (path.empty()) {
        ShowError(IDS_NO_RESULT);
        return 0;
    }
    m_strJobPath = path;

    const int count = static_cast<int>(::SendMessageW(m_hMergeList, LB_GETCOUNT, 0, 0));
    if (count <= 0) {
        ShowError(IDS_NO_MERGE_FILES);
        return 0;
    }
    m_fileList.clear();
    for (int i = 0; i < count; ++i)
        m_fileList.push_back(GetListBoxText(m_hMergeList, i));
    LaunchJob(JOB_MERGE);
    return 0;
}

LRESULT CMainDlg::OnCancelSeparate(WORD, WORD, HWND, BOOL&)
{
    if (m_nJobKind == JOB_SEPARATE) {
        CancelJobAndWait();
        FinishCancelledJob(WM_SEPARATE_END);
    }
    return 0;
}

LRESULT CMainDlg::OnCancelMerge(WORD, WORD, HWND, BOOL&)
{
    if (m_nJobKind == JOB_MERGE) {
        CancelJobAndWait();
        FinishCancelledJob(WM_MERGE_END);
    }
    return 0;
}

LRESULT CMainDlg::OnClose(UINT, WPARAM, LPARAM, BOOL&)
{
    CancelJobAndWait();
    CloseJobEvents();
    EndDialog(IDCANCEL);
    return 0;
}

LRESULT CMainDlg::OnClose(WORD, WORD, HWND, BOOL& bHandled)
{
    return OnClose(UINT{WM_CLOSE}, WPARAM{0}, LPARAM{0}, bHandled);
}
