#include "jobs/Progress.h"

#include "jobs/WorkerMessages.h"

void CProgress::PostRange(uint64_t total)
{
    m_nShift = 0;
    while ((total >> m_nShift) > 0x7FFFFFFF)
        ++m_nShift;
    m_nDone = 0;
    ::PostMessageW(m_hTarget, WM_PROGRESS_RANGE, 1, static_cast<LPARAM>(total >> m_nShift));
}

void CProgress::PostStep()
{
    ++m_nDone;
    ::PostMessageW(m_hTarget, WM_PROGRESS_POS, static_cast<WPARAM>(m_nDone >> m_nShift), 0);
}

void CProgress::Post(UINT msg) const
{
    ::PostMessageW(m_hTarget, msg, 0, 0);
}
