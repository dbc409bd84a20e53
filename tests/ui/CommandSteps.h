// Steps shared by the tests that drive Separate, Merge, Cancel and Exit
// through the real main dialog.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "support/DialogDriver.h"
#include "support/TestFiles.h"
#include "support/Windows.h"

constexpr uint64_t kMiB = 1024 * 1024;
// How long a test waits for a job over a file of a few hundred megabytes
// (they take seconds).
constexpr DWORD kLongJobMs = 180000;

// The exact texts the program shows.
const std::wstring kNoSource = L"You don't select file to separate!";
const std::wstring kBadBlockSize = L"The block size must be over 0!";
const std::wstring kBlockSizeTooBig = L"The block size must be less than 2048 M Byte!";
const std::wstring kNoResult = L"You don't set the merge result file!";
const std::wstring kNoMergeFiles = L"You don't select files to merge!";
const std::wstring kResultIsListed = L"The merge result file can't be one of the files to merge!";
const std::wstring kCantOpenMerged = L"Can't open the file that will be merged!";
const std::wstring kCantOpenBlock = L"Fail to open or create the block files!";
const std::wstring kSeparated = L"Success to separate this file.";
const std::wstring kMerged = L"Success to merge all files.";

// The bare names of blocks 0 to count - 1 of stem + extension.
inline std::vector<std::wstring> BlockNames(const std::wstring& stem, const std::wstring& extension,
                                            int count)
{
    std::vector<std::wstring> names;
    for (int n = 0; n < count; ++n) {
        wchar_t digits[16];
        ::wsprintfW(digits, L"_%05d", n);
        names.push_back(stem + digits + extension);
    }
    return names;
}

// Waits for the message box of that caption, returns its text and dismisses
// it; empty (and a failure) when none came.
inline std::wstring TakeBox(const std::wstring& caption, DWORD timeoutMs = kDeadlineMs)
{
    HWND box = WaitForOwnWindow(caption, L"#32770", timeoutMs);
    if (box == nullptr) {
        ADD_FAILURE() << "no \"" << Narrow(caption) << "\" box came up";
        return std::wstring();
    }
    std::wstring text = BoxText(box);
    EXPECT_TRUE(DismissBox(box));
    return text;
}

// Whether the program shows no message box at all now.
inline bool NoBox()
{
    return !OwnWindowExists(L"Error") && !OwnWindowExists(L"Notice");
}

// The bar is back to its empty state: range 0 ... 0, position 0.
inline void ExpectEmptyBar(const MainDialogDriver& driver)
{
    EXPECT_EQ(0, driver.ProgressLow());
    EXPECT_EQ(0, driver.ProgressHigh());
    EXPECT_EQ(0, driver.ProgressPos());
}

// Clicks control id and expects exactly one "Error" box with text; after
// it has been dismissed the command must have ended without another box.
inline void ExpectRefusal(MainDialogDriver& driver, int id, const std::wstring& text)
{
    driver.Click(id);
    EXPECT_EQ(text, TakeBox(L"Error"));
    ASSERT_TRUE(driver.Sync());
    EXPECT_TRUE(NoBox()) << "a second box followed \"" << Narrow(text) << "\"";
    EXPECT_FALSE(driver.Object().IsJobRunning());
}

// Waits for the running job's box of that caption, returns its text and
// dismisses it; empty (and a failure) when the job ended without one.
inline std::wstring TakeJobBox(MainDialogDriver& driver, const std::wstring& caption)
{
    HWND box = nullptr;
    WaitFor([&] {
        box = FindOwnWindow(caption);
        return box != nullptr || !driver.Object().IsJobRunning();
    }, kLongJobMs);
    if (box == nullptr) {
        ADD_FAILURE() << "the job showed no \"" << Narrow(caption) << "\" box";
        return std::wstring();
    }
    std::wstring text = BoxText(box);
    EXPECT_TRUE(DismissBox(box));
    return text;
}

// Clicks Separate or Merge and waits for the job's "Notice" box; returns
// its text, the box dismissed and the dialog idle again.
inline std::wstring RunJob(MainDialogDriver& driver, int id)
{
    driver.Click(id);
    EXPECT_TRUE(driver.Sync());
    std::wstring text = TakeJobBox(driver, L"Notice");
    EXPECT_TRUE(driver.WaitIdle());
    return text;
}

// Waits until the merge list shows at least count items.
inline bool WaitForListItems(const MainDialogDriver& driver, size_t count,
                             DWORD timeoutMs = kLongJobMs)
{
    return WaitFor([&] { return driver.ListItems().size() >= count; }, timeoutMs);
}
