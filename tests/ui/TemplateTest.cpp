// The main window's template as compiled into the program, and what the
// dialog manager makes of it: ids, classes, captions, places, styles, tab
// order, and the few control behaviours the handlers rely on.
#include <windows.h>
#include <commctrl.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

#include "support/DialogDriver.h"
#include "support/TestFiles.h"

namespace {

// One control of an extended dialog template.
struct ControlEntry {
    DWORD helpId = 0;
    DWORD exStyle = 0;
    DWORD style = 0;
    short x = 0, y = 0, cx = 0, cy = 0;
    DWORD id = 0;
    std::wstring className;
    std::wstring title;
    WORD extraBytes = 0;
};

struct DialogEntry {
    WORD version = 0;
    WORD signature = 0;
    DWORD exStyle = 0;
    DWORD style = 0;
    short x = 0, y = 0, cx = 0, cy = 0;
    std::wstring menu;
    std::wstring className;
    std::wstring title;
    WORD pointSize = 0;
    WORD weight = 0;
    BYTE italic = 0;
    BYTE charset = 0;
    std::wstring typeface;
    std::vector<ControlEntry> controls;
};

// Reads the extended template resource id from the program's own image.
class TemplateReader {
public:
    explicit TemplateReader(int id)
    {
        HMODULE module = ::GetModuleHandleW(nullptr);
        HRSRC info = ::FindResourceW(module, MAKEINTRESOURCEW(id), MAKEINTRESOURCEW(5));
        if (info == nullptr)
            return;
        m_p = static_cast<const BYTE*>(::LockResource(::LoadResource(module, info)));
        m_begin = m_p;
        m_end = m_p + ::SizeofResource(module, info);
    }

    bool Read(DialogEntry& dialog)
    {
        if (m_p == nullptr)
            return false;
        dialog.version = Word();
        dialog.signature = Word();
        Dword(); // help id
        dialog.exStyle = Dword();
        dialog.style = Dword();
        const WORD count = Word();
        dialog.x = static_cast<short>(Word());
        dialog.y = static_cast<short>(Word());
        dialog.cx = static_cast<short>(Word());
        dialog.cy = static_cast<short>(Word());
        dialog.menu = NameOrOrdinal();
        dialog.className = NameOrOrdinal();
        dialog.title = String();
        if (dialog.style & (DS_SETFONT | DS_SHELLFONT)) {
            dialog.pointSize = Word();
            dialog.weight = Word();
            dialog.italic = Byte();
            dialog.charset = Byte();
            dialog.typeface = String();
        }
        for (WORD i = 0; i < count; ++i) {
            Align();
            ControlEntry control;
            control.helpId = Dword();
            control.exStyle = Dword();
            control.style = Dword();
            control.x = static_cast<short>(Word());
            control.y = static_cast<short>(Word());
            control.cx = static_cast<short>(Word());
            control.cy = static_cast<short>(Word());
            control.id = Dword();
            control.className = NameOrOrdinal();
            control.title = NameOrOrdinal();
            control.extraBytes = Word();
            m_p += control.extraBytes;
            dialog.controls.push_back(control);
        }
        return m_p <= m_end;
    }

private:
    BYTE Byte() { return *m_p++; }
    WORD Word()
    {
        WORD value;
        std::memcpy(&value, m_p, sizeof(value));
        m_p += sizeof(value);
        return value;
    }
    DWORD Dword()
    {
        DWORD value;
        std::memcpy(&value, m_p, sizeof(value));
        m_p += sizeof(value);
        return value;
    }
    void Align() { m_p = m_begin + ((m_p - m_begin + 3) & ~3); }
    std::wstring String()
    {
        std::wstring text;
        for (WORD c = Word(); c != 0; c = Word())
            text += static_cast<wchar_t>(c);
        return text;
    }
    // A name, or an ordinal written as "#n"; empty for none.
    std::wstring NameOrOrdinal()
    {
        WORD first;
        std::memcpy(&first, m_p, sizeof(first));
        if (first == 0xFFFF) {
            Word();
            return L"#" + std::to_wstring(Word());
        }
        return String();
    }

    const BYTE* m_begin = nullptr;
    const BYTE* m_p = nullptr;
    const BYTE* m_end = nullptr;
};

// The predefined control classes as a template names them by ordinal.
const wchar_t kButton[] = L"#128";
const wchar_t kEdit[] = L"#129";
const wchar_t kStatic[] = L"#130";
const wchar_t kListBox[] = L"#131";

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

struct Expected {
    DWORD id;
    const wchar_t* className;
    const wchar_t* title;
    short x, y, cx, cy;
    DWORD style;
};

const DWORD kNone = static_cast<DWORD>(-1);

const Expected kControls[] = {
    {kNone, kButton, L"Separate File", 7, 7, 206, 79, kGroupBox},
    {kNone, kStatic, L"Separated File:", 15, 17, 53, 10, kLabel},
    {IDC_SOURCE_FILE, kEdit, L"", 15, 30, 145, 14, kPathEdit},
    {IDC_BROWSE_SOURCE, kButton, L"Browser...", 164, 30, 43, 14, kPush},
    {kNone, kStatic, L"Block Size:", 15, 50, 37, 10, kLabel},
    {IDC_BLOCK_SIZE, kEdit, L"", 61, 48, 38, 14, kNumberEdit},
    {IDC_MBYTE, kButton, L"M Byte", 119, 48, 32, 14, kRadio},
    {IDC_KBYTE, kButton, L"K Byte", 169, 47, 31, 14, kRadio},
    {IDC_SEPARATE, kButton, L"Separate", 60, 66, 43, 14, kPush},
    {IDC_CANCEL_SEPARATE, kButton, L"Cancel", 116, 66, 43, 14, kPush},
    {kNone, kButton, L"Merge File", 7, 91, 206, 131, kGroupBox},
    {kNone, kStatic, L"Merged Files:", 15, 102, 51, 10, kLabel},
    {IDC_MERGE_LIST, kListBox, L"", 15, 116, 145, 50, kList},
    {IDC_BROWSE_MERGE, kButton, L"Browser...", 164, 116, 43, 14, kPush},
    {IDC_UP, kButton, L"Up", 164, 134, 43, 14, kPush},
    {IDC_DOWN, kButton, L"Down", 164, 152, 43, 14, kPush},
    {kNone, kStatic, L"Merge Result File:", 16, 172, 60, 9, kLabel},
    {IDC_RESULT_FILE, kEdit, L"", 15, 184, 145, 14, kPathEdit},
    {IDC_BROWSE_RESULT, kButton, L"Browser...", 164, 184, 43, 14, kPush},
    {IDC_MERGE, kButton, L"Merge", 60, 203, 43, 14, kPush},
    {IDC_CANCEL_MERGE, kButton, L"Cancel", 116, 203, 43, 14, kPush},
    {IDC_PROGRESS, L"msctls_progress32", L"", 7, 230, 206, 14, kBar},
    {ID_APP_ABOUT, kButton, L"&About...", 60, 252, 43, 14, kPush},
    {IDCANCEL, kButton, L"Exit", 116, 252, 44, 14, kDefault},
};

std::wstring ClassOf(HWND hWnd)
{
    wchar_t name[64] = L"";
    ::GetClassNameW(hWnd, name, 64);
    return name;
}

// What the live class of a template class is.
std::wstring LiveClass(const wchar_t* templateClass)
{
    const std::wstring name = templateClass;
    if (name == kButton)
        return L"Button";
    if (name == kEdit)
        return L"Edit";
    if (name == kStatic)
        return L"Static";
    if (name == kListBox)
        return L"ListBox";
    return name;
}

std::wstring Upper(std::wstring text)
{
    if (!text.empty())
        ::CharUpperBuffW(&text[0], static_cast<DWORD>(text.size()));
    return text;
}

} // namespace

TEST(MainTemplate, DialogFrameCaptionAndFont)
{
    DialogEntry dialog;
    ASSERT_TRUE(TemplateReader(IDD_MAINDLG).Read(dialog)) << "no template 200";
    EXPECT_EQ(1, dialog.version);
    EXPECT_EQ(0xFFFF, dialog.signature) << "not an extended template";
    EXPECT_EQ(static_cast<DWORD>(DS_SETFONT | DS_MODALFRAME | WS_CAPTION | WS_SYSMENU), dialog.style);
    EXPECT_EQ(0u, dialog.exStyle);
    EXPECT_EQ(0, dialog.x);
    EXPECT_EQ(0, dialog.y);
    EXPECT_EQ(219, dialog.cx);
    EXPECT_EQ(273, dialog.cy);
    EXPECT_EQ(L"", dialog.menu);
    EXPECT_EQ(L"", dialog.className);
    EXPECT_EQ(L"Kestrane", dialog.title);
    EXPECT_EQ(9, dialog.pointSize);
    EXPECT_EQ(400, dialog.weight);
    EXPECT_EQ(0, dialog.italic);
    EXPECT_EQ(0, dialog.charset);
    EXPECT_EQ(L"Arial", dialog.typeface);
}

TEST(MainTemplate, ControlsInOrderWithTheirStyles)
{
    DialogEntry dialog;
    ASSERT_TRUE(TemplateReader(IDD_MAINDLG).Read(dialog));
    ASSERT_EQ(std::size(kControls), dialog.controls.size());
    for (size_t i = 0; i < dialog.controls.size(); ++i) {
        const ControlEntry& actual = dialog.controls[i];
        const Expected& expected = kControls[i];
        SCOPED_TRACE("control #" + std::to_string(i) + " \"" + Narrow(expected.title) + "\"");
        EXPECT_EQ(expected.id, actual.id);
        EXPECT_EQ(Upper(LiveClass(expected.className)), Upper(LiveClass(actual.className.c_str())));
        EXPECT_EQ(expected.title, actual.title);
        EXPECT_EQ(expected.x, actual.x);
        EXPECT_EQ(expected.y, actual.y);
        EXPECT_EQ(expected.cx, actual.cx);
        EXPECT_EQ(expected.cy, actual.cy);
        EXPECT_EQ(expected.style, actual.style) << std::hex << "expected 0x" << expected.style
                                                << ", got 0x" << actual.style;
        EXPECT_EQ(0u, actual.exStyle);
        EXPECT_EQ(0u, actual.helpId);
        EXPECT_NE(1u, actual.id) << "no control may have id 1";
    }
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

    std::vector<HWND> children;
    for (HWND child = ::GetWindow(dialog, GW_CHILD); child != nullptr;
         child = ::GetWindow(child, GW_HWNDNEXT))
        children.push_back(child);
    ASSERT_EQ(std::size(kControls), children.size());
    for (size_t i = 0; i < children.size(); ++i) {
        SCOPED_TRACE("control #" + std::to_string(i));
        EXPECT_EQ(kControls[i].id, static_cast<DWORD>(::GetDlgCtrlID(children[i])));
        EXPECT_EQ(Upper(LiveClass(kControls[i].className)), Upper(ClassOf(children[i])));
        EXPECT_EQ(kControls[i].title, WindowText(children[i]));
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
