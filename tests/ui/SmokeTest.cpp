#include <gtest/gtest.h>

#include "support/DialogDriver.h"

TEST(MainDialog, OpensWithMegabytesCheckedAndClosesWithTwo)
{
    MainDialogDriver driver;
    EXPECT_TRUE(driver.IsChecked(IDC_MBYTE));
    EXPECT_FALSE(driver.IsChecked(IDC_KBYTE));
    driver.Click(IDC_KBYTE);
    ASSERT_TRUE(driver.Sync());
    EXPECT_FALSE(driver.IsChecked(IDC_MBYTE));
    EXPECT_TRUE(driver.IsChecked(IDC_KBYTE));
    driver.Click(IDCANCEL);
    ASSERT_TRUE(driver.WaitClosed());
    EXPECT_EQ(2, driver.Result());
}
