// The main window: a modal dialog from which the user separates a file into
// block files and merges a list of files into one. It owns the job-control
// block that its worker thread borrows while a job runs.
#pragma once

#include <windows.h>

#include <memory>
#include <vector>

#include "app/DialogImpl.h"
#include "jobs/JobControl.h"
#include "jobs/WorkerMessages.h"
#include "res/resource.h"
#include "ui/FileDialog.h"
#include "ui/TaskbarProgress.h"

class CMainDlg : public CDialogImpl<CMainDlg>, public CJobControl {
public:
    enum { IDD = IDD_MAINDLG };

    BEGIN_MSG_MAP(CMainDlg)
        MESSAGE_HANDLER(WM_INITDIALOG, OnInitDialog)
        MESSAGE_HANDLER(WM_CLOSE, OnClose)
        COMMAND_HANDLER(IDC_BROWSE_SOURCE, BN_CLICKED, OnBrowseSource)
        COMMAND_HANDLER(IDC_MBYTE, BN_CLICKED, OnMByte)
        COMMAND_HANDLER(IDC_KBYTE, BN_CLICKED, OnKByte)
        COMMAND_HANDLER(IDC_SEPARATE, BN_CLICKED, OnSeparate)
        COMMAND_HANDLER(IDC_CANCEL_SEPARATE, BN_CLICKED, OnCancelSeparate)
        COMMAND_HANDLER(IDC_BROWSE_MERGE, BN_CLICKED, OnBrowseMerge)
        COMMAND_HANDLER(IDC_UP, BN_CLICKED, OnUp)
        COMMAND_HANDLER(IDC_DOWN, BN_CLICKED, OnDown)
        COMMAND_HANDLER(IDC_BROWSE_RESULT, BN_CLICKED, OnBrowseResult)
        COMMAND_HANDLER(IDC_MERGE, BN_CLICKED, OnMerge)
        COMMAND_HANDLER(IDC_CANCEL_MERGE, BN_CLICKED, OnCancelMerge)
        COMMAND_ID_HANDLER(ID_APP_ABOUT, OnAbout)
        COMMAND_ID_HANDLER(IDOK, OnClose)
        COMMAND_ID_HANDLER(IDCANCEL, OnClose)
        MESSAGE_HANDLER(WM_DROPFILES, OnDropFiles)
        MESSAGE_HANDLER(WM_PROGRESS_RANGE, OnProgressRange)
        MESSAGE_HANDLER(WM_PROGRESS_POS, OnProgressPos)
        MESSAGE_HANDLER(WM_ADD_MERGE_ITEM, OnAddMergeItem)
        MESSAGE_HANDLER(WM_SEPARATE_END, OnJobEnd)
        MESSAGE_HANDLER(WM_MERGE_END, OnJobEnd)
        MESSAGE_HANDLER(CTaskbarProgress::ButtonCreatedMessage(), OnTaskbarButtonCreated)
        MESSAGE_HANDLER(WM_DESTROY, OnDestroy)
    END_MSG_MAP()

    // The window: opening, the unit choice, About (MainDlg.cpp)
    LRESULT OnInitDialog(UINT uMsg, WPARAM wParam, LPARAM lParam, BOOL& bHandled);
    LRESULT OnMByte(WORD wNotifyCode, WORD wID, HWND hWndCtl, BOOL& bHandled);
    LRESULT OnKByte(WORD wNotifyCode, WORD wID, HWND hWndCtl, BOOL& bHandled);
    LRESULT OnAbout(WORD wNotifyCode, WORD wID, HWND hWndCtl, BOOL& bHandled);

    // What a running job posts: progress, finished blocks, its end (MainDlg.cpp)
    LRESULT OnProgressRange(UINT uMsg, WPARAM wParam, LPARAM lParam, BOOL& bHandled);
    LRESULT OnProgressPos(UINT uMsg, WPARAM wParam, LPARAM lParam, BOOL& bHandled);
    LRESULT OnAddMergeItem(UINT uMsg, WPARAM wParam, LPARAM lParam, BOOL& bHandled);
    LRESULT OnJobEnd(UINT uMsg, WPARAM wParam, LPARAM lParam, BOOL& bHandled);
    // Moves every name waiting in m_fileList to the end of the merge list,
    // undrawn; false when none was waiting.
    bool TakeHandedOverNames();
    // Ends, in the window, a job that a Cancel has just waited for: the job
    // does not retry a refused end message once a cancel has been asked for.
    void FinishCancelledJob(UINT endMessage);
    // Draws the merge list if names were added to it undrawn, the newest
    // selected and in view; DrawMergeListIfDue only when it was last drawn
    // JOB_DRAW_INTERVAL_MS ago or more.
    void DrawMergeList();
    void DrawMergeListIfDue();

    // The taskbar button, a copy of the bar while a job runs (MainDlg.cpp)
    LRESULT OnTaskbarButtonCreated(UINT uMsg, WPARAM wParam, LPARAM lParam, BOOL& bHandled);
    LRESULT OnDestroy(UINT uMsg, WPARAM wParam, LPARAM lParam, BOOL& bHandled);
    void ShowProgressOnTaskbar();

    // Starting and stopping jobs, and closing (Commands.cpp)
    LRESULT OnSeparate(WORD wNotifyCode, WORD wID, HWND hWndCtl, BOOL& bHandled);
    LRESULT OnMerge(WORD wNotifyCode, WORD wID, HWND hWndCtl, BOOL& bHandled);
    LRESULT OnCancelSeparate(WORD wNotifyCode, WORD wID, HWND hWndCtl, BOOL& bHandled);
    LRESULT OnCancelMerge(WORD wNotifyCode, WORD wID, HWND hWndCtl, BOOL& bHandled);
    LRESULT OnClose(UINT uMsg, WPARAM wParam, LPARAM lParam, BOOL& bHandled);
    LRESULT OnClose(WORD wNotifyCode, WORD wID, HWND hWndCtl, BOOL& bHandled);

    // Choosing files and ordering the merge list (Browse.cpp)
    LRESULT OnBrowseSource(WORD wNotifyCode, WORD wID, HWND hWndCtl, BOOL& bHandled);
    LRESULT OnBrowseMerge(WORD wNotifyCode, WORD wID, HWND hWndCtl, BOOL& bHandled);
    LRESULT OnBrowseResult(WORD wNotifyCode, WORD wID, HWND hWndCtl, BOOL& bHandled);
    LRESULT OnUp(WORD wNotifyCode, WORD wID, HWND hWndCtl, BOOL& bHandled);
    LRESULT OnDown(WORD wNotifyCode, WORD wID, HWND hWndCtl, BOOL& bHandled);
    // Runs a file dialog: true when the user chose. A choice the dialog
    // could not hand over (its path too long for the buffer) is said in a
    // box, so that the edit is not left silently holding an older path.
    bool ChooseFile(CFileDialog& dialog);
    // The platform's dialog (CFileDialog::Run); the tests put a stand-in
    // here, since Wine's own dialog can't be handed a path of MAX_PATH or more.
    virtual BOOL RunFileDialog(CFileDialog& dialog, DWORD& error) { return dialog.Run(error); }
    // Makes the merge list names, all in directory (which ends in a
    // backslash), in the order the shell lists them; m_strListDir becomes
    // directory.
    void FillMergeList(const CString& directory, const std::vector<const wchar_t*>& names);

    // Files dropped on the window from the shell (Drop.cpp)
    LRESULT OnDropFiles(UINT uMsg, WPARAM wParam, LPARAM lParam, BOOL& bHandled);

    // While a job runs the bar and the merge list are drawn at most this
    // often: a job can post a message every few milliseconds, faster than
    // the window draws them (README: the figures).
    static constexpr ULONGLONG JOB_DRAW_INTERVAL_MS = 100;

    HWND m_hSourceEdit = nullptr;
    HWND m_hBlockSizeEdit = nullptr;
    HWND m_hMByteRadio = nullptr;
    HWND m_hKByteRadio = nullptr;
    HWND m_hMergeList = nullptr;
    HWND m_hResultEdit = nullptr;
    HWND m_hProgress = nullptr;
    // Names added to the merge list that it has not drawn yet; when the list
    // and the bar were last drawn (GetTickCount64).
    bool m_bListHeld = false;
    ULONGLONG m_nListDrawnAt = 0;
    ULONGLONG m_nProgressDrawnAt = 0;
    // The taskbar button's progress; tests put a stand-in here before the
    // window is made.
    std::unique_ptr<CTaskbarProgress> m_pTaskbar = std::make_unique<CTaskbarProgress>();
};
