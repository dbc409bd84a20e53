// The real program, kestrane.exe, started as its own process and driven
// through its window from outside: two copies working at the same time, and
// Exit in a copy while it separates.
#include <gtest/gtest.h>
#include <windows.h>

#include "support/Blocks.h"
#include "support/Program.h"
#include "support/TestFiles.h"

namespace {

// Sets a copy up to separate source into blocks of text in the given unit
// and clicks Separate.
void StartSeparation(const ProgramRun& program, const std::wstring& source, const wchar_t* text,
                     int unit)
{
    program.SetText(IDC_SOURCE_FILE, source);
    program.SetText(IDC_BLOCK_SIZE, text);
    program.Click(unit);
    program.Click(IDC_SEPARATE);
}

} // namespace

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
    StartSeparation(a, sourceA, L"1", IDC_MBYTE);
    StartSeparation(b, sourceB, L"512", IDC_KBYTE);

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

    EXPECT_EQ(kSeparated, a.TakeBox(kNoticeCaption));
    EXPECT_EQ(kSeparated, b.TakeBox(kNoticeCaption));
    const std::vector<std::wstring> namesA = BlockNames(L"alpha", L".bin", kMegabytesEach);
    const std::vector<std::wstring> namesB = BlockNames(L"beta", L".bin", 2 * kMegabytesEach);
    ASSERT_TRUE(WaitFor([&] {
        return a.ProgressPos() == 0 && a.ProgressHigh() == 0 && b.ProgressPos() == 0 &&
               b.ProgressHigh() == 0;
    })) << "the bars were not emptied";
    EXPECT_EQ(namesA, a.ListItems());
    EXPECT_EQ(namesB, b.ListItems());
    EXPECT_FALSE(a.FindBox() || b.FindBox());

    std::vector<std::wstring> expectedA = namesA, expectedB = namesB;
    expectedA.insert(expectedA.begin(), L"alpha.bin");
    expectedB.insert(expectedB.begin(), L"beta.bin");
    EXPECT_EQ(expectedA, ListNames(dirA.Path()));
    EXPECT_EQ(expectedB, ListNames(dirB.Path()));
    EXPECT_TRUE(SourceBlocks(dirA.Path(), L"alpha", L".bin", kMiB).AreWhole(namesA));
    EXPECT_TRUE(SourceBlocks(dirB.Path(), L"beta", L".bin", kMiB / 2).AreWhole(namesB));

    a.Post(WM_CLOSE);
    b.Post(WM_CLOSE);
    EXPECT_EQ(2u, a.WaitExitCode());
    EXPECT_EQ(2u, b.WaitExitCode());
}

TEST(TwoCopies, AnIdleCopyClosesAtOnceAndExitStopsTheSeparatingOne)
{
    TempDir dir;
    const std::wstring source = dir / L"big.bin";
    constexpr int kBlocks = 600;
    WriteBigFile(source, kBlocks * kMiB, 43);

    ProgramRun busy, idle;
    ASSERT_TRUE(busy.Started() && idle.Started());
    StartSeparation(busy, source, L"1", IDC_MBYTE);
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
