// Posts a job's progress to its window, in transfer chunks.
#pragma once

#include <windows.h>

#include <cstdint>

class CJobControl;

class CProgress {
public:
    explicit CProgress(CJobControl& job) : m_job(job) {}

    // Posts the range 1 ... total. A total beyond what a message carries is
    // scaled down, and every position with it, so the bar stays true.
    void PostRange(uint64_t total);
    // Counts one more chunk done and posts the new position.
    void PostStep();

private:
    CJobControl& m_job;
    uint64_t m_nDone = 0;
    unsigned m_nShift = 0;
};
