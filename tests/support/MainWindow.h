// The program's main window as a user sees it, driven through its controls
// from outside its thread (or its process): clicks are posted, and what it
// shows is read back from the controls.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

#include "res/resource.h"

class MainWindowControls {
public:
    HWND Dialog() const { return m_hDialog; }
    HWND Item(int id) const { return ::GetDlgItem(m_hDialog, id); }

    // Posts a click (or another notification) of control id, as the
    // control itself would send it.
    void Click(int id, WORD code = BN_CLICKED) const;
    // Posts a message to the window.
    void Post(UINT msg, WPARAM wParam = 0, LPARAM lParam = 0) const;
    // Sends a message to control id and returns its answer; fails the test
    // when the window's thread does not answer in time.
    LRESULT SendToItem(int id, UINT msg, WPARAM wParam = 0, LPARAM lParam = 0) const;

    std::wstring Text(int id) const;
    void SetText(int id, const std::wstring& text) const;
    int ListCount() const;
    std::vector<std::wstring> ListItems() const;
    int ListSelection() const;
    bool IsChecked(int id) const;
    // The progress bar's range (low, high) and position.
    int ProgressLow() const;
    int ProgressHigh() const;
    int ProgressPos() const;

protected:
    HWND m_hDialog = nullptr;
};
