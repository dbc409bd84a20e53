// The program's main window as a user sees it, driven from outside its thread
// (or process): clicks are posted, and what it shows read back from controls.
#pragma once

#include <windows.h>

#include <commctrl.h>

#include <string>
#include <vector>

#include "res/resource.h"

class MainWindowControls {
public:
    HWND Dialog() const { return m_hDialog; }
    HWND Item(int id) const { return ::GetDlgItem(m_hDialog, id); }

    // Posts a click (or another notification) of control id, as it sends it.
    void Click(int id, WORD code = BN_CLICKED) const
    {
        Post(WM_COMMAND, MAKEWPARAM(id, code), reinterpret_cast<LPARAM>(Item(id)));
    }
    void Post(UINT msg, WPARAM wParam = 0, LPARAM lParam = 0) const
    {
        ::PostMessageW(m_hDialog, msg, wParam, lParam);
    }
    // Sends msg to control id and returns its answer; a failure if none in time.
    LRESULT SendToItem(int id, UINT msg, WPARAM wParam = 0, LPARAM lParam = 0) const;

    std::wstring Text(int id) const;
    void SetText(int id, const std::wstring& text) const
    {
        SendToItem(id, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text.c_str()));
    }
    // Fills in a separation: the source, the block size as typed, the unit
    // (IDC_MBYTE or IDC_KBYTE).
    void ChooseSeparation(const std::wstring& source, const std::wstring& size, int unit) const
    {
        SetText(IDC_SOURCE_FILE, source);
        SetText(IDC_BLOCK_SIZE, size);
        Click(unit);
    }
    int ListCount() const { return Ask(IDC_MERGE_LIST, LB_GETCOUNT); }
    std::vector<std::wstring> ListItems() const;
    int ListSelection() const { return Ask(IDC_MERGE_LIST, LB_GETCURSEL); }
    bool IsChecked(int id) const { return SendToItem(id, BM_GETCHECK) == BST_CHECKED; }
    // The progress bar's range (low, high) and position.
    int ProgressLow() const { return Ask(IDC_PROGRESS, PBM_GETRANGE, TRUE); }
    int ProgressHigh() const { return Ask(IDC_PROGRESS, PBM_GETRANGE, FALSE); }
    int ProgressPos() const { return Ask(IDC_PROGRESS, PBM_GETPOS); }

protected:
    HWND m_hDialog = nullptr;

private:
    int Ask(int id, UINT msg, WPARAM wParam = 0) const
    {
        return static_cast<int>(SendToItem(id, msg, wParam));
    }
};
