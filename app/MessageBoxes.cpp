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

static int ShowBox(UINT captionId, UINT textId, HWND owner, UINT extraStyle)
{
    CString caption = LoadText(captionId);
    CString text = LoadText(textId);
    // Not every platform honours MB_TOPMOST (Wine ignores it): the box is
    // also made topmost as it comes up.
    CHookHandle hook(extraStyle & MB_TOPMOST
                         ? ::SetWindowsHookExW(WH_CBT, KeepBoxOnTop, nullptr, ::GetCurrentThreadId())
                         : nullptr);
    ::MessageBoxW(owner, text.c_str(), caption.c_str(), MB_OK | extraStyle);
    return 0;
}

int ShowError(UINT id, HWND owner, UINT extraStyle)
{
    return ShowBox(IDS_ERROR, id, owner, extraStyle);
}

int ShowNotice(UINT id, HWND owner, UINT extraStyle)
{
    return ShowBox(IDS_NOTICE, id, owner, extraStyle);
}
