// The platform's open and save dialogs, explorer style and resizable, with
// one "All Files" filter.
#pragma once

#include <windows.h>
#include <commdlg.h>
#include <cderr.h>

#include <vector>

#include "app/Strings.h"

// The buffer of a dialog that chooses one file: the longest path Windows
// takes (32,767 characters, in the \\?\ form) and its terminating zero. With
// MAX_PATH the dialog fails on a file whose full path is 260 characters or
// more, deep in a folder tree or on a share.
constexpr DWORD LONG_PATH_CAPACITY = 32768;

class CFileDialog {
public:
    // flags are added to OFN_EXPLORER | OFN_ENABLEHOOK | OFN_ENABLESIZING.
    // The file buffer starts with capacity characters; a dialog that allows
    // several files grows it while it runs, so that a selection of any size
    // fits.
    CFileDialog(bool open, DWORD flags, HWND owner, DWORD capacity = LONG_PATH_CAPACITY);
    CFileDialog(const CFileDialog&) = delete;
    CFileDialog& operator=(const CFileDialog&) = delete;

    // Runs the platform's dialog: TRUE when the user chose. Otherwise error
    // is CommDlgExtendedError's answer: 0 for a cancel, FNERR_BUFFERTOOSMALL
    // when the choice did not fit the buffer.
    BOOL Run(DWORD& error);

    // The chosen full path (one-file form), or the directory followed by the
    // chosen names (several files).
    const wchar_t* GetPathName() const { return m_ofn.lpstrFile; }

    OPENFILENAMEW m_ofn;

private:
    static UINT_PTR CALLBACK HookProc(HWND hook, UINT msg, WPARAM wParam, LPARAM lParam);
    static LRESULT CALLBACK FrameProc(HWND frame, UINT msg, WPARAM wParam, LPARAM lParam,
                                      UINT_PTR id, DWORD_PTR self);

    // Makes the file buffer hold what the dialog frame would return now: its
    // folder and the text of its file name field. False when the memory for
    // that can't be had.
    bool FitBuffer(HWND frame);

    bool m_bOpen;
    std::vector<wchar_t> m_buffer;
    wchar_t m_szFileTitle[256] = L"";
};
