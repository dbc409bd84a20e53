// A window handle with the few operations the dialogs need.
#pragma once

#include <windows.h>

#include "app/Strings.h"

// The whole text of a window: a path may be longer than MAX_PATH.
inline CString GetWindowTextString(HWND hWnd)
{
    CString text(static_cast<size_t>(::GetWindowTextLengthW(hWnd)) + 1, L'\0');
    text.resize(::GetWindowTextW(hWnd, &text[0], static_cast<int>(text.size())));
    return text;
}

// The whole text of list-box item index; empty when there is no such item.
inline CString GetListBoxText(HWND list, int index)
{
    const LRESULT length = ::SendMessageW(list, LB_GETTEXTLEN, index, 0);
    if (length <= 0)
        return CString();
    CString text(static_cast<size_t>(length) + 1, L'\0');
    const LRESULT copied = ::SendMessageW(list, LB_GETTEXT, index, reinterpret_cast<LPARAM>(&text[0]));
    text.resize(copied > 0 ? static_cast<size_t>(copied) : 0);
    return text;
}

class CWindow {
public:
    explicit CWindow(HWND hWnd = nullptr) : m_hWnd(hWnd) {}

    operator HWND() const { return m_hWnd; }
    HWND GetDlgItem(int id) const { return ::GetDlgItem(m_hWnd, id); }
    LRESULT SendMessage(UINT msg, WPARAM wParam = 0, LPARAM lParam = 0) const
    {
        return ::SendMessageW(m_hWnd, msg, wParam, lParam);
    }

    // Centres the window on its owner when that is visible and not minimised,
    // otherwise on the work area, then keeps it inside the work area. Neither
    // the size nor the Z order changes, and the window is not activated.
    void CenterWindow() const;

    HWND m_hWnd;
};

// Routes a message to the handlers of a message map. Only map 0 is used.
class CMessageMap {
public:
    virtual BOOL ProcessWindowMessage(HWND hWnd, UINT uMsg, WPARAM wParam, LPARAM lParam,
                                      LRESULT& lResult, DWORD dwMsgMapID = 0) = 0;

protected:
    ~CMessageMap() = default;
};

// Message-map macros. A handler gets bHandled set to TRUE; clearing it leaves
// the message unhandled, so the map goes on and finally the default dialog
// processing gets it.
//   message handler: LRESULT OnX(UINT uMsg, WPARAM wParam, LPARAM lParam, BOOL& bHandled)
//   command handler: LRESULT OnX(WORD wNotifyCode, WORD wID, HWND hWndCtl, BOOL& bHandled)
#define BEGIN_MSG_MAP(theClass)                                                          \
    BOOL ProcessWindowMessage(HWND hWnd, UINT uMsg, WPARAM wParam, LPARAM lParam,        \
                              LRESULT& lResult, DWORD dwMsgMapID = 0) override           \
    {                                                                                    \
        (void)hWnd;                                                                      \
        BOOL bHandled = TRUE;                                                            \
        if (dwMsgMapID != 0)                                                             \
            return FALSE;

#define MESSAGE_HANDLER(msg, func)                                                       \
    if (uMsg == (msg)) {                                                                 \
        bHandled = TRUE;                                                                 \
        lResult = func(uMsg, wParam, lParam, bHandled);                                  \
        if (bHandled)                                                                    \
            return TRUE;                                                                 \
    }

#define COMMAND_HANDLER(id, code, func)                                                  \
    if (uMsg == WM_COMMAND && LOWORD(wParam) == (id) && HIWORD(wParam) == (code)) {      \
        bHandled = TRUE;                                                                 \
        lResult = func(HIWORD(wParam), LOWORD(wParam), reinterpret_cast<HWND>(lParam),   \
                       bHandled);                                                        \
        if (bHandled)                                                                    \
            return TRUE;                                                                 \
    }

#define COMMAND_ID_HANDLER(id, func)                                                     \
    if (uMsg == WM_COMMAND && LOWORD(wParam) == (id)) {                                  \
        bHandled = TRUE;                                                                 \
        lResult = func(HIWORD(wParam), LOWORD(wParam), reinterpret_cast<HWND>(lParam),   \
                       bHandled);                                                        \
        if (bHandled)                                                                    \
            return TRUE;                                                                 \
    }

#define END_MSG_MAP()                                                                    \
    return FALSE;                                                                        \
    }
