// The About box as a real window: its template, what its links open, the
// cursor over them, how it draws them, and the ways it ends.
#include <gtest/gtest.h>

#include <windows.h>

#include <algorithm>
#include <atomic>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "res/version.h"
#include "support/DialogDriver.h"
#include "support/DialogTemplate.h"
#include "support/TestFiles.h"
#include "support/Windows.h"
#include "ui/AboutDlg.h"

namespace {

// What each link opens as the box comes up.
const std::wstring kHomeTarget = L"http://www.example.com";
const std::wstring kSupportTarget = L"mailto:support@example.com?subject=Kestraner User";
const std::wstring kSalesTarget = L"mailto:sales@example.org?subject=Kestraner User";
const COLORREF kBlue = RGB(0, 0, 255);
const int kLinkIds[3] = {IDC_HOME_PAGE, IDC_SUPPORT_MAIL, IDC_SALES_MAIL};

// The About box with the shell replaced by a list of what it was asked to
// open. It also notes how its message map answered the last WM_SETCURSOR
// sent from another thread, and the cursor it left set.
class CRecordingAboutDlg : public CAboutDlg {
public:
    struct CursorAnswer {
        BOOL handled = FALSE;
        LRESULT result = -1;
        HCURSOR cursor = nullptr;
    };

    std::vector<std::wstring> Targets()
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        return m_targets;
    }
    CursorAnswer LastCursorAnswer()
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        return m_cursorAnswer;
    }

    BOOL ProcessWindowMessage(HWND hWnd, UINT uMsg, WPARAM wParam, LPARAM lParam,
                              LRESULT& lResult, DWORD dwMsgMapID = 0) override
    {
        if (uMsg == WM_INITDIALOG)
            m_hWindow = hWnd;
        BOOL handled = CAboutDlg::ProcessWindowMessage(hWnd, uMsg, wParam, lParam, lResult,
                                                       dwMsgMapID);
        // Only the requests the test sends: those the pointer's own moves
        // bring come from this thread.
        if (uMsg == WM_SETCURSOR && ::InSendMessage()) {
            std::lock_guard<std::mutex> lock(m_mutex);
            m_cursorAnswer = {handled, handled ? lResult : 0, ::GetCursor()};
        }
        return handled;
    }

    std::atomic<HWND> m_hWindow{nullptr};

protected:
    void OpenTarget(const CString& target) override
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_targets.push_back(target);
    }

private:
    std::mutex m_mutex;
    std::vector<std::wstring> m_targets;
    CursorAnswer m_cursorAnswer;
};

// Runs a CRecordingAboutDlg modally, without owner, on a thread of its own.
class AboutBox {
public:
    AboutBox()
    {
        m_thread = std::thread([this] {
            m_result = m_dialog.DoModal(nullptr, 0);
            m_bEnded = true;
        });
        EXPECT_TRUE(WaitFor([this] {
            m_hWnd = m_dialog.m_hWindow;
            return (m_hWnd != nullptr && ::IsWindowVisible(m_hWnd)) || m_bEnded;
        })) << "the About box did not come up";
        EXPECT_FALSE(m_bEnded) << "the About box ended at once";
    }
    ~AboutBox()
    {
        if (!m_bEnded)
            ::PostMessageW(m_hWnd, WM_CLOSE, 0, 0);
        WaitFor([this] { return m_bEnded.load(); });
        m_thread.join();
    }
    AboutBox(const AboutBox&) = delete;
    AboutBox& operator=(const AboutBox&) = delete;

    HWND Window() const { return m_hWnd; }
    HWND Item(int id) const { return ::GetDlgItem(m_hWnd, id); }
    CRecordingAboutDlg& Dialog() { return m_dialog; }

    // Posts a notification of control id as the control itself sends it.
    void Notify(int id, WORD code) const
    {
        ::PostMessageW(m_hWnd, WM_COMMAND, MAKEWPARAM(id, code),
                       reinterpret_cast<LPARAM>(Item(id)));
    }
    LRESULT Send(HWND hWnd, UINT msg, WPARAM wParam = 0, LPARAM lParam = 0) const
    {
        DWORD_PTR answer = 0;
        if (!::SendMessageTimeoutW(hWnd, msg, wParam, lParam, SMTO_NORMAL, kDeadlineMs, &answer))
            ADD_FAILURE() << "the About box did not answer message " << msg;
        return static_cast<LRESULT>(answer);
    }
    // Waits until count targets have been opened.
    bool WaitTargets(size_t count)
    {
        return WaitFor([&] { return m_dialog.Targets().size() >= count; });
    }
    bool WaitEnded() { return WaitFor([this] { return m_bEnded.load(); }); }
    INT_PTR Result() const { return m_result; }

private:
    CRecordingAboutDlg m_dialog;
    std::thread m_thread;
    HWND m_hWnd = nullptr;
    std::atomic<bool> m_bEnded{false};
    std::atomic<INT_PTR> m_result{0};
};

RECT ScreenRect(HWND hWnd)
{
    RECT rc;
    ::GetWindowRect(hWnd, &rc);
    return rc;
}

// The rectangle of child in the client coordinates of its parent.
RECT ClientRectOf(HWND child)
{
    RECT rc = ScreenRect(child);
    ::MapWindowPoints(nullptr, ::GetParent(child), reinterpret_cast<POINT*>(&rc), 2);
    return rc;
}

// ---- The template as the program carries it ----------------------------

TEST(AboutTemplate, DialogAndControlsInOrder)
{
    const std::wstring copyright = L"" KESTRANE_COPYRIGHT;
    EXPECT_EQ(0u, copyright.find(L"Copyright ")) << Narrow(copyright);
    const DWORD text = WS_CHILD | WS_VISIBLE | WS_GROUP | SS_LEFT | SS_CENTERIMAGE;
    const DWORD link = text | SS_NOTIFY;
    ExpectDialogTemplate(
        IDD_ABOUTBOX,
        {L"About Kestraner", 0, 0, 183, 95,
         DS_SETFONT | DS_MODALFRAME | WS_POPUP | WS_CAPTION | WS_SYSMENU, L"Arial", 9, 400,
         {
             {-1, L"static", L"#100", 15, 10, 20, 20, WS_CHILD | WS_VISIBLE | SS_ICON},
             {-1, L"static", L"Kestrane: Version 1.0", 43, 10, 103, 8, text},
             {-1, L"static", copyright, 43, 22, 119, 8, text},
             {-1, L"static", L"Home Page:", 43, 34, 42, 8, text},
             {IDC_HOME_PAGE, L"static", L"http://www.example.com", 89, 34, 78, 8, link},
             {-1, L"static", L"Email:", 43, 46, 25, 8, text},
             {IDC_SUPPORT_MAIL, L"static", L"support@example.com", 89, 46, 76, 8, link},
             {IDC_SALES_MAIL, L"static", L"sales@example.org", 89, 58, 64, 8, link},
             {IDOK, L"button", L"Ok", 73, 74, 38, 14, WS_CHILD | WS_VISIBLE | WS_TABSTOP},
         }});
}

TEST(AboutTemplate, HandCursorPointsWithTheFingerTip)
{
    HCURSOR hand = ::LoadCursorW(::GetModuleHandleW(nullptr), MAKEINTRESOURCEW(IDC_HAND_CURSOR));
    ASSERT_NE(nullptr, hand);
    ICONINFO info = {};
    ASSERT_TRUE(::GetIconInfo(hand, &info));
    EXPECT_FALSE(info.fIcon);
    EXPECT_EQ(12u, info.xHotspot);
    EXPECT_EQ(1u, info.yHotspot);
    BITMAP mask = {};
    ::GetObjectW(info.hbmMask, sizeof(mask), &mask);
    EXPECT_EQ(32, mask.bmWidth);
    if (info.hbmColor != nullptr)
        ::DeleteObject(info.hbmColor);
    ::DeleteObject(info.hbmMask);
}

TEST(AboutBox, OpensWithOkAsTheOnlyTabStopAndFocused)
{
    AboutBox about;
    ASSERT_NE(nullptr, about.Window());
    EXPECT_EQ(L"About Kestraner", WindowText(about.Window()));

    int children = 0;
    for (HWND child = ::GetWindow(about.Window(), GW_CHILD); child != nullptr;
         child = ::GetWindow(child, GW_HWNDNEXT))
        ++children;
    EXPECT_EQ(9, children);
    // Ok is the only control a user reaches with Tab; the links take clicks.
    EXPECT_EQ(about.Item(IDOK), ::GetNextDlgTabItem(about.Window(), about.Item(IDOK), FALSE));
    for (int id : kLinkIds)
        EXPECT_TRUE(::GetWindowLongW(about.Item(id), GWL_STYLE) & SS_NOTIFY) << "link " << id;
    EXPECT_EQ(L"Ok", WindowText(about.Item(IDOK)));
    EXPECT_EQ(BS_PUSHBUTTON, ::GetWindowLongW(about.Item(IDOK), GWL_STYLE) & 0x0F);

    // Every text fits its control in the box's font: none is cut off.
    ExpectTextsFit(about.Window());

    // The dialog manager gives the focus to the first tab stop.
    GUITHREADINFO info = {};
    info.cbSize = sizeof(info);
    ASSERT_TRUE(::GetGUIThreadInfo(::GetWindowThreadProcessId(about.Window(), nullptr), &info));
    EXPECT_EQ(about.Item(IDOK), info.hwndFocus);
}

// ---- What the links open ----------------------------------------------------

TEST(AboutLinks, ClickOpensWhatTheLinkShows)
{
    AboutBox about;
    for (int id : kLinkIds)
        about.Notify(id, STN_CLICKED);
    ASSERT_TRUE(about.WaitTargets(3));
    EXPECT_EQ((std::vector<std::wstring>{kHomeTarget, kSupportTarget, kSalesTarget}),
              about.Dialog().Targets());

    // The target is the text shown at the moment of the click, cut to 259
    // characters.
    std::wstring other = L"help@example.org";
    about.Send(about.Item(IDC_SUPPORT_MAIL), WM_SETTEXT, 0,
               reinterpret_cast<LPARAM>(other.c_str()));
    std::wstring longAddress = L"http://www.example.com/" + std::wstring(300, L'a');
    about.Send(about.Item(IDC_HOME_PAGE), WM_SETTEXT, 0,
               reinterpret_cast<LPARAM>(longAddress.c_str()));
    about.Notify(IDC_SUPPORT_MAIL, STN_CLICKED);
    about.Notify(IDC_HOME_PAGE, STN_CLICKED);
    ASSERT_TRUE(about.WaitTargets(5));
    std::vector<std::wstring> targets = about.Dialog().Targets();
    EXPECT_EQ(L"mailto:help@example.org?subject=Kestraner User", targets[3]);
    EXPECT_EQ(longAddress.substr(0, 259), targets[4]);
    EXPECT_TRUE(::IsWindowVisible(about.Window())) << "opening a link closed the box";
}

TEST(AboutLinks, DoubleClicksOpenOnceAndRowsBelowOpenNothing)
{
    AboutBox about;
    // Double click notifications, posted ahead of everything below: what
    // they opened would come first.
    for (int id : kLinkIds)
        about.Notify(id, STN_DBLCLK);
    RECT home = ScreenRect(about.Item(IDC_HOME_PAGE));
    ASSERT_TRUE(MovePointer({home.left + 5, (home.top + home.bottom) / 2}));
    for (DWORD flags : {MOUSEEVENTF_LEFTDOWN, MOUSEEVENTF_LEFTUP, MOUSEEVENTF_LEFTDOWN,
                        MOUSEEVENTF_LEFTUP})
        MouseButton(flags);
    ASSERT_TRUE(about.WaitTargets(1)) << "a real click on the link opened nothing";

    // A click in the first row below the support link hits the box, not the link.
    RECT support = ScreenRect(about.Item(IDC_SUPPORT_MAIL));
    ASSERT_TRUE(MovePointer({support.left + 5, support.bottom}));
    MouseButton(MOUSEEVENTF_LEFTDOWN);
    MouseButton(MOUSEEVENTF_LEFTUP);

    // Everything the input produced is handled before this posted click.
    about.Notify(IDC_SALES_MAIL, STN_CLICKED);
    ASSERT_TRUE(about.WaitTargets(2));
    EXPECT_EQ((std::vector<std::wstring>{kHomeTarget, kSalesTarget}), about.Dialog().Targets());
}

// ---- The cursor over the links ------------------------------------------------

TEST(AboutLinks, HandCursorOverLinksAndTheTwoRowsBelowThem)
{
    AboutBox about;
    const HCURSOR hand =
        ::LoadCursorW(::GetModuleHandleW(nullptr), MAKEINTRESOURCEW(IDC_HAND_CURSOR));
    const HCURSOR arrow = ::LoadCursorW(nullptr, IDC_ARROW);
    ASSERT_NE(nullptr, hand);

    struct Probe {
        POINT pt;
        bool overLink;
        const char* what;
    };
    std::vector<Probe> probes;
    for (int id : kLinkIds) {
        RECT r = ScreenRect(about.Item(id));
        LONG midY = (r.top + r.bottom) / 2;
        probes.push_back({{(r.left + r.right) / 2, midY}, true, "link middle"});
        probes.push_back({{r.left, r.top}, true, "link top-left"});
        probes.push_back({{r.right - 1, r.bottom - 1}, true, "link bottom-right"});
        probes.push_back({{r.left, r.bottom}, true, "first row below"});
        probes.push_back({{r.right - 1, r.bottom + 1}, true, "second row below"});
        probes.push_back({{r.left, r.bottom + 2}, false, "third row below"});
        probes.push_back({{r.right, midY}, false, "right of link"});
        probes.push_back({{r.left - 1, midY}, false, "left of link"});
    }
    RECT ok = ScreenRect(about.Item(IDOK));
    probes.push_back({{(ok.left + ok.right) / 2, (ok.top + ok.bottom) / 2}, false, "Ok button"});
    RECT box = ScreenRect(about.Window());
    probes.push_back({{box.right - 10, box.bottom - 10}, false, "plain background"});

    for (const Probe& probe : probes) {
        SCOPED_TRACE(std::string(probe.what) + " at " + std::to_string(probe.pt.x) + "," +
                     std::to_string(probe.pt.y));
        ASSERT_TRUE(MovePointer(probe.pt)) << "the pointer could not be moved";
        about.Send(about.Window(), WM_SETCURSOR, reinterpret_cast<WPARAM>(about.Window()),
                   MAKELPARAM(HTCLIENT, WM_MOUSEMOVE));
        CRecordingAboutDlg::CursorAnswer answer = about.Dialog().LastCursorAnswer();
        EXPECT_EQ(probe.overLink, answer.handled != FALSE);
        EXPECT_EQ(probe.overLink ? 1 : 0, answer.result);
        EXPECT_EQ(probe.overLink ? hand : arrow, answer.cursor);
    }
}

// ---- How the links are drawn -------------------------------------------------

// The client area of hWnd as it is on the screen, one COLORREF a pixel.
class ClientPixels {
public:
    explicit ClientPixels(HWND hWnd)
    {
        RECT client;
        ::GetClientRect(hWnd, &client);
        m_width = client.right;
        m_height = client.bottom;
        m_bits.resize(static_cast<size_t>(m_width) * m_height);
        HDC windowDc = ::GetDC(hWnd);
        HDC memDc = ::CreateCompatibleDC(windowDc);
        HBITMAP bitmap = ::CreateCompatibleBitmap(windowDc, m_width, m_height);
        HGDIOBJ old = ::SelectObject(memDc, bitmap);
        ::BitBlt(memDc, 0, 0, m_width, m_height, windowDc, 0, 0, SRCCOPY);
        ::SelectObject(memDc, old);
        BITMAPINFO info = {};
        info.bmiHeader.biSize = sizeof(info.bmiHeader);
        info.bmiHeader.biWidth = m_width;
        info.bmiHeader.biHeight = -m_height;  // top-down
        info.bmiHeader.biPlanes = 1;
        info.bmiHeader.biBitCount = 32;
        info.bmiHeader.biCompression = BI_RGB;
        ::GetDIBits(memDc, bitmap, 0, m_height, m_bits.data(), &info, DIB_RGB_COLORS);
        ::DeleteObject(bitmap);
        ::DeleteDC(memDc);
        ::ReleaseDC(hWnd, windowDc);
    }

    COLORREF At(LONG x, LONG y) const
    {
        DWORD bgr = m_bits[static_cast<size_t>(y) * m_width + x];
        return RGB((bgr >> 16) & 0xFF, (bgr >> 8) & 0xFF, bgr & 0xFF);
    }
    int Count(const RECT& r, bool (*match)(COLORREF)) const
    {
        int n = 0;
        for (LONG y = r.top; y < r.bottom; ++y)
            for (LONG x = r.left; x < r.right; ++x)
                n += match(At(x, y)) ? 1 : 0;
        return n;
    }

private:
    LONG m_width = 0, m_height = 0;
    std::vector<DWORD> m_bits;
};

bool IsPureBlue(COLORREF c) { return c == kBlue; }
bool IsBluish(COLORREF c)
{
    return GetBValue(c) > GetRValue(c) + 40 && GetBValue(c) > GetGValue(c) + 40;
}
// Dark and grey, as default text is: blue text, however blended, is not.
bool IsDark(COLORREF c) { return GetRValue(c) < 128 && GetGValue(c) < 128 && GetBValue(c) < 128; }

// Waits until the box and every control in it have painted.
bool WaitPainted(AboutBox& about)
{
    HWND box = about.Window();
    if (!::RedrawWindow(box, nullptr, nullptr,
                        RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN | RDW_UPDATENOW))
        return false;
    return WaitFor([&] {
        about.Send(box, WM_NULL);
        for (HWND w = ::GetWindow(box, GW_CHILD); w != nullptr; w = ::GetWindow(w, GW_HWNDNEXT))
            if (::GetUpdateRect(w, nullptr, FALSE))
                return false;
        return !::GetUpdateRect(box, nullptr, FALSE);
    });
}

TEST(AboutLinks, LinksAreBlueAndUnderlinedOtherTextsAreNot)
{
    AboutBox about;
    HWND box = about.Window();
    ASSERT_TRUE(WaitPainted(about)) << "the box did not finish painting";

    ClientPixels pixels(box);
    const COLORREF background = pixels.At(1, 1);
    ASSERT_FALSE(IsBluish(background));

    for (int id : kLinkIds) {
        SCOPED_TRACE("link " + std::to_string(id));
        RECT r = ClientRectOf(about.Item(id));
        EXPECT_GT(pixels.Count(r, IsPureBlue), 0) << "no blue text";
        EXPECT_EQ(0, pixels.Count(r, IsDark)) << "text not in the link colour";
        // No background of its own: where there is no text, the box shows.
        RECT corner = {r.right - 2, r.top, r.right, r.top + 1};
        EXPECT_EQ(background, pixels.At(corner.left, corner.top));

        // The underline: row bottom + 2, from left to right - 2; nothing
        // blue in the two rows above it or just past its ends.
        LONG row = r.bottom + 2;
        RECT line = {r.left, row, r.right - 1, row + 1};
        EXPECT_EQ(line.right - line.left, pixels.Count(line, IsPureBlue)) << "underline broken";
        EXPECT_NE(kBlue, pixels.At(r.right - 1, row));
        EXPECT_NE(kBlue, pixels.At(r.left - 1, row));
        RECT gap = {r.left, r.bottom, r.right, r.bottom + 2};
        EXPECT_EQ(0, pixels.Count(gap, IsBluish));
    }

    // The other texts keep their default colours.
    int texts = 0;
    for (HWND w = ::GetWindow(box, GW_CHILD); w != nullptr; w = ::GetWindow(w, GW_HWNDNEXT)) {
        wchar_t className[16] = L"";
        ::GetClassNameW(w, className, 16);
        int id = ::GetDlgCtrlID(w);
        LONG style = ::GetWindowLongW(w, GWL_STYLE);
        if (lstrcmpiW(className, L"Static") != 0 || id != -1 || (style & SS_TYPEMASK) != SS_LEFT)
            continue;
        ++texts;
        RECT r = ClientRectOf(w);
        SCOPED_TRACE(WindowText(w).c_str());
        EXPECT_GT(pixels.Count(r, IsDark), 0) << "text not drawn";
        EXPECT_EQ(0, pixels.Count(r, IsBluish));
    }
    EXPECT_EQ(4, texts);
}

// ---- At every DPI -------------------------------------------------------------

// Run by Dpi.EveryTextFitsAndEachUnderlineLiesUnderItsLink in a program of its
// own, started at the DPI that it is told.
TEST(DpiRun, DISABLED_TextsFitAndUnderlinesLieUnderTheLinks)
{
    wchar_t told[16] = L"";
    ASSERT_NE(0u, ::GetEnvironmentVariableW(L"KESTRANE_TEST_DPI", told, 16));
    const int dpi = _wtoi(told);
    HDC screen = ::GetDC(nullptr);
    EXPECT_EQ(dpi, ::GetDeviceCaps(screen, LOGPIXELSY)) << "not run at the DPI set";
    ::ReleaseDC(nullptr, screen);
    {
        MainDialogDriver driver;
        SCOPED_TRACE("main window");
        ExpectTextsFit(driver.Dialog());
    }
    AboutBox about;
    SCOPED_TRACE("About box");
    ExpectTextsFit(about.Window());
    ASSERT_TRUE(WaitPainted(about)) << "the box did not finish painting";
    ClientPixels pixels(about.Window());
    for (int id : kLinkIds) {
        SCOPED_TRACE("link " + std::to_string(id));
        const RECT r = ClientRectOf(about.Item(id));
        // The link's text: the bluish pixels inside the control.
        LONG textLeft = r.right, textRight = r.left, textBottom = r.top - 1;
        for (LONG y = r.top; y < r.bottom; ++y)
            for (LONG x = r.left; x < r.right; ++x)
                if (IsBluish(pixels.At(x, y))) {
                    textLeft = std::min(textLeft, x);
                    textRight = std::max(textRight, x);
                    textBottom = std::max(textBottom, y);
                }
        ASSERT_GE(textBottom, r.top) << "no text";
        // The underline: the rows below the text that are blue from the
        // text's first column to its last, as thick as the DPI has 96s.
        LONG lineTop = -1, lineRows = 0;
        const LONG below = r.bottom + (r.bottom - r.top);
        for (LONG y = textBottom + 1; y < below; ++y) {
            const RECT row = {textLeft, y, textRight + 1, y + 1};
            if (pixels.Count(row, IsPureBlue) == textRight + 1 - textLeft) {
                lineTop = lineTop < 0 ? y : lineTop;
                ++lineRows;
            }
        }
        ASSERT_GE(lineTop, 0) << "no underline under the text";
        EXPECT_GE(lineRows, dpi / 96) << "underline too thin";
        // Under the text, not apart from it: within half a line of it.
        EXPECT_LE(lineTop - textBottom, (r.bottom - r.top) / 2);
    }
}

TEST(Dpi, EveryTextFitsAndEachUnderlineLiesUnderItsLink)
{
    for (int dpi : {96, 144, 192}) {
        SCOPED_TRACE(std::to_string(dpi) + " DPI");
        EXPECT_EQ(0, RunThisProgramAtDpi(
                         dpi, L"DpiRun.DISABLED_TextsFitAndUnderlinesLieUnderTheLinks"));
    }
}

// ---- Ending the box ---------------------------------------------------------

TEST(AboutBox, EveryWayOfClosingEndsWithItsResult)
{
    struct Way {
        const char* what;
        INT_PTR result;
        void (*close)(AboutBox&);
    };
    const Way ways[] = {
        {"Ok button", 1, [](AboutBox& a) { a.Notify(IDOK, BN_CLICKED); }},
        {"Enter", 1,
         [](AboutBox& a) { ::PostMessageW(a.Item(IDOK), WM_KEYDOWN, VK_RETURN, 0); }},
        {"Escape", 2,
         [](AboutBox& a) { ::PostMessageW(a.Item(IDOK), WM_KEYDOWN, VK_ESCAPE, 0); }},
        {"IDCANCEL", 2, [](AboutBox& a) { a.Notify(IDCANCEL, BN_CLICKED); }},
        {"WM_CLOSE", 1, [](AboutBox& a) { ::PostMessageW(a.Window(), WM_CLOSE, 0, 0); }},
        {"system menu Close", 1,
         [](AboutBox& a) { ::PostMessageW(a.Window(), WM_SYSCOMMAND, SC_CLOSE, 0); }},
        {"key-down Escape at the box", 1,
         [](AboutBox& a) { EXPECT_EQ(1, a.Send(a.Window(), WM_KEYDOWN, VK_ESCAPE)); }},
        {"key-down Enter at the box", 1,
         [](AboutBox& a) { EXPECT_EQ(1, a.Send(a.Window(), WM_KEYDOWN, VK_RETURN)); }},
    };
    for (const Way& way : ways) {
        SCOPED_TRACE(way.what);
        AboutBox about;
        way.close(about);
        ASSERT_TRUE(about.WaitEnded());
        EXPECT_EQ(way.result, about.Result());
        EXPECT_TRUE(about.Dialog().Targets().empty());
    }
}

TEST(AboutBox, OtherKeysAtTheBoxDoNothing)
{
    AboutBox about;
    EXPECT_EQ(0, about.Send(about.Window(), WM_KEYDOWN, 'A'));
    EXPECT_EQ(0, about.Send(about.Window(), WM_KEYDOWN, VK_SPACE));
    // The box answers its next message while still open.
    about.Send(about.Window(), WM_NULL);
    EXPECT_TRUE(::IsWindowVisible(about.Window()));
}

// ---- Opened from the main dialog -------------------------------------------

TEST(AboutBox, OpensOverTheMainDialogAgainAndAgain)
{
    MainDialogDriver driver;
    HWND main = driver.Dialog();
    const UINT closers[] = {WM_CLOSE, IDCANCEL, IDOK, WM_CLOSE};
    for (UINT closer : closers) {
        SCOPED_TRACE(closer);
        driver.Click(ID_APP_ABOUT);
        HWND about = WaitForOwnWindow(L"About Kestraner");
        ASSERT_NE(nullptr, about);
        EXPECT_EQ(main, ::GetWindow(about, GW_OWNER));
        EXPECT_FALSE(::IsWindowEnabled(main));

        // Centred over the main dialog.
        RECT m = ScreenRect(main), a = ScreenRect(about);
        EXPECT_NEAR((m.left + m.right) / 2, (a.left + a.right) / 2, 1);
        EXPECT_NEAR((m.top + m.bottom) / 2, (a.top + a.bottom) / 2, 1);

        if (closer == WM_CLOSE)
            ::PostMessageW(about, WM_CLOSE, 0, 0);
        else
            ::PostMessageW(about, WM_COMMAND, MAKEWPARAM(closer, BN_CLICKED),
                           reinterpret_cast<LPARAM>(::GetDlgItem(about, closer)));
        ASSERT_TRUE(WaitFor([&] { return !::IsWindow(about) && ::IsWindowEnabled(main); }));
    }

    // Behind an open About box the main dialog still follows a job's progress.
    driver.Click(ID_APP_ABOUT);
    HWND about = WaitForOwnWindow(L"About Kestraner");
    ASSERT_NE(nullptr, about);
    driver.Post(WM_PROGRESS_RANGE, 0, 10);
    driver.Post(WM_PROGRESS_POS, 7);
    EXPECT_TRUE(WaitFor([&] { return driver.ProgressPos() == 7 && driver.ProgressHigh() == 10; }));
    ::PostMessageW(about, WM_KEYDOWN, VK_ESCAPE, 0);
    ASSERT_TRUE(WaitFor([&] { return !::IsWindow(about) && ::IsWindowEnabled(main); }));

    driver.Click(IDC_KBYTE);
    ASSERT_TRUE(driver.Sync());
    EXPECT_TRUE(driver.IsChecked(IDC_KBYTE));
    driver.Click(IDCANCEL);
    ASSERT_TRUE(driver.WaitClosed());
    EXPECT_EQ(2, driver.Result());
}

} // namespace
