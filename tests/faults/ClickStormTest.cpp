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
#include "support/DialogDriver.h"
#include "support/TestFiles.h"
#include "support/Windows.h"

namespace {

constexpr uint64_t kMiB = 1048576;
constexpr DWORD kLongMs = 600000;

std::wstring BlockName(size_t n)
{
    wchar_t name[32];
    ::wsprintfW(name, L"big_%05u.bin", static_cast<unsigned>(n));
    return name;
}

std::set<std::wstring> BlockNames(size_t count)
{
    std::set<std::wstring> names;
    for (size_t n = 0; n < count; ++n)
        names.insert(BlockName(n));
    return names;
}

// The list holds blocks 0 ... k-1 of source, in order and each whole; every
// block file on disk holds the start of its own bytes (the one cut off by a
// cancel, or left from an earlier, longer run). Returns k.
size_t ExpectListedWholeAndTheRestPrefixes(const TempDir& dir, const std::wstring& source,
                                           const std::vector<std::wstring>& listed,
                                           size_t allBlocks, uint64_t blockSize)
{
    for (size_t n = 0; n < listed.size(); ++n) {
        EXPECT_EQ(BlockName(n), listed[n]) << "the list is not one set of blocks in order";
        EXPECT_EQ(blockSize, FileSizeOf(dir / BlockName(n))) << Narrow(BlockName(n));
    }
    for (size_t n = 0; n < allBlocks; ++n) {
        const std::wstring path = dir / BlockName(n);
        if (!FileExists(path))
            continue;
        const uint64_t size = FileSizeOf(path);
        EXPECT_LE(size, blockSize) << Narrow(BlockName(n));
        EXPECT_TRUE(SameBytes(path, 0, source, n * blockSize, std::min(size, blockSize)))
            << Narrow(BlockName(n)) << " holds other bytes than the source's";
    }
    return listed.size();
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
int SyncCountingWorkers(MainDialogDriver& driver, int idleThreads, DWORD timeoutMs = kLongMs)
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
    HWND box = WaitForOwnWindow(L"Notice", L"#32770", kLongMs);
    ASSERT_NE(nullptr, box);
    // Every click has been handled while the job held its box: all refused.
    EXPECT_LE(SyncCountingWorkers(driver, idle), 1) << "two workers at once";
    EXPECT_EQ(1, CountOwnWindows(L"Notice"));
    EXPECT_EQ(0, CountOwnWindows(L"Error"));
    const std::vector<std::wstring> five = {BlockName(0), BlockName(1), BlockName(2), BlockName(3),
                                            BlockName(4)};
    EXPECT_EQ(five, driver.ListItems());

    // Cancel clicked over and over while the box is open: each waits for
    // it, none changes the outcome.
    for (int i = 0; i < 30; ++i)
        driver.Click(IDC_CANCEL_SEPARATE);
    EXPECT_FALSE(driver.Sync(300)) << "Cancel did not wait for the job's box";
    ASSERT_TRUE(DismissBox(box));
    ASSERT_TRUE(driver.WaitIdle());
    EXPECT_EQ(0, CountOwnWindows(L"Notice") + CountOwnWindows(L"Error"));
    EXPECT_EQ(five, driver.ListItems());
    EXPECT_TRUE(OnlyChanged(before, TakeSnapshot(dir.Path()), BlockNames(5)));
    for (size_t n = 0; n < 5; ++n)
        EXPECT_TRUE(SameBytes(dir / BlockName(n), 0, source, n * kMiB, n < 4 ? kMiB : 100));
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
    ASSERT_TRUE(WaitFor([&] { return driver.ListItems().size() >= 2; }, kLongMs));
    for (int i = 0; i < 20; ++i)
        driver.Click(IDC_SEPARATE);
    for (int i = 0; i < 50; ++i) {
        driver.Click(IDC_CANCEL_SEPARATE);
        driver.Click(IDC_CANCEL_MERGE);
    }
    EXPECT_LE(SyncCountingWorkers(driver, idle), 1) << "two workers at once";
    ASSERT_TRUE(driver.WaitIdle());
    EXPECT_EQ(0, CountOwnWindows(L"Notice") + CountOwnWindows(L"Error"));
    EXPECT_EQ(0, driver.ProgressHigh());
    const size_t listed = ExpectListedWholeAndTheRestPrefixes(dir, source, driver.ListItems(),
                                                              kBlocks, kMiB);
    EXPECT_GE(listed, 2u);
    EXPECT_LT(listed, kBlocks) << "the job was not stopped";
    EXPECT_TRUE(OnlyChanged(before, TakeSnapshot(dir.Path()), BlockNames(kBlocks)));

    // Nothing is left stuck: the next separation runs to its end.
    driver.SetText(IDC_BLOCK_SIZE, L"100");
    driver.Click(IDC_SEPARATE);
    HWND box = WaitForOwnWindow(L"Notice", L"#32770", kLongMs);
    ASSERT_NE(nullptr, box);
    ASSERT_TRUE(DismissBox(box));
    ASSERT_TRUE(driver.WaitIdle());
    EXPECT_EQ((std::vector<std::wstring>{BlockName(0), BlockName(1), BlockName(2)}),
              driver.ListItems());
    EXPECT_TRUE(SameBytes(dir / BlockName(2), 0, source, 200 * kMiB, 100 * kMiB));
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
    EXPECT_EQ(0, CountOwnWindows(L"Notice") + CountOwnWindows(L"Error"));
    EXPECT_EQ(0, driver.ProgressHigh());
    const size_t listed = ExpectListedWholeAndTheRestPrefixes(dir, source, driver.ListItems(),
                                                              kBlocks, kMiB);
    EXPECT_LT(listed, kBlocks);
    EXPECT_TRUE(OnlyChanged(before, TakeSnapshot(dir.Path()), BlockNames(kBlocks)));
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
    HWND box = WaitForOwnWindow(L"Notice", L"#32770", kLongMs);
    ASSERT_NE(nullptr, box);
    ASSERT_TRUE(DismissBox(box));
    ASSERT_TRUE(driver.WaitIdle());
    ASSERT_TRUE(::DeleteFileW((dir / BlockName(1)).c_str()));
    const Snapshot before = TakeSnapshot(dir.Path());

    driver.Click(IDC_MERGE);
    box = WaitForOwnWindow(L"Error");
    ASSERT_NE(nullptr, box);
    EXPECT_EQ(L"Can't open the file that will be merged!", BoxText(box));
    for (int i = 0; i < 20; ++i) {
        driver.Click(IDCANCEL);  // the Exit button
        driver.Post(WM_CLOSE);
        driver.Click(IDC_SEPARATE);
        driver.Click(IDC_MERGE);
    }
    // The first Exit waits for the box; the window stays until it goes.
    EXPECT_FALSE(driver.WaitClosed(500));
    EXPECT_EQ(1, CountOwnWindows(L"Error"));
    EXPECT_EQ(0, CountOwnWindows(L"Notice"));
    ASSERT_TRUE(DismissBox(box));
    ASSERT_TRUE(driver.WaitClosed());
    EXPECT_EQ(2, driver.Result());
    EXPECT_EQ(0, CountOwnWindows(L"Notice") + CountOwnWindows(L"Error"));
    // None of the later clicks started a job: the result holds block 0.
    EXPECT_TRUE(OnlyChanged(before, TakeSnapshot(dir.Path()), {L"joined.bin"}));
    EXPECT_TRUE(SameFiles(dir / BlockName(0), result));
}

TEST(ClickStorm, ExitWhileACommandsErrorBoxIsOpenClosesOnceTheBoxGoes)
{
    MainDialogDriver driver;
    driver.Click(IDC_SEPARATE);  // no source chosen
    HWND box = WaitForOwnWindow(L"Error");
    ASSERT_NE(nullptr, box);
    for (int i = 0; i < 10; ++i)
        driver.Click(IDCANCEL);
    // The box runs on the window's own thread: the clicks are taken in its
    // loop, and the window ends once the box has been answered.
    ASSERT_TRUE(driver.Sync());
    EXPECT_EQ(1, CountOwnWindows(L"Error"));
    ASSERT_TRUE(DismissBox(box));
    ASSERT_TRUE(driver.WaitClosed());
    EXPECT_EQ(2, driver.Result());
    EXPECT_EQ(0, CountOwnWindows(L"Error"));
}

}  // namespace
