// Steps shared by the tests that drive Separate, Merge, Cancel and Exit
// through the real main dialog.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
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

// Waits for the running job's box of that caption, returns its text and
// dismisses it; empty (and a failure that says what came instead) when the
// job showed another box or ended without one.
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

// Waits until the merge list shows at least count items.
inline bool WaitForListItems(const MainDialogDriver& driver, size_t count,
                             DWORD timeoutMs = kLongJobMs)
{
    return WaitFor([&] { return driver.ListItems().size() >= count; }, timeoutMs);
}
