// A write that the disk did not take: a flush or a close of a written file
// that fails (a removable disk pulled, a network share gone) ends the job as
// a failed write does. The failures come through the job's seams, since no
// disk here can be made to drop what it was given.
#include <gtest/gtest.h>

#include "support/JobRunner.h"
#include "support/TestFiles.h"

namespace {

TEST(WriteBack, AFailedFlushOrCloseIsAFailedWrite)
{
    const std::wstring kBlockWriteFailed = ErrorBox(kCantWriteBlock);
    const std::wstring kResultWriteFailed = ErrorBox(kCantWriteResult);
    struct Case {
        const char* what;
        JobKind kind;
        int failFlushAt;
        int failCloseAt;
        Events events;
    };
    // Three blocks of one chunk each; a merge of two files of one chunk each.
    const Case cases[] = {
        {"flush of the second block", JOB_SEPARATE, 2, 0,
         {L"range 1 3", L"pos 1", L"item f_00000.bin", L"end separate", kBlockWriteFailed}},
        {"close of the second block", JOB_SEPARATE, 0, 2,
         {L"range 1 3", L"pos 1", L"item f_00000.bin", L"pos 2", L"end separate", kBlockWriteFailed}},
        {"close of the last block", JOB_SEPARATE, 0, 3,
         {L"range 1 3", L"pos 1", L"item f_00000.bin", L"pos 2", L"item f_00001.bin", L"pos 3",
          L"end separate", kBlockWriteFailed}},
        {"flush of the result's second chunk", JOB_MERGE, 2, 0,
         {L"range 1 2", L"pos 1", L"end merge", kResultWriteFailed}},
        {"close of the result", JOB_MERGE, 0, 1,
         {L"range 1 2", L"pos 1", L"pos 2", L"end merge", kResultWriteFailed}},
    };
    TempDir dir;
    WriteBytes(dir / L"f.bin", MakeBytes(2500000, 3));
    WriteBytes(dir / L"a", MakeBytes(3, 1));
    WriteBytes(dir / L"b", MakeBytes(5, 2));
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        JobRunner runner;
        if (c.kind == JOB_SEPARATE)
            runner.SetSeparate(dir / L"f.bin", 1048576);
        else
            runner.SetMerge(dir.Path(), {L"a", L"b"}, dir / L"out");
        runner.job.m_nFailFlushAt = c.failFlushAt;
        runner.job.m_nFailCloseAt = c.failCloseAt;
        EXPECT_EQ(c.events, runner.Run(c.kind));
    }
}

}  // namespace
