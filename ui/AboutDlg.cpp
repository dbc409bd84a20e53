#include "ui/AboutDlg.h"

#include <shellapi.h>

#include <algorithm>

#include "app/MessageBoxes.h"

static const int kLinkIds[3] = {IDC_HOME_PAGE, IDC_SUPPORT_MAIL, IDC_SALES_MAIL};
static const COLORREF kLinkColor = RGB(0, 0, 255);

LRESULT CAboutDlg::OnInitDialog(UINT, WPARAM, LPARAM, BOOL&)
{
    CenterWindow();

    // Each underline rectangle is its link in client coordinates, reaching
    // 2 pixels below it at 96 DPI, as many more as the DPI has more; the
    // underline is as many pixels thick as the DPI has 96s.
    const int dpi = ScreenDpi();
    const int reach = ::MulDiv(2, dpi, 96);
    m_nLineWidth = std::max(1, ::MulDiv(1, dpi, 96));
    for (int i = 0; i < 3; ++i) {
        RECT rc = {};
        ::GetWindowRect(GetDlgItem(kLinkIds[i]), &rc);
        POINT topLeft = {rc.left, rc.top};
        POINT bottomRight = {rc.right, rc.bottom};
        if (::ScreenToClient(m_hWnd, &topLeft))
            ::ScreenToClient(m_hWnd, &bottomRight);
        m_rcLinks[i] = {topLeft.x, topLeft.y, bottomRight.x, bottomRight.y + reach};
    }
    return 1;
}

LRESULT CAboutDlg::OnPaint(UINT, WPARAM, LPARAM, BOOL&)
{
    PAINTSTRUCT ps;
    HDC dc = ::BeginPaint(m_hWnd, &ps);
    HPEN pen = ::CreatePen(PS_SOLID, 1, kLinkColor);
    HGDIOBJ oldPen = ::SelectObject(dc, pen);
    for (const RECT& rc : m_rcLinks) {
        for (int row = 0; row < m_nLineWidth; ++row) {
            ::MoveToEx(dc, rc.left, rc.bottom + row, nullptr);
            ::LineTo(dc, rc.right - 1, rc.bottom + row);
        }
    }
    ::SelectObject(dc, oldPen);
    ::DeleteObject(pen);
    ::EndPaint(m_hWnd, &ps);
    return 0;
}

// The DPI the box is laid out at: the system's (the program is aware of the
// system's DPI, not of each monitor's). 96 where the screen can't be asked.
int CAboutDlg::ScreenDpi()
{
    HDC dc = ::GetDC(nullptr);
    if (dc == nullptr)
        return 96;
    const int dpi = ::GetDeviceCaps(dc, LOGPIXELSY);
    ::ReleaseDC(nullptr, dc);
    return dpi > 0 ? dpi : 96;
}

LRESULT CAboutDlg::OnCtlColorStatic(UINT, WPARAM wParam, LPARAM lParam, BOOL&)
{
    HWND control = reinterpret_cast<HWND>(lParam);
    for (int id : kLinkIds) {
        if (control == GetDlgItem(id)) {
            HDC dc = reinterpret_cast<HDC>(wParam);
            ::SetBkMode(dc, TRANSPARENT);
            ::SetTextColor(dc, kLinkColor);
            return reinterpret_cast<LRESULT>(::GetStockObject(HOLLOW_BRUSH));
        }
    }
    return 0;
}

// The cursor follows the pointer itself, not the hit-test code: the rows just
// below a link belong to the box, yet count as the link.
LRESULT CAboutDlg::OnSetCursor(UINT, WPARAM, LPARAM, BOOL& bHandled)
{
    POINT pt;
    ::GetCursorPos(&pt);
    ::ScreenToClient(m_hWnd, &pt);
    for (const RECT& rc : m_rcLinks) {
        if (pt.x >= rc.left && pt.x < rc.right && pt.y >= rc.top && pt.y < rc.bottom) {
            ::SetCursor(::LoadCursorW(g_Module.GetResourceInstance(),
                                      MAKEINTRESOURCEW(IDC_HAND_CURSOR)));
            return 1;
        }
    }
    ::SetCursor(::LoadCursorW(nullptr, IDC_ARROW));
    bHandled = FALSE;
    return 0;
}

LRESULT CAboutDlg::OnKeyDown(UINT, WPARAM wParam, LPARAM, BOOL&)
{
    if (wParam == VK_ESCAPE || wParam == VK_RETURN) {
        EndDialog(IDOK);
        return 1;
    }
    return 0;
}

LRESULT CAboutDlg::OnOk(UINT, WPARAM, LPARAM, BOOL&)
{
    EndDialog(IDOK);
    return 1;
}

LRESULT CAboutDlg::OnOk(WORD, WORD, HWND, BOOL&)
{
    EndDialog(IDOK);
    return 1;
}

LRESULT CAboutDlg::OnCancel(WORD, WORD, HWND, BOOL&)
{
    EndDialog(IDCANCEL);
    return 1;
}

// A link's text as the box has always read it: as much as a path buffer
// (MAX_PATH) holds.
static CString LinkText(HWND link)
{
    return GetWindowTextString(link).substr(0, MAX_PATH - 1);
}

LRESULT CAboutDlg::OnHomePage(WORD, WORD, HWND, BOOL&)
{
    OpenTarget(LinkText(GetDlgItem(IDC_HOME_PAGE)));
    return 1;
}

LRESULT CAboutDlg::OnSupportMail(WORD, WORD, HWND, BOOL&)
{
    OpenMail(IDC_SUPPORT_MAIL);
    return 1;
}

LRESULT CAboutDlg::OnSalesMail(WORD, WORD, HWND, BOOL&)
{
    OpenMail(IDC_SALES_MAIL);
    return 1;
}

void CAboutDlg::OpenMail(int id)
{
    CString address = LinkText(GetDlgItem(id));
    OpenTarget(L"mailto:" + address + LoadText(IDS_MAIL_SUBJECT));
}

// The result is not looked at: whatever the shell has to say it shows itself.
void CAboutDlg::OpenTarget(const CString& target)
{
    ::ShellExecuteW(::GetDesktopWindow(), L"open", target.c_str(), nullptr, nullptr,
                    SW_SHOWNORMAL);
}
