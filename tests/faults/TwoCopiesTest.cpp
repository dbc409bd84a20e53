// The real program, kestrane.exe, started as its own process and driven
// through its window from outside: two copies working at the same time, and
// Exit in a copy while it separates.
#include <gtest/gtest.h>
#include <windows.h>

#include "support/Blocks.h"
#include "support/Program.h"
#include "support/TestFiles.h"

TEST(TwoCopies, SeparateAtTheSameTimeWithoutDisturbingEachOther)
{
    TempDir dirA, dirB;
    const std::wstring sourceA = dirA / L"alpha.bin";
    const std::wstring sourceB = dirB / L"beta.bin";
    constexpr int kMegabytesEach = 240;
    WriteBigFile(sourceA, kMegabytesEach * kMiB, 41);
    WriteBigFile(sourceB, kMegabytesEach * kMiB, 42);
    ProgramRun a, b;
    ASSERT_TRUE(a.Started() && b.Started());
    a.ChooseSeparation(sourceA, L"1", IDC_MBYTE);
    b.ChooseSeparation(sourceB, L"512", IDC_KBYTE);
    a.Click(IDC_SEPARATE);
    b.Click(IDC_SEPARATE);

    // Both jobs are seen under way at one moment.
    bool bothMoving = false;
    WaitFor([&] {
        if (a.FindBox() || b.FindBox())
            return true;
        const int posA = a.ProgressPos(), posB = b.ProgressPos();
        bothMoving = posA > 0 && posA < a.ProgressHigh() && posB > 0 && posB < b.ProgressHigh();
        return bothMoving;
    }, kLongJobMs);
    EXPECT_TRUE(bothMoving) << "the two separations did not run at the same time";

    // Each copy ends with its own blocks listed, whole, and the bar empty;
    // nothing else is written beside its source.
    const auto expectBlocks = [](const ProgramRun& run, const TempDir& dir,
                                 const std::wstring& stem, uint64_t blockSize, size_t count) {
        EXPECT_EQ(kSeparated, run.TakeBox(kNoticeCaption));
        const std::vector<std::wstring> names = BlockNames(stem, L".bin", count);
        EXPECT_TRUE(WaitFor([&run] { return run.ProgressPos() == 0 && run.ProgressHigh() == 0; }))
            << "the bar was not emptied";
        EXPECT_EQ(names, run.ListItems());
        std::vector<std::wstring> files = names;
        files.insert(files.begin(), stem + L".bin");
        EXPECT_EQ(files, ListNames(dir.Path()));
        EXPECT_TRUE(SourceBlocks(dir.Path(), stem, L".bin", blockSize).AreWhole(names));
    };
    expectBlocks(a, dirA, L"alpha", kMiB, kMegabytesEach);
    expectBlocks(b, dirB, L"beta", kMiB / 2, 2 * kMegabytesEach);
    EXPECT_FALSE(a.FindBox() || b.FindBox());
    for (ProgramRun* run : {&a, &b}) {
        run->Post(WM_CLOSE);
        EXPECT_EQ(2u, run->WaitExitCode());
    }
}

TEST(TwoCopies, AnIdleCopyClosesAtOnceAndExitStopsTheSeparatingOne)
{
    TempDir dir;
    const std::wstring source = dir / L"big.bin";
    constexpr int kBlocks = 600;
    WriteBigFile(source, kBlocks * kMiB, 43);
    ProgramRun busy, idle;
    ASSERT_TRUE(busy.Started() && idle.Started());
    busy.ChooseSeparation(source, L"1", IDC_MBYTE);
    busy.Click(IDC_SEPARATE);
    ASSERT_TRUE(WaitFor([&] { return busy.ListCount() >= 2; }, kLongJobMs));

    // The idle copy has nothing to wait for, whatever the other one does.
    idle.Post(WM_CLOSE);
    EXPECT_EQ(2u, idle.WaitExitCode());
    EXPECT_LT(busy.ListCount(), kBlocks) << "the idle copy waited for the other copy's job";
    EXPECT_FALSE(busy.FindBox());

    // Exit in the busy copy stops its job and ends the program with 2.
    busy.Click(IDCANCEL);
    ASSERT_TRUE(WaitFor([&] { return busy.Ended() || busy.FindBox(); }, kLongJobMs));
    ASSERT_TRUE(busy.Ended()) << "the job ran on to its end";
    EXPECT_EQ(2u, busy.WaitExitCode());

    // The blocks before the one under way are whole; that one was either not
    // yet begun or whole.
    const SourceBlocks blocks(dir.Path(), L"big", L".bin", kMiB);
    const std::vector<std::wstring> onDisk = blocks.OnDisk();
    ASSERT_GE(onDisk.size(), 2u);
    ASSERT_LT(onDisk.size(), static_cast<size_t>(kBlocks)) << "the job was not stopped";
    EXPECT_TRUE(blocks.OnDiskHoldTheStartOfTheirBytes());
    EXPECT_TRUE(blocks.AreWhole({onDisk.begin(), onDisk.end() - 1}));
    const uint64_t last = FileSizeOf(dir / onDisk.back());
    EXPECT_TRUE(last == 0 || last == kMiB) << last;
}
