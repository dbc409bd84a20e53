// The job-control block shared by the window and its worker thread: what a
// job works on, the Begin and End handshakes, the running and cancel flags.
// At most one job runs at a time, on a worker thread of its own.
#pragma once

#include <windows.h>

#include <atomic>
#include <cstdint>
#include <deque>

#include "app/Handles.h"
#include "app/Strings.h"
#include "jobs/JobFiles.h"

enum JobKind : LONG { JOB_NONE = 0, JOB_SEPARATE = 1, JOB_MERGE = 2 };

class CProgress;

class CJobControl {
public:
    CJobControl() = default;
    // Waits for a worker that is still leaving, so that m_lock outlives it.
    virtual ~CJobControl();
    CJobControl(const CJobControl&) = delete;
    CJobControl& operator=(const CJobControl&) = delete;

    // Creates the Begin and End events and resets the state to Idle; jobs
    // post their messages to target. False when an event can't be created:
    // jobs are then refused.
    bool InitJobState(HWND target);
    // Closes both events (the window is closing).
    void CloseJobEvents();

    // The busy guard: whether a job runs now.
    bool IsJobRunning();
    // Sets the job kind, starts the worker and waits until it has taken up
    // the job; on failure shows why and returns false.
    bool LaunchJob(JobKind kind);
    // Creates the worker thread; false when it can't be created.
    bool StartJobThread();
    // Asks the running job, if any, to stop and waits until it has ended.
    void CancelJobAndWait();

    // Posts msg to the window the jobs report to; false when the system did
    // not queue it: the window is gone, or its queue is full (Windows takes
    // at most 10,000 posted messages a thread).
    virtual bool PostToWindow(UINT msg, WPARAM wParam, LPARAM lParam)
    {
        return ::PostMessageW(m_hJobTarget, msg, wParam, lParam) != FALSE;
    }

    static DWORD WINAPI JobThreadProc(LPVOID param);
    int RunSeparateJob();
    int RunMergeJob();

    CCriticalSection m_lock;
    CString m_strJobPath;
    CString m_strListDir;
    std::deque<CString> m_fileList;
    int32_t m_nBlockSize = 0;
    CHandle m_hBeginEvent;
    CHandle m_hEndEvent;
    std::atomic<LONG> m_nJobKind{JOB_NONE};
    bool m_bRunning = false;
    std::atomic<bool> m_bCancel{false};

protected:
    // A job's poll point: whether a cancel has been asked for.
    virtual bool CancelRequested() { return m_bCancel.load(std::memory_order_relaxed); }

    // Hands what was written to file over to the disk; false when the disk
    // did not take it (a removable disk pulled, a network share gone).
    virtual bool FlushWritten(HANDLE file) { return ::FlushFileBuffers(file) != FALSE; }
    // Closes a written file; false when the close failed, and with it the
    // last write-back.
    virtual bool CloseWritten(CHandle& file) { return file.Close(); }
    // Sets the worker thread's execution state (KeepAwake.cpp).
    virtual EXECUTION_STATE SetExecutionState(EXECUTION_STATE flags)
    {
        return ::SetThreadExecutionState(flags);
    }
    // What makes the file at path the file it is (see FileIdentity).
    virtual FileIdentity IdentifyFile(const CString& path) { return GetFileIdentity(path); }
    // Asks the user text in a job's box (Yes and No, No the default; see
    // AskYesNo) and returns once it is answered: true for Yes.
    virtual bool AskUser(const CString& text);

private:
    enum class CopyResult { Done, Cancelled, ReadFailed, WriteFailed };

    // Copies size bytes from source to target chunk by chunk through buffer
    // (of TRANSFER_CHUNK bytes): polls for a cancel before each chunk, and
    // after each flushes target and posts the progress. A flush that fails
    // is a failed write.
    CopyResult CopyChunks(HANDLE source, HANDLE target, uint64_t size, unsigned char* buffer,
                          CProgress& progress);
    // What a copy's outcome leaves for the job's end: a cancel, or the text
    // of its failure (readFailed or writeFailed). True when the copy was
    // done and the job goes on.
    static bool TakeCopyResult(CopyResult copied, UINT readFailed, UINT writeFailed, UINT& failure,
                               bool& cancelled);

    // A job's last step, once its files are closed: tells the user how it
    // went and posts endMessage (after the success box, before an error box).
    int FinishJob(UINT endMessage, UINT doneText, UINT failure, bool cancelled);
    // Posts a job's end message until the window has it or is gone.
    void PostJobEnd(UINT endMessage);

    // How long the job waits before it posts a refused end message again.
    static constexpr DWORD END_RETRY_PAUSE_MS = 20;

    // Waits for the last worker thread to end and closes its handle.
    void ReleaseWorker();

    // Keeps the system out of sleep from the job's first chunk until it
    // tells how it went (KeepAwake.cpp); worker thread only.
    void KeepSystemAwake();
    void LetSystemSleep();
    bool m_bKeepingAwake = false;

    HWND m_hJobTarget = nullptr;
    CHandle m_hThread;
};
