// Binds dialog objects to their windows: the platform's dialog procedure
// reaches the object's message map from the window's first message on.
#pragma once

#include <windows.h>

#include "app/AppModule.h"
#include "app/Window.h"

template <class TBase = CWindow>
class CWindowImplRoot : public TBase, public CMessageMap {};

template <class TBase = CWindow>
class CDialogImplBaseT : public CWindowImplRoot<TBase> {
public:
    virtual ~CDialogImplBaseT() = default;
    virtual DLGPROC GetDialogProc() { return DialogProc; }
    // Called with the old handle after the window's last message.
    virtual void OnFinalMessage(HWND /*hWnd*/) {}

    BOOL EndDialog(int result) { return ::EndDialog(this->m_hWnd, result); }

    // The dialog procedure of every bound dialog. The object is noted in the
    // module before the window is created and taken up at its first message.
    static INT_PTR CALLBACK DialogProc(HWND hWnd, UINT uMsg, WPARAM wParam, LPARAM lParam)
    {
        auto* self = reinterpret_cast<CDialogImplBaseT*>(::GetWindowLongPtrW(hWnd, DWLP_USER));
        if (self == nullptr) {
            self = static_cast<CDialogImplBaseT*>(g_Module.ExtractCreateWndData());
            if (self == nullptr)
                return FALSE;
            self->m_hWnd = hWnd;
            ::SetWindowLongPtrW(hWnd, DWLP_USER, reinterpret_cast<LONG_PTR>(self));
        }

        LRESULT result = 0;
        BOOL handled = self->ProcessWindowMessage(hWnd, uMsg, wParam, lParam, result, 0);
        if (uMsg == WM_NCDESTROY) {
            ::SetWindowLongPtrW(hWnd, DWLP_USER, 0);
            self->m_hWnd = nullptr;
            self->OnFinalMessage(hWnd);
        }
        if (!handled)
            return FALSE;
        if (ReturnsResultDirectly(uMsg))
            return static_cast<INT_PTR>(result);
        ::SetWindowLongPtrW(hWnd, DWLP_MSGRESULT, result);
        return TRUE;
    }

private:
    // The messages whose dialog-procedure result the platform takes as it is.
    static bool ReturnsResultDirectly(UINT uMsg)
    {
        switch (uMsg) {
        case WM_INITDIALOG:
        case WM_COMPAREITEM:
        case WM_VKEYTOITEM:
        case WM_CHARTOITEM:
        case WM_QUERYDRAGICON:
        case WM_CTLCOLORMSGBOX:
        case WM_CTLCOLOREDIT:
        case WM_CTLCOLORLISTBOX:
        case WM_CTLCOLORBTN:
        case WM_CTLCOLORDLG:
        case WM_CTLCOLORSCROLLBAR:
        case WM_CTLCOLORSTATIC:
            return true;
        default:
            return false;
        }
    }
};

template <class T, class TBase = CWindow>
class CDialogImpl : public CDialogImplBaseT<TBase> {
public:
    // Runs the dialog T::IDD modally. Returns what the dialog passed to
    // EndDialog, or -1 when it can't be created or bound.
    INT_PTR DoModal(HWND owner = ::GetActiveWindow(), LPARAM init = 0)
    {
        if (!g_Module.AddCreateWndData(this)) {
            ::SetLastError(ERROR_OUTOFMEMORY);
            return -1;
        }
        INT_PTR result = ::DialogBoxParamW(g_Module.GetResourceInstance(),
                                           MAKEINTRESOURCEW(T::IDD), owner,
                                           this->GetDialogProc(), init);
        // Not taken up when the window never came to be.
        if (result == -1)
            g_Module.RemoveCreateWndData(this);
        return result;
    }
};
