#include "jobs/JobControl.h"

#include "app/MessageBoxes.h"
#include "jobs/JobFiles.h"
#include "jobs/Progress.h"
#include "res/resource.h"

CJobControl::~CJobControl()
{
    ReleaseWorker();
}

bool CJobControl::InitJobState(HWND target)
{
    m_hJobTarget = target;
    // Unnamed: two running copies of the program never meet on them.
    m_hBeginEvent.Attach(::CreateEventW(nullptr, FALSE, FALSE, nullptr));
    m_hEndEvent.Attach(::CreateEventW(nullptr, FALSE, TRUE, nullptr));
    m_nJobKind = JOB_NONE;
    m_bRunning = false;
    m_bCancel = false;
    return m_hBeginEvent.IsValid() && m_hEndEvent.IsValid();
}

void CJobControl::CloseJobEvents()
{
    m_hBeginEvent.Close();
    m_hEndEvent.Close();
}

bool CJobControl::IsJobRunning()
{
    CLock lock(m_lock);
    return m_bRunning;
}

bool CJobControl::LaunchJob(JobKind kind)
{
    m_nJobKind = kind;
    if (!StartJobThread()) {
        m_nJobKind = JOB_NONE;
        ShowError(kind == JOB_SEPARATE ? IDS_SEPARATE_FAILED : IDS_MERGE_FAILED);
        return false;
    }
    ::WaitForSingleObject(m_hBeginEvent, INFINITE);
    return true;
}

bool CJobControl::StartJobThread()
{
    // Without its events a job could never be waited for: refuse it.
    if (!m_hBeginEvent.IsValid() || !m_hEndEvent.IsValid())
        return false;
    ReleaseWorker();
    HANDLE thread = ::CreateThread(nullptr, 0, JobThreadProc, this, 0, nullptr);
    if (thread == nullptr)
        return false;
    ::SetThreadPriority(thread, THREAD_PRIORITY_NORMAL);
    // Kept, not joined: only waited for when the next job starts or the
    // dialog goes, so that the worker has left m_lock by then.
    m_hThread.Attach(thread);
    return true;
}

void CJobControl::ReleaseWorker()
{
    if (m_hThread.IsValid())
        ::WaitForSingleObject(m_hThread, INFINITE);
    m_hThread.Close();
}

void CJobControl::CancelJobAndWait()
{
    m_bCancel = true;
    if (!m_hEndEvent.IsValid())
        return;
    ::WaitForSingleObject(m_hEndEvent, INFINITE);
    // The wait consumed the idle signal; put it back.
    ::SetEvent(m_hEndEvent);
}

DWORD WINAPI CJobControl::JobThreadProc(LPVOID param)
{
    CJobControl* job = static_cast<CJobControl*>(param);
    {
        CLock lock(job->m_lock);
        job->m_bRunning = true;
        job->m_bCancel = false;
        ::ResetEvent(job->m_hEndEvent);
        ::SetEvent(job->m_hBeginEvent);
    }

    int result = 0;
    switch (job->m_nJobKind.load()) {
    case JOB_SEPARATE:
        result = job->RunSeparateJob();
        break;
    case JOB_MERGE:
        result = job->RunMergeJob();
        break;
    default:
        break;
    }
    job->LetSystemSleep();

    {
        CLock lock(job->m_lock);
        job->m_bRunning = false;
        job->m_nJobKind = JOB_NONE;
        ::SetEvent(job->m_hEndEvent);
    }
    return static_cast<DWORD>(result);
}

bool CJobControl::AskUser(const CString& text)
{
    return AskYesNo(IDS_PRODUCT_NAME, text, nullptr, JOB_BOX_STYLE);
}

// The end draws the list and empties the bar, so it must arrive; but a
// window that waits in Cancel or Exit would never make room for it
// (WorkerMessages.h).
void CJobControl::PostJobEnd(UINT endMessage)
{
    while (!PostToWindow(endMessage, 0, 0) && ::IsWindow(m_hJobTarget) &&
           !m_bCancel.load(std::memory_order_relaxed))
        ::Sleep(END_RETRY_PAUSE_MS);
}

CJobControl::CopyResult CJobControl::CopyChunks(HANDLE source, HANDLE target, uint64_t size,
                                                unsigned char* buffer, CProgress& progress)
{
    KeepSystemAwake();
    for (uint64_t left = size; left > 0;) {
        if (CancelRequested())
            return CopyResult::Cancelled;
        DWORD length = left < TRANSFER_CHUNK ? static_cast<DWORD>(left) : TRANSFER_CHUNK;
        DWORD moved = 0;
        if (!::ReadFile(source, buffer, length, &moved, nullptr) || moved != length)
            return CopyResult::ReadFailed;
        if (!::WriteFile(target, buffer, length, &moved, nullptr) || moved != length)
            return CopyResult::WriteFailed;
        if (!FlushWritten(target))
            return CopyResult::WriteFailed;
        left -= length;
        progress.PostStep();
    }
    return CopyResult::Done;
}

bool CJobControl::TakeCopyResult(CopyResult copied, UINT readFailed, UINT writeFailed,
                                 UINT& failure, bool& cancelled)
{
    if (copied == CopyResult::Cancelled)
        cancelled = true;
    else if (copied == CopyResult::ReadFailed)
        failure = readFailed;
    else if (copied == CopyResult::WriteFailed)
        failure = writeFailed;
    return copied == CopyResult::Done;
}

int CJobControl::FinishJob(UINT endMessage, UINT doneText, UINT failure, bool cancelled)
{
    LetSystemSleep();
    if (failure == 0 && !cancelled) {
        ShowNotice(doneText, nullptr, JOB_BOX_STYLE);
        PostJobEnd(endMessage);
        return 1;
    }
    PostJobEnd(endMessage);
    if (failure != 0)
        ShowError(failure, nullptr, JOB_BOX_STYLE);
    return 0;
}
