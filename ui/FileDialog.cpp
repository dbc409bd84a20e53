#include "ui/FileDialog.h"

CFileDialog::CFileDialog(bool open, DWORD flags, HWND owner, wchar_t* fileBuffer,
                         DWORD fileCapacity)
    : m_ofn(), m_bOpen(open)
{
    m_ofn.lStructSize = sizeof(m_ofn);
    m_ofn.hwndOwner = owner;
    m_ofn.lpstrFilter = L"All Files (*.*)\0*.*\0";
    m_ofn.lpstrFile = fileBuffer != nullptr ? fileBuffer : m_szFileName;
    m_ofn.nMaxFile = fileBuffer != nullptr ? fileCapacity : MAX_PATH;
    m_ofn.lpstrFileTitle = m_szFileTitle;
    m_ofn.nMaxFileTitle = 256;
    // The save dialog takes a typed name as it stands: with the default
    // extension "*" it would make "name" into "name.*", which no file can be
    // called.
    m_ofn.lpstrDefExt = open ? L"*" : nullptr;
    m_ofn.Flags = flags | OFN_EXPLORER | OFN_ENABLEHOOK | OFN_ENABLESIZING;
    m_ofn.lpfnHook = HookProc;
}

INT_PTR CFileDialog::DoModal()
{
    BOOL chosen = m_bOpen ? ::GetOpenFileNameW(&m_ofn) : ::GetSaveFileNameW(&m_ofn);
    return chosen ? IDOK : IDCANCEL;
}
