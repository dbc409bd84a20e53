// The real program, started as a process of its own: however its window is
// closed, and whatever its command line, it exits with 2.
#include <windows.h>

#include <gtest/gtest.h>

#include <functional>
#include <string>

#include "res/resource.h"
#include "support/Program.h"
#include "support/TestFiles.h"

namespace {

// The window that has the keyboard focus in the program's thread.
HWND Focus(const ProgramRun& run)
{
    GUITHREADINFO info = {};
    info.cbSize = sizeof(info);
    const DWORD thread = ::GetWindowThreadProcessId(run.Dialog(), nullptr);
    return ::GetGUIThreadInfo(thread, &info) ? info.hwndFocus : nullptr;
}

// Moves the focus to control id as the dialog manager does for Tab.
bool FocusOn(const ProgramRun& run, int id)
{
    DWORD_PTR ignored = 0;
    ::SendMessageTimeoutW(run.Dialog(), WM_NEXTDLGCTL, reinterpret_cast<WPARAM>(run.Item(id)),
                          TRUE, SMTO_NORMAL, kDeadlineMs, &ignored);
    return WaitFor([&run, id] { return Focus(run) == run.Item(id); });
}

// A key as the keyboard driver queues it for the focused window.
void PostKey(const ProgramRun& run, UINT down, UINT up, WORD key, LPARAM flags = 0)
{
    HWND target = Focus(run);
    const UINT scan = ::MapVirtualKeyW(key, MAPVK_VK_TO_VSC);
    ::PostMessageW(target, down, key, 1 | (scan << 16) | flags);
    ::PostMessageW(target, up, key, 1 | (scan << 16) | flags | 0xC0000000);
}

// Starts the program with arguments: its window opens as always, and once
// close has closed it the program exits with 2.
void ExpectExitWithTwo(const std::wstring& arguments,
                       const std::function<void(ProgramRun&)>& close)
{
    ProgramRun run(arguments);
    ASSERT_TRUE(run.Started()) << "the program's window did not come up";
    EXPECT_FALSE(run.Ended());
    close(run);
    EXPECT_EQ(2u, run.WaitExitCode());
}

// Exit, Escape and Enter come as IDCANCEL (Exit is the default button),
// the caption's close box and Alt+F4 as WM_CLOSE; IDOK and other
// notification codes end the window all the same.
const struct {
    const char* name;
    std::function<void(ProgramRun&)> close;
} kCloseWays[] = {
    {"Exit clicked", [](ProgramRun& run) { run.SendToItem(IDCANCEL, BM_CLICK); }},
    {"IDCANCEL, another code", [](ProgramRun& run) { run.Click(IDCANCEL, BN_DOUBLECLICKED); }},
    {"IDOK", [](ProgramRun& run) { run.Click(IDOK); }},
    {"IDOK, another code", [](ProgramRun& run) { run.Click(IDOK, 1); }},
    {"Escape", [](ProgramRun& run) { PostKey(run, WM_KEYDOWN, WM_KEYUP, VK_ESCAPE); }},
    {"Enter typed in the block size edit",
     [](ProgramRun& run) {
         ASSERT_TRUE(FocusOn(run, IDC_BLOCK_SIZE));
         ::SetForegroundWindow(run.Dialog());
         ASSERT_TRUE(WaitFor([&run] { return ::GetForegroundWindow() == run.Dialog(); }));
         PressKeys({VK_RETURN});  // on the keyboard
     }},
    {"WM_CLOSE", [](ProgramRun& run) { run.Post(WM_CLOSE); }},
    {"close box", [](ProgramRun& run) { run.Post(WM_SYSCOMMAND, SC_CLOSE); }},
    // With Alt held: the context bit of a system key.
    {"Alt+F4", [](ProgramRun& run) { PostKey(run, WM_SYSKEYDOWN, WM_SYSKEYUP, VK_F4, 1 << 29); }},
};

} // namespace

TEST(ExitCode, EveryWayOfClosingExitsWithTwo)
{
    for (const auto& way : kCloseWays) {
        SCOPED_TRACE(way.name);
        ExpectExitWithTwo(L"", way.close);
    }
}

// Switches on the command line are not read: the program opens as always.
TEST(ExitCode, CommandLineIsIgnored)
{
    for (const wchar_t* arguments : {L"/regserver -x foo", L"-embedding", L"\"C:\\no such.bin\""}) {
        SCOPED_TRACE(Narrow(arguments));
        ExpectExitWithTwo(arguments, [](ProgramRun& run) { run.Click(IDCANCEL); });
    }
}
