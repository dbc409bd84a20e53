// Runs the real main dialog, modally, on a thread of its own in the test
// process, and drives it from the test thread as a user would: clicks are
// posted, and what the dialog shows is read back from its controls.
#pragma once

#include <windows.h>

#include <atomic>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "support/Windows.h"
#include "ui/MainDlg.h"

class MainDialogDriver {
public:
    // Opens the dialog and waits until it is shown.
    MainDialogDriver();
    // Closes the dialog if it is still open and waits for its thread.
    ~MainDialogDriver();
    MainDialogDriver(const MainDialogDriver&) = delete;
    MainDialogDriver& operator=(const MainDialogDriver&) = delete;

    HWND Dialog() const { return m_hDialog; }
    HWND Item(int id) const { return ::GetDlgItem(m_hDialog, id); }
    // The dialog object itself: its job state may be read, not changed.
    CMainDlg& Object() { return *m_dialog; }

    // Posts a click (or another notification) of control id, as the
    // control itself would send it.
    void Click(int id, WORD code = BN_CLICKED) const;
    // Posts a message to the dialog window.
    void Post(UINT msg, WPARAM wParam = 0, LPARAM lParam = 0) const;
    // Sends a message to control id and returns its answer; fails the test
    // when the dialog thread does not answer in time.
    LRESULT SendToItem(int id, UINT msg, WPARAM wParam = 0, LPARAM lParam = 0) const;

    std::wstring Text(int id) const;
    void SetText(int id, const std::wstring& text) const;
    std::vector<std::wstring> ListItems() const;
    int ListSelection() const;
    bool IsChecked(int id) const;
    // The progress bar's range (low, high) and position.
    int ProgressLow() const;
    int ProgressHigh() const;
    int ProgressPos() const;

    // Waits until the dialog thread has handled everything posted to it so
    // far (it answers a sent message); false if it stayed blocked.
    bool Sync(DWORD timeoutMs = kDeadlineMs) const;
    // Waits until no job runs and the dialog has handled what the job posted.
    bool WaitIdle(DWORD timeoutMs = kDeadlineMs);
    // Holds the dialog thread at the next message its loop takes, until
    // Release(): what is posted meanwhile queues up, as it does behind a slow
    // handler. Nothing may be sent to the dialog while it is held. False when
    // the dialog did not get there in time.
    bool Hold() const;
    void Release() const;
    // Waits until the dialog has ended; its DoModal result then is Result().
    bool WaitClosed(DWORD timeoutMs = kDeadlineMs);
    INT_PTR Result() const { return m_result; }

private:
    std::unique_ptr<CMainDlg> m_dialog;
    std::thread m_thread;
    HWND m_hDialog = nullptr;
    INT_PTR m_result = 0;
    HANDLE m_hShown = nullptr;
    // Set by the dialog thread once DoModal has returned and m_result is in.
    std::atomic<bool> m_bClosed{false};
};

// Counts, while it lives, the messages msg that the dialog thread sends to
// control id: how often a handler told the control to change (and draw).
// One at a time.
class SentToItemCounter {
public:
    SentToItemCounter(const MainDialogDriver& driver, int id, UINT msg);
    ~SentToItemCounter();
    SentToItemCounter(const SentToItemCounter&) = delete;
    SentToItemCounter& operator=(const SentToItemCounter&) = delete;
    // Read it once the dialog has handled what was posted (Sync).
    int Count() const;

private:
    HHOOK m_hHook;
};

// Expects the merge list to show names, in order, as the user sees them: the
// newest selected, in view, and drawn so (its row in the selection's colour).
void ExpectNewestListed(const MainDialogDriver& driver, const std::vector<std::wstring>& names);

// Answers the open or save dialog with that caption ("Open", "Save As") by
// typing text into its file name field and pressing the OK button. False
// when no such dialog came up in time.
bool AnswerFileDialog(const std::wstring& caption, const std::wstring& text);
// Cancels the open or save dialog with that caption.
bool CancelFileDialog(const std::wstring& caption);
// Makes the open or save dialog with that caption show directory, as a user
// does by typing the directory into its file name field and pressing OK.
// False when no such dialog came up or it did not show the directory in time.
bool ShowFolderInFileDialog(const std::wstring& caption, const std::wstring& directory);
