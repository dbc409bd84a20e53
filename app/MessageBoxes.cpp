#include "app/MessageBoxes.h"

#include <vector>

#include "app/Handles.h"
#include "res/resource.h"

CString LoadText(UINT id)
{
    HINSTANCE instance = ::GetModuleHandleW(nullptr);
    // Grow the buffer until the text leaves at least two characters free, so
    // that a text is never cut.
    for (int size = 256;; size += 256) {
        std::vector<wchar_t> buffer(size);
        int length = ::LoadStringW(instance, id, buffer.data(), size);
        if (length <= 0)
            return CString();
        if (size - length >= 2)
            return CString(buffer.data(), length);
    }
}

// Makes the window that a message box activates on this thread, the box
// itself, topmost.
static LRESULT CALLBACK KeepBoxOnTop(int code, WPARAM wParam, LPARAM lParam)
{
    if (code == HCBT_ACTIVATE)
        ::SetWindowPos(reinterpret_cast<HWND>(wParam), HWND_TOPMOST, 0, 0, 0, 0,
                       SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
    return ::CallNextHookEx(nullptr, code, wParam, lParam);
}

static int ShowBox(UINT captionId, const CString& text, HWND owner, UINT style)
{
    CString caption = LoadText(captionId);
    // Not every platform honours MB_TOPMOST (Wine ignores it): the box is
    // also made topmost as it comes up.
    CHookHandle hook(style & MB_TOPMOST
                         ? ::SetWindowsHookExW(WH_CBT, KeepBoxOnTop, nullptr, ::GetCurrentThreadId())
                         : nullptr);
    return ::MessageBoxW(owner, text.c_str(), caption.c_str(), style);
}

int ShowError(UINT id, HWND owner, UINT extraStyle)
{
    ShowBox(IDS_ERROR, LoadText(id), owner, MB_OK | extraStyle);
    return 0;
}

int ShowNotice(UINT id, HWND owner, UINT extraStyle)
{
    ShowBox(IDS_NOTICE, LoadText(id), owner, MB_OK | extraStyle);
    return 0;
}

CString FormatText(UINT id, const CString& first, const CString& second)
{
    // One pass over the table's text: a name that holds "%1" stays as it is.
    const CString pattern = LoadText(id);
    CString text;
    for (size_t i = 0; i < pattern.size(); ++i) {
        if (pattern[i] == L'%' && i + 1 < pattern.size() &&
            (pattern[i + 1] == L'1' || pattern[i + 1] == L'2')) {
            text += pattern[++i] == L'1' ? first : second;
            continue;
        }
        text += pattern[i];
    }
    return text;
}

bool AskYesNo(UINT captionId, const CString& text, HWND owner, UINT extraStyle)
{
    return ShowBox(captionId, text, owner,
                   MB_YESNO | MB_ICONWARNING | MB_DEFBUTTON2 | extraStyle) == IDYES;
}
