// The separate job on real files, its worker thread and a real window that
// records what the job posts.
#include <gtest/gtest.h>

#include "app/Handles.h"
#include "support/Blocks.h"
#include "support/JobRunner.h"
#include "support/TestFiles.h"

namespace {

const std::wstring kSuccess = NoticeBox(kSeparated);

// The block files named name_NNNNN.bin in dir, with their sizes.
std::vector<uint64_t> BlockSizes(const TempDir& dir, const std::wstring& stem)
{
    std::vector<uint64_t> sizes;
    for (const std::wstring& name : ListNames(dir.Path()))
        if (name.compare(0, stem.size() + 1, stem + L"_") == 0)
            sizes.push_back(FileSizeOf(dir / name));
    return sizes;
}

struct WorkedCount {
    uint64_t size;
    int32_t blockSize;
    std::vector<uint64_t> blocks;
    int total;
};

class SeparateWorkedCounts : public ::testing::TestWithParam<WorkedCount> {};

TEST_P(SeparateWorkedCounts, CutsTheBlocksAndCountsTheChunks)
{
    const WorkedCount& count = GetParam();
    TempDir dir;
    const Bytes source = MakeBytes(count.size, 7);
    WriteBytes(dir / L"f.bin", source);

    JobRunner runner;
    runner.SetSeparate(dir / L"f.bin", count.blockSize);
    Events events = runner.Run(JOB_SEPARATE);

    ASSERT_FALSE(events.empty());
    EXPECT_EQ(L"range 1 " + std::to_wstring(count.total), events.front());
    EXPECT_EQ(count.blocks, BlockSizes(dir, L"f"));
    Events expected;
    for (size_t n = 0; n < count.blocks.size(); ++n)
        expected.push_back(L"item " + BlockName(L"f", L".bin", static_cast<uint32_t>(n)));
    expected.insert(expected.begin(), events.front());
    expected.push_back(kSuccess);
    expected.push_back(L"end separate");
    EXPECT_EQ(expected, WithoutPositions(events));
    EXPECT_EQ(events.size() - expected.size(), static_cast<size_t>(count.total));
    EXPECT_EQ(L"pos " + std::to_wstring(count.total), events[events.size() - 4]);
}

INSTANTIATE_TEST_SUITE_P(
    WorkedExamples, SeparateWorkedCounts,
    ::testing::Values(WorkedCount{2500000, 1048576, {1048576, 1048576, 402848}, 3},
                      WorkedCount{5000000, 1536000, {1536000, 1536000, 1536000, 392000}, 7},
                      WorkedCount{3145728, 1048576, {1048576, 1048576, 1048576}, 3},
                      WorkedCount{100, 1024, {100}, 1}));

TEST(SeparateJob, PostsEveryChunkInOrderBeforeItsBlockIsHandedOver)
{
    TempDir dir;
    WriteBytes(dir / L"f.bin", MakeBytes(5000000, 3));
    JobRunner runner;
    runner.SetSeparate(dir / L"f.bin", 1536000);
    Events events = runner.Run(JOB_SEPARATE);
    Events expected = {L"range 1 7", L"pos 1", L"pos 2", L"item f_00000.bin", L"pos 3",
                       L"pos 4", L"item f_00001.bin", L"pos 5", L"pos 6", L"item f_00002.bin",
                       L"pos 7", L"item f_00003.bin", kSuccess, L"end separate"};
    EXPECT_EQ(expected, events);
}

TEST(SeparateJob, EmptySourceWritesAndShowsNothing)
{
    TempDir dir;
    WriteBytes(dir / L"empty.txt", {});
    JobRunner runner;
    runner.SetSeparate(dir / L"empty.txt", 1024);
    EXPECT_TRUE(runner.Run(JOB_SEPARATE).empty());
    EXPECT_EQ(std::vector<std::wstring>{L"empty.txt"}, ListNames(dir.Path()));
}

TEST(SeparateJob, OverwritesOldBlocksAndLeavesOthersAlone)
{
    TempDir dir;
    WriteBytes(dir / L"f.bin", MakeBytes(3000, 1));
    WriteBytes(dir / L"f_00000.bin", MakeBytes(5000, 2));  // longer than the new block
    WriteBytes(dir / L"f_00007.bin", MakeBytes(10, 3));    // from an earlier, finer cut
    JobRunner runner;
    runner.SetSeparate(dir / L"f.bin", 2048);
    runner.Run(JOB_SEPARATE);
    const Bytes source = MakeBytes(3000, 1);
    EXPECT_EQ(Bytes(source.begin(), source.begin() + 2048), ReadBytes(dir / L"f_00000.bin"));
    EXPECT_EQ(Bytes(source.begin() + 2048, source.end()), ReadBytes(dir / L"f_00001.bin"));
    EXPECT_EQ(MakeBytes(10, 3), ReadBytes(dir / L"f_00007.bin"));
}

TEST(SeparateJob, SourceWithoutExtensionInDottedDirectory)
{
    TempDir dir;
    ASSERT_TRUE(::CreateDirectoryW((dir / L"dir.v2").c_str(), nullptr));
    WriteBytes(dir / L"dir.v2\\notes", MakeBytes(1500, 4));
    JobRunner runner;
    runner.SetSeparate(dir / L"dir.v2\\notes", 1024);
    Events events = runner.Run(JOB_SEPARATE);
    EXPECT_EQ((std::vector<std::wstring>{L"notes", L"notes_00000", L"notes_00001"}),
              ListNames(dir / L"dir.v2\\"));
    EXPECT_EQ((Events{L"range 1 2", L"item notes_00000", L"item notes_00001", kSuccess,
                      L"end separate"}),
              WithoutPositions(events));
}

// Cancel at an exact poll point. With one chunk a block the job polls before
// block 0 (1), before its chunk (2), before block 1 (3), before its chunk (4).
TEST(SeparateJobCancel, BeforeTheFirstBlockWritesNothing)
{
    TempDir dir;
    WriteBytes(dir / L"f.bin", MakeBytes(3000, 5));
    JobRunner runner;
    runner.SetSeparate(dir / L"f.bin", 1024);
    runner.job.m_nCancelAtPoll = 1;
    EXPECT_EQ((Events{L"range 1 3", L"end separate"}), runner.Run(JOB_SEPARATE));
    EXPECT_EQ(std::vector<std::wstring>{L"f.bin"}, ListNames(dir.Path()));
}

TEST(SeparateJobCancel, BetweenBlocksLeavesOnlyCompleteBlocks)
{
    TempDir dir;
    WriteBytes(dir / L"f.bin", MakeBytes(3000, 5));
    JobRunner runner;
    runner.SetSeparate(dir / L"f.bin", 1024);
    runner.job.m_nCancelAtPoll = 3;
    EXPECT_EQ((Events{L"range 1 3", L"pos 1", L"item f_00000.bin", L"end separate"}),
              runner.Run(JOB_SEPARATE));
    EXPECT_EQ((std::vector<std::wstring>{L"f.bin", L"f_00000.bin"}), ListNames(dir.Path()));
    EXPECT_EQ(1024u, FileSizeOf(dir / L"f_00000.bin"));
}

TEST(SeparateJobCancel, BeforeABlocksFirstChunkLeavesItEmptyAndUnlisted)
{
    TempDir dir;
    WriteBytes(dir / L"f.bin", MakeBytes(3000, 5));
    JobRunner runner;
    runner.SetSeparate(dir / L"f.bin", 1024);
    runner.job.m_nCancelAtPoll = 4;
    EXPECT_EQ((Events{L"range 1 3", L"pos 1", L"item f_00000.bin", L"end separate"}),
              runner.Run(JOB_SEPARATE));
    EXPECT_EQ(0u, FileSizeOf(dir / L"f_00001.bin"));
    EXPECT_TRUE(FileExists(dir / L"f_00001.bin"));
    EXPECT_FALSE(FileExists(dir / L"f_00002.bin"));
}

TEST(SeparateJobCancel, InsideAMultiChunkBlockKeepsTheChunksWritten)
{
    TempDir dir;
    WriteBytes(dir / L"f.bin", MakeBytes(5000000, 6));
    JobRunner runner;
    runner.SetSeparate(dir / L"f.bin", 1536000);
    runner.job.m_nCancelAtPoll = 3;  // before block 0's second chunk
    EXPECT_EQ((Events{L"range 1 7", L"pos 1", L"end separate"}), runner.Run(JOB_SEPARATE));
    EXPECT_EQ(1048576u, FileSizeOf(dir / L"f_00000.bin"));
}

// Each error text reached through a real fault, with what is posted before
// the box and what is left on disk.
TEST(SeparateJobErrors, MissingSourceShowsTheBoxAndPostsNothing)
{
    TempDir dir;
    JobRunner runner;
    runner.SetSeparate(dir / L"missing.bin", 1024);
    EXPECT_EQ((Events{ErrorBox(kCantOpenSource)}), runner.Run(JOB_SEPARATE));
}

TEST(SeparateJobErrors, SourceHeldOpenForWritingCantBeOpened)
{
    TempDir dir;
    WriteBytes(dir / L"f.bin", MakeBytes(100, 1));
    CHandle writer(::CreateFileW((dir / L"f.bin").c_str(), GENERIC_WRITE,
                                 FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0,
                                 nullptr));
    ASSERT_TRUE(writer.IsValid());
    JobRunner runner;
    runner.SetSeparate(dir / L"f.bin", 1024);
    EXPECT_EQ((Events{ErrorBox(kCantOpenSource)}), runner.Run(JOB_SEPARATE));
    EXPECT_EQ(std::vector<std::wstring>{L"f.bin"}, ListNames(dir.Path()));
}

// (A read-only file would do too on Windows; the tests run as root, whom
// Wine lets write read-only files, so the block is held open instead.)
TEST(SeparateJobErrors, BlockHeldOpenElsewhereStopsTheJobAtItsIndex)
{
    TempDir dir;
    WriteBytes(dir / L"f.bin", MakeBytes(3000, 1));
    WriteBytes(dir / L"f_00001.bin", MakeBytes(7, 2));
    CHandle holder(::CreateFileW((dir / L"f_00001.bin").c_str(), GENERIC_READ, 0, nullptr,
                                 OPEN_EXISTING, 0, nullptr));
    ASSERT_TRUE(holder.IsValid());
    JobRunner runner;
    runner.SetSeparate(dir / L"f.bin", 1024);
    EXPECT_EQ((Events{L"range 1 3", L"pos 1", L"item f_00000.bin", L"end separate",
                      ErrorBox(kCantOpenBlock)}),
              runner.Run(JOB_SEPARATE));
    holder.Close();
    EXPECT_EQ(MakeBytes(7, 2), ReadBytes(dir / L"f_00001.bin"));
    EXPECT_FALSE(FileExists(dir / L"f_00002.bin"));
}

TEST(SeparateJobErrors, DirectoryOfABlocksNameStopsTheJob)
{
    TempDir dir;
    WriteBytes(dir / L"f.bin", MakeBytes(3000, 1));
    ASSERT_TRUE(::CreateDirectoryW((dir / L"f_00000.bin").c_str(), nullptr));
    JobRunner runner;
    runner.SetSeparate(dir / L"f.bin", 1024);
    EXPECT_EQ((Events{L"range 1 3", L"end separate", ErrorBox(kCantOpenBlock)}),
              runner.Run(JOB_SEPARATE));
}

}  // namespace
