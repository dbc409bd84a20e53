// A disk that fills up under a job: a small filesystem that the test run
// mounts and maps to drive Q: (tools/fullfs.sh). Where it could not be
// mounted the tests say so and skip.
#include <gtest/gtest.h>

#include "support/Blocks.h"
#include "support/JobRunner.h"
#include "support/TestFiles.h"

namespace {

const std::wstring kFullDrive = L"Q:\\";

// An empty directory on the small filesystem, or skip. What a test leaves
// there the next one's SetUp, or the unmount after the last, clears away.
class DiskFull : public ::testing::Test {
protected:
    void SetUp() override
    {
        if (!FileExists(kFullDrive + L".kestrane-fullfs"))
            GTEST_SKIP() << "no small filesystem is mapped to Q: (tools/fullfs.sh could not mount one)";
        RemoveTree(m_dir);
        ASSERT_TRUE(::CreateDirectoryW(m_dir.c_str(), nullptr));
    }
    const std::wstring m_dir = kFullDrive + L"work\\";
};

TEST_F(DiskFull, SeparationStopsWithAWriteErrorAndKeepsEarlierBlocks)
{
    // 2 MiB of source and 2 MiB of blocks do not fit into 3 MiB.
    const Bytes source = MakeBytes(2 << 20, 5);
    WriteBytes(m_dir + L"src.bin", source);
    JobRunner runner;
    runner.SetSeparate(m_dir + L"src.bin", 256 * 1024);
    Events events = WithoutPositions(runner.Run(JOB_SEPARATE));
    ASSERT_GE(events.size(), 3u);
    EXPECT_EQ(L"end separate", events[events.size() - 2]);
    EXPECT_EQ(ErrorBox(kCantWriteBlock), events.back());
    EXPECT_EQ(source, ReadBytes(m_dir + L"src.bin"));
    // Every block handed over is complete.
    const std::vector<std::wstring> listed = ItemNames(events);
    EXPECT_TRUE(SourceBlocks(m_dir, L"src", L".bin", 256 * 1024).AreWhole(listed));
    EXPECT_LT(listed.size(), 8u);
}

TEST_F(DiskFull, MergeStopsWithAWriteErrorAndKeepsWhatFitted)
{
    TempDir sources;
    const Bytes a = MakeBytes(2 << 20, 1), b = MakeBytes(2 << 20, 2);
    WriteBytes(sources / L"a", a);
    WriteBytes(sources / L"b", b);
    JobRunner runner;
    runner.SetMerge(sources.Path(), {L"a", L"b"}, m_dir + L"out");
    Events events = WithoutPositions(runner.Run(JOB_MERGE));
    EXPECT_EQ((Events{L"range 1 4", L"end merge", ErrorBox(kCantWriteResult)}),
              events);
    Bytes all = a;
    all.insert(all.end(), b.begin(), b.end());
    const Bytes written = ReadBytes(m_dir + L"out");
    EXPECT_LT(written.size(), all.size());
    EXPECT_EQ(Bytes(all.begin(), all.begin() + written.size()), written);
    EXPECT_EQ(a, ReadBytes(sources / L"a"));
}

}  // namespace
