// Both dialog templates as compiled, and what the dialog manager makes of them:
// ids, classes, captions, places, styles, tab order, focus, typing into the edits.
#include <windows.h>
#include <commctrl.h>

#include <gtest/gtest.h>

#include <set>
#include <vector>

#include "res/version.h"
#include "support/DialogDriver.h"
#include "support/DialogTemplate.h"

namespace {

constexpr DWORD kChild = WS_CHILD | WS_VISIBLE;
constexpr DWORD kGroupBox = kChild | BS_GROUPBOX;
constexpr DWORD kRadio = kChild | BS_AUTORADIOBUTTON | WS_GROUP;
constexpr DWORD kEdit = kChild | ES_LEFT | ES_AUTOHSCROLL | WS_BORDER | WS_TABSTOP;

// Rows written as the resource script writes LTEXT and PUSHBUTTON.
TemplateControl Text(const wchar_t* title, short x, short y, short cx, short cy, int id = -1,
                     DWORD more = 0)
{
    const DWORD style = kChild | SS_LEFT | SS_CENTERIMAGE | WS_GROUP | more;
    return {id, L"static", title, x, y, cx, cy, style};
}

TemplateControl Push(int id, const wchar_t* title, short x, short y, short cx = 43,
                     DWORD kind = BS_PUSHBUTTON)
{
    return {id, L"button", title, x, y, cx, 14, kChild | kind | WS_TABSTOP};
}

const DialogTemplate kMainDialog = {
    L"Kestrane", 0, 0, 219, 273, DS_SETFONT | DS_MODALFRAME | WS_CAPTION | WS_SYSMENU, L"Arial",
    9, 400,
    {
        {-1, L"button", L"Separate File", 7, 7, 206, 79, kGroupBox},
        Text(L"Separated File:", 15, 17, 53, 10),
        {IDC_SOURCE_FILE, L"edit", L"", 15, 30, 145, 14, kEdit | ES_READONLY},
        Push(IDC_BROWSE_SOURCE, L"Browser...", 164, 30),
        Text(L"Block Size:", 15, 50, 37, 10),
        {IDC_BLOCK_SIZE, L"edit", L"", 61, 48, 38, 14, kEdit | ES_NUMBER},
        {IDC_MBYTE, L"button", L"M Byte", 119, 48, 32, 14, kRadio},
        {IDC_KBYTE, L"button", L"K Byte", 169, 47, 31, 14, kRadio},
        Push(IDC_SEPARATE, L"Separate", 60, 66),
        Push(IDC_CANCEL_SEPARATE, L"Cancel", 116, 66),
        {-1, L"button", L"Merge File", 7, 91, 206, 131, kGroupBox},
        Text(L"Merged Files:", 15, 102, 51, 10),
        {IDC_MERGE_LIST, L"listbox", L"", 15, 116, 145, 50,
         kChild | LBS_SORT | LBS_NOTIFY | LBS_NOINTEGRALHEIGHT | WS_BORDER | WS_VSCROLL |
             WS_TABSTOP},
        Push(IDC_BROWSE_MERGE, L"Browser...", 164, 116),
        Push(IDC_UP, L"Up", 164, 134),
        Push(IDC_DOWN, L"Down", 164, 152),
        Text(L"Merge Result File:", 16, 172, 60, 9),
        {IDC_RESULT_FILE, L"edit", L"", 15, 184, 145, 14, kEdit | ES_READONLY},
        Push(IDC_BROWSE_RESULT, L"Browser...", 164, 184),
        Push(IDC_MERGE, L"Merge", 60, 203),
        Push(IDC_CANCEL_MERGE, L"Cancel", 116, 203),
        {IDC_PROGRESS, L"msctls_progress32", L"", 7, 230, 206, 14, kChild | WS_BORDER},
        Push(ID_APP_ABOUT, L"&About...", 60, 252),
        Push(IDCANCEL, L"Exit", 116, 252, 44, BS_DEFPUSHBUTTON),
    }};

// The three links are notifying texts; Ok is the only tab stop.
const DialogTemplate kAboutBox = {
    L"About Kestraner", 0, 0, 183, 95,
    DS_SETFONT | DS_MODALFRAME | WS_POPUP | WS_CAPTION | WS_SYSMENU, L"Arial", 9, 400,
    {
        {-1, L"static", L"#100", 15, 10, 20, 20, kChild | SS_ICON},
        Text(L"Kestrane: Version 1.0", 43, 10, 103, 8),
        Text(L"" KESTRANE_COPYRIGHT, 43, 22, 119, 8),
        Text(L"Home Page:", 43, 34, 42, 8),
        Text(L"http://www.example.com", 89, 34, 78, 8, IDC_HOME_PAGE, SS_NOTIFY),
        Text(L"Email:", 43, 46, 25, 8),
        Text(L"support@example.com", 89, 46, 76, 8, IDC_SUPPORT_MAIL, SS_NOTIFY),
        Text(L"sales@example.org", 89, 58, 64, 8, IDC_SALES_MAIL, SS_NOTIFY),
        Push(IDOK, L"Ok", 73, 74, 38),
    }};

// The live dialog against want: every control in template order with its class,
// id and title, shown and enabled; Tab walks tabStops in order, the first of them
// has the focus, the font is the template's.
void ExpectLiveDialog(HWND dialog, const DialogTemplate& want, const std::vector<int>& tabStops)
{
    ASSERT_NE(nullptr, dialog);
    EXPECT_EQ(want.title, WindowText(dialog));
    std::vector<HWND> children;
    for (HWND child = ::GetWindow(dialog, GW_CHILD); child != nullptr;
         child = ::GetWindow(child, GW_HWNDNEXT))
        children.push_back(child);
    ASSERT_EQ(want.controls.size(), children.size());
    for (size_t i = 0; i < children.size(); ++i) {
        SCOPED_TRACE("control #" + std::to_string(i));
        const TemplateControl& control = want.controls[i];
        wchar_t className[64] = L"";
        ::GetClassNameW(children[i], className, 64);
        EXPECT_EQ(0, lstrcmpiW(control.className.c_str(), className)) << className;
        EXPECT_EQ(control.id, ::GetDlgCtrlID(children[i]));
        if (control.title[0] != L'#') {  // "#n" names the icon shown, not a text
            EXPECT_EQ(control.title, WindowText(children[i]));
        }
        EXPECT_TRUE(::IsWindowVisible(children[i]));
        EXPECT_TRUE(::IsWindowEnabled(children[i]));
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
    EXPECT_EQ(want.typeface, logFont.lfFaceName);
}

} // namespace

TEST(MainTemplate, ProgramIconHasTwoSixteenColourImages)
{
    HMODULE module = ::GetModuleHandleW(nullptr);
    HRSRC info = ::FindResourceW(module, MAKEINTRESOURCEW(IDR_MAINFRAME), RT_GROUP_ICON);
    ASSERT_NE(nullptr, info);
    const BYTE* group = static_cast<const BYTE*>(::LockResource(::LoadResource(module, info)));
    ASSERT_EQ(2, group[4] | group[5] << 8);
    std::set<int> sizes;
    for (int i = 0; i < 2; ++i) {
        // A 14-byte entry: width, height, colours, a reserved byte, planes and
        // bits a pixel (two words), ...
        const BYTE* entry = group + 6 + 14 * i;
        sizes.insert(entry[0]);
        EXPECT_EQ(entry[0], entry[1]);
        EXPECT_TRUE(entry[2] == 16 || entry[6] == 4)
            << "image " << i << ": " << int(entry[2]) << " colours, " << int(entry[6]) << " bits";
    }
    EXPECT_EQ((std::set<int>{16, 32}), sizes);
}

// Both templates as compiled, then as shown (the About box opened from the
// main window), and what the main window's styles make of typing.
TEST(Templates, BothDialogsAsCompiledAndAsShown)
{
    ExpectDialogTemplate(IDD_MAINDLG, kMainDialog);
    ExpectDialogTemplate(IDD_ABOUTBOX, kAboutBox);

    MainDialogDriver driver;
    HWND dialog = driver.Dialog();
    ExpectLiveDialog(dialog, kMainDialog,
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
    ExpectLiveDialog(about, kAboutBox, {IDOK});
    ::PostMessageW(about, WM_CLOSE, 0, 0);
    EXPECT_TRUE(WaitFor([&] { return !::IsWindow(about); }));
}
