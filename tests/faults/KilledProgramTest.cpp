// The program killed hard (a crash, the task manager) in the middle of a
// job: the source is intact, every block listed is complete, a block or a
// result cut off holds the start of its bytes, and nothing else was touched.
#include <gtest/gtest.h>
#include <windows.h>

#include "support/Blocks.h"
#include "support/Program.h"
#include "support/Snapshots.h"
#include "support/TestFiles.h"

namespace {

// The real program, told to separate a source big.bin of size bytes, among
// bystanders, into blocks of megabytes M Byte.
class KilledProgram : public ::testing::Test {
protected:
    void Separate(uint64_t size, uint32_t seed, const wchar_t* megabytes)
    {
        WriteBigFile(source, size, seed);
        AddBystanders(dir.Path(), L"big", L".bin");
        before = TakeSnapshot(dir.Path());
        ASSERT_TRUE(program.Started());
        program.ChooseSeparation(source, megabytes, IDC_MBYTE);
        program.Click(IDC_SEPARATE);
    }

    TempDir dir;
    const std::wstring source = dir / L"big.bin";
    Snapshot before;
    ProgramRun program;
};

// Blocks of 64 M take most of a second each, far longer than the
// window takes to list a name: the kill comes while the block after the
// listed ones is being written.
TEST_F(KilledProgram, MidSeparationLeavesTheSourceAndEveryListedBlockWhole)
{
    constexpr uint64_t kBlockSize = 64 * kMiB;
    constexpr int kBlocks = 6;
    ASSERT_NO_FATAL_FAILURE(Separate(kBlocks * kBlockSize - 1000, 61, L"64"));
    ASSERT_TRUE(WaitFor([&] { return program.ListCount() >= 2; }, kLongJobMs))
        << "the separation did not list its blocks";
    const std::vector<std::wstring> listed = program.ListItems();
    program.Kill();
    ASSERT_LT(listed.size(), static_cast<size_t>(kBlocks)) << "the job was over before the kill";

    // Only blocks were written, the source is the same.
    const SourceBlocks blocks(dir.Path(), L"big", L".bin", kBlockSize);
    const std::vector<std::wstring> names = blocks.Names(kBlocks);
    EXPECT_TRUE(OnlyChanged(before, TakeSnapshot(dir.Path()), {names.begin(), names.end()}));
    EXPECT_EQ(before.at(L"big.bin").hash, HashFile(source));

    // Every listed block is there, whole; the blocks on disk run from 0 without
    // a gap, each whole but the last, which holds the start of its bytes.
    EXPECT_TRUE(blocks.AreWhole(listed)) << "a block was listed unfinished";
    const std::vector<std::wstring> onDisk = blocks.OnDisk();
    EXPECT_TRUE(blocks.OnDiskHoldTheStartOfTheirBytes());
    ASSERT_FALSE(onDisk.empty());
    EXPECT_TRUE(blocks.AreWhole({onDisk.begin(), onDisk.end() - 1}));
    EXPECT_LT(onDisk.size(), static_cast<size_t>(kBlocks));
}

TEST_F(KilledProgram, MidMergeLeavesTheBlocksAndAPartialResultThatStartsRight)
{
    constexpr int kBlocks = 300;
    ASSERT_NO_FATAL_FAILURE(Separate(kBlocks * kMiB, 62, L"1"));
    ASSERT_EQ(kSeparated, program.TakeBox(kNoticeCaption));
    ASSERT_TRUE(WaitFor([&] { return program.ListCount() == kBlocks; }));
    before = TakeSnapshot(dir.Path());

    program.SetText(IDC_RESULT_FILE, dir / L"joined.bin");
    program.Click(IDC_MERGE);
    ASSERT_TRUE(WaitFor([&] { return program.ProgressPos() >= 3; }, kLongJobMs))
        << "the merge did not move";
    program.Kill();

    EXPECT_TRUE(OnlyChanged(before, TakeSnapshot(dir.Path()), {L"joined.bin"}));
    // The bar showed three chunks done.
    EXPECT_TRUE(IsPartialResult(dir / L"joined.bin", source, 3 * kMiB));
}

}  // namespace
