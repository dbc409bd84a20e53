// The program killed hard (TerminateProcess: a crash, a power-off of the
// process, the task manager) in the middle of a job: the source is intact,
// every block the window listed is complete, a block cut off holds the start
// of its bytes, a partial result the start of the whole, and nothing else
// was touched.
#include <gtest/gtest.h>
#include <windows.h>

#include <set>

#include "support/Blocks.h"
#include "support/Program.h"
#include "support/Snapshots.h"
#include "support/TestFiles.h"

namespace {

// Blocks of 64 M take most of a second each, far longer than the
// window takes to list a name: the kill comes while the block after the
// listed ones is being written.
TEST(KilledProgram, MidSeparationLeavesTheSourceAndEveryListedBlockWhole)
{
    TempDir dir;
    const std::wstring source = dir / L"big.bin";
    constexpr uint64_t kBlockSize = 64 * kMiB;
    constexpr int kBlocks = 6;
    WriteBigFile(source, kBlocks * kBlockSize - 1000, 61);
    AddBystanders(dir.Path(), L"big", L".bin");
    const Snapshot before = TakeSnapshot(dir.Path());

    ProgramRun program;
    ASSERT_TRUE(program.Started());
    program.SetText(IDC_SOURCE_FILE, source);
    program.SetText(IDC_BLOCK_SIZE, L"64");  // M Byte is checked from the start
    program.Click(IDC_SEPARATE);
    ASSERT_TRUE(WaitFor([&] { return program.ListCount() >= 2; }, kLongJobMs))
        << "the separation did not list its blocks";
    const std::vector<std::wstring> listed = program.ListItems();
    program.Kill();
    ASSERT_LT(listed.size(), static_cast<size_t>(kBlocks)) << "the job was over before the kill";

    // Only blocks were written, the source is the same.
    const SourceBlocks blocks(dir.Path(), L"big", L".bin", kBlockSize);
    const std::vector<std::wstring> names = blocks.Names(kBlocks);
    const Snapshot after = TakeSnapshot(dir.Path());
    EXPECT_TRUE(OnlyChanged(before, after, {names.begin(), names.end()}));
    EXPECT_EQ(before.at(L"big.bin").hash, HashFile(source));

    // Every block the window listed is there, whole; the blocks on disk are
    // numbered without a gap, each whole but the last, which holds the start
    // of its bytes.
    EXPECT_TRUE(blocks.AreWhole(listed)) << "a block was listed unfinished";
    const std::vector<std::wstring> onDisk = blocks.OnDisk();
    EXPECT_TRUE(blocks.OnDiskHoldTheStartOfTheirBytes());
    ASSERT_FALSE(onDisk.empty());
    EXPECT_TRUE(blocks.AreWhole({onDisk.begin(), onDisk.end() - 1}));
    EXPECT_GE(onDisk.size(), listed.size());
    EXPECT_LT(onDisk.size(), static_cast<size_t>(kBlocks));
}

TEST(KilledProgram, MidMergeLeavesTheBlocksAndAPartialResultThatStartsRight)
{
    TempDir dir;
    const std::wstring source = dir / L"big.bin";
    const std::wstring result = dir / L"joined.bin";
    constexpr int kBlocks = 300;
    WriteBigFile(source, kBlocks * kMiB, 62);
    AddBystanders(dir.Path(), L"big", L".bin");

    ProgramRun program;
    ASSERT_TRUE(program.Started());
    program.SetText(IDC_SOURCE_FILE, source);
    program.SetText(IDC_BLOCK_SIZE, L"1");
    program.Click(IDC_SEPARATE);
    ASSERT_EQ(kSeparated, program.TakeBox(kNoticeCaption));
    ASSERT_TRUE(WaitFor([&] { return program.ListCount() == kBlocks; }));
    const Snapshot before = TakeSnapshot(dir.Path());

    program.SetText(IDC_RESULT_FILE, result);
    program.Click(IDC_MERGE);
    ASSERT_TRUE(WaitFor([&] { return program.ProgressPos() >= 3; }, kLongJobMs))
        << "the merge did not move";
    program.Kill();

    EXPECT_TRUE(OnlyChanged(before, TakeSnapshot(dir.Path()), {L"joined.bin"}));
    // The bar showed three chunks done.
    EXPECT_TRUE(IsPartialResult(result, source, 3 * kMiB));
}

}  // namespace
