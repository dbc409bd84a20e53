// Runs the real main dialog, modally, on a thread of its own in the test
// process, and drives it from the test thread as a user would.
#pragma once

#include <windows.h>

#include <atomic>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "app/Handles.h"
#include "support/MainWindow.h"
#include "support/Windows.h"
#include "ui/MainDlg.h"

class MainDialogDriver : public MainWindowControls {
public:
    // Opens the dialog (or a test's own kind of it) and waits until shown.
    explicit MainDialogDriver(std::unique_ptr<CMainDlg> dialog = std::make_unique<CMainDlg>());
    // Closes the dialog and waits for its thread, within a deadline; what the test
    // left open (a box holding a job, a file dialog) is dismissed as a failure.
    ~MainDialogDriver();

    // The dialog object itself: its job state may be read, not changed.
    CMainDlg& Object() { return *m_dialog; }

    // Waits until the dialog thread has handled everything posted to it so
    // far; false if it stayed blocked.
    bool Sync(DWORD timeoutMs = kDeadlineMs) const;
    // Waits until no job runs and the dialog has handled what the job posted.
    bool WaitIdle(DWORD timeoutMs = kDeadlineMs);
    // Holds the dialog thread at the next message its loop takes until Release():
    // what is posted meanwhile queues up, as behind a slow handler. Nothing may be
    // sent to the dialog while it is held. False when it did not get there in time.
    bool Hold() const;
    void Release() const;
    // Waits until the dialog has ended; its DoModal result then is Result().
    bool WaitClosed(DWORD timeoutMs = kDeadlineMs);
    INT_PTR Result() const { return m_result; }

private:
    std::unique_ptr<CMainDlg> m_dialog;
    std::thread m_thread;
    INT_PTR m_result = 0;
    std::atomic<bool> m_bClosed{false};  // DoModal has returned m_result
};

// Counts, while it lives, the msg messages the dialog thread sends to control id: how
// often a handler told it to change (and draw). One at a time; read it after Sync.
class SentToItemCounter {
public:
    SentToItemCounter(const MainDialogDriver& driver, int id, UINT msg);
    int Count() const;

private:
    CHookHandle m_hook;
};

// Looks, when the dialog thread takes the next WM_NULL posted to the dialog, at
// whether control id still waits for a paint: posted messages come before WM_PAINT,
// so a control only marked for drawing stays undrawn while a job keeps the queue busy.
class PaintWaitProbe {
public:
    PaintWaitProbe(const MainDialogDriver& driver, int id);
    // Read it once the dialog has handled what was posted (Sync): whether a
    // WM_NULL was taken, and whether the control then waited for a paint.
    bool Looked() const;
    bool Waited() const;

private:
    CHookHandle m_hook;
};

// Expects the merge list to show names, in order, as the user sees them: the
// newest selected, in view, and drawn so (its row in the selection's colour).
void ExpectNewestListed(const MainDialogDriver& driver, const std::vector<std::wstring>& names);

// Answers the open or save dialog with that caption ("Open", "Save As") by typing
// text into its file name field and pressing OK, and waits until it has gone.
// False when no such dialog came up in time.
bool AnswerFileDialog(const std::wstring& caption, const std::wstring& text);
// The same without the wait: the dialog, or null if none came or it has no field.
HWND SubmitFileDialog(const std::wstring& caption, const std::wstring& text);
// Waits for the question box that fileDialog asks (a message box it owns)
// and presses button (IDYES, IDNO) on it. False when none came up in time.
bool AnswerQuestion(HWND fileDialog, int button);
// Chooses every file the open dialog with that caption lists, as a user does with
// Ctrl+A and Enter in its file list (not through the OK button). Returns the
// dialog; null when none came up in time or it has no file list.
HWND ChooseAllInFileDialog(const std::wstring& caption);
// Cancels the open or save dialog with that caption.
bool CancelFileDialog(const std::wstring& caption);
// Makes the open or save dialog with that caption show directory, typed into
// its file name field; false when it did not show the directory in time.
bool ShowFolderInFileDialog(const std::wstring& caption, const std::wstring& directory);
