#include "jobs/Progress.h"

#include "jobs/JobControl.h"
#include "jobs/WorkerMessages.h"

void CProgress::PostRange(uint64_t total)
{
    m_nShift = 0;
    while ((total >> m_nShift) > 0x7FFFFFFF)
        ++m_nShift;
    m_nDone = 0;
    m_job.PostToWindow(WM_PROGRESS_RANGE, 1, static_cast<LPARAM>(total >> m_nShift));
}

void CProgress::PostStep()
{
    ++m_nDone;
    m_job.PostToWindow(WM_PROGRESS_POS, static_cast<WPARAM>(m_nDone >> m_nShift), 0);
}
