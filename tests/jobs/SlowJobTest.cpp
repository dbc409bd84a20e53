// The cases that take minutes: a source over 4 GiB, and more than 100,000
// blocks. ctest label "slow".
#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>

#include "app/Handles.h"
#include "jobs/BlockList.h"
#include "jobs/JobFiles.h"
#include "support/JobRunner.h"
#include "support/TestFiles.h"

namespace {

// Writes bytes at offset of an open file.
void WriteAt(HANDLE file, uint64_t offset, const Bytes& bytes)
{
    LARGE_INTEGER at;
    at.QuadPart = static_cast<LONGLONG>(offset);
    ASSERT_TRUE(::SetFilePointerEx(file, at, nullptr, FILE_BEGIN));
    DWORD written = 0;
    ASSERT_TRUE(::WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr));
}

TEST(Slow, SourceOver4GiBIsCutAndMergedBackExactly)
{
    TempDir dir;
    const std::wstring source = dir / L"big.img";
    const uint64_t size = (9ull << 29) + 12345;  // 4.5 GiB and a bit
    const int32_t blockSize = 1500000000;
    // The blocks and the merged result are written in full.
    std::string why;
    if (!HasFreeSpace(dir.Path(), 2 * size + (256ull << 20), why))
        GTEST_SKIP() << why;
    // A sparse file with marks around every offset that 32 bits would get wrong.
    const uint64_t marks[] = {0, (1ull << 31) - 8, (1ull << 32) - 8, (1ull << 32) + 1048576,
                              1500000000 - 16, 3000000000ull, 4500000000ull, size - 16};
    WriteSparseFile(source, size);
    {
        CHandle file(::CreateFileW(source.c_str(), GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0,
                                   nullptr));
        ASSERT_TRUE(file.IsValid());
        for (uint64_t mark : marks)
            WriteAt(file, mark, MakeBytes(16, static_cast<uint32_t>(mark % 1000003)));
    }
    ASSERT_EQ(size, FileSizeOf(source));

    JobRunner runner;
    runner.SetSeparate(source, blockSize);
    Events events = runner.Run(JOB_SEPARATE);
    const uint64_t last = size - 3ull * blockSize;
    EXPECT_EQ(L"range 1 4610", events.front());  // 3 x 1,431 chunks and 317
    const std::vector<std::wstring> blocks = ItemNames(events);
    ASSERT_EQ((std::vector<std::wstring>{L"big_00000.img", L"big_00001.img", L"big_00002.img",
                                         L"big_00003.img"}),
              blocks);
    EXPECT_EQ(static_cast<uint64_t>(blockSize), FileSizeOf(dir / blocks[2]));
    EXPECT_EQ(last, FileSizeOf(dir / blocks[3]));
    for (uint64_t mark : marks) {
        EXPECT_TRUE(SameBytes(dir / blocks[mark / blockSize], mark % blockSize, source, mark, 16))
            << "the mark at " << mark;
    }

    runner.SetMerge(dir.Path(), blocks, dir / L"back.img");
    events = runner.Run(JOB_MERGE);
    EXPECT_EQ(NoticeBox(kMerged), events[events.size() - 2]);
    EXPECT_TRUE(SameFiles(source, dir / L"back.img"));
}

// The block names lie ready in MANY_BLOCKS_DIR, empty (tools/manyblocks.sh:
// Wine would take an hour to create 100,000 new names in one directory).
TEST(Slow, MoreThan100000BlocksGetSixDigitNamesAndComeBackInOrder)
{
    const std::wstring dir = MANY_BLOCKS_DIR;
    ASSERT_EQ(100001u, ListNames(dir).size()) << "tools/manyblocks.sh did not lay the names out";
    const uint64_t blocks = 100001;
    const int32_t blockSize = 64;
    const Bytes source = MakeBytes(blocks * blockSize - 5, 77);
    WriteBytes(dir + L"many.dat", source);

    JobRunner runner;
    runner.SetSeparate(dir + L"many.dat", blockSize);
    Events events = runner.Run(JOB_SEPARATE);
    // Every chunk counts: the range is posted in full, past 65,535.
    EXPECT_EQ(L"range 1 100001", events.front());
    const std::vector<std::wstring> names = ItemNames(events);
    ASSERT_EQ(blocks, names.size());
    EXPECT_EQ(L"many_00000.dat", names.front());
    EXPECT_EQ(L"many_99999.dat", names[99999]);
    EXPECT_EQ(L"many_100000.dat", names.back());
    EXPECT_EQ(59u, FileSizeOf(dir + L"many_100000.dat"));
    EXPECT_EQ(Bytes(source.begin() + 64 * 99999, source.begin() + 64 * 100000),
              ReadBytes(dir + L"many_99999.dat"));

    // The merge's check of the list, timed as the job runs it; every block
    // full, so that the folder is asked for the one after the last too.
    const auto start = std::chrono::steady_clock::now();
    const BlockListProblem problem = FindBlockListProblem(
        {names.begin(), names.end()}, std::vector<std::optional<uint64_t>>(blocks, blockSize),
        [&](const std::wstring& name) { return PathExists(dir + name); });
    const std::chrono::duration<double, std::milli> took = std::chrono::steady_clock::now() - start;
    EXPECT_EQ(0u, problem.textId);
    std::printf("the merge checked the 100,001 listed blocks in %.1f ms\n", took.count());

    runner.SetMerge(dir, names, dir + L"back.dat");
    runner.Run(JOB_MERGE);
    EXPECT_EQ(source, ReadBytes(dir + L"back.dat"));
}

}  // namespace
