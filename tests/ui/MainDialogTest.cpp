// The main window's own handlers: opening, the unit radio buttons, the progress
// bar, the routing of notifications. (Closing: ExitCodeTest; template: TemplateTest.)
#include <windows.h>
#include <commctrl.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "jobs/WorkerMessages.h"
#include "support/Boxes.h"
#include "support/DialogDriver.h"

TEST(MainDialog, OpensCentredWithMegabytesCheckedAndFieldsEmpty)
{
    MainDialogDriver driver;
    HWND dialog = driver.Dialog();

    RECT work = {};
    ASSERT_TRUE(::SystemParametersInfoW(SPI_GETWORKAREA, 0, &work, 0));
    RECT window = {};
    ASSERT_TRUE(::GetWindowRect(dialog, &window));
    EXPECT_NEAR((work.left + work.right) / 2, (window.left + window.right) / 2, 1);
    EXPECT_NEAR((work.top + work.bottom) / 2, (window.top + window.bottom) / 2, 1);

    EXPECT_NE(0, ::SendMessageW(dialog, WM_GETICON, ICON_BIG, 0));
    EXPECT_NE(0, ::SendMessageW(dialog, WM_GETICON, ICON_SMALL, 0));

    // (The edits' empty texts: TemplateTest. The handles kept: by what they do.)
    EXPECT_TRUE(driver.IsChecked(IDC_MBYTE));
    EXPECT_FALSE(driver.IsChecked(IDC_KBYTE));
    EXPECT_TRUE(driver.ListItems().empty());
    EXPECT_EQ(0, driver.ProgressPos());
    EXPECT_FALSE(driver.Object().IsJobRunning());
    EXPECT_EQ(JOB_NONE, driver.Object().m_nJobKind.load());
}

// Whatever the order of clicks, exactly the last clicked unit is checked: as the
// handlers' commands alone, and as real clicks (the buttons check themselves first;
// each starts a group of its own, so the dialog manager clears neither).
TEST(MainDialog, UnitRadioButtonsStayExclusive)
{
    MainDialogDriver driver;
    const std::vector<int> clicks = {IDC_KBYTE, IDC_KBYTE, IDC_MBYTE, IDC_MBYTE, IDC_KBYTE,
                                     IDC_MBYTE, IDC_KBYTE};
    for (bool real : {false, true}) {
        for (size_t i = 0; i < clicks.size(); ++i) {
            SCOPED_TRACE((real ? "real click #" : "command #") + std::to_string(i));
            if (real)
                driver.SendToItem(clicks[i], BM_CLICK);
            else
                driver.Click(clicks[i]);
            ASSERT_TRUE(driver.Sync());
            EXPECT_EQ(clicks[i] == IDC_MBYTE, driver.IsChecked(IDC_MBYTE));
            EXPECT_EQ(clicks[i] == IDC_KBYTE, driver.IsChecked(IDC_KBYTE));
        }
    }
}

// The bar takes the whole 32-bit range and position the jobs post, holds one
// past its end at the end; either end message empties it. Positions queued up
// while the window is busy set the bar once, to the newest, also when another
// message, the job's end or the next job's range comes between.
TEST(MainDialog, ProgressTakesTheNewestPositionInTheFullRange)
{
    struct Post {
        UINT msg;
        WPARAM wParam;
        LPARAM lParam;
    };
    using Posts = std::vector<Post>;
    const auto range = [](int high) { return Posts{{WM_PROGRESS_RANGE, 1, high}}; };
    const auto positions = [](int first, int last) {
        Posts posts;
        for (int i = first; i <= last; ++i)
            posts.push_back({WM_PROGRESS_POS, static_cast<WPARAM>(i), 0});
        return posts;
    };
    const Posts click = {{WM_COMMAND, MAKEWPARAM(IDC_KBYTE, BN_CLICKED), 0}};
    const Posts end = {{WM_SEPARATE_END, 0, 0}};
    const Posts mergeEnd = {{WM_MERGE_END, 0, 0}};
    const struct {
        const char* what;
        std::vector<Posts> posts;  // posted one after the other
        int low, high, pos;
        int sets;  // of the bar's position, the ends' included
    } cases[] = {
        {"a wide range", {range(200000), positions(150000, 150000)}, 1, 200000, 150000, 1},
        {"past the end", {range(200000), positions(250000, 250000)}, 1, 200000, 200000, 1},
        {"the merge's end", {range(200000), positions(1, 9), mergeEnd}, 0, 0, 0, 2},
        {"a run of positions", {range(2000), positions(1, 2000)}, 1, 2000, 2000, 1},
        {"positions, then a click", {range(500), positions(1, 250), click}, 1, 500, 250, 1},
        {"positions, then the end", {range(500), positions(1, 500), end}, 0, 0, 0, 2},
        {"the next job's first positions",
         {range(500), positions(1, 500), end, range(40), positions(1, 7)}, 1, 40, 7, 2},
    };

    MainDialogDriver driver;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        SentToItemCounter sets(driver, IDC_PROGRESS, PBM_SETPOS);
        ASSERT_TRUE(driver.Hold());
        for (const Posts& posts : c.posts)
            for (const Post& post : posts)
                driver.Post(post.msg, post.wParam, post.lParam);
        driver.Release();
        ASSERT_TRUE(driver.Sync());
        EXPECT_EQ(c.sets, sets.Count());
        EXPECT_EQ(c.low, driver.ProgressLow());
        EXPECT_EQ(c.high, driver.ProgressHigh());
        EXPECT_EQ(c.pos, driver.ProgressPos());
    }
}

// Only BN_CLICKED starts what a button stands for; its other notifications
// with the same id do nothing.
TEST(MainDialog, ButtonNotificationsOtherThanClickedDoNothing)
{
    MainDialogDriver driver;
    // A state that any of the handlers would change: K Byte checked, a list
    // with its middle item selected (Up and Down would move it), empty paths
    // (Separate and Merge would complain, the browse buttons open a dialog).
    driver.Click(IDC_KBYTE);
    for (const wchar_t* name : {L"a.bin", L"b.bin", L"c.bin"})
        driver.SendToItem(IDC_MERGE_LIST, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(name));
    driver.SendToItem(IDC_MERGE_LIST, LB_SETCURSEL, 1);
    driver.Post(WM_PROGRESS_RANGE, 1, 10);
    driver.Post(WM_PROGRESS_POS, 4);
    ASSERT_TRUE(driver.Sync());
    ASSERT_TRUE(driver.IsChecked(IDC_KBYTE));

    const int buttons[] = {IDC_BROWSE_SOURCE, IDC_MBYTE,        IDC_KBYTE, IDC_SEPARATE,
                           IDC_CANCEL_SEPARATE, IDC_BROWSE_MERGE, IDC_UP,    IDC_DOWN,
                           IDC_BROWSE_RESULT, IDC_MERGE,         IDC_CANCEL_MERGE};
    const WORD codes[] = {BN_DOUBLECLICKED, BN_SETFOCUS, BN_KILLFOCUS, BN_PUSHED, BN_UNPUSHED};
    for (int id : buttons)
        for (WORD code : codes)
            driver.Click(id, code);
    ASSERT_TRUE(driver.Sync());

    EXPECT_FALSE(FindBox());
    EXPECT_EQ(nullptr, FindOwnWindow(L"Open"));
    EXPECT_EQ(nullptr, FindOwnWindow(L"Save As"));
    EXPECT_FALSE(driver.IsChecked(IDC_MBYTE));
    EXPECT_TRUE(driver.IsChecked(IDC_KBYTE));
    EXPECT_EQ((std::vector<std::wstring>{L"a.bin", L"b.bin", L"c.bin"}), driver.ListItems());
    EXPECT_EQ(1, driver.ListSelection());
    EXPECT_EQ(L"", driver.Text(IDC_SOURCE_FILE));
    EXPECT_EQ(L"", driver.Text(IDC_RESULT_FILE));
    EXPECT_EQ(4, driver.ProgressPos());
    EXPECT_FALSE(driver.Object().IsJobRunning());
    EXPECT_TRUE(::IsWindow(driver.Dialog()));
}
