// The platform's open and save dialogs, explorer style and resizable, with
// one "All Files" filter.
#pragma once

#include <windows.h>
#include <commdlg.h>

#include "app/Strings.h"

class CFileDialog {
public:
    // flags are added to OFN_EXPLORER | OFN_ENABLEHOOK | OFN_ENABLESIZING.
    // The file buffer is fileBuffer (of fileCapacity characters) when given,
    // else one of MAX_PATH characters of the dialog's own.
    CFileDialog(bool open, DWORD flags, HWND owner, wchar_t* fileBuffer = nullptr,
                DWORD fileCapacity = 0);
    CFileDialog(const CFileDialog&) = delete;
    CFileDialog& operator=(const CFileDialog&) = delete;

    // IDOK when the user chose, IDCANCEL otherwise (also when the choice did
    // not fit the buffer).
    INT_PTR DoModal();

    // The chosen full path (one-file form).
    const wchar_t* GetPathName() const { return m_ofn.lpstrFile; }

    OPENFILENAMEW m_ofn;

private:
    static UINT_PTR CALLBACK HookProc(HWND, UINT, WPARAM, LPARAM) { return 0; }

    bool m_bOpen;
    wchar_t m_szFileName[MAX_PATH] = L"";
    wchar_t m_szFileTitle[256] = L"";
};
