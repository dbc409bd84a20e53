// The worker's handshakes: launch, end, cancel, refusal, and the idle state
// that every ending returns to.
#include <gtest/gtest.h>

#include <atomic>
#include <thread>
#include <utility>
#include <vector>

#include "support/JobRunner.h"
#include "support/TestFiles.h"
#include "support/Windows.h"

namespace {

void ExpectIdle(CJobControl& job)
{
    EXPECT_FALSE(job.IsJobRunning());
    EXPECT_EQ(JOB_NONE, job.m_nJobKind.load());
    // End is signalled whenever nothing runs; put the signal back after looking.
    EXPECT_EQ(WAIT_OBJECT_0, ::WaitForSingleObject(job.m_hEndEvent, 0));
    ::SetEvent(job.m_hEndEvent);
}

// The window gone: nothing takes the end, and nothing waits for it.
TEST(JobControl, AJobWhoseWindowIsGoneEndsAndReturnsToIdle)
{
    TempDir dir;
    WriteBytes(dir / L"f.bin", MakeBytes(3000, 1));
    JobRunner runner;
    ExpectIdle(runner.job);
    runner.SetSeparate(dir / L"f.bin", 1024);
    ASSERT_TRUE(::DestroyWindow(runner.window));
    ASSERT_TRUE(runner.job.LaunchJob(JOB_SEPARATE));
    EXPECT_EQ(kSeparated, TakeBox(kNoticeCaption));
    EXPECT_TRUE(WaitFor([&] { return !runner.job.IsJobRunning(); }))
        << "the job waits for a window that is gone";
    ExpectIdle(runner.job);
}

// While a job copies, the system may not sleep (the display may); the hold
// is given back before the job's box, and on every way the job ends. A job
// that copies nothing never takes it. Where the hold can't be taken the job
// runs as it would without it. Every ending returns the control to idle.
// One control runs every case: the separation after the cancel must clear it.
TEST(JobControl, EveryEndingReturnsToIdleAndTheSystemSleepsOnlyOutsideTheCopy)
{
    const std::vector<EXECUTION_STATE> held = {ES_CONTINUOUS | ES_SYSTEM_REQUIRED, ES_CONTINUOUS};
    struct Case {
        const char* what;
        JobKind kind;
        const wchar_t* source;  // to separate, or the one file to merge
        int cancelAtPoll, failFlushAt;
        bool failToHold;
        std::vector<EXECUTION_STATE> states;
        std::wstring box;
    };
    const Case cases[] = {
        {"cancel", JOB_SEPARATE, L"f.bin", 2, 0, false, held, L""},
        {"separation", JOB_SEPARATE, L"f.bin", 0, 0, false, held, NoticeBox(kSeparated)},
        {"merge", JOB_MERGE, L"f.bin", 0, 0, false, held, NoticeBox(kMerged)},
        {"merge cancelled while sizing", JOB_MERGE, L"f.bin", 1, 0, false, {}, L""},
        {"failed write", JOB_MERGE, L"f.bin", 0, 2, false, held, ErrorBox(kCantWriteResult)},
        {"source missing", JOB_SEPARATE, L"missing", 0, 0, false, {}, ErrorBox(kCantOpenSource)},
        {"file to merge missing", JOB_MERGE, L"missing", 0, 0, false, {},
         ErrorBox(kCantOpenMerged)},
        {"empty source", JOB_SEPARATE, L"empty", 0, 0, false, {}, L""},
        {"hold refused", JOB_SEPARATE, L"f.bin", 0, 0, true, held, NoticeBox(kSeparated)},
    };
    TempDir dir;
    WriteBytes(dir / L"f.bin", MakeBytes(3 * 1048576 + 5, 1));
    WriteBytes(dir / L"empty", {});
    JobRunner runner;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        if (c.kind == JOB_SEPARATE)
            runner.SetSeparate(dir / c.source, 1048576);
        else
            runner.SetMerge(dir.Path(), {c.source}, dir / L"out");
        runner.job.m_nCancelAtPoll = c.cancelAtPoll;
        runner.job.m_nFailFlushAt = c.failFlushAt;
        runner.job.m_bFailExecutionState = c.failToHold;
        std::wstring box;
        bool boxWhileHeld = false;
        runner.Run(c.kind, [&](const std::wstring& event) {
            if (event.compare(0, 4, L"box ") == 0) {
                box = event;
                boxWhileHeld = (runner.job.m_nExecutionState & ES_SYSTEM_REQUIRED) != 0;
            }
        });
        EXPECT_EQ(c.states, runner.job.m_executionStates);
        EXPECT_EQ(c.box, box);
        EXPECT_FALSE(boxWhileHeld);
        ExpectIdle(runner.job);
    }
}

TEST(JobControl, CancelWithoutAJobReturnsAtOnceEveryTime)
{
    JobRunner runner;
    std::atomic<int> done{0};
    std::thread canceller([&] {
        runner.job.CancelJobAndWait();
        runner.job.CancelJobAndWait();
        done = 2;
    });
    EXPECT_TRUE(WaitFor([&] { return done == 2; }));
    canceller.join();
    ExpectIdle(runner.job);
}

TEST(JobControl, WithoutItsEventsAJobIsRefusedWithTheCommandsText)
{
    using Case = std::pair<JobKind, std::wstring>;
    for (const auto& [kind, text] : {Case{JOB_SEPARATE, kCantStartSeparate},
                                     Case{JOB_MERGE, kCantStartMerge}}) {
        CJobControl job;  // never given its events
        std::atomic<int> launched{-1};
        std::thread command([&, kind = kind] { launched = job.LaunchJob(kind) ? 1 : 0; });
        EXPECT_EQ(text, TakeBox(kErrorCaption));
        EXPECT_TRUE(WaitFor([&] { return launched != -1; }));
        command.join();
        EXPECT_EQ(0, launched.load());
        EXPECT_EQ(JOB_NONE, job.m_nJobKind.load());
    }
}

TEST(JobControl, ObjectGoneRightAfterACancelLeavesNoWorkerBehind)
{
    TempDir dir;
    WriteBytes(dir / L"f.bin", MakeBytes(64 * 1048576, 1));
    for (int round = 0; round < 5; ++round) {
        auto runner = std::make_unique<JobRunner>();
        runner->SetSeparate(dir / L"f.bin", 1048576);
        ASSERT_TRUE(runner->job.LaunchJob(JOB_SEPARATE));
        runner->job.CancelJobAndWait();
        runner.reset();  // must wait for the worker to leave the lock
    }
    EXPECT_EQ(64u * 1048576, FileSizeOf(dir / L"f.bin"));
}

}  // namespace
