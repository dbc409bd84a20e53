// Storms of clicks on the real main dialog, faster than any job. The window
// never hangs, never runs two jobs at once (one worker thread, one set of
// blocks in the list, one box at a time), and what is left on disk is whole.
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <thread>

#include "support/JobSteps.h"
#include "support/ProcessCounts.h"
#include "support/Snapshots.h"

namespace {

std::set<std::wstring> NameSet(const std::vector<std::wstring>& names)
{
    return {names.begin(), names.end()};
}

// Waits until the dialog has handled every click posted so far, counting
// job workers every millisecond meanwhile; returns the most seen at once.
int SyncCountingWorkers(MainDialogDriver& driver)
{
    std::atomic<bool> synced{false};
    std::atomic<int> most{0};
    std::thread watch([&] {
        while (!synced) {
            most = std::max(most.load(), CountJobWorkers());
            ::Sleep(1);
        }
    });
    EXPECT_TRUE(driver.Sync(kLongJobMs)) << "the window hangs";
    synced = true;
    watch.join();
    return most;
}

// A source big.bin of size bytes among bystanders, what the folder held
// then, and the main dialog set to cut the source into 1 MiB blocks.
class Storm {
public:
    Storm(uint64_t size, uint32_t seed)
    {
        WriteBigFile(source, size, seed);
        AddBystanders(dir.Path(), L"big", L".bin");
        before = TakeSnapshot(dir.Path());
        driver.ChooseSeparation(source, L"1", IDC_MBYTE);
        EXPECT_TRUE(driver.Sync());
    }

    // After a storm that stopped the separation: one worker at a time, the
    // window idle without a box and with an empty bar, the list one set of
    // whole blocks in order, every block on disk the start of its bytes,
    // and nothing changed but blocks. Returns the list.
    std::vector<std::wstring> ExpectStoppedCleanly(size_t allBlocks)
    {
        EXPECT_LE(SyncCountingWorkers(driver), 1) << "two workers at once";
        EXPECT_TRUE(driver.WaitIdle());
        EXPECT_TRUE(NoBox());
        EXPECT_EQ(0, driver.ProgressHigh());
        const std::vector<std::wstring> listed = driver.ListItems();
        EXPECT_LT(listed.size(), allBlocks) << "the job was not stopped";
        EXPECT_TRUE(blocks.AreWhole(listed)) << "the list is not one set of whole blocks in order";
        EXPECT_TRUE(blocks.OnDiskHoldTheStartOfTheirBytes());
        const std::set<std::wstring> mayChange = NameSet(blocks.Names(allBlocks));
        EXPECT_TRUE(OnlyChanged(before, TakeSnapshot(dir.Path()), mayChange));
        return listed;
    }

    TempDir dir;
    const std::wstring source = dir / L"big.bin";
    const SourceBlocks blocks{dir.Path(), L"big", L".bin", kMiB};
    Snapshot before;
    MainDialogDriver driver;
};

TEST(ClickStorm, SeparateAndMergeClickedFiftyTimesRunOneJob)
{
    Storm storm(4 * kMiB + 100, 71);
    MainDialogDriver& driver = storm.driver;
    driver.SetText(IDC_RESULT_FILE, storm.dir / L"joined.bin");
    for (int i = 0; i < 50; ++i) {
        driver.Click(IDC_SEPARATE);
        driver.Click(IDC_MERGE);
    }
    const ShownBox box = WaitForBox(kNoticeCaption, kLongJobMs);
    ASSERT_TRUE(box);
    // Every click has been handled while the job held its box: all refused.
    EXPECT_LE(SyncCountingWorkers(driver), 1) << "two workers at once";
    EXPECT_EQ(1, CountOwnWindows(kNoticeCaption));
    EXPECT_EQ(0, CountOwnWindows(kErrorCaption));
    const std::vector<std::wstring> five = storm.blocks.Names(5);
    EXPECT_EQ(five, driver.ListItems());

    // Cancel clicked over and over while the box is open: each waits for
    // it, none changes the outcome.
    for (int i = 0; i < 30; ++i)
        driver.Click(IDC_CANCEL_SEPARATE);
    EXPECT_FALSE(driver.Sync(300)) << "Cancel did not wait for the job's box";
    ASSERT_TRUE(DismissBox(box.window));
    ASSERT_TRUE(driver.WaitIdle());
    EXPECT_TRUE(NoBox());
    EXPECT_EQ(five, driver.ListItems());
    EXPECT_TRUE(OnlyChanged(storm.before, TakeSnapshot(storm.dir.Path()), NameSet(five)));
    EXPECT_TRUE(storm.blocks.AreWhole(five));
}

// Separate and Cancel in turn, then Cancel over and over on a running
// separation: each storm stops the one job cleanly, and leaves nothing stuck.
TEST(ClickStorm, CancelStormsStopTheSeparationOnceAndTheNextRunsToItsEnd)
{
    constexpr size_t kBlocks = 300;
    Storm storm(kBlocks * kMiB, 72);
    MainDialogDriver& driver = storm.driver;
    for (int i = 0; i < 40; ++i) {
        driver.Click(IDC_SEPARATE);
        driver.Click(IDC_CANCEL_SEPARATE);
    }
    storm.ExpectStoppedCleanly(kBlocks);

    driver.Click(IDC_SEPARATE);
    ASSERT_TRUE(driver.Sync());  // the list emptied for this separation
    ASSERT_TRUE(WaitFor([&] { return driver.ListCount() >= 2; }, kLongJobMs));
    for (int i = 0; i < 20; ++i)
        driver.Click(IDC_SEPARATE);
    for (int i = 0; i < 50; ++i) {
        driver.Click(IDC_CANCEL_SEPARATE);
        driver.Click(IDC_CANCEL_MERGE);
    }
    EXPECT_GE(storm.ExpectStoppedCleanly(kBlocks).size(), 2u);
    EXPECT_EQ(storm.before.at(L"big.bin").hash, HashFile(storm.source));

    driver.SetText(IDC_BLOCK_SIZE, L"100");
    driver.Click(IDC_SEPARATE);
    ASSERT_EQ(kSeparated, TakeBox(kNoticeCaption, kLongJobMs));
    ASSERT_TRUE(driver.WaitIdle());
    EXPECT_EQ(storm.blocks.Names(3), driver.ListItems());
    EXPECT_TRUE(SameBytes(storm.blocks.Path(2), 0, storm.source, 200 * kMiB, 100 * kMiB));
}

TEST(ClickStorm, ExitClickedOverAndOverWhileAJobsErrorBoxIsOpen)
{
    Storm storm(2 * kMiB + 500, 74);
    MainDialogDriver& driver = storm.driver;
    driver.SetText(IDC_RESULT_FILE, storm.dir / L"joined.bin");
    driver.Click(IDC_SEPARATE);
    ASSERT_EQ(kSeparated, TakeBox(kNoticeCaption, kLongJobMs));
    ASSERT_TRUE(driver.WaitIdle());
    ASSERT_TRUE(::DeleteFileW(storm.blocks.Path(1).c_str()));
    const Snapshot before = TakeSnapshot(storm.dir.Path());

    driver.Click(IDC_MERGE);
    const ShownBox box = WaitForBox(kErrorCaption);
    ASSERT_TRUE(box);
    EXPECT_EQ(kCantOpenMerged, box.text);
    for (int i = 0; i < 20; ++i) {
        driver.Click(IDCANCEL);  // the Exit button
        driver.Post(WM_CLOSE);
        driver.Click(IDC_SEPARATE);
        driver.Click(IDC_MERGE);
    }
    // The first Exit waits for the box; the window stays until it goes.
    EXPECT_FALSE(driver.WaitClosed(500));
    EXPECT_EQ(1, CountOwnWindows(kErrorCaption));
    EXPECT_EQ(0, CountOwnWindows(kNoticeCaption));
    ASSERT_TRUE(DismissBox(box.window));
    ASSERT_TRUE(driver.WaitClosed());
    EXPECT_EQ(2, driver.Result());
    EXPECT_TRUE(NoBox());
    // None of the later clicks started a job: the result holds block 0.
    EXPECT_TRUE(OnlyChanged(before, TakeSnapshot(storm.dir.Path()), {L"joined.bin"}));
    EXPECT_TRUE(SameFiles(storm.blocks.Path(0), storm.dir / L"joined.bin"));
}

TEST(ClickStorm, ExitWhileACommandsErrorBoxIsOpenClosesOnceTheBoxGoes)
{
    MainDialogDriver driver;
    driver.Click(IDC_SEPARATE);  // no source chosen
    const ShownBox box = WaitForBox(kErrorCaption);
    ASSERT_TRUE(box);
    for (int i = 0; i < 10; ++i)
        driver.Click(IDCANCEL);
    // The box runs on the window's own thread: the clicks are taken in its
    // loop, and the window ends once the box has been answered.
    ASSERT_TRUE(driver.Sync());
    EXPECT_EQ(1, CountOwnWindows(kErrorCaption));
    ASSERT_TRUE(DismissBox(box.window));
    ASSERT_TRUE(driver.WaitClosed());
    EXPECT_EQ(2, driver.Result());
    EXPECT_EQ(0, CountOwnWindows(kErrorCaption));
}

}  // namespace
