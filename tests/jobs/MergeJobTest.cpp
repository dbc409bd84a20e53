// The merge job on real files: what it writes, posts and shows, and every
// way it stops.
#include <gtest/gtest.h>

#include <random>

#include "app/Handles.h"
#include "support/JobRunner.h"
#include "support/TestFiles.h"

namespace {

const wchar_t kSuccess[] = L"box Notice: Success to merge all files.";

Bytes Concat(std::initializer_list<Bytes> parts)
{
    Bytes all;
    for (const Bytes& part : parts)
        all.insert(all.end(), part.begin(), part.end());
    return all;
}

TEST(MergeJob, JoinsTheFilesInListOrder)
{
    TempDir dir;
    WriteBytes(dir / L"a", MakeBytes(3, 1));
    WriteBytes(dir / L"b", MakeBytes(5, 2));
    JobRunner runner;
    runner.SetMerge(dir.Path(), {L"b", L"a", L"b"}, dir / L"out");
    EXPECT_EQ((Events{L"range 1 3", L"pos 1", L"pos 2", L"pos 3", kSuccess, L"end merge"}),
              runner.Run(JOB_MERGE));
    EXPECT_EQ(Concat({MakeBytes(5, 2), MakeBytes(3, 1), MakeBytes(5, 2)}), ReadBytes(dir / L"out"));
    EXPECT_EQ(3u, runner.job.m_fileList.size());  // the list is kept for another run
}

TEST(MergeJob, CountsChunksFromEachFilesSize)
{
    TempDir dir;
    WriteBytes(dir / L"exact", MakeBytes(1048576, 1));
    WriteBytes(dir / L"over", MakeBytes(1048577, 2));
    WriteBytes(dir / L"empty", {});
    JobRunner runner;
    runner.SetMerge(dir.Path(), {L"exact", L"empty", L"over"}, dir / L"out");
    EXPECT_EQ((Events{L"range 1 3", L"pos 1", L"pos 2", L"pos 3", kSuccess, L"end merge"}),
              runner.Run(JOB_MERGE));
    EXPECT_EQ(Concat({MakeBytes(1048576, 1), MakeBytes(1048577, 2)}), ReadBytes(dir / L"out"));
}

TEST(MergeJob, EmptyFilesGiveAnEmptyResultAndTruncateAnOldOne)
{
    TempDir dir;
    WriteBytes(dir / L"e1", {});
    WriteBytes(dir / L"e2", {});
    WriteBytes(dir / L"out", MakeBytes(100, 9));
    JobRunner runner;
    runner.SetMerge(dir.Path(), {L"e1", L"e2"}, dir / L"out");
    EXPECT_EQ((Events{L"range 1 0", kSuccess, L"end merge"}), runner.Run(JOB_MERGE));
    EXPECT_TRUE(FileExists(dir / L"out"));
    EXPECT_EQ(0u, FileSizeOf(dir / L"out"));
}

// Separating and merging the blocks back in index order gives the source.
void ExpectRoundTrip(uint64_t size, int32_t blockSize, uint32_t seed)
{
    SCOPED_TRACE("size " + std::to_string(size) + ", block size " + std::to_string(blockSize) +
                 ", seed " + std::to_string(seed));
    TempDir dir;
    const Bytes source = MakeBytes(size, seed);
    WriteBytes(dir / L"src.dat", source);
    JobRunner runner;
    runner.SetSeparate(dir / L"src.dat", blockSize);
    std::vector<std::wstring> blocks;
    for (const std::wstring& event : runner.Run(JOB_SEPARATE))
        if (event.compare(0, 5, L"item ") == 0)
            blocks.push_back(event.substr(5));
    EXPECT_EQ(size == 0 ? 0 : (size - 1) / blockSize + 1, blocks.size());
    runner.SetMerge(dir.Path(), blocks, dir / L"back.dat");
    runner.Run(JOB_MERGE);
    EXPECT_EQ(source, ReadBytes(dir / L"back.dat"));
}

TEST(RoundTrip, SizesAroundEveryBoundary)
{
    const int32_t small = 1000;
    for (uint64_t size : {1, 999, 1000, 1001, 2999, 3000, 3001})
        ExpectRoundTrip(size, small, 11);
    const int32_t mib = 1048576;
    for (uint64_t size : {mib - 1, mib, mib + 1, 3 * mib})
        ExpectRoundTrip(size, mib, 12);
    // Blocks of several chunks, and a block size that is no multiple of a chunk.
    for (uint64_t size : {5000000, 4608000, 4608001})
        ExpectRoundTrip(size, 1536000, 13);
    ExpectRoundTrip(1, 1, 14);
    ExpectRoundTrip(7, 1, 15);
}

TEST(RoundTrip, SeededRandomSizesAndBlockSizes)
{
    const uint32_t seed = 20261208;
    std::mt19937 random(seed);
    for (int i = 0; i < 12; ++i) {
        const uint64_t size = std::uniform_int_distribution<uint64_t>(1, 3 * 1048576)(random);
        const int32_t blockSize = std::uniform_int_distribution<int32_t>(1, 2 * 1048576)(random);
        ExpectRoundTrip(size, blockSize < 64 ? blockSize + 4096 : blockSize, seed + i);
    }
}

// Cancel at an exact poll point: the sizing pass polls once per entry, the
// merge pass once per entry and once per chunk.
TEST(MergeJobCancel, InTheSizingPassLeavesAnEmptyResultAndPostsNothing)
{
    TempDir dir;
    WriteBytes(dir / L"a", MakeBytes(10, 1));
    WriteBytes(dir / L"out", MakeBytes(10, 2));
    JobRunner runner;
    runner.SetMerge(dir.Path(), {L"a", L"a"}, dir / L"out");
    runner.job.m_nCancelAtPoll = 2;
    EXPECT_TRUE(runner.Run(JOB_MERGE).empty());
    EXPECT_TRUE(FileExists(dir / L"out"));
    EXPECT_EQ(0u, FileSizeOf(dir / L"out"));
}

TEST(MergeJobCancel, InTheCopyPassKeepsWhatWasWritten)
{
    TempDir dir;
    WriteBytes(dir / L"a", MakeBytes(10, 1));
    WriteBytes(dir / L"b", MakeBytes(20, 2));
    JobRunner runner;
    runner.SetMerge(dir.Path(), {L"a", L"b"}, dir / L"out");
    runner.job.m_nCancelAtPoll = 5;  // before entry b: a is copied
    EXPECT_EQ((Events{L"range 1 2", L"pos 1", L"end merge"}), runner.Run(JOB_MERGE));
    EXPECT_EQ(MakeBytes(10, 1), ReadBytes(dir / L"out"));

    runner.job.m_nCancelAtPoll = 3;  // before the copy pass writes anything
    EXPECT_EQ((Events{L"range 1 2", L"end merge"}), runner.Run(JOB_MERGE));
    EXPECT_EQ(0u, FileSizeOf(dir / L"out"));
}

TEST(MergeJobErrors, ResultThatCantBeOpened)
{
    TempDir dir;
    WriteBytes(dir / L"a", MakeBytes(10, 1));
    // Held open without write sharing: as root under Wine a read-only file
    // would be written all the same.
    WriteBytes(dir / L"held", MakeBytes(10, 2));
    CHandle holder(::CreateFileW((dir / L"held").c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                                 OPEN_EXISTING, 0, nullptr));
    ASSERT_TRUE(holder.IsValid());
    ASSERT_TRUE(::CreateDirectoryW((dir / L"folder").c_str(), nullptr));
    const Events refused = {L"box Error: Fail to open or create the merge result file!"};
    for (const std::wstring& result : {dir / L"missing\\out", dir / L"folder", dir / L"held"}) {
        SCOPED_TRACE(Narrow(result));
        JobRunner runner;
        runner.SetMerge(dir.Path(), {L"a"}, result);
        EXPECT_EQ(refused, runner.Run(JOB_MERGE));
    }
    holder.Close();
    EXPECT_EQ(MakeBytes(10, 2), ReadBytes(dir / L"held"));
    EXPECT_FALSE(FileExists(dir / L"missing"));
}

TEST(MergeJobErrors, MissingEntryStopsAfterTheFilesBeforeIt)
{
    TempDir dir;
    WriteBytes(dir / L"a", MakeBytes(10, 1));
    WriteBytes(dir / L"c", MakeBytes(10, 3));
    JobRunner runner;
    runner.SetMerge(dir.Path(), {L"a", L"gone", L"c"}, dir / L"out");
    EXPECT_EQ((Events{L"range 1 2", L"pos 1", L"end merge",
                      L"box Error: Can't open the file that will be merged!"}),
              runner.Run(JOB_MERGE));
    EXPECT_EQ(MakeBytes(10, 1), ReadBytes(dir / L"out"));
}

TEST(MergeJobErrors, EntryHeldOpenForWritingCantBeMerged)
{
    TempDir dir;
    WriteBytes(dir / L"a", MakeBytes(10, 1));
    CHandle writer(::CreateFileW((dir / L"a").c_str(), GENERIC_WRITE,
                                 FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0,
                                 nullptr));
    ASSERT_TRUE(writer.IsValid());
    JobRunner runner;
    runner.SetMerge(dir.Path(), {L"a"}, dir / L"out");
    EXPECT_EQ((Events{L"range 1 0", L"end merge",
                      L"box Error: Can't open the file that will be merged!"}),
              runner.Run(JOB_MERGE));
}

// The result must never destroy one of the files to merge, however the two
// names are written.
TEST(MergeJobErrors, ResultThatIsOneOfTheFilesIsRefusedUntouched)
{
    TempDir dir;
    ASSERT_TRUE(::CreateDirectoryW((dir / L"sub").c_str(), nullptr));
    WriteBytes(dir / L"Part.bin", MakeBytes(100, 1));
    WriteBytes(dir / L"other", MakeBytes(100, 2));
    ASSERT_TRUE(::CreateHardLinkW((dir / L"link.bin").c_str(), (dir / L"Part.bin").c_str(), nullptr));
    wchar_t shortName[MAX_PATH] = L"";
    ASSERT_NE(0u, ::GetShortPathNameW((dir / L"Part.bin").c_str(), shortName, MAX_PATH));

    const Events refused = {L"box Error: The merge result file can't be one of the files to merge!"};
    for (const std::wstring& result :
         {dir / L"PART.BIN", dir / L"sub\\..\\Part.bin", std::wstring(shortName), dir / L"link.bin"}) {
        SCOPED_TRACE(Narrow(result));
        JobRunner runner;
        runner.SetMerge(dir.Path(), {L"other", L"Part.bin"}, result);
        EXPECT_EQ(refused, runner.Run(JOB_MERGE));
        EXPECT_EQ(MakeBytes(100, 1), ReadBytes(dir / L"Part.bin"));
    }
}

// Some file systems report a file index of 0 for every file, or no volume
// serial, so that files of two such volumes can share serial and index.
// There the paths the files resolve to decide: a result that is another
// file is merged, one that is a listed file is still refused.
TEST(MergeJobErrors, WithoutFileIndexTheResolvedPathsDecide)
{
    TempDir dir;
    ASSERT_TRUE(::CreateDirectoryW((dir / L"sub").c_str(), nullptr));
    WriteBytes(dir / L"Part.bin", MakeBytes(100, 1));
    WriteBytes(dir / L"other", MakeBytes(200, 2));
    const Events refused = {L"box Error: The merge result file can't be one of the files to merge!"};
    struct Case {
        const char* what;
        void (*alter)(FileIdentity&);
    };
    const Case cases[] = {
        {"file index 0", [](FileIdentity& id) { id.indexHigh = id.indexLow = 0; }},
        {"volume serial 0, index 7", [](FileIdentity& id) {
             id.volume = 0;
             id.indexHigh = 0;
             id.indexLow = 7;
         }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        // An existing result that is neither listed file.
        WriteBytes(dir / L"out", MakeBytes(50, 3));
        JobRunner runner;
        runner.job.m_alterIdentity = c.alter;
        runner.SetMerge(dir.Path(), {L"other", L"Part.bin"}, dir / L"out");
        EXPECT_EQ((Events{L"range 1 2", L"pos 1", L"pos 2", kSuccess, L"end merge"}),
                  runner.Run(JOB_MERGE));
        EXPECT_EQ(Concat({MakeBytes(200, 2), MakeBytes(100, 1)}), ReadBytes(dir / L"out"));

        for (const std::wstring& result : {dir / L"PART.BIN", dir / L"sub\\..\\Part.bin"}) {
            SCOPED_TRACE(Narrow(result));
            runner.SetMerge(dir.Path(), {L"other", L"Part.bin"}, result);
            EXPECT_EQ(refused, runner.Run(JOB_MERGE));
            EXPECT_EQ(MakeBytes(100, 1), ReadBytes(dir / L"Part.bin"));
        }
    }
}

}  // namespace
