#include "support/Boxes.h"

#include <gtest/gtest.h>

#include "support/TestFiles.h"

namespace {

DWORD ProcessOrSelf(DWORD processId)
{
    return processId != 0 ? processId : ::GetCurrentProcessId();
}

} // namespace

std::string ShownBox::Describe() const
{
    return "\"" + Narrow(caption) + "\" box: \"" + Narrow(text) + "\"";
}

ShownBox FindBox(DWORD processId)
{
    for (const std::wstring& caption : {kErrorCaption, kNoticeCaption}) {
        if (HWND box = FindProcessWindow(ProcessOrSelf(processId), caption))
            return {box, caption, BoxText(box)};
    }
    return {};
}

ShownBox WaitForBox(const std::wstring& caption, DWORD timeoutMs,
                    const std::function<bool()>& gone, DWORD processId)
{
    ShownBox box;
    const bool ended = WaitFor([&] {
        box = FindBox(processId);
        return box || (gone && gone());
    }, timeoutMs);
    if (box && box.caption == caption)
        return box;
    if (box) {
        ADD_FAILURE() << "expected a \"" << Narrow(caption) << "\" box, the program showed the "
                      << box.Describe();
        DismissBox(box.window);
    } else {
        ADD_FAILURE() << "no \"" << Narrow(caption) << "\" box came up"
                      << (ended ? "; the program had gone on without one" : " in time");
    }
    return {};
}

std::wstring TakeBox(const std::wstring& caption, DWORD timeoutMs,
                     const std::function<bool()>& gone, DWORD processId)
{
    const ShownBox box = WaitForBox(caption, timeoutMs, gone, processId);
    if (!box)
        return std::wstring();
    EXPECT_TRUE(DismissBox(box.window)) << box.Describe() << " did not go";
    return box.text;
}
