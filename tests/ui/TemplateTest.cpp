// The main window's template as compiled into the program, and what the
// dialog manager makes of it: ids, classes, captions, places, styles, tab
// order, and the few control behaviours the handlers rely on.
#include <windows.h>
#include <commctrl.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <vector>

#include "support/DialogDriver.h"
#include "support/DialogTemplate.h"

namespace {

constexpr DWORD kChild = WS_CHILD | WS_VISIBLE;
constexpr DWORD kGroupBox = kChild | BS_GROUPBOX;
constexpr DWORD kLabel = kChild | SS_LEFT | SS_CENTERIMAGE | WS_GROUP;
constexpr DWORD kPathEdit = kChild | ES_LEFT | ES_AUTOHSCROLL | ES_READONLY | WS_BORDER | WS_TABSTOP;
constexpr DWORD kNumberEdit = kChild | ES_LEFT | ES_NUMBER | ES_AUTOHSCROLL | WS_BORDER | WS_TABSTOP;
constexpr DWORD kPush = kChild | BS_PUSHBUTTON | WS_TABSTOP;
constexpr DWORD kRadio = kChild | BS_AUTORADIOBUTTON | WS_GROUP;
constexpr DWORD kList = kChild | LBS_SORT | LBS_NOTIFY | LBS_NOINTEGRALHEIGHT | WS_BORDER |
                        WS_VSCROLL | WS_TABSTOP;
constexpr DWORD kBar = kChild | WS_BORDER;
constexpr DWORD kDefault = kChild | BS_DEFPUSHBUTTON | WS_TABSTOP;

const DialogTemplate kMainDialog = {
    L"Kestrane", 0, 0, 219, 273, DS_SETFONT | DS_MODALFRAME | WS_CAPTION | WS_SYSMENU, L"Arial", 9, 400,
    {
        {-1, L"button", L"Separate File", 7, 7, 206, 79, kGroupBox},
        {-1, L"static", L"Separated File:", 15, 17, 53, 10, kLabel},
        {IDC_SOURCE_FILE, L"edit", L"", 15, 30, 145, 14, kPathEdit},
        {IDC_BROWSE_SOURCE, L"button", L"Browser...", 164, 30, 43, 14, kPush},
        {-1, L"static", L"Block Size:", 15, 50, 37, 10, kLabel},
        {IDC_BLOCK_SIZE, L"edit", L"", 61, 48, 38, 14, kNumberEdit},
        {IDC_MBYTE, L"button", L"M Byte", 119, 48, 32, 14, kRadio},
        {IDC_KBYTE, L"button", L"K Byte", 169, 47, 31, 14, kRadio},
        {IDC_SEPARATE, L"button", L"Separate", 60, 66, 43, 14, kPush},
        {IDC_CANCEL_SEPARATE, L"button", L"Cancel", 116, 66, 43, 14, kPush},
        {-1, L"button", L"Merge File", 7, 91, 206, 131, kGroupBox},
        {-1, L"static", L"Merged Files:", 15, 102, 51, 10, kLabel},
        {IDC_MERGE_LIST, L"listbox", L"", 15, 116, 145, 50, kList},
        {IDC_BROWSE_MERGE, L"button", L"Browser...", 164, 116, 43, 14, kPush},
        {IDC_UP, L"button", L"Up", 164, 134, 43, 14, kPush},
        {IDC_DOWN, L"button", L"Down", 164, 152, 43, 14, kPush},
        {-1, L"static", L"Merge Result File:", 16, 172, 60, 9, kLabel},
        {IDC_RESULT_FILE, L"edit", L"", 15, 184, 145, 14, kPathEdit},
        {IDC_BROWSE_RESULT, L"button", L"Browser...", 164, 184, 43, 14, kPush},
        {IDC_MERGE, L"button", L"Merge", 60, 203, 43, 14, kPush},
        {IDC_CANCEL_MERGE, L"button", L"Cancel", 116, 203, 43, 14, kPush},
        {IDC_PROGRESS, L"msctls_progress32", L"", 7, 230, 206, 14, kBar},
        {ID_APP_ABOUT, L"button", L"&About...", 60, 252, 43, 14, kPush},
        {IDCANCEL, L"button", L"Exit", 116, 252, 44, 14, kDefault},
    }};

} // namespace

TEST(MainTemplate, DialogAndControlsInOrder)
{
    ExpectDialogTemplate(IDD_MAINDLG, kMainDialog);
}

TEST(MainTemplate, ProgramIconHasTwoSixteenColourImages)
{
#pragma pack(push, 2)
    struct GroupEntry {
        BYTE width, height, colours, reserved;
        WORD planes, bitCount;
        DWORD bytes;
        WORD id;
    };
#pragma pack(pop)
    HMODULE module = ::GetModuleHandleW(nullptr);
    HRSRC info = ::FindResourceW(module, MAKEINTRESOURCEW(IDR_MAINFRAME), RT_GROUP_ICON);
    ASSERT_NE(nullptr, info);
    const BYTE* group = static_cast<const BYTE*>(::LockResource(::LoadResource(module, info)));
    WORD count;
    std::memcpy(&count, group + 4, sizeof(count));
    ASSERT_EQ(2, count);
    std::vector<int> sizes;
    for (WORD i = 0; i < count; ++i) {
        GroupEntry entry;
        std::memcpy(&entry, group + 6 + i * sizeof(GroupEntry), sizeof(entry));
        sizes.push_back(entry.width);
        EXPECT_EQ(entry.width, entry.height);
        EXPECT_TRUE(entry.colours == 16 || entry.bitCount == 4)
            << "image " << i << ": " << int(entry.colours) << " colours, " << entry.bitCount << " bits";
    }
    std::sort(sizes.begin(), sizes.end());
    EXPECT_EQ((std::vector<int>{16, 32}), sizes);
}

// The live window: every control in template order with the class the
// template named, and the dialog manager's reading of the styles.
TEST(MainTemplate, LiveControlsFollowTheTemplate)
{
    MainDialogDriver driver;
    HWND dialog = driver.Dialog();
    ASSERT_NE(nullptr, dialog);
    EXPECT_EQ(L"Kestrane", WindowText(dialog));
    const LONG style = ::GetWindowLongW(dialog, GWL_STYLE);
    EXPECT_FALSE(style & (WS_MINIMIZEBOX | WS_MAXIMIZEBOX | WS_THICKFRAME | WS_CHILD));
    EXPECT_TRUE(style & WS_SYSMENU);

    const std::vector<TemplateControl>& controls = kMainDialog.controls;
    std::vector<HWND> children;
    for (HWND child = ::GetWindow(dialog, GW_CHILD); child != nullptr;
         child = ::GetWindow(child, GW_HWNDNEXT))
        children.push_back(child);
    ASSERT_EQ(controls.size(), children.size());
    for (size_t i = 0; i < children.size(); ++i) {
        SCOPED_TRACE("control #" + std::to_string(i));
        wchar_t className[64] = L"";
        ::GetClassNameW(children[i], className, 64);
        EXPECT_EQ(0, lstrcmpiW(controls[i].className.c_str(), className)) << className;
        EXPECT_EQ(controls[i].id, ::GetDlgCtrlID(children[i]));
        EXPECT_EQ(controls[i].title, WindowText(children[i]));
        EXPECT_TRUE(::IsWindowVisible(children[i]));
        EXPECT_TRUE(::IsWindowEnabled(children[i]));
    }
    EXPECT_EQ(nullptr, ::GetDlgItem(dialog, IDOK));

    // Tab order is template order, through the tab stops. The checked radio
    // button is one too: checking a radio button gives it the tab stop.
    const std::vector<int> tabStops = {IDC_SOURCE_FILE, IDC_BROWSE_SOURCE, IDC_BLOCK_SIZE,
                                       IDC_MBYTE, IDC_SEPARATE, IDC_CANCEL_SEPARATE,
                                       IDC_MERGE_LIST, IDC_BROWSE_MERGE, IDC_UP, IDC_DOWN,
                                       IDC_RESULT_FILE, IDC_BROWSE_RESULT, IDC_MERGE,
                                       IDC_CANCEL_MERGE, ID_APP_ABOUT, IDCANCEL};
    std::vector<int> walked;
    const HWND first = ::GetNextDlgTabItem(dialog, nullptr, FALSE);
    HWND item = first;
    do {
        walked.push_back(::GetDlgCtrlID(item));
        item = ::GetNextDlgTabItem(dialog, item, FALSE);
    } while (item != nullptr && item != first && walked.size() <= children.size());
    EXPECT_EQ(tabStops, walked);

    // Exit is the default button.
    const LRESULT defId = ::SendMessageW(dialog, DM_GETDEFID, 0, 0);
    EXPECT_EQ(DC_HASDEFID, HIWORD(defId));
    EXPECT_EQ(IDCANCEL, LOWORD(defId));

    // A horizontal, segmented bar.
    const LONG barStyle = ::GetWindowLongW(driver.Item(IDC_PROGRESS), GWL_STYLE);
    EXPECT_FALSE(barStyle & PBS_SMOOTH);
    EXPECT_FALSE(barStyle & PBS_VERTICAL);

    // The dialog's own font.
    HFONT font = reinterpret_cast<HFONT>(::SendMessageW(dialog, WM_GETFONT, 0, 0));
    ASSERT_NE(nullptr, font);
    LOGFONTW logFont = {};
    ASSERT_TRUE(::GetObjectW(font, sizeof(logFont), &logFont));
    EXPECT_STREQ(L"Arial", logFont.lfFaceName);
}

// Typing reaches only the block size edit, and only its digits.
TEST(MainTemplate, OnlyTheBlockSizeTakesTyping)
{
    MainDialogDriver driver;
    for (int id : {IDC_SOURCE_FILE, IDC_BLOCK_SIZE, IDC_RESULT_FILE})
        for (wchar_t c : {L'4', L'x', L'2', L'-', L'7'})
            ::PostMessageW(driver.Item(id), WM_CHAR, c, 1);
    ASSERT_TRUE(driver.Sync());
    EXPECT_EQ(L"", driver.Text(IDC_SOURCE_FILE));
    EXPECT_EQ(L"427", driver.Text(IDC_BLOCK_SIZE));
    EXPECT_EQ(L"", driver.Text(IDC_RESULT_FILE));
}
