#include "support/MainWindow.h"

#include <gtest/gtest.h>

#include "support/Windows.h"

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
