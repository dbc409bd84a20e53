// The About box: icon, product line, copyright and three link controls. The
// links are plain notifying statics; the box itself colours them blue,
// underlines them, shows the hand cursor over them and opens what they show
// when clicked.
#pragma once

#include <windows.h>

#include "app/DialogImpl.h"
#include "app/Strings.h"
#include "res/resource.h"

class CAboutDlg : public CDialogImpl<CAboutDlg> {
public:
    enum { IDD = IDD_ABOUTBOX };

    BEGIN_MSG_MAP(CAboutDlg)
        MESSAGE_HANDLER(WM_INITDIALOG, OnInitDialog)
        MESSAGE_HANDLER(WM_PAINT, OnPaint)
        MESSAGE_HANDLER(WM_CTLCOLORSTATIC, OnCtlColorStatic)
        MESSAGE_HANDLER(WM_SETCURSOR, OnSetCursor)
        MESSAGE_HANDLER(WM_KEYDOWN, OnKeyDown)
        MESSAGE_HANDLER(WM_CLOSE, OnOk)
        COMMAND_ID_HANDLER(IDOK, OnOk)
        COMMAND_ID_HANDLER(IDCANCEL, OnCancel)
        COMMAND_HANDLER(IDC_HOME_PAGE, STN_CLICKED, OnHomePage)
        COMMAND_HANDLER(IDC_SUPPORT_MAIL, STN_CLICKED, OnSupportMail)
        COMMAND_HANDLER(IDC_SALES_MAIL, STN_CLICKED, OnSalesMail)
    END_MSG_MAP()

    LRESULT OnInitDialog(UINT uMsg, WPARAM wParam, LPARAM lParam, BOOL& bHandled);
    LRESULT OnPaint(UINT uMsg, WPARAM wParam, LPARAM lParam, BOOL& bHandled);
    LRESULT OnCtlColorStatic(UINT uMsg, WPARAM wParam, LPARAM lParam, BOOL& bHandled);
    LRESULT OnSetCursor(UINT uMsg, WPARAM wParam, LPARAM lParam, BOOL& bHandled);
    LRESULT OnKeyDown(UINT uMsg, WPARAM wParam, LPARAM lParam, BOOL& bHandled);
    LRESULT OnOk(UINT uMsg, WPARAM wParam, LPARAM lParam, BOOL& bHandled);
    LRESULT OnOk(WORD wNotifyCode, WORD wID, HWND hWndCtl, BOOL& bHandled);
    LRESULT OnCancel(WORD wNotifyCode, WORD wID, HWND hWndCtl, BOOL& bHandled);
    LRESULT OnHomePage(WORD wNotifyCode, WORD wID, HWND hWndCtl, BOOL& bHandled);
    LRESULT OnSupportMail(WORD wNotifyCode, WORD wID, HWND hWndCtl, BOOL& bHandled);
    LRESULT OnSalesMail(WORD wNotifyCode, WORD wID, HWND hWndCtl, BOOL& bHandled);

protected:
    // Hands target (a web address or a "mailto:" target) to the shell.
    virtual void OpenTarget(const CString& target);

private:
    // Opens "mailto:" + the text of link id + the mail subject.
    void OpenMail(int id);

    static int ScreenDpi();

    // The underline rectangle of each link, in the order IDC_HOME_PAGE,
    // IDC_SUPPORT_MAIL, IDC_SALES_MAIL: the link control's rectangle in client
    // coordinates, 2 pixels taller at 96 DPI. Right and bottom are exclusive.
    RECT m_rcLinks[3] = {};
    // How many pixel rows an underline takes: 1 at 96 DPI.
    int m_nLineWidth = 1;
};
