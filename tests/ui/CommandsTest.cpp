// Separate, Merge, both Cancel buttons and Exit, driven through the real main
// dialog: the input checks with their exact texts, the order of the merge,
// stopping a job, and what the window does while a job runs and while its box
// is open.
#include <windows.h>
#include <commctrl.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <memory>
#include <mutex>

#include "support/JobSteps.h"
#include "ui/TaskbarProgress.h"

namespace {

using Names = std::vector<std::wstring>;

constexpr bool kMegabytes = true;
constexpr bool kKilobytes = false;

void SetBlockSize(const MainDialogDriver& driver, const std::wstring& text, bool megabytes)
{
    // WM_SETTEXT puts the text in as a paste would, past the digits-only style.
    driver.SetText(IDC_BLOCK_SIZE, text);
    driver.Click(megabytes ? IDC_MBYTE : IDC_KBYTE);
    ASSERT_TRUE(driver.Sync());
}

// Fills in source and the block size, as text, for a separation.
void ChooseSource(const MainDialogDriver& driver, const std::wstring& source,
                  const std::wstring& text, bool megabytes)
{
    driver.ChooseSeparation(source, text, megabytes ? IDC_MBYTE : IDC_KBYTE);
    ASSERT_TRUE(driver.Sync());
}

// Clicks Separate for source in blocks of text, the job left running.
void StartSeparate(MainDialogDriver& driver, const std::wstring& source, const std::wstring& text,
                   bool megabytes)
{
    ChooseSource(driver, source, text, megabytes);
    driver.Click(IDC_SEPARATE);
}

// Separates source into blocks of text, to the job's success box and end.
void Separate(MainDialogDriver& driver, const std::wstring& source, const std::wstring& text,
              bool megabytes)
{
    ChooseSource(driver, source, text, megabytes);
    EXPECT_EQ(kSeparated, RunJob(driver, IDC_SEPARATE));
}

// Writes dir / stem.bin, size bytes, and separates it into 1 MiB blocks;
// returns their names, which the list must show.
Names SeparateInMiB(MainDialogDriver& driver, const TempDir& dir, const std::wstring& stem,
                    uint64_t size)
{
    WriteBytes(dir / (stem + L".bin"), MakeBytes(size, 7));
    Separate(driver, dir / (stem + L".bin"), L"1", kMegabytes);
    const Names names = BlockNames(stem, L".bin", static_cast<size_t>((size + kMiB - 1) / kMiB));
    EXPECT_EQ(names, driver.ListItems());
    return names;
}

// A fresh directory with big.bin, blocks MiB, for jobs long enough to stop.
struct BigSource {
    BigSource(int count, uint32_t seed) : blocks(count) { WriteBigFile(path, count * kMiB, seed); }
    TempDir dir;
    const std::wstring path = dir / L"big.bin";
    const int blocks;
};

// The block files of stem + ".bin" in dir.
Names BlocksOnDisk(const TempDir& dir, const std::wstring& stem)
{
    return SourceBlocks(dir.Path(), stem, L".bin", kMiB).OnDisk();
}

// The taskbar button with the shell replaced by a record of what it was
// asked: "value D/T" ("full" when D is T), "clear". hasList false stands for
// a shell without a taskbar list.
class CRecordingTaskbar : public CTaskbarProgress {
public:
    explicit CRecordingTaskbar(bool hasList) : m_bHasList(hasList) {}
    Names Calls()
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        return m_calls;
    }

protected:
    bool OpenList() override { return m_bHasList; }
    void CloseList() override {}
    void SetValue(HWND, ULONGLONG done, ULONGLONG total) override
    {
        Record(done == total ? L"full"
                             : L"value " + std::to_wstring(done) + L"/" + std::to_wstring(total));
    }
    void SetNoProgress(HWND) override { Record(L"clear"); }

private:
    void Record(const std::wstring& call)
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_calls.push_back(call);
    }
    const bool m_bHasList;
    std::mutex m_mutex;
    Names m_calls;
};

} // namespace

// ---------------------------------------------------------------- refusals

TEST(SeparateCommand, BothEditsEmptyShowsOnlyThatNoFileIsChosen)
{
    MainDialogDriver driver;
    ExpectRefusal(driver, IDC_SEPARATE, kNoSource);
    // The block size is not looked at before the source.
    driver.SetText(IDC_BLOCK_SIZE, L"0");
    ExpectRefusal(driver, IDC_SEPARATE, kNoSource);
    EXPECT_TRUE(driver.Object().m_strJobPath.empty());
    EXPECT_TRUE(driver.Object().m_strListDir.empty());
}

TEST(SeparateCommand, ReadsThePastedBlockSizeTextAndRefusesWhatDoesNotFit)
{
    TempDir dir;
    const std::wstring source = dir / L"small.dat";
    WriteBytes(source, MakeBytes(6000, 3));
    MainDialogDriver driver;
    driver.SetText(IDC_SOURCE_FILE, source);
    const struct {
        const wchar_t* text;
        bool megabytes;
        int32_t blockSize;          // 0: refused
        const std::wstring* error;  // the refusal's text
    } cases[] = {
        {L"5", kMegabytes, 5 * 1048576, nullptr},
        {L"+5", kKilobytes, 5120, nullptr},
        {L"0", kMegabytes, 0, &kBadBlockSize},
        {L"  5", kKilobytes, 5120, nullptr},
        {L"", kKilobytes, 0, &kBadBlockSize},
        {L"12ab", kKilobytes, 12288, nullptr},
        {L"abc", kKilobytes, 0, &kBadBlockSize},
        {L"-5", kMegabytes, 0, &kBadBlockSize},
        // The whole text is read, however long.
        {L"0000000051", kKilobytes, 51 * 1024, nullptr},
        {L"0000001024", kMegabytes, 1024 * 1048576, nullptr},
        {L"000000000000000000000000000000000000000007", kKilobytes, 7 * 1024, nullptr},
        {L"1234567890", kKilobytes, 0, &kBlockSizeTooBig},
        {L"2048", kMegabytes, 0, &kBlockSizeTooBig},
        {L"2097152", kKilobytes, 0, &kBlockSizeTooBig},
        {L"999999999", kMegabytes, 0, &kBlockSizeTooBig},
        // Never a wrapped value: 2^32 + 1 K is not 1 K, 2^64 + 5 M not 5 M.
        {L"4294967297", kKilobytes, 0, &kBlockSizeTooBig},
        {L"18446744073709551621", kMegabytes, 0, &kBlockSizeTooBig},
        {L"99999999999999999999999999999999", kKilobytes, 0, &kBlockSizeTooBig},
        {L"-99999999999999999999999999999999", kKilobytes, 0, &kBadBlockSize},
        {L"2047", kMegabytes, 2047 * 1048576, nullptr},
        {L"2097151", kKilobytes, 2097151 * 1024, nullptr},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE("block size \"" + Narrow(c.text) + (c.megabytes ? "\" M" : "\" K"));
        const std::vector<std::wstring> before = driver.ListItems();
        const int32_t sizeBefore = driver.Object().m_nBlockSize;
        SetBlockSize(driver, c.text, c.megabytes);
        if (c.error != nullptr) {
            ExpectRefusal(driver, IDC_SEPARATE, *c.error);
            EXPECT_EQ(before, driver.ListItems()) << "a refused Separate keeps the list";
            EXPECT_EQ(sizeBefore, driver.Object().m_nBlockSize);
            continue;
        }
        EXPECT_EQ(kSeparated, RunJob(driver, IDC_SEPARATE));
        EXPECT_EQ(c.blockSize, driver.Object().m_nBlockSize);
        const int blocks = c.blockSize < 6000 ? 2 : 1;
        EXPECT_EQ(BlockNames(L"small", L".dat", blocks), driver.ListItems());
        EXPECT_EQ(static_cast<uint64_t>(std::min<int32_t>(c.blockSize, 6000)),
                  FileSizeOf(dir / L"small_00000.dat"));
    }
}

TEST(SeparateCommand, RefusedSeparateKeepsTheListAndItsDirectory)
{
    // Directory A holds a source cut into blocks; directory B holds another
    // source and, to catch a merge that looks in the wrong place, files
    // named like A's blocks with other bytes.
    TempDir a, b;
    MainDialogDriver driver;
    const Names names = SeparateInMiB(driver, a, L"doc", 3 * kMiB + 7);
    ASSERT_EQ(a.Path(), driver.Object().m_strListDir);
    for (const std::wstring& name : names)
        WriteBytes(b / name, MakeBytes(kMiB, 99));
    WriteBytes(b / L"other.bin", MakeBytes(100, 6));
    ChooseSource(driver, b / L"other.bin", L"0", kMegabytes);
    ExpectRefusal(driver, IDC_SEPARATE, kBadBlockSize);
    SetBlockSize(driver, L"2048", kMegabytes);
    ExpectRefusal(driver, IDC_SEPARATE, kBlockSizeTooBig);
    EXPECT_EQ(a.Path(), driver.Object().m_strListDir);
    EXPECT_EQ(a / L"doc.bin", driver.Object().m_strJobPath);
    EXPECT_EQ(names, driver.ListItems());
    EXPECT_TRUE(BlocksOnDisk(b, L"other").empty());

    // The list still names A's blocks: a result that is one of them, spelt in
    // other letter case, is refused and kept; another result rebuilds A's source.
    driver.SetText(IDC_RESULT_FILE, a / L"DOC_00001.BIN");
    driver.Click(IDC_MERGE);
    ASSERT_TRUE(driver.Sync());
    EXPECT_EQ(kResultIsListed, TakeJobBox(driver, kErrorCaption));
    ASSERT_TRUE(driver.WaitIdle());
    EXPECT_TRUE(NoBox());
    ExpectEmptyBar(driver);
    EXPECT_TRUE(SameBytes(a / names[1], 0, a / L"doc.bin", kMiB, kMiB))
        << "the block was overwritten";
    driver.SetText(IDC_RESULT_FILE, b / L"joined.bin");
    EXPECT_EQ(kMerged, RunJob(driver, IDC_MERGE));
    EXPECT_TRUE(SameFiles(a / L"doc.bin", b / L"joined.bin"));
}

TEST(MergeCommand, RefusesWithoutResultFirstThenWithoutFiles)
{
    TempDir dir;
    MainDialogDriver driver;
    // Both missing: only the result is reported.
    ExpectRefusal(driver, IDC_MERGE, kNoResult);
    driver.SetText(IDC_RESULT_FILE, dir / L"out.bin");
    ExpectRefusal(driver, IDC_MERGE, kNoMergeFiles);
    EXPECT_FALSE(FileExists(dir / L"out.bin")) << "a refused merge writes nothing";
}

// ------------------------------------------------------------- merge order

TEST(MergeCommand, UpAndDownBeforeMergeChangeTheOrderOfTheResult)
{
    TempDir dir;
    const std::wstring source = dir / L"three.bin";
    const std::wstring result = dir / L"result.out";
    MainDialogDriver driver;
    const Names names = SeparateInMiB(driver, dir, L"three", 2 * kMiB + 100);
    ASSERT_EQ(2, driver.ListSelection());

    // The last block to the top: 2, 0, 1. The merge first asks in its own
    // box, naming the block now out of place, No the default: No writes
    // nothing, Yes merges the list as it stands.
    driver.Click(IDC_UP);
    driver.Click(IDC_UP);
    ASSERT_TRUE(driver.Sync());
    ASSERT_EQ((Names{names[2], names[0], names[1]}), driver.ListItems());
    driver.SetText(IDC_RESULT_FILE, result);
    for (int answer : {IDNO, IDYES}) {
        driver.Click(IDC_MERGE);
        ASSERT_TRUE(driver.Sync());
        const ShownBox box = WaitForBox(kQuestionCaption);
        ASSERT_TRUE(box);
        EXPECT_EQ(L"three_00000.bin is out of order in the list. Merge anyway?", box.text);
        const LONG no = ::GetWindowLongW(::GetDlgItem(box.window, IDNO), GWL_STYLE);
        EXPECT_EQ(BS_DEFPUSHBUTTON, no & BS_TYPEMASK) << "No is not the default button";
        ASSERT_TRUE(PressButton(box.window, answer));
        if (answer == IDYES) {
            EXPECT_EQ(kMerged, TakeJobBox(driver, kNoticeCaption));
        }
        ASSERT_TRUE(driver.WaitIdle());
        EXPECT_EQ(answer == IDYES, FileExists(result));
    }
    ASSERT_EQ(2 * kMiB + 100, FileSizeOf(result));
    EXPECT_TRUE(SameBytes(result, 0, source, 2 * kMiB, 100));
    EXPECT_TRUE(SameBytes(result, 100, source, 0, 2 * kMiB));
}

// --------------------------------------------------------------- stopping

// A separation into small blocks hands over names faster than a window could
// draw each. Held while half the blocks are written, the window finds them
// queued; a click made then is still answered while the job runs, and once
// the job's box is up the list shows every block and the bar is full.
TEST(JobWindow, AClickIsAnsweredWhileAFastSeparationRuns)
{
    TempDir dir;
    constexpr int kBlocks = 500;
    WriteBigFile(dir / L"many.bin", kBlocks * 256 * 1024, 5);
    const Names names = BlockNames(L"many", L".bin", kBlocks);
    MainDialogDriver driver;
    StartSeparate(driver, dir / L"many.bin", L"256", kKilobytes);
    const int written = kBlocks / 2;
    ASSERT_TRUE(driver.Hold());
    const bool reached = WaitFor([&] { return FileExists(dir / names[written]); }, kLongJobMs);
    driver.Click(IDC_MBYTE);
    driver.Release();
    ASSERT_TRUE(reached);
    bool answered = false;
    bool finished = false;
    ASSERT_TRUE(WaitFor([&] {
        answered = driver.IsChecked(IDC_MBYTE);
        finished = FindOwnWindow(kNoticeCaption) != nullptr;
        return answered || finished;
    }, kLongJobMs));
    EXPECT_TRUE(answered && !finished) << "the click waited for the end of the job";
    EXPECT_GE(driver.SendToItem(IDC_MERGE_LIST, LB_GETCOUNT), written);

    // The success box holds the job, and its end message with it.
    const ShownBox box = WaitForBox(kNoticeCaption, kLongJobMs);
    ASSERT_TRUE(box);
    EXPECT_EQ(kSeparated, box.text);
    ASSERT_TRUE(driver.Sync());
    ExpectNewestListed(driver, names);
    EXPECT_EQ(kBlocks, driver.ProgressPos()) << "the bar is not full";
    ASSERT_TRUE(DismissBox(box.window));
    ASSERT_TRUE(driver.WaitIdle());
    EXPECT_EQ(names, driver.ListItems());
    ExpectEmptyBar(driver);
    CLock lock(driver.Object().m_lock);
    EXPECT_TRUE(driver.Object().m_fileList.empty());
}

// Windows refuses a post to a thread whose queue holds 10,000 messages, as it
// may while the window is stalled behind a fast job. A main window whose
// job's posts of one message are refused: every one, or the first few.
class CRefusedPostsDlg : public CMainDlg {
public:
    UINT refused = 0;
    int refusedTries = -1;
    std::atomic<int> tries{0};

    bool PostToWindow(UINT msg, WPARAM wParam, LPARAM lParam) override
    {
        if (msg == refused && (++tries <= refusedTries || refusedTries < 0))
            return false;
        return CMainDlg::PostToWindow(msg, wParam, lParam);
    }
};

// No refused post loses a block or leaves the window mid-job (also when it
// waited in a Cancel): every block listed in order, the bar emptied. A fast
// separation that fails (none refused) posts its end right behind its last
// block: while its error box is up the list shows every finished block all
// the same, the newest selected, and the bar is empty.
TEST(JobWindow, RefusedPostsLoseNoBlockAndTheEndStillComes)
{
    TempDir dir;
    WriteBytes(dir / L"five.bin", MakeBytes(5 * 1024, 8));
    WriteBytes(dir / L"many.bin", MakeBytes(400 * 1024, 6));
    ASSERT_TRUE(::CreateDirectoryW((dir / L"many_00300.bin").c_str(), nullptr));
    const struct {
        const char* what;
        UINT refused;
        int refusedTries;
        bool cancelWhileBoxOpen;
        int tries;
    } cases[] = {
        {"every hand-over refused", WM_ADD_MERGE_ITEM, -1, false, 5},
        {"the end refused three times", WM_SEPARATE_END, 3, false, 4},
        {"every end refused, Cancel waiting for it", WM_SEPARATE_END, -1, true, 1},
        {"none refused, block 300 a folder", 0, 0, false, 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        const bool fails = c.refused == 0;
        const std::wstring stem = fails ? L"many" : L"five";
        const Names names = BlockNames(stem, L".bin", fails ? 300 : 5);
        auto owned = std::make_unique<CRefusedPostsDlg>();
        CRefusedPostsDlg& dialog = *owned;
        dialog.refused = c.refused;
        dialog.refusedTries = c.refusedTries;
        MainDialogDriver driver(std::move(owned));
        StartSeparate(driver, dir / (stem + L".bin"), L"1", kKilobytes);
        const ShownBox box = WaitForBox(fails ? kErrorCaption : kNoticeCaption, kLongJobMs);
        ASSERT_TRUE(box);
        if (fails) {
            EXPECT_EQ(kCantOpenBlock, box.text);
            ASSERT_TRUE(driver.Sync());
            ExpectNewestListed(driver, names);
            ExpectEmptyBar(driver);
        }
        if (c.cancelWhileBoxOpen)
            driver.Click(IDC_CANCEL_SEPARATE);
        ASSERT_TRUE(DismissBox(box.window));
        ASSERT_TRUE(driver.WaitIdle());
        ExpectNewestListed(driver, names);
        ExpectEmptyBar(driver);
        EXPECT_GE(dialog.tries, c.tries);
    }
}

TEST(CancelCommand, EachCancelStopsOnlyAJobOfItsOwnGroupAndExitStopsAny)
{
    const BigSource big(320, 22);
    const std::wstring result = big.dir / L"joined.bin";
    MainDialogDriver driver;
    ChooseSource(driver, big.path, L"1", kMegabytes);
    driver.SetText(IDC_RESULT_FILE, result);

    // Cancel of the separate group during a separation stops it: the blocks
    // listed are whole; on disk at most one more, still empty.
    driver.Click(IDC_SEPARATE);
    ASSERT_TRUE(WaitForListItems(driver, 3));
    driver.Click(IDC_CANCEL_SEPARATE);
    ASSERT_NO_FATAL_FAILURE(ExpectStoppedQuietly(driver));
    const Names listed = driver.ListItems();
    EXPECT_LT(listed.size(), static_cast<size_t>(big.blocks)) << "the job was not stopped";
    EXPECT_TRUE(SourceBlocks(big.dir.Path(), L"big", L".bin", kMiB).AreWhole(listed));
    Names onDisk = BlocksOnDisk(big.dir, L"big");
    if (onDisk.size() == listed.size() + 1) {
        EXPECT_EQ(0u, FileSizeOf(big.dir / onDisk.back())) << "the block under way";
        onDisk.pop_back();
    }
    EXPECT_EQ(listed, onDisk);

    // Cancel of the merge group during a separation: nothing happens; the
    // separation writes its blocks over those of the one stopped.
    driver.Click(IDC_SEPARATE);
    ASSERT_TRUE(WaitForListItems(driver, 2));
    driver.Click(IDC_CANCEL_MERGE);
    ASSERT_TRUE(driver.Sync());
    ASSERT_LT(driver.ListItems().size(), static_cast<size_t>(big.blocks))
        << "the separation was over before the click: the file is too small";
    EXPECT_EQ(kSeparated, TakeJobBox(driver, kNoticeCaption));
    ASSERT_TRUE(driver.WaitIdle());
    ASSERT_EQ(BlockNames(L"big", L".bin", big.blocks), driver.ListItems());

    // Cancel of the separate group during a merge: nothing happens.
    driver.Click(IDC_MERGE);
    ASSERT_TRUE(WaitForProgress(driver, 2));
    driver.Click(IDC_CANCEL_SEPARATE);
    ASSERT_TRUE(driver.Sync());
    ASSERT_LT(driver.ProgressPos(), big.blocks)
        << "the merge was over before the click: the file is too small";
    EXPECT_EQ(kMerged, TakeJobBox(driver, kNoticeCaption));
    ASSERT_TRUE(driver.WaitIdle());
    EXPECT_TRUE(SameFiles(big.path, result));

    // Cancel of the merge group during a merge stops it: the result holds
    // the chunks written so far.
    driver.Click(IDC_MERGE);
    ASSERT_TRUE(WaitForProgress(driver, 2));
    driver.Click(IDC_CANCEL_MERGE);
    ASSERT_NO_FATAL_FAILURE(ExpectStoppedQuietly(driver));
    EXPECT_TRUE(IsPartialResult(result, big.path, 2 * kMiB));
    EXPECT_EQ(0u, FileSizeOf(result) % kMiB);
    // Exit during a merge stops it too, and the window closes.
    driver.Click(IDC_MERGE);
    ASSERT_TRUE(WaitForProgress(driver, 2));
    driver.Post(WM_CLOSE);  // the caption's close box
    ASSERT_TRUE(driver.WaitClosed(kLongJobMs));
    EXPECT_EQ(2, driver.Result());
    EXPECT_TRUE(NoBox());
    EXPECT_TRUE(IsPartialResult(result, big.path, 2 * kMiB));
}

// While a job runs the taskbar button shows what the bar shows, drawn when
// the bar is drawn; however the job ends, nothing is left on it. Where the
// shell has no taskbar list the button is never touched.
TEST(JobWindow, TaskbarButtonFollowsTheBarAndIsClearedHoweverTheJobEnds)
{
    TempDir dir;
    WriteBigFile(dir / L"big.bin", 200 * kMiB, 31);
    WriteBigFile(dir / L"fails.bin", 60 * kMiB, 32);
    ASSERT_TRUE(::CreateDirectoryW((dir / L"fails_00050.bin").c_str(), nullptr));
    const struct {
        const char* what;
        bool hasList;
        void (*run)(MainDialogDriver&, const TempDir&);
        bool endsFull;
    } cases[] = {
        {"separation", true, [](MainDialogDriver& d, const TempDir& dir) {
             Separate(d, dir / L"big.bin", L"1", kMegabytes);
         }, true},
        {"merge", true, [](MainDialogDriver& d, const TempDir& dir) {
             d.SetText(IDC_RESULT_FILE, dir / L"joined.bin");
             EXPECT_EQ(kMerged, RunJob(d, IDC_MERGE));
         }, true},
        {"cancel", true, [](MainDialogDriver& d, const TempDir& dir) {
             StartSeparate(d, dir / L"big.bin", L"1", kMegabytes);
             ASSERT_TRUE(WaitForProgress(d, 2));
             d.Click(IDC_CANCEL_SEPARATE);
             EXPECT_TRUE(d.WaitIdle(kLongJobMs));
         }, false},
        {"failure", true, [](MainDialogDriver& d, const TempDir& dir) {
             StartSeparate(d, dir / L"fails.bin", L"1", kMegabytes);
             ASSERT_TRUE(d.Sync());
             EXPECT_EQ(kCantOpenBlock, TakeJobBox(d, kErrorCaption));
             EXPECT_TRUE(d.WaitIdle());
         }, false},
        {"no taskbar list", false, [](MainDialogDriver& d, const TempDir& dir) {
             Separate(d, dir / L"big.bin", L"1", kMegabytes);
         }, false},
    };
    // One window for the rows with a taskbar list, in turn, one for the last.
    CRecordingTaskbar* taskbar = nullptr;
    std::unique_ptr<MainDialogDriver> driver;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        if (!driver || !c.hasList) {
            driver.reset();
            auto dialog = std::make_unique<CMainDlg>();
            auto recording = std::make_unique<CRecordingTaskbar>(c.hasList);
            taskbar = recording.get();
            dialog->m_pTaskbar = std::move(recording);
            driver = std::make_unique<MainDialogDriver>(std::move(dialog));
            driver->Post(CTaskbarProgress::ButtonCreatedMessage());
        }
        const size_t before = taskbar->Calls().size();
        SentToItemCounter barSets(*driver, IDC_PROGRESS, PBM_SETPOS);
        c.run(*driver, dir);
        ASSERT_TRUE(driver->Sync());
        const Names all = taskbar->Calls();
        const Names calls(all.begin() + before, all.end());
        if (!c.hasList) {
            EXPECT_TRUE(calls.empty()) << Narrow(calls.front());
            continue;
        }
        ASSERT_GE(calls.size(), 2u);
        EXPECT_EQ(L"clear", calls.back());
        EXPECT_EQ(1, std::count(calls.begin(), calls.end(), L"clear"));
        const std::wstring& last = calls[calls.size() - 2];
        EXPECT_EQ(c.endsFull, last == L"full") << Narrow(last);
        // Drawn no more often than the bar (whose count has the end's too).
        EXPECT_LT(static_cast<int>(calls.size() - 1), barSets.Count());
    }
}

// ------------------------------------------------- while a job's box is open

// A job that shows its box, a success or an error, holds on to the window
// until the box goes: Separate and Merge do nothing meanwhile and Cancel
// waits for the box; the job then ends as it was, no second job run.
TEST(JobBox, WhileAJobsBoxIsOpenJobsAreRefusedAndCancelWaits)
{
    const struct {
        const char* what;
        bool merge;  // the job holding the box merges, else it separates
        const std::wstring& caption;
        const std::wstring& text;
    } cases[] = {
        {"a separation's success box", false, kNoticeCaption, kSeparated},
        {"a merge's error box", true, kErrorCaption, kCantOpenMerged},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        TempDir dir;
        const std::wstring source = dir / L"first.bin";
        const std::wstring result = dir / L"out.bin";
        WriteBytes(source, MakeBytes(2 * kMiB + 500, 31));
        WriteBytes(dir / L"second.bin", MakeBytes(3000, 32));
        const Names names = BlockNames(L"first", L".bin", 3);
        Names blocks = names;
        MainDialogDriver driver;
        if (c.merge) {
            // The merge fails at the block that is gone.
            Separate(driver, source, L"1", kMegabytes);
            ASSERT_TRUE(::DeleteFileW((dir / names[1]).c_str()));
            blocks.erase(blocks.begin() + 1);
            driver.SetText(IDC_RESULT_FILE, result);
            driver.Click(IDC_MERGE);
        } else {
            StartSeparate(driver, source, L"1", kMegabytes);
        }
        const ShownBox box = WaitForBox(c.caption);
        ASSERT_TRUE(box);
        EXPECT_EQ(c.text, box.text);
        ASSERT_TRUE(driver.Sync());
        EXPECT_TRUE(driver.Object().IsJobRunning());
        ASSERT_EQ(names, driver.ListItems());
        if (c.merge)
            ExpectEmptyBar(driver);  // emptied before an error box

        // Separate and Merge do nothing while the job holds its box.
        ChooseSource(driver, dir / L"second.bin", L"1", kKilobytes);
        driver.SetText(IDC_RESULT_FILE, result);
        driver.Click(IDC_SEPARATE);
        driver.Click(IDC_MERGE);
        ASSERT_TRUE(driver.Sync());
        EXPECT_EQ(box.window, FindBox().window) << "one box, the job's own";
        EXPECT_FALSE(OwnWindowExists(c.merge ? kNoticeCaption : kErrorCaption));
        EXPECT_EQ(names, driver.ListItems());
        EXPECT_EQ(dir.Path(), driver.Object().m_strListDir);
        EXPECT_EQ(c.merge ? result : source, driver.Object().m_strJobPath);
        EXPECT_EQ(static_cast<int32_t>(kMiB), driver.Object().m_nBlockSize);
        EXPECT_TRUE(BlocksOnDisk(dir, L"second").empty());
        EXPECT_EQ(c.merge, FileExists(result));

        // Cancel waits for the box: the dialog handles nothing meanwhile.
        driver.Click(c.merge ? IDC_CANCEL_MERGE : IDC_CANCEL_SEPARATE);
        EXPECT_FALSE(driver.Sync(500)) << "Cancel did not wait for the job's box";
        ASSERT_TRUE(::IsWindow(box.window));
        ASSERT_TRUE(DismissBox(box.window));
        ASSERT_TRUE(driver.WaitIdle());
        ExpectEmptyBar(driver);
        EXPECT_TRUE(NoBox());
        EXPECT_EQ(names, driver.ListItems());
        EXPECT_EQ(blocks, BlocksOnDisk(dir, L"first"));
        EXPECT_TRUE(BlocksOnDisk(dir, L"second").empty());
        if (c.merge)
            EXPECT_TRUE(SameFiles(dir / names[0], result)) << "not what came before the gap";
        else
            EXPECT_FALSE(FileExists(result));
    }
}

// A job's box has no owner, yet must not hide behind the window, which waits
// for it on Exit: real clicks on the window and on Exit leave it topmost;
// once it is dismissed the window closes, the job done.
TEST(JobBox, StaysTopmostWhileTheWindowIsClickedAndExitWaitsForIt)
{
    TempDir dir;
    const std::wstring source = dir / L"one.bin";
    WriteBytes(source, MakeBytes(1000, 35));
    MainDialogDriver driver;
    StartSeparate(driver, source, L"1", kKilobytes);
    HWND box = WaitForOwnWindow(L"Notice");
    ASSERT_NE(nullptr, box);

    // Points the box does not cover: a corner of the window, and Exit.
    RECT boxRect, exitRect;
    ::GetWindowRect(box, &boxRect);
    ::GetWindowRect(driver.Item(IDCANCEL), &exitRect);
    POINT corner = {4, 4};
    ::ClientToScreen(driver.Dialog(), &corner);
    const POINT exit = {(exitRect.left + exitRect.right) / 2, (exitRect.top + exitRect.bottom) / 2};
    ASSERT_FALSE(::PtInRect(&boxRect, corner)) << "the box covers the window's corner";
    ASSERT_FALSE(::PtInRect(&boxRect, exit)) << "the box covers Exit";
    ASSERT_TRUE(ClickAt(corner));
    ASSERT_TRUE(WaitFor([&] { return ::GetForegroundWindow() == driver.Dialog(); }))
        << "the click did not activate the window";
    EXPECT_TRUE(IsAbove(box, driver.Dialog())) << "a click on the window hid the job's box";
    ASSERT_TRUE(ClickAt(exit));
    ASSERT_TRUE(WaitFor([&] { return driver.Object().m_bCancel.load(); })) << "Exit not clicked";
    EXPECT_FALSE(driver.Sync(500)) << "Exit did not wait for the job's box";
    EXPECT_NE(nullptr, driver.Object().m_hWnd);
    EXPECT_TRUE(IsAbove(box, driver.Dialog())) << "Exit waits for a box behind the window";
    EXPECT_TRUE(::GetWindowLongW(box, GWL_EXSTYLE) & WS_EX_TOPMOST);
    ASSERT_TRUE(DismissBox(box));
    ASSERT_TRUE(driver.WaitClosed());
    EXPECT_EQ(2, driver.Result());
    EXPECT_EQ(1000u, FileSizeOf(dir / L"one_00000.bin"));
}
