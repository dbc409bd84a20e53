// The whole road through the real window, as a user takes it: choose a file,
// separate it, choose a result, merge the blocks back into a copy.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>

#include "support/JobSteps.h"

namespace {

// What the test saw of a running job before its box came up.
struct Sighting {
    size_t items = 0;
    int position = 0;
    int high = 0;
};

// Polls the window until the job shows progress short of its end, with no box
// up yet; false when the job got to its box (or nowhere) first.
bool SeeJobMidway(const MainDialogDriver& driver, bool countItems, size_t allItems,
                  Sighting& seen)
{
    return WaitFor([&] {
        if (FindBox())
            return true;
        seen.position = driver.ProgressPos();
        seen.high = driver.ProgressHigh();
        seen.items = static_cast<size_t>(driver.SendToItem(IDC_MERGE_LIST, LB_GETCOUNT));
        const bool moving = seen.position > 0 && seen.position < seen.high;
        return moving && (!countItems || (seen.items > 0 && seen.items < allItems));
    }, kLongJobMs) && !FindBox();
}

double SecondsSince(std::chrono::steady_clock::time_point start)
{
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

} // namespace

TEST(EndToEnd, SeparateAndMergeThroughTheWindowRebuildTheSource)
{
    TempDir dir;
    const std::wstring source = dir / L"film.part.bin";
    const std::wstring result = dir / L"rebuilt.bin";
    constexpr int kBlocks = 150;
    const uint64_t size = (kBlocks - 1) * kMiB + 12345;
    WriteBigFile(source, size, 11);

    MainDialogDriver driver;

    // Choose the source in the open dialog, 1024 K blocks.
    driver.Click(IDC_BROWSE_SOURCE);
    ASSERT_TRUE(AnswerFileDialog(L"Open", source));
    ASSERT_TRUE(driver.Sync());
    EXPECT_EQ(source, driver.Text(IDC_SOURCE_FILE));
    driver.SetText(IDC_BLOCK_SIZE, L"1024");
    driver.Click(IDC_KBYTE);
    ASSERT_TRUE(driver.Sync());
    ASSERT_TRUE(driver.IsChecked(IDC_KBYTE));

    auto start = std::chrono::steady_clock::now();
    driver.Click(IDC_SEPARATE);
    Sighting seen;
    EXPECT_TRUE(SeeJobMidway(driver, true, kBlocks, seen))
        << "the list and the bar never showed a separation under way";
    EXPECT_EQ(kBlocks, seen.high) << "one chunk per 1 MiB block";

    ShownBox box = WaitForBox(kNoticeCaption, kLongJobMs);
    ASSERT_TRUE(box);
    const double separateSeconds = SecondsSince(start);
    EXPECT_EQ(kSeparated, box.text);
    // While the box is up the job still runs and the bar is full.
    ASSERT_TRUE(driver.Sync());
    EXPECT_TRUE(driver.Object().IsJobRunning());
    EXPECT_EQ(kBlocks, driver.ProgressPos());
    EXPECT_EQ(kBlocks, driver.ProgressHigh());
    ASSERT_TRUE(DismissBox(box.window));
    ASSERT_TRUE(driver.WaitIdle());
    ExpectEmptyBar(driver);

    const std::vector<std::wstring> names = BlockNames(L"film.part", L".bin", kBlocks);
    EXPECT_EQ(names, driver.ListItems());
    EXPECT_EQ(kBlocks - 1, driver.ListSelection()) << "the newest block is selected";
    for (int n = 0; n < kBlocks; ++n) {
        const uint64_t expected = n + 1 < kBlocks ? kMiB : 12345;
        ASSERT_EQ(expected, FileSizeOf(dir / names[n])) << Narrow(names[n]);
    }
    EXPECT_EQ(dir.Path(), driver.Object().m_strListDir);

    // Choose the result in the save dialog and merge the list as shown.
    driver.Click(IDC_BROWSE_RESULT);
    ASSERT_TRUE(AnswerFileDialog(L"Save As", result));
    ASSERT_TRUE(driver.Sync());
    EXPECT_EQ(result, driver.Text(IDC_RESULT_FILE));

    start = std::chrono::steady_clock::now();
    driver.Click(IDC_MERGE);
    EXPECT_TRUE(SeeJobMidway(driver, false, kBlocks, seen))
        << "the bar never showed a merge under way";
    EXPECT_EQ(kBlocks, seen.high);
    box = WaitForBox(kNoticeCaption, kLongJobMs);
    ASSERT_TRUE(box);
    const double mergeSeconds = SecondsSince(start);
    EXPECT_EQ(kMerged, box.text);
    ASSERT_TRUE(DismissBox(box.window));
    ASSERT_TRUE(driver.WaitIdle());
    ExpectEmptyBar(driver);
    EXPECT_EQ(names, driver.ListItems()) << "the list stays after a merge";

    EXPECT_TRUE(SameFiles(source, result));
    RecordProperty("separate_seconds", std::to_string(separateSeconds));
    RecordProperty("merge_seconds", std::to_string(mergeSeconds));
    std::printf("%d MiB: separate %.2f s, merge %.2f s\n", kBlocks, separateSeconds, mergeSeconds);
}
