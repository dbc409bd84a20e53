// The separate job on real files, its worker thread and a real window that
// records what the job posts.
#include <gtest/gtest.h>

#include "app/Handles.h"
#include "support/Blocks.h"
#include "support/JobRunner.h"
#include "support/TestFiles.h"

namespace {

const std::wstring kSuccess = NoticeBox(kSeparated);

// The sizes of the block files on disk, in index order.
std::vector<uint64_t> SizesOnDisk(const SourceBlocks& blocks, const std::wstring& folder)
{
    std::vector<uint64_t> sizes;
    for (const std::wstring& name : blocks.OnDisk())
        sizes.push_back(FileSizeOf(folder + name));
    return sizes;
}

// The worked examples: the blocks cut beside the source, and nothing else
// (a dot in a folder's name does not split there), and the chunks counted,
// announced with the range and each posted as it is written, before its
// block is handed over.
TEST(SeparateJob, WorkedExamplesCutTheBlocksAndCountTheChunks)
{
    struct Case {
        const wchar_t* folder;
        const wchar_t* stem;
        const wchar_t* extension;
        uint64_t size;
        int32_t blockSize;
        std::vector<uint64_t> blocks;
    };
    const Case cases[] = {
        {L"", L"f", L".bin", 2500000, 1048576, {1048576, 1048576, 402848}},
        {L"", L"f", L".bin", 5000000, 1536000, {1536000, 1536000, 1536000, 392000}},
        {L"", L"f", L".bin", 3145728, 1048576, {1048576, 1048576, 1048576}},
        {L"", L"f", L".bin", 100, 1024, {100}},
        {L"dir.v2\\", L"notes", L"", 1500, 1024, {1024, 476}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::to_string(c.size) + " bytes in blocks of " + std::to_string(c.blockSize));
        TempDir dir;
        const std::wstring folder = dir / c.folder;
        ::CreateDirectoryW(folder.c_str(), nullptr);
        WriteBytes(folder + c.stem + c.extension, MakeBytes(c.size, 7));
        JobRunner runner;
        runner.SetSeparate(folder + c.stem + c.extension, c.blockSize);
        const Events events = runner.Run(JOB_SEPARATE);

        const SourceBlocks blocks(folder, c.stem, c.extension, c.blockSize);
        EXPECT_EQ(c.blocks, SizesOnDisk(blocks, folder));
        EXPECT_TRUE(blocks.AreWhole(blocks.OnDisk()));
        EXPECT_EQ(1 + c.blocks.size(), ListNames(folder).size()) << "a file that is no block";

        Events expected;
        int pos = 0;
        for (uint32_t n = 0; n < c.blocks.size(); ++n) {
            for (uint64_t written = 0; written < c.blocks[n]; written += kMiB)
                expected.push_back(L"pos " + std::to_wstring(++pos));
            expected.push_back(L"item " + blocks.Name(n));
        }
        expected.insert(expected.begin(), L"range 1 " + std::to_wstring(pos));
        expected.push_back(kSuccess);
        expected.push_back(L"end separate");
        EXPECT_EQ(expected, events);
    }
}

// A chunk total that 16 bits can't hold is posted whole; one that 31 bits
// can't hold is halved, and every position with it, as often as it takes
// and no more. One-byte blocks make a chunk of every byte, so the sources
// need only be long, not written: the job is cancelled before block 4.
TEST(SeparateJob, LongChunkTotalsArePostedWholeUpTo31BitsAndHalvedPast)
{
    struct Case {
        uint64_t chunks;
        uint64_t range;
    };
    const Case cases[] = {
        {65536, 65536},
        {(1ull << 31) - 1, (1ull << 31) - 1},
        {(1ull << 31) + 2, (1ull << 30) + 1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.chunks);
        TempDir dir;
        WriteSparseFile(dir / L"f.bin", c.chunks);
        JobRunner runner;
        runner.SetSeparate(dir / L"f.bin", 1);
        runner.job.m_nCancelAtPoll = 9;
        Events expected = {L"range 1 " + std::to_wstring(c.range)};
        for (uint32_t done = 1; done <= 4; ++done) {
            expected.push_back(L"pos " + std::to_wstring(done * c.range / c.chunks));
            expected.push_back(L"item " + BlockName(L"f", L".bin", done - 1));
        }
        expected.push_back(L"end separate");
        EXPECT_EQ(expected, runner.Run(JOB_SEPARATE));
    }
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
    const SourceBlocks blocks(dir.Path(), L"f", L".bin", 2048);
    EXPECT_TRUE(blocks.AreWhole({L"f_00000.bin", L"f_00001.bin"}));
    EXPECT_EQ(MakeBytes(10, 3), ReadBytes(dir / L"f_00007.bin"));
}

// Cancel at an exact poll point: the job polls before each block and before
// each chunk. What is on disk then is the blocks before, whole, and the
// block under way with the chunks written so far; only whole blocks are
// handed over.
TEST(SeparateJob, CancelAtEachPollPointKeepsWhatWasWrittenAndListsOnlyWholeBlocks)
{
    struct Case {
        const char* where;
        uint64_t size;
        int32_t blockSize;
        int poll;
        Events events;
        std::vector<uint64_t> onDisk;  // sizes of the block files
    };
    const Case cases[] = {
        {"before the first block", 3000, 1024, 1, {L"range 1 3", L"end separate"}, {}},
        {"between two blocks", 3000, 1024, 3,
         {L"range 1 3", L"pos 1", L"item f_00000.bin", L"end separate"}, {1024}},
        {"before a block's first chunk", 3000, 1024, 4,
         {L"range 1 3", L"pos 1", L"item f_00000.bin", L"end separate"}, {1024, 0}},
        {"inside a block of two chunks", 5000000, 1536000, 3,
         {L"range 1 7", L"pos 1", L"end separate"}, {1048576}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.where);
        TempDir dir;
        WriteBytes(dir / L"f.bin", MakeBytes(c.size, 5));
        JobRunner runner;
        runner.SetSeparate(dir / L"f.bin", c.blockSize);
        runner.job.m_nCancelAtPoll = c.poll;
        EXPECT_EQ(c.events, runner.Run(JOB_SEPARATE));
        const SourceBlocks blocks(dir.Path(), L"f", L".bin", c.blockSize);
        EXPECT_EQ(c.onDisk, SizesOnDisk(blocks, dir.Path()));
        EXPECT_TRUE(blocks.OnDiskHoldTheStartOfTheirBytes());
        EXPECT_EQ(1 + c.onDisk.size(), ListNames(dir.Path()).size()) << "a file that is no block";
    }
}

// Each error text reached through a real fault, with what is posted before
// the box and what is left on disk. A block's name is taken beforehand by a
// file of 7 bytes held open elsewhere, or by a directory (access 0).
TEST(SeparateJobErrors, EachFaultShowsItsTextAfterWhatItPosted)
{
    const struct {
        const char* what;
        const wchar_t* source;
        const wchar_t* held;
        DWORD access;
        Events events;
        std::vector<std::wstring> left;
    } cases[] = {
        {"source missing", L"missing.bin", nullptr, 0, {ErrorBox(kCantOpenSource)}, {}},
        {"source held open for writing", L"f.bin", L"f.bin", GENERIC_WRITE,
         {ErrorBox(kCantOpenSource)}, {L"f.bin"}},
        {"a block's name held open elsewhere", L"f.bin", L"f_00001.bin", GENERIC_READ,
         {L"range 1 3", L"pos 1", L"item f_00000.bin", L"end separate", ErrorBox(kCantOpenBlock)},
         {L"f.bin", L"f_00000.bin", L"f_00001.bin"}},
        {"a directory of a block's name", L"f.bin", L"f_00000.bin", 0,
         {L"range 1 3", L"end separate", ErrorBox(kCantOpenBlock)}, {L"f.bin", L"f_00000.bin"}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        TempDir dir;
        if (std::wstring(c.source) == L"f.bin")
            WriteBytes(dir / c.source, MakeBytes(3000, 1));
        const bool block = c.held != nullptr && std::wstring(c.held) != c.source;
        if (block && c.access == 0)
            ASSERT_TRUE(::CreateDirectoryW((dir / c.held).c_str(), nullptr));
        else if (block)
            WriteBytes(dir / c.held, MakeBytes(7, 2));
        CHandle held;
        if (c.access != 0) {
            // Writing, others may read and write; reading, nobody else may.
            held.Attach(HoldOpen(dir / c.held, c.access,
                                 block ? 0 : FILE_SHARE_READ | FILE_SHARE_WRITE));
            ASSERT_TRUE(held.IsValid());
        }
        JobRunner runner;
        runner.SetSeparate(dir / c.source, 1024);
        EXPECT_EQ(c.events, runner.Run(JOB_SEPARATE));
        held.Close();
        EXPECT_EQ(c.left, ListNames(dir.Path()));
        if (block && c.access != 0) {
            EXPECT_EQ(MakeBytes(7, 2), ReadBytes(dir / c.held));
        }
    }
}

}  // namespace
