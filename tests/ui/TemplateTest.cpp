// Both dialogs as the dialog manager makes them from their templates: ids,
// classes, captions, tab order, focus, font, every control inside the window
// and none over another; what the styles make of typing and of Enter. (Where
// each control stands is the resource script's: docs/ has the screenshots.)
#include <windows.h>
#include <commctrl.h>

#include <gtest/gtest.h>

#include <vector>

#include "res/version.h"
#include "support/DialogDriver.h"
#include "support/TestFiles.h"

namespace {

struct Control {
    int id;
    const wchar_t* className;
    const wchar_t* title;  // null: not a text (the About box's icon)
};

const std::vector<Control> kMainControls = {
    {-1, L"button", L"Separate File"},        {-1, L"static", L"Separated File:"},
    {IDC_SOURCE_FILE, L"edit", L""},          {IDC_BROWSE_SOURCE, L"button", L"Browser..."},
    {-1, L"static", L"Block Size:"},          {IDC_BLOCK_SIZE, L"edit", L""},
    {IDC_MBYTE, L"button", L"M Byte"},        {IDC_KBYTE, L"button", L"K Byte"},
    {IDC_SEPARATE, L"button", L"Separate"},   {IDC_CANCEL_SEPARATE, L"button", L"Cancel"},
    {-1, L"button", L"Merge File"},           {-1, L"static", L"Merged Files:"},
    {IDC_MERGE_LIST, L"listbox", L""},        {IDC_BROWSE_MERGE, L"button", L"Browser..."},
    {IDC_UP, L"button", L"Up"},               {IDC_DOWN, L"button", L"Down"},
    {-1, L"static", L"Merge Result File:"},   {IDC_RESULT_FILE, L"edit", L""},
    {IDC_BROWSE_RESULT, L"button", L"Browser..."}, {IDC_MERGE, L"button", L"Merge"},
    {IDC_CANCEL_MERGE, L"button", L"Cancel"}, {IDC_PROGRESS, L"msctls_progress32", L""},
    {ID_APP_ABOUT, L"button", L"&About..."},  {IDCANCEL, L"button", L"Exit"},
};

const std::vector<Control> kAboutControls = {
    {-1, L"static", nullptr},
    {-1, L"static", L"Kestrane: Version 1.0"},
    {-1, L"static", L"" KESTRANE_COPYRIGHT},
    {-1, L"static", L"Home Page:"},
    {IDC_HOME_PAGE, L"static", L"http://www.example.com"},
    {-1, L"static", L"Email:"},
    {IDC_SUPPORT_MAIL, L"static", L"support@example.com"},
    {IDC_SALES_MAIL, L"static", L"sales@example.org"},
    {IDOK, L"button", L"Ok"},
};

bool IsGroupBox(HWND control)
{
    wchar_t className[16] = L"";
    ::GetClassNameW(control, className, 16);
    return lstrcmpiW(L"button", className) == 0 &&
           (::GetWindowLongW(control, GWL_STYLE) & BS_TYPEMASK) == BS_GROUPBOX;
}

// The live dialog against want: every control in template order with its class,
// id and title, shown, enabled, inside the client area and over no other (but
// within a group box it lies in whole); Tab walks tabStops in order, the first
// of them has the focus; the font is 9-point Arial.
void ExpectLiveDialog(HWND dialog, const wchar_t* title, const std::vector<Control>& want,
                      const std::vector<int>& tabStops)
{
    ASSERT_NE(nullptr, dialog);
    EXPECT_EQ(title, WindowText(dialog));
    std::vector<HWND> children;
    for (HWND child = ::GetWindow(dialog, GW_CHILD); child != nullptr;
         child = ::GetWindow(child, GW_HWNDNEXT))
        children.push_back(child);
    ASSERT_EQ(want.size(), children.size());
    RECT client;
    ::GetClientRect(dialog, &client);
    std::vector<RECT> rects(children.size());
    for (size_t i = 0; i < children.size(); ++i) {
        SCOPED_TRACE("control #" + std::to_string(i));
        wchar_t className[64] = L"";
        ::GetClassNameW(children[i], className, 64);
        EXPECT_EQ(0, lstrcmpiW(want[i].className, className)) << Narrow(className);
        EXPECT_EQ(want[i].id, ::GetDlgCtrlID(children[i]));
        if (want[i].title != nullptr) {
            EXPECT_EQ(want[i].title, WindowText(children[i]));
        }
        EXPECT_TRUE(::IsWindowVisible(children[i]));
        EXPECT_TRUE(::IsWindowEnabled(children[i]));
        ::GetWindowRect(children[i], &rects[i]);
        ::MapWindowPoints(nullptr, dialog, reinterpret_cast<POINT*>(&rects[i]), 2);
        RECT inside;
        ::IntersectRect(&inside, &rects[i], &client);
        EXPECT_TRUE(::EqualRect(&inside, &rects[i])) << "not inside the window";
    }
    for (size_t i = 0; i < children.size(); ++i)
        for (size_t j = i + 1; j < children.size(); ++j) {
            RECT both;
            if (!::IntersectRect(&both, &rects[i], &rects[j]))
                continue;
            const bool nested = (IsGroupBox(children[i]) && ::EqualRect(&both, &rects[j])) ||
                                (IsGroupBox(children[j]) && ::EqualRect(&both, &rects[i]));
            EXPECT_TRUE(nested) << "controls #" << i << " and #" << j << " overlap";
        }

    // A checked radio button is a tab stop too: checking it gives it the stop.
    std::vector<int> walked;
    const HWND first = ::GetNextDlgTabItem(dialog, nullptr, FALSE);
    HWND item = first;
    do {
        walked.push_back(::GetDlgCtrlID(item));
        item = ::GetNextDlgTabItem(dialog, item, FALSE);
    } while (item != nullptr && item != first && walked.size() <= children.size());
    EXPECT_EQ(tabStops, walked);

    GUITHREADINFO info = {};
    info.cbSize = sizeof(info);
    ASSERT_TRUE(::GetGUIThreadInfo(::GetWindowThreadProcessId(dialog, nullptr), &info));
    EXPECT_EQ(::GetDlgItem(dialog, tabStops.front()), info.hwndFocus);

    HFONT font = reinterpret_cast<HFONT>(::SendMessageW(dialog, WM_GETFONT, 0, 0));
    LOGFONTW logFont = {};
    ASSERT_TRUE(::GetObjectW(font, sizeof(logFont), &logFont));
    EXPECT_STREQ(L"Arial", logFont.lfFaceName);
    HDC screen = ::GetDC(nullptr);
    EXPECT_EQ(-::MulDiv(9, ::GetDeviceCaps(screen, LOGPIXELSY), 72), logFont.lfHeight);
    ::ReleaseDC(nullptr, screen);
}

} // namespace

// Both dialogs as shown (the About box opened from the main window), and what
// the main window's styles make of typing.
TEST(Templates, BothDialogsAsShown)
{
    MainDialogDriver driver;
    HWND dialog = driver.Dialog();
    ExpectLiveDialog(dialog, L"Kestrane", kMainControls,
                     {IDC_SOURCE_FILE, IDC_BROWSE_SOURCE, IDC_BLOCK_SIZE, IDC_MBYTE, IDC_SEPARATE,
                      IDC_CANCEL_SEPARATE, IDC_MERGE_LIST, IDC_BROWSE_MERGE, IDC_UP, IDC_DOWN,
                      IDC_RESULT_FILE, IDC_BROWSE_RESULT, IDC_MERGE, IDC_CANCEL_MERGE,
                      ID_APP_ABOUT, IDCANCEL});
    const LONG style = ::GetWindowLongW(dialog, GWL_STYLE);
    EXPECT_FALSE(style & (WS_MINIMIZEBOX | WS_MAXIMIZEBOX | WS_THICKFRAME | WS_CHILD));
    EXPECT_TRUE(style & WS_SYSMENU);
    // Exit is the default button.
    const LRESULT defId = ::SendMessageW(dialog, DM_GETDEFID, 0, 0);
    EXPECT_EQ(DC_HASDEFID, HIWORD(defId));
    EXPECT_EQ(IDCANCEL, LOWORD(defId));
    // A horizontal, segmented bar.
    const LONG barStyle = ::GetWindowLongW(driver.Item(IDC_PROGRESS), GWL_STYLE);
    EXPECT_FALSE(barStyle & PBS_SMOOTH);
    EXPECT_FALSE(barStyle & PBS_VERTICAL);

    // Typing reaches only the block size edit, and only its digits.
    for (int id : {IDC_SOURCE_FILE, IDC_BLOCK_SIZE, IDC_RESULT_FILE})
        for (wchar_t c : {L'4', L'x', L'2', L'-', L'7'})
            ::PostMessageW(driver.Item(id), WM_CHAR, c, 1);
    ASSERT_TRUE(driver.Sync());
    EXPECT_EQ(L"", driver.Text(IDC_SOURCE_FILE));
    EXPECT_EQ(L"427", driver.Text(IDC_BLOCK_SIZE));
    EXPECT_EQ(L"", driver.Text(IDC_RESULT_FILE));

    driver.Click(ID_APP_ABOUT);
    HWND about = WaitForOwnWindow(L"About Kestraner");
    ASSERT_NE(nullptr, about) << "no About box";
    ExpectLiveDialog(about, L"About Kestraner", kAboutControls, {IDOK});
    ::PostMessageW(about, WM_CLOSE, 0, 0);
    EXPECT_TRUE(WaitFor([&] { return !::IsWindow(about); }));
}
