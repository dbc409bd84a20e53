#include "support/Boxes.h"

#include <gtest/gtest.h>

#include "support/TestFiles.h"

std::string ShownBox::Describe() const
{
    return "\"" + Narrow(caption) + "\" box: \"" + Narrow(text) + "\"";
}

ShownBox FindBox(DWORD processId)
{
    for (const std::wstring& caption : {kErrorCaption, kNoticeCaption, kConfirmSaveAsCaption}) {
        if (HWND box = FindProcessWindow(processId, caption))
            return {box, caption, BoxText(box)};
    }
    const DWORD wanted = processId != 0 ? processId : ::GetCurrentProcessId();
    for (HWND box : TopWindows([wanted](HWND hWnd) {
             DWORD process = 0;
             ::GetWindowThreadProcessId(hWnd, &process);
             return process == wanted && ::IsWindowVisible(hWnd) && ::GetDlgItem(hWnd, IDNO);
         })) {
        wchar_t caption[64] = L"";
        ::InternalGetWindowText(box, caption, 64);  // its thread may wait
        if (caption == kQuestionCaption)
            return {box, kQuestionCaption, BoxText(box)};
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

void DismissWhatWasLeftOpen(DWORD processId)
{
    const ULONGLONG deadline = ::GetTickCount64() + kDeadlineMs;
    while (const ShownBox box = FindBox(processId)) {
        if (::GetTickCount64() > deadline)
            EndTestProgram("the program shows box after box");
        ADD_FAILURE() << "the " << box.Describe() << " was left open";
        if (!DismissBox(box.window))
            EndTestProgram("the " + box.Describe() + " can't be dismissed");
    }
    for (const wchar_t* caption : {L"Open", L"Save As"}) {
        while (HWND dialog = FindProcessWindow(processId, caption)) {
            ADD_FAILURE() << "the \"" << Narrow(caption) << "\" file dialog was left open";
            if (!PressButton(dialog, IDCANCEL))
                EndTestProgram("the \"" + Narrow(caption) + "\" file dialog can't be closed");
        }
    }
}

// At the end of every test: whatever the test left open, however it ended,
// fails it and goes, so that the next test starts with no window of the
// last one in its way.
class LeftOpenSweeper : public ::testing::EmptyTestEventListener {
    void OnTestEnd(const ::testing::TestInfo&) override { DismissWhatWasLeftOpen(); }
};

static const bool kSweeperInstalled = [] {
    ::testing::UnitTest::GetInstance()->listeners().Append(new LeftOpenSweeper);
    return true;
}();
