#include "ui/Messages.h"

#include <vector>

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

static int ShowBox(UINT captionId, UINT textId, HWND owner)
{
    CString caption = LoadText(captionId);
    CString text = LoadText(textId);
    ::MessageBoxW(owner, text.c_str(), caption.c_str(), MB_OK);
    return 0;
}

int ShowError(UINT id, HWND owner)
{
    return ShowBox(IDS_ERROR, id, owner);
}

int ShowNotice(UINT id, HWND owner)
{
    return ShowBox(IDS_NOTICE, id, owner);
}
