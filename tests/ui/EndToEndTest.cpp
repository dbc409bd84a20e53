// The whole road through the real window, as a user takes it: choose a file,
// separate it, choose a result, merge the blocks back into a copy.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>

#include "support/JobSteps.h"

// 1 MiB blocks, the last one short.
constexpr int kBlocks = 150;

TEST(EndToEnd, SeparateAndMergeThroughTheWindowRebuildTheSource)
{
    TempDir dir;
    const std::wstring source = dir / L"film.part.bin";
    const std::wstring result = dir / L"rebuilt.bin";
    WriteBigFile(source, (kBlocks - 1) * kMiB + 12345, 11);
    MainDialogDriver driver;

    // Clicks button and follows its job as the user sees it: the bar (and,
    // separating, the list) moving, then its success box, the job holding on
    // and the bar full while it is up, then the bar empty. Returns the
    // seconds until the box.
    const auto run = [&driver](int button, const std::wstring& text) {
        const auto start = std::chrono::steady_clock::now();
        driver.Click(button);
        int high = 0;
        const bool midway = WaitWhileJobRuns(driver, [&] {
            const int pos = driver.ProgressPos();
            const int items = driver.ListCount();
            high = driver.ProgressHigh();
            return pos > 0 && pos < high && (button == IDC_MERGE || (items > 0 && items < kBlocks));
        });
        EXPECT_TRUE(midway) << "the window never showed the job under way";
        EXPECT_EQ(kBlocks, high) << "one chunk per 1 MiB block";
        const ShownBox box = WaitForBox(kNoticeCaption, kLongJobMs,
                                        [&] { return !driver.Object().IsJobRunning(); });
        const std::chrono::duration<double> seconds = std::chrono::steady_clock::now() - start;
        if (!box)
            return 0.0;  // the failure is told
        EXPECT_EQ(text, box.text);
        EXPECT_TRUE(driver.Sync());
        EXPECT_TRUE(driver.Object().IsJobRunning());
        EXPECT_EQ(kBlocks, driver.ProgressPos());
        EXPECT_EQ(kBlocks, driver.ProgressHigh());
        EXPECT_TRUE(DismissBox(box.window));
        EXPECT_TRUE(driver.WaitIdle());
        ExpectEmptyBar(driver);
        return seconds.count();
    };

    // Choose the source in the open dialog, 1024 K blocks.
    driver.Click(IDC_BROWSE_SOURCE);
    ASSERT_TRUE(AnswerFileDialog(L"Open", source));
    driver.SetText(IDC_BLOCK_SIZE, L"1024");
    driver.Click(IDC_KBYTE);
    ASSERT_TRUE(driver.Sync());
    EXPECT_EQ(source, driver.Text(IDC_SOURCE_FILE));
    ASSERT_TRUE(driver.IsChecked(IDC_KBYTE));
    const double separateSeconds = run(IDC_SEPARATE, kSeparated);
    const std::vector<std::wstring> names = BlockNames(L"film.part", L".bin", kBlocks);
    EXPECT_EQ(names, driver.ListItems());
    EXPECT_EQ(kBlocks - 1, driver.ListSelection()) << "the newest block is selected";
    for (int n = 0; n < kBlocks; ++n)
        ASSERT_EQ(n + 1 < kBlocks ? kMiB : 12345, FileSizeOf(dir / names[n])) << Narrow(names[n]);
    EXPECT_EQ(dir.Path(), driver.Object().m_strListDir);

    // Choose the result in the save dialog and merge the list as shown.
    driver.Click(IDC_BROWSE_RESULT);
    ASSERT_TRUE(AnswerFileDialog(L"Save As", result));
    ASSERT_TRUE(driver.Sync());
    EXPECT_EQ(result, driver.Text(IDC_RESULT_FILE));
    const double mergeSeconds = run(IDC_MERGE, kMerged);
    EXPECT_EQ(names, driver.ListItems()) << "the list stays after a merge";
    EXPECT_TRUE(SameFiles(source, result));
    RecordProperty("separate_seconds", std::to_string(separateSeconds));
    RecordProperty("merge_seconds", std::to_string(mergeSeconds));
    std::printf("%d MiB: separate %.2f s, merge %.2f s\n", kBlocks, separateSeconds, mergeSeconds);
}
