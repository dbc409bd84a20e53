// Steps shared by the tests that drive Separate, Merge, Cancel and Exit
// through the real main dialog.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "support/Blocks.h"
#include "support/Boxes.h"
#include "support/DialogDriver.h"
#include "support/TestFiles.h"
#include "support/Windows.h"

// Whether the program shows no message box at all now.
inline bool NoBox()
{
    return !OwnWindowExists(kErrorCaption) && !OwnWindowExists(kNoticeCaption);
}

// The bar is back to its empty state: range 0 ... 0, position 0.
inline void ExpectEmptyBar(const MainDialogDriver& driver)
{
    EXPECT_EQ(0, driver.ProgressLow());
    EXPECT_EQ(0, driver.ProgressHigh());
    EXPECT_EQ(0, driver.ProgressPos());
}

// After a click that stops the job: it returns once the job ended, quietly (no box, bar empty).
inline void ExpectStoppedQuietly(MainDialogDriver& driver)
{
    ASSERT_TRUE(driver.Sync(kLongJobMs));
    EXPECT_FALSE(driver.Object().IsJobRunning());
    ASSERT_TRUE(driver.WaitIdle());
    EXPECT_TRUE(NoBox());
    ExpectEmptyBar(driver);
}

// Clicks control id and expects exactly one "Error" box with text; after
// it has been dismissed the command must have ended without another box.
inline void ExpectRefusal(MainDialogDriver& driver, int id, const std::wstring& text)
{
    driver.Click(id);
    EXPECT_EQ(text, TakeBox(kErrorCaption));
    ASSERT_TRUE(driver.Sync());
    EXPECT_TRUE(NoBox()) << "a second box followed \"" << Narrow(text) << "\"";
    EXPECT_FALSE(driver.Object().IsJobRunning());
}

// Waits for the running job's box of that caption and dismisses it: its text, or
// empty (a failure saying what came) when the job showed another box or none.
inline std::wstring TakeJobBox(MainDialogDriver& driver, const std::wstring& caption)
{
    return TakeBox(caption, kLongJobMs, [&] { return !driver.Object().IsJobRunning(); });
}

// Clicks Separate or Merge and waits for the job's "Notice" box; returns
// its text, the box dismissed and the dialog idle again.
inline std::wstring RunJob(MainDialogDriver& driver, int id)
{
    driver.Click(id);
    EXPECT_TRUE(driver.Sync());
    std::wstring text = TakeJobBox(driver, kNoticeCaption);
    EXPECT_TRUE(driver.WaitIdle());
    return text;
}

// Waits, while the job just clicked runs, until reached() holds. A job that shows
// a box or ends first won't get there: that stops the wait, a failure saying what
// came instead (a box is dismissed).
inline bool WaitWhileJobRuns(MainDialogDriver& driver, const std::function<bool()>& reached)
{
    // Separate and Merge return once the worker has taken the job up.
    if (!driver.Sync(kLongJobMs)) {
        ADD_FAILURE() << "the dialog did not take the click";
        return false;
    }
    ShownBox box;
    WaitFor([&] { return reached() || (box = FindBox()) || !driver.Object().IsJobRunning(); },
            kLongJobMs);
    if (reached())
        return true;
    if (box) {
        ADD_FAILURE() << "the job showed the " << box.Describe() << " before it got there";
        DismissBox(box.window);
    } else {
        ADD_FAILURE() << (driver.Object().IsJobRunning() ? "the job did not get there in time"
                                                         : "the job ended before it got there");
    }
    return false;
}

// Waits, while the job runs, until the merge list shows at least count items.
inline bool WaitForListItems(MainDialogDriver& driver, size_t count)
{
    return WaitWhileJobRuns(driver, [&] { return driver.ListItems().size() >= count; });
}

// Waits, while the job runs, until the bar stands at pos or further.
inline bool WaitForProgress(MainDialogDriver& driver, int pos)
{
    return WaitWhileJobRuns(driver, [&] { return driver.ProgressPos() >= pos; });
}
