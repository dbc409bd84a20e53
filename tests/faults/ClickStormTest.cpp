// Storms of clicks on the real main dialog, faster than any job: Separate
// and Merge again and again, Cancel again and again, Separate and Cancel in
// turn, Exit again and again while a box is open. The window never hangs,
// never runs two jobs at once (one worker thread, one set of blocks in the
// list, one box at a time), and what is left on disk is whole.
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <thread>

#include "faults/FaultSupport.h"
#include "support/Blocks.h"
#include "support/Boxes.h"
#include "support/DialogDriver.h"
#include "support/TestFiles.h"
#include "support/Windows.h"

namespace {

// The blocks of dir\big.bin, in blocks of 1 MiB.
SourceBlocks BigBlocks(const TempDir& dir)
{
    return SourceBlocks(dir.Path(), L"big", L".bin", kMiB);
}

std::set<std::wstring> NameSet(const std::vector<std::wstring>& names)
{
    return {names.begin(), names.end()};
}

// Counts this process's threads every millisecond while it lives, and keeps
// the most it saw.
class ThreadWatch {
public:
    ThreadWatch()
        : m_thread([this] {
              while (!m_stop) {
                  m_most = std::max(m_most.load(), CountOwnThreads());
                  ::Sleep(1);
              }
          })
    {
    }
    ~ThreadWatch()
    {
        m_stop = true;
        m_thread.join();
    }
    int Most() const { return m_most; }

private:
    std::atomic<bool> m_stop{false};
    std::atomic<int> m_most{0};
    std::thread m_thread;
};

// Waits until the dialog has handled every click posted so far, counting
// threads meanwhile; returns the most threads seen beyond those there
// before (the watcher's own included in both).
int SyncCountingWorkers(MainDialogDriver& driver, int idleThreads, DWORD timeoutMs = kLongJobMs)
{
    ThreadWatch watch;
    EXPECT_TRUE(driver.Sync(timeoutMs)) << "the window hangs";
    return watch.Most() - idleThreads;
}

int IdleThreads()
{
    ThreadWatch watch;
    ::Sleep(50);
    return watch.Most();
}

TEST(ClickStorm, SeparateAndMergeClickedFiftyTimesRunOneJob)
{
    TempDir dir;
    const std::wstring source = dir / L"big.bin";
    WriteBigFile(source, 4 * kMiB + 100, 71);
    AddBystanders(dir.Path(), L"big", L".bin");
    const Snapshot before = TakeSnapshot(dir.Path());

    MainDialogDriver driver;
    driver.SetText(IDC_SOURCE_FILE, source);
    driver.SetText(IDC_BLOCK_SIZE, L"1");
    driver.SetText(IDC_RESULT_FILE, dir / L"joined.bin");
    ASSERT_TRUE(driver.Sync());
    const int idle = IdleThreads();

    for (int i = 0; i < 50; ++i) {
        driver.Click(IDC_SEPARATE);
        driver.Click(IDC_MERGE);
    }
    const ShownBox box = WaitForBox(kNoticeCaption, kLongJobMs);
    ASSERT_TRUE(box);
    // Every click has been handled while the job held its box: all refused.
    EXPECT_LE(SyncCountingWorkers(driver, idle), 1) << "two workers at once";
    EXPECT_EQ(1, CountOwnWindows(kNoticeCaption));
    EXPECT_EQ(0, CountOwnWindows(kErrorCaption));
    const SourceBlocks blocks = BigBlocks(dir);
    const std::vector<std::wstring> five = blocks.Names(5);
    EXPECT_EQ(five, driver.ListItems());

    // Cancel clicked over and over while the box is open: each waits for
    // it, none changes the outcome.
    for (int i = 0; i < 30; ++i)
        driver.Click(IDC_CANCEL_SEPARATE);
    EXPECT_FALSE(driver.Sync(300)) << "Cancel did not wait for the job's box";
    ASSERT_TRUE(DismissBox(box.window));
    ASSERT_TRUE(driver.WaitIdle());
    EXPECT_EQ(0, CountOwnWindows(kNoticeCaption) + CountOwnWindows(kErrorCaption));
    EXPECT_EQ(five, driver.ListItems());
    EXPECT_TRUE(OnlyChanged(before, TakeSnapshot(dir.Path()), NameSet(five)));
    EXPECT_TRUE(blocks.AreWhole(five));
}

TEST(ClickStorm, CancelClickedFiftyTimesStopsTheSeparationOnce)
{
    TempDir dir;
    const std::wstring source = dir / L"big.bin";
    constexpr size_t kBlocks = 300;
    WriteBigFile(source, kBlocks * kMiB, 72);
    AddBystanders(dir.Path(), L"big", L".bin");
    const Snapshot before = TakeSnapshot(dir.Path());

    MainDialogDriver driver;
    driver.SetText(IDC_SOURCE_FILE, source);
    driver.SetText(IDC_BLOCK_SIZE, L"1");
    ASSERT_TRUE(driver.Sync());
    const int idle = IdleThreads();
    driver.Click(IDC_SEPARATE);
    ASSERT_TRUE(WaitFor([&] { return driver.ListCount() >= 2; }, kLongJobMs));
    for (int i = 0; i < 20; ++i)
        driver.Click(IDC_SEPARATE);
    for (int i = 0; i < 50; ++i) {
        driver.Click(IDC_CANCEL_SEPARATE);
        driver.Click(IDC_CANCEL_MERGE);
    }
    EXPECT_LE(SyncCountingWorkers(driver, idle), 1) << "two workers at once";
    ASSERT_TRUE(driver.WaitIdle());
    EXPECT_EQ(0, CountOwnWindows(kNoticeCaption) + CountOwnWindows(kErrorCaption));
    EXPECT_EQ(0, driver.ProgressHigh());
    const SourceBlocks blocks = BigBlocks(dir);
    const std::vector<std::wstring> listed = driver.ListItems();
    EXPECT_GE(listed.size(), 2u);
    EXPECT_LT(listed.size(), kBlocks) << "the job was not stopped";
    EXPECT_TRUE(blocks.AreWhole(listed)) << "the list is not one set of whole blocks in order";
    EXPECT_TRUE(blocks.OnDiskHoldTheStartOfTheirBytes());
    EXPECT_TRUE(OnlyChanged(before, TakeSnapshot(dir.Path()), NameSet(blocks.Names(kBlocks))));

    // Nothing is left stuck: the next separation runs to its end.
    driver.SetText(IDC_BLOCK_SIZE, L"100");
    driver.Click(IDC_SEPARATE);
    ASSERT_EQ(kSeparated, TakeBox(kNoticeCaption, kLongJobMs));
    ASSERT_TRUE(driver.WaitIdle());
    EXPECT_EQ(blocks.Names(3), driver.ListItems());
    EXPECT_TRUE(SameBytes(blocks.Path(2), 0, source, 200 * kMiB, 100 * kMiB));
}

TEST(ClickStorm, SeparateAndCancelInTurnFortyTimes)
{
    TempDir dir;
    const std::wstring source = dir / L"big.bin";
    constexpr size_t kBlocks = 300;
    WriteBigFile(source, kBlocks * kMiB, 73);
    AddBystanders(dir.Path(), L"big", L".bin");
    const Snapshot before = TakeSnapshot(dir.Path());

    MainDialogDriver driver;
    driver.SetText(IDC_SOURCE_FILE, source);
    driver.SetText(IDC_BLOCK_SIZE, L"1");
    ASSERT_TRUE(driver.Sync());
    const int idle = IdleThreads();
    for (int i = 0; i < 40; ++i) {
        driver.Click(IDC_SEPARATE);
        driver.Click(IDC_CANCEL_SEPARATE);
    }
    EXPECT_LE(SyncCountingWorkers(driver, idle), 1) << "two workers at once";
    ASSERT_TRUE(driver.WaitIdle());
    EXPECT_EQ(0, CountOwnWindows(kNoticeCaption) + CountOwnWindows(kErrorCaption));
    EXPECT_EQ(0, driver.ProgressHigh());
    const SourceBlocks blocks = BigBlocks(dir);
    const std::vector<std::wstring> listed = driver.ListItems();
    EXPECT_LT(listed.size(), kBlocks);
    EXPECT_TRUE(blocks.AreWhole(listed)) << "the list is not one set of whole blocks in order";
    EXPECT_TRUE(blocks.OnDiskHoldTheStartOfTheirBytes());
    EXPECT_TRUE(OnlyChanged(before, TakeSnapshot(dir.Path()), NameSet(blocks.Names(kBlocks))));
    EXPECT_EQ(before.at(L"big.bin").hash, HashFile(source));
}

TEST(ClickStorm, ExitClickedOverAndOverWhileAJobsErrorBoxIsOpen)
{
    TempDir dir;
    const std::wstring source = dir / L"big.bin";
    const std::wstring result = dir / L"joined.bin";
    WriteBigFile(source, 2 * kMiB + 500, 74);
    MainDialogDriver driver;
    driver.SetText(IDC_SOURCE_FILE, source);
    driver.SetText(IDC_BLOCK_SIZE, L"1");
    driver.SetText(IDC_RESULT_FILE, result);
    driver.Click(IDC_SEPARATE);
    ASSERT_EQ(kSeparated, TakeBox(kNoticeCaption, kLongJobMs));
    ASSERT_TRUE(driver.WaitIdle());
    const SourceBlocks blocks = BigBlocks(dir);
    ASSERT_TRUE(::DeleteFileW(blocks.Path(1).c_str()));
    const Snapshot before = TakeSnapshot(dir.Path());

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
    EXPECT_EQ(0, CountOwnWindows(kNoticeCaption) + CountOwnWindows(kErrorCaption));
    // None of the later clicks started a job: the result holds block 0.
    EXPECT_TRUE(OnlyChanged(before, TakeSnapshot(dir.Path()), {L"joined.bin"}));
    EXPECT_TRUE(SameFiles(blocks.Path(0), result));
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
