// A job keeps the system out of sleep while it works: a large job left to
// run, a merge overnight, must not be cut off by the idle timer. The display
// may still turn off. The hold is taken when the job starts copying and given
// back before it shows its box: a box may wait for the user for hours, and
// the system may sleep meanwhile.
#include "jobs/JobControl.h"

void CJobControl::KeepSystemAwake()
{
    if (m_bKeepingAwake)
        return;
    // When this fails the job goes on all the same, only without the hold.
    SetExecutionState(ES_CONTINUOUS | ES_SYSTEM_REQUIRED);
    m_bKeepingAwake = true;
}

void CJobControl::LetSystemSleep()
{
    if (!m_bKeepingAwake)
        return;
    // ES_CONTINUOUS alone clears the hold; it can't fail for want of one.
    SetExecutionState(ES_CONTINUOUS);
    m_bKeepingAwake = false;
}
