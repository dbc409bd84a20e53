#include "support/MainWindow.h"

#include <gtest/gtest.h>
#include <commctrl.h>

#include "support/Windows.h"

void MainWindowControls::Click(int id, WORD code) const
{
    ::PostMessageW(m_hDialog, WM_COMMAND, MAKEWPARAM(id, code),
                   reinterpret_cast<LPARAM>(Item(id)));
}

void MainWindowControls::Post(UINT msg, WPARAM wParam, LPARAM lParam) const
{
    ::PostMessageW(m_hDialog, msg, wParam, lParam);
}

LRESULT MainWindowControls::SendToItem(int id, UINT msg, WPARAM wParam, LPARAM lParam) const
{
    DWORD_PTR answer = 0;
    if (!::SendMessageTimeoutW(Item(id), msg, wParam, lParam, SMTO_NORMAL, kDeadlineMs, &answer))
        ADD_FAILURE() << "control " << id << " did not answer message " << msg;
    return static_cast<LRESULT>(answer);
}

std::wstring MainWindowControls::Text(int id) const
{
    wchar_t text[1024] = L"";
    SendToItem(id, WM_GETTEXT, 1024, reinterpret_cast<LPARAM>(text));
    return text;
}

void MainWindowControls::SetText(int id, const std::wstring& text) const
{
    SendToItem(id, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text.c_str()));
}

int MainWindowControls::ListCount() const
{
    return static_cast<int>(SendToItem(IDC_MERGE_LIST, LB_GETCOUNT));
}

std::vector<std::wstring> MainWindowControls::ListItems() const
{
    std::vector<std::wstring> items;
    for (int i = 0, count = ListCount(); i < count; ++i) {
        std::wstring text(SendToItem(IDC_MERGE_LIST, LB_GETTEXTLEN, i) + 1, L'\0');
        SendToItem(IDC_MERGE_LIST, LB_GETTEXT, i, reinterpret_cast<LPARAM>(&text[0]));
        text.resize(text.size() - 1);
        items.push_back(text);
    }
    return items;
}

int MainWindowControls::ListSelection() const
{
    return static_cast<int>(SendToItem(IDC_MERGE_LIST, LB_GETCURSEL));
}

bool MainWindowControls::IsChecked(int id) const
{
    return SendToItem(id, BM_GETCHECK) == BST_CHECKED;
}

int MainWindowControls::ProgressLow() const
{
    return static_cast<int>(SendToItem(IDC_PROGRESS, PBM_GETRANGE, TRUE));
}

int MainWindowControls::ProgressHigh() const
{
    return static_cast<int>(SendToItem(IDC_PROGRESS, PBM_GETRANGE, FALSE));
}

int MainWindowControls::ProgressPos() const
{
    return static_cast<int>(SendToItem(IDC_PROGRESS, PBM_GETPOS));
}
