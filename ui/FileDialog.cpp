#include "ui/FileDialog.h"

#include <commctrl.h>

#include <new>

CFileDialog::CFileDialog(bool open, DWORD flags, HWND owner, DWORD capacity)
    : m_ofn(), m_bOpen(open), m_buffer(capacity, L'\0')
{
    m_ofn.lStructSize = sizeof(m_ofn);
    m_ofn.hwndOwner = owner;
    m_ofn.lpstrFilter = L"All Files (*.*)\0*.*\0";
    m_ofn.lpstrFile = m_buffer.data();
    m_ofn.nMaxFile = capacity;
    m_ofn.lpstrFileTitle = m_szFileTitle;
    m_ofn.nMaxFileTitle = 256;
    // The save dialog takes a typed name as it stands: with the default
    // extension "*" it would make "name" into "name.*", which no file can be
    // called.
    m_ofn.lpstrDefExt = open ? L"*" : nullptr;
    m_ofn.Flags = flags | OFN_EXPLORER | OFN_ENABLEHOOK | OFN_ENABLESIZING;
    m_ofn.lpfnHook = HookProc;
    m_ofn.lCustData = reinterpret_cast<LPARAM>(this);
}

BOOL CFileDialog::Run(DWORD& error)
{
    const BOOL chosen = m_bOpen ? ::GetOpenFileNameW(&m_ofn) : ::GetSaveFileNameW(&m_ofn);
    error = chosen ? 0 : ::CommDlgExtendedError();
    return chosen;
}

// The hook is a child of the dialog frame. Where several files may be chosen
// it sizes the buffer for every selection made in the file list, and for
// names typed into the file name field when OK is pressed (through the
// frame's window procedure, which sees the OK before the dialog reads the
// field).
UINT_PTR CALLBACK CFileDialog::HookProc(HWND hook, UINT msg, WPARAM, LPARAM lParam)
{
    if (msg == WM_INITDIALOG) {
        auto* self = reinterpret_cast<CFileDialog*>(reinterpret_cast<OPENFILENAMEW*>(lParam)->lCustData);
        if (!(self->m_ofn.Flags & OFN_ALLOWMULTISELECT))
            return 0;
        ::SetWindowLongPtrW(hook, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(self));
        ::SetWindowSubclass(::GetParent(hook), FrameProc, 0, reinterpret_cast<DWORD_PTR>(self));
        return 0;
    }
    auto* self = reinterpret_cast<CFileDialog*>(::GetWindowLongPtrW(hook, GWLP_USERDATA));
    if (self == nullptr)
        return 0;
    if (msg == WM_NOTIFY && reinterpret_cast<const NMHDR*>(lParam)->code == CDN_SELCHANGE)
        self->FitBuffer(::GetParent(hook));
    else if (msg == WM_DESTROY)
        ::RemoveWindowSubclass(::GetParent(hook), FrameProc, 0);
    return 0;
}

LRESULT CALLBACK CFileDialog::FrameProc(HWND frame, UINT msg, WPARAM wParam, LPARAM lParam,
                                        UINT_PTR, DWORD_PTR self)
{
    // Without room for the names the OK is not passed on: the dialog stays
    // open rather than lose or cut the selection.
    if (msg == WM_COMMAND && LOWORD(wParam) == IDOK &&
        !reinterpret_cast<CFileDialog*>(self)->FitBuffer(frame))
        return 0;
    return ::DefSubclassProc(frame, msg, wParam, lParam);
}

bool CFileDialog::FitBuffer(HWND frame)
{
    // Folder and field text, each with its terminating zero, and the zero
    // that ends the list: never less than the dialog writes back (each
    // quoted name of the field comes back with one zero in place of its
    // quotes and blank).
    const LRESULT folder = ::SendMessageW(frame, CDM_GETFOLDERPATH, 0, 0);
    const LRESULT field = ::SendMessageW(frame, CDM_GETSPEC, 0, 0);
    if (folder < 0 || field < 0)
        return true;
    const size_t needed = static_cast<size_t>(folder) + static_cast<size_t>(field) + 1;
    if (needed <= m_ofn.nMaxFile)
        return true;
    try {
        m_buffer.resize(needed, L'\0');
    } catch (const std::bad_alloc&) {
        return false;
    }
    m_ofn.lpstrFile = m_buffer.data();
    m_ofn.nMaxFile = static_cast<DWORD>(needed);
    return true;
}
