// The About box as a real window: what its links open, the cursor over them, how
// it draws them at every DPI, the ways it ends. (Template and focus: TemplateTest.)
#include <gtest/gtest.h>

#include <windows.h>

#include <atomic>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "support/DialogDriver.h"
#include "support/Windows.h"
#include "ui/AboutDlg.h"

namespace {

// What each link opens as the box comes up.
const std::wstring kHomeTarget = L"http://www.example.com";
const std::wstring kSupportTarget = L"mailto:support@example.com?subject=Kestraner User";
const std::wstring kSalesTarget = L"mailto:sales@example.org?subject=Kestraner User";
const COLORREF kBlue = RGB(0, 0, 255);
const int kLinkIds[3] = {IDC_HOME_PAGE, IDC_SUPPORT_MAIL, IDC_SALES_MAIL};

// The About box run modally, without owner, on a thread of its own, the shell
// replaced by a list of what it was asked to open; it notes how its map answered
// the last WM_SETCURSOR the test sent, and the cursor it left set.
class AboutBox : public CAboutDlg {
public:
    AboutBox()
    {
        m_thread = std::thread([this] {
            m_result = DoModal(nullptr, 0);
            m_bEnded = true;
        });
        EXPECT_TRUE(WaitFor([this] {
            return (m_hBox != nullptr && ::IsWindowVisible(m_hBox)) || m_bEnded;
        })) << "the About box did not come up";
        EXPECT_FALSE(m_bEnded) << "the About box ended at once";
    }
    ~AboutBox() override
    {
        if (!m_bEnded)
            ::PostMessageW(m_hBox, WM_CLOSE, 0, 0);
        WaitFor([this] { return m_bEnded.load(); });
        m_thread.join();
    }

    HWND Window() const { return m_hBox; }
    HWND Item(int id) const { return ::GetDlgItem(m_hBox, id); }
    std::vector<std::wstring> Targets()
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        return m_targets;
    }
    // Posts a notification of control id as the control itself sends it.
    void Notify(int id, WORD code) const
    {
        ::PostMessageW(m_hBox, WM_COMMAND, MAKEWPARAM(id, code),
                       reinterpret_cast<LPARAM>(Item(id)));
    }
    LRESULT Send(HWND hWnd, UINT msg, WPARAM wParam = 0, LPARAM lParam = 0) const
    {
        DWORD_PTR answer = 0;
        if (!::SendMessageTimeoutW(hWnd, msg, wParam, lParam, SMTO_NORMAL, kDeadlineMs, &answer))
            ADD_FAILURE() << "the About box did not answer message " << msg;
        return static_cast<LRESULT>(answer);
    }
    bool WaitTargets(size_t count) { return WaitFor([&] { return Targets().size() >= count; }); }
    bool WaitEnded() { return WaitFor([this] { return m_bEnded.load(); }); }
    INT_PTR Result() const { return m_result; }

    BOOL ProcessWindowMessage(HWND hWnd, UINT uMsg, WPARAM wParam, LPARAM lParam,
                              LRESULT& lResult, DWORD dwMsgMapID = 0) override
    {
        if (uMsg == WM_INITDIALOG)
            m_hBox = hWnd;
        BOOL handled = CAboutDlg::ProcessWindowMessage(hWnd, uMsg, wParam, lParam, lResult,
                                                       dwMsgMapID);
        // Only the requests the test sends: the pointer's own moves bring theirs on this thread.
        if (uMsg == WM_SETCURSOR && ::InSendMessage()) {
            m_cursorAnswer = handled ? lResult : -1;
            m_cursor = ::GetCursor();
        }
        return handled;
    }

    // The answer to the last WM_SETCURSOR the test sent, -1 when not handled.
    std::atomic<LRESULT> m_cursorAnswer{-2};
    std::atomic<HCURSOR> m_cursor{nullptr};

protected:
    void OpenTarget(const CString& target) override
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_targets.push_back(target);
    }

private:
    std::atomic<HWND> m_hBox{nullptr};
    std::thread m_thread;
    std::atomic<bool> m_bEnded{false};
    std::atomic<INT_PTR> m_result{0};
    std::mutex m_mutex;
    std::vector<std::wstring> m_targets;
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

TEST(AboutLinks, ClickOpensWhatTheLinkShows)
{
    AboutBox about;
    for (int id : kLinkIds)
        about.Notify(id, STN_CLICKED);
    ASSERT_TRUE(about.WaitTargets(3));
    EXPECT_EQ((std::vector<std::wstring>{kHomeTarget, kSupportTarget, kSalesTarget}),
              about.Targets());

    // The target is the text shown at the moment of the click, cut to 259
    // characters.
    const std::wstring longAddress = L"http://www.example.com/" + std::wstring(300, L'a');
    ASSERT_TRUE(::SetWindowTextW(about.Item(IDC_SUPPORT_MAIL), L"help@example.org"));
    ASSERT_TRUE(::SetWindowTextW(about.Item(IDC_HOME_PAGE), longAddress.c_str()));
    about.Notify(IDC_SUPPORT_MAIL, STN_CLICKED);
    about.Notify(IDC_HOME_PAGE, STN_CLICKED);
    ASSERT_TRUE(about.WaitTargets(5));
    std::vector<std::wstring> targets = about.Targets();
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
    const RECT home = ScreenRect(about.Item(IDC_HOME_PAGE));
    for (int click = 0; click < 2; ++click)  // a real double click
        ASSERT_TRUE(ClickAt({home.left + 5, (home.top + home.bottom) / 2}));
    ASSERT_TRUE(about.WaitTargets(1)) << "a real click on the link opened nothing";

    // A click in the first row below the support link hits the box, not the link.
    const RECT support = ScreenRect(about.Item(IDC_SUPPORT_MAIL));
    ASSERT_TRUE(ClickAt({support.left + 5, support.bottom}));

    // Everything the input produced is handled before this posted click.
    about.Notify(IDC_SALES_MAIL, STN_CLICKED);
    ASSERT_TRUE(about.WaitTargets(2));
    EXPECT_EQ((std::vector<std::wstring>{kHomeTarget, kSalesTarget}), about.Targets());
}

// The hand (its tip at the hot spot) over the links and the two rows below
// each, the arrow elsewhere; the box answers for the links only.
TEST(AboutLinks, HandCursorOverLinksAndTheTwoRowsBelowThem)
{
    AboutBox about;
    const HCURSOR hand =
        ::LoadCursorW(::GetModuleHandleW(nullptr), MAKEINTRESOURCEW(IDC_HAND_CURSOR));
    const HCURSOR arrow = ::LoadCursorW(nullptr, IDC_ARROW);
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

    const auto expectCursor = [&](POINT pt, bool overLink, const char* what) {
        SCOPED_TRACE(std::string(what) + " at " + std::to_string(pt.x) + "," +
                     std::to_string(pt.y));
        ASSERT_TRUE(MovePointer(pt)) << "the pointer could not be moved";
        about.Send(about.Window(), WM_SETCURSOR, reinterpret_cast<WPARAM>(about.Window()),
                   MAKELPARAM(HTCLIENT, WM_MOUSEMOVE));
        EXPECT_EQ(overLink ? 1 : -1, about.m_cursorAnswer.load());
        EXPECT_EQ(overLink ? hand : arrow, about.m_cursor.load());
    };
    for (int id : kLinkIds) {
        const RECT r = ScreenRect(about.Item(id));
        const LONG midY = (r.top + r.bottom) / 2;
        expectCursor({(r.left + r.right) / 2, midY}, true, "link middle");
        expectCursor({r.left, r.top}, true, "link top-left");
        expectCursor({r.right - 1, r.bottom - 1}, true, "link bottom-right");
        expectCursor({r.left, r.bottom}, true, "first row below");
        expectCursor({r.right - 1, r.bottom + 1}, true, "second row below");
        expectCursor({r.left, r.bottom + 2}, false, "third row below");
        expectCursor({r.right, midY}, false, "right of link");
        expectCursor({r.left - 1, midY}, false, "left of link");
    }
    const RECT ok = ScreenRect(about.Item(IDOK));
    expectCursor({(ok.left + ok.right) / 2, (ok.top + ok.bottom) / 2}, false, "Ok button");
    const RECT box = ScreenRect(about.Window());
    expectCursor({box.right - 10, box.bottom - 10}, false, "plain background");
}

// The client area of hWnd as it was on the screen when taken.
class ClientPixels {
public:
    explicit ClientPixels(HWND hWnd)
    {
        RECT client;
        ::GetClientRect(hWnd, &client);
        HDC windowDc = ::GetDC(hWnd);
        m_dc = ::CreateCompatibleDC(windowDc);
        m_bitmap = ::CreateCompatibleBitmap(windowDc, client.right, client.bottom);
        ::SelectObject(m_dc, m_bitmap);
        ::BitBlt(m_dc, 0, 0, client.right, client.bottom, windowDc, 0, 0, SRCCOPY);
        ::ReleaseDC(hWnd, windowDc);
    }
    ~ClientPixels()
    {
        ::DeleteDC(m_dc);
        ::DeleteObject(m_bitmap);
    }
    ClientPixels(const ClientPixels&) = delete;
    ClientPixels& operator=(const ClientPixels&) = delete;

    COLORREF At(LONG x, LONG y) const { return ::GetPixel(m_dc, x, y); }
    int Count(const RECT& r, bool (*match)(COLORREF)) const
    {
        int n = 0;
        for (LONG y = r.top; y < r.bottom; ++y)
            for (LONG x = r.left; x < r.right; ++x)
                n += match(At(x, y)) ? 1 : 0;
        return n;
    }

private:
    HDC m_dc;
    HBITMAP m_bitmap;
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

// Each link: blue text on the box's background, underlined in blue from its left
// edge to its last column but one, close under the text; 1 row thick, 2 rows below
// the link at 96 DPI, scaled by the DPI. The other texts keep their default colours.
void ExpectLinksDrawn(AboutBox& about, int dpi)
{
    ASSERT_TRUE(WaitPainted(about)) << "the box did not finish painting";
    const ClientPixels pixels(about.Window());
    const COLORREF background = pixels.At(1, 1);
    ASSERT_FALSE(IsBluish(background));
    const LONG below = ::MulDiv(2, dpi, 96);
    const LONG thick = ::MulDiv(1, dpi, 96);
    for (int id : kLinkIds) {
        SCOPED_TRACE("link " + std::to_string(id));
        const RECT r = ClientRectOf(about.Item(id));
        EXPECT_GT(pixels.Count(r, IsPureBlue), 0) << "no blue text";
        EXPECT_EQ(0, pixels.Count(r, IsDark)) << "text not in the link colour";
        // No background of its own: where there is no text, the box shows.
        EXPECT_EQ(background, pixels.At(r.right - 2, r.top));

        const RECT line = {r.left, r.bottom + below, r.right - 1, r.bottom + below + thick};
        const LONG linePixels = (line.right - line.left) * thick;
        EXPECT_EQ(linePixels, pixels.Count(line, IsPureBlue)) << "underline broken or too thin";
        // Nothing else blue between the link and the row under the line, nor past its ends.
        const RECT around = {line.left - 1, r.bottom, line.right + 1, line.bottom + 1};
        EXPECT_EQ(linePixels, pixels.Count(around, IsBluish)) << "blue beside the underline";
        // Under the text, not apart from it: within half a line of its last row.
        LONG textBottom = r.top;
        for (LONG y = r.top; y < r.bottom; ++y)
            textBottom = pixels.Count({r.left, y, r.right, y + 1}, IsBluish) > 0 ? y : textBottom;
        EXPECT_LE(line.top - textBottom, (r.bottom - r.top) / 2);
    }

    int texts = 0;
    for (HWND w = ::GetWindow(about.Window(), GW_CHILD); w != nullptr;
         w = ::GetWindow(w, GW_HWNDNEXT)) {
        // The texts: the icon has no id either, but another type.
        if (::GetDlgCtrlID(w) != -1 || (::GetWindowLongW(w, GWL_STYLE) & SS_TYPEMASK) != SS_LEFT)
            continue;
        ++texts;
        const RECT r = ClientRectOf(w);
        SCOPED_TRACE(WindowText(w).c_str());
        EXPECT_GT(pixels.Count(r, IsDark), 0) << "text not drawn";
        EXPECT_EQ(0, pixels.Count(r, IsBluish));
    }
    EXPECT_EQ(4, texts);
}

// Run by the Dpi test below in a program of its own, at the DPI it is told.
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
    ExpectLinksDrawn(about, dpi);
}

TEST(Dpi, EveryTextFitsAndEachUnderlineLiesUnderItsLink)
{
    for (int dpi : {96, 144, 192}) {
        SCOPED_TRACE(std::to_string(dpi) + " DPI");
        EXPECT_EQ(0, RunThisProgramAtDpi(
                         dpi, L"DpiRun.DISABLED_TextsFitAndUnderlinesLieUnderTheLinks"));
    }
}

TEST(AboutBox, EveryWayOfClosingEndsWithItsResultAndNoOtherKeyDoes)
{
    struct Way {
        const char* what;
        INT_PTR result;
        void (*close)(AboutBox&);
    };
    const Way ways[] = {
        {"Ok button", 1, [](AboutBox& a) { a.Notify(IDOK, BN_CLICKED); }},
        {"Enter", 1, [](AboutBox& a) { ::PostMessageW(a.Item(IDOK), WM_KEYDOWN, VK_RETURN, 0); }},
        {"Escape", 2, [](AboutBox& a) { ::PostMessageW(a.Item(IDOK), WM_KEYDOWN, VK_ESCAPE, 0); }},
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
        // Other keys at the box do nothing.
        EXPECT_EQ(0, about.Send(about.Window(), WM_KEYDOWN, 'A'));
        EXPECT_EQ(0, about.Send(about.Window(), WM_KEYDOWN, VK_SPACE));
        about.Send(about.Window(), WM_NULL);
        EXPECT_TRUE(::IsWindowVisible(about.Window())) << "a key closed the box";
        way.close(about);
        ASSERT_TRUE(about.WaitEnded());
        EXPECT_EQ(way.result, about.Result());
        EXPECT_TRUE(about.Targets().empty());
    }
}

// Centred over the main dialog, which it disables; closed each way in turn,
// while the main dialog behind it still follows a job's progress.
TEST(AboutBox, OpensOverTheMainDialogAgainAndAgain)
{
    MainDialogDriver driver;
    HWND main = driver.Dialog();
    const std::pair<UINT, WPARAM> closers[] = {
        {WM_CLOSE, 0}, {WM_COMMAND, IDCANCEL}, {WM_COMMAND, IDOK}, {WM_KEYDOWN, VK_ESCAPE},
        {WM_CLOSE, 0}};
    int pos = 0;
    for (const auto& closer : closers) {
        SCOPED_TRACE(std::to_string(closer.first) + " " + std::to_string(closer.second));
        driver.Click(ID_APP_ABOUT);
        HWND about = WaitForOwnWindow(L"About Kestraner");
        ASSERT_NE(nullptr, about);
        EXPECT_EQ(main, ::GetWindow(about, GW_OWNER));
        EXPECT_FALSE(::IsWindowEnabled(main));
        RECT m = ScreenRect(main), a = ScreenRect(about);
        EXPECT_NEAR((m.left + m.right) / 2, (a.left + a.right) / 2, 1);
        EXPECT_NEAR((m.top + m.bottom) / 2, (a.top + a.bottom) / 2, 1);

        driver.Post(WM_PROGRESS_RANGE, 0, 10);
        driver.Post(WM_PROGRESS_POS, ++pos);
        EXPECT_TRUE(
            WaitFor([&] { return driver.ProgressPos() == pos && driver.ProgressHigh() == 10; }));
        ::PostMessageW(about, closer.first, closer.second, 0);
        ASSERT_TRUE(WaitFor([&] { return !::IsWindow(about) && ::IsWindowEnabled(main); }));
    }

    // The main dialog takes clicks again (how it ends: ExitCodeTest).
    driver.Click(IDC_KBYTE);
    ASSERT_TRUE(driver.Sync());
    EXPECT_TRUE(driver.IsChecked(IDC_KBYTE));
}

} // namespace
