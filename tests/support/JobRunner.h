// Runs a job on its real worker thread and records, in order, everything it
// shows: the messages it posts to a real window, and its message boxes.
#pragma once

#include <windows.h>

#include <atomic>
#include <deque>
#include <functional>
#include <string>
#include <vector>

#include "jobs/JobControl.h"
#include "support/Boxes.h"

// Events as recorded:
//   "range 1 N"   WM_PROGRESS_RANGE      "pos K"         WM_PROGRESS_POS
//   "item NAME"   WM_ADD_MERGE_ITEM, with the name taken off the file list
//   "end separate" / "end merge"          the end messages
//   "box CAPTION: TEXT"                   a message box, dismissed with OK
//   "ask TEXT"    a job's question, in its place among the posts, answered m_bAnswerYes
using Events = std::vector<std::wstring>;

constexpr UINT WM_JOB_ASKED = WM_APP + 1;  // posted as the job asks

inline std::wstring BoxEvent(const std::wstring& caption, const std::wstring& text)
{
    return L"box " + caption + L": " + text;
}
inline std::wstring ErrorBox(const std::wstring& text) { return BoxEvent(kErrorCaption, text); }
inline std::wstring NoticeBox(const std::wstring& text) { return BoxEvent(kNoticeCaption, text); }

// A job-control block whose poll points can see a cancel at an exact poll,
// whose flushes and closes of written files can fail at an exact call (from
// 1), as on a disk that goes away, and which can alter every file identity
// it takes, as a file system with no file index or volume serial gives them.
class CTestJob : public CJobControl {
public:
    int m_nCancelAtPoll = 0;
    int m_nPolls = 0;
    int m_nFailFlushAt = 0;
    int m_nFlushes = 0;
    int m_nFailCloseAt = 0;
    int m_nCloses = 0;
    std::function<void(const std::wstring& path, FileIdentity&)> m_alterIdentity;
    // Every execution state the worker set (read it once the job has ended),
    // and the last one, while it runs; m_bFailExecutionState makes it fail.
    std::vector<EXECUTION_STATE> m_executionStates;
    std::atomic<EXECUTION_STATE> m_nExecutionState{0};
    bool m_bFailExecutionState = false;
    bool m_bAnswerYes = true;  // its answer to every question it asks
    std::deque<std::wstring> m_questions;  // asked, not yet recorded; under m_lock

protected:
    bool CancelRequested() override
    {
        if (++m_nPolls == m_nCancelAtPoll)
            m_bCancel = true;
        return CJobControl::CancelRequested();
    }
    bool FlushWritten(HANDLE file) override
    {
        return CJobControl::FlushWritten(file) && ++m_nFlushes != m_nFailFlushAt;
    }
    bool CloseWritten(CHandle& file) override
    {
        return CJobControl::CloseWritten(file) && ++m_nCloses != m_nFailCloseAt;
    }
    EXECUTION_STATE SetExecutionState(EXECUTION_STATE flags) override
    {
        m_executionStates.push_back(flags);
        m_nExecutionState = flags;
        return m_bFailExecutionState ? 0 : CJobControl::SetExecutionState(flags);
    }
    FileIdentity IdentifyFile(const CString& path) override
    {
        FileIdentity identity = CJobControl::IdentifyFile(path);
        if (m_alterIdentity)
            m_alterIdentity(path, identity);
        return identity;
    }
    bool AskUser(const CString& text) override
    {
        CLock lock(m_lock);
        m_questions.push_back(text);
        PostToWindow(WM_JOB_ASKED, 0, 0);
        return m_bAnswerYes;
    }
};

class JobRunner {
public:
    JobRunner();
    // Cancels a job still running and waits for its end, dismissing a box left
    // open (a failure); a job that does not end in time ends the test program.
    ~JobRunner();

    void SetSeparate(const std::wstring& path, int32_t blockSize);
    void SetMerge(const std::wstring& dir, const std::vector<std::wstring>& names,
                  const std::wstring& result);

    // Launches the job and records until it has ended. onEvent runs after
    // each recorded event, on this thread, while the job goes on.
    Events Run(JobKind kind, const std::function<void(const std::wstring&)>& onEvent = {});

    CTestJob job;
    HWND window = nullptr;
    Events events;
    std::function<void(const std::wstring&)> onEvent;

private:
    void Record(const std::wstring& event);
    static LRESULT CALLBACK WindowProc(HWND hWnd, UINT msg, WPARAM wParam, LPARAM lParam);
};

// The events with every "pos K" dropped, for tests about the rest.
Events WithoutPositions(const Events& events);
// The names of the "item NAME" events, in order.
std::vector<std::wstring> ItemNames(const Events& events);
