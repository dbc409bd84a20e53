// The real program, started as a process of its own: however its window is
// closed, and whatever its command line, it exits with 2.
#include <windows.h>

#include <gtest/gtest.h>

#include <functional>
#include <string>

#include "res/resource.h"
#include "support/TestFiles.h"
#include "support/Windows.h"

namespace {

// How long the program may take to show its window (the first start of a
// Wine prefix is slow).
constexpr DWORD kStartMs = 120000;

// kestrane.exe of this build: the test program lies in build/tests, the
// program in build.
std::wstring ProgramPath()
{
    wchar_t self[MAX_PATH] = L"";
    ::GetModuleFileNameW(nullptr, self, MAX_PATH);
    std::wstring path = self;
    path.resize(path.find_last_of(L'\\'));
    path.resize(path.find_last_of(L'\\') + 1);
    return path + L"kestrane.exe";
}

// One run of the program, from its start to its exit code.
class ProgramRun {
public:
    explicit ProgramRun(const std::wstring& arguments = L"")
    {
        const std::wstring exe = ProgramPath();
        std::wstring commandLine = L"\"" + exe + L"\"";
        if (!arguments.empty())
            commandLine += L" " + arguments;
        STARTUPINFOW startup = {};
        startup.cb = sizeof(startup);
        if (!::CreateProcessW(exe.c_str(), &commandLine[0], nullptr, nullptr, FALSE, 0, nullptr,
                              nullptr, &startup, &m_process)) {
            ADD_FAILURE() << "cannot start " << Narrow(exe) << ": error " << ::GetLastError();
            return;
        }
        WaitFor([this] {
            m_hWnd = FindProcessWindow(m_process.dwProcessId, L"Kestrane");
            return m_hWnd != nullptr || Ended();
        }, kStartMs);
    }

    ~ProgramRun()
    {
        if (m_process.hProcess == nullptr)
            return;
        if (!Ended()) {
            if (::IsWindow(m_hWnd))
                ::PostMessageW(m_hWnd, WM_CLOSE, 0, 0);
            if (!WaitFor([this] { return Ended(); }))
                ::TerminateProcess(m_process.hProcess, 99);
        }
        ::CloseHandle(m_process.hThread);
        ::CloseHandle(m_process.hProcess);
    }

    ProgramRun(const ProgramRun&) = delete;
    ProgramRun& operator=(const ProgramRun&) = delete;

    HWND Window() const { return m_hWnd; }
    HWND Item(int id) const { return ::GetDlgItem(m_hWnd, id); }
    DWORD ThreadId() const { return ::GetWindowThreadProcessId(m_hWnd, nullptr); }

    bool Ended() const
    {
        return m_process.hProcess != nullptr &&
               ::WaitForSingleObject(m_process.hProcess, 0) == WAIT_OBJECT_0;
    }

    // The exit code once the program has ended by itself; STILL_ACTIVE when
    // it did not end in time.
    DWORD WaitExitCode()
    {
        DWORD code = STILL_ACTIVE;
        if (WaitFor([this] { return Ended(); }))
            ::GetExitCodeProcess(m_process.hProcess, &code);
        return code;
    }

    // The window that has the keyboard focus in the program's thread.
    HWND Focus() const
    {
        GUITHREADINFO info = {};
        info.cbSize = sizeof(info);
        return ::GetGUIThreadInfo(ThreadId(), &info) ? info.hwndFocus : nullptr;
    }

    // Moves the focus to control id as the dialog manager does for Tab.
    bool FocusOn(int id) const
    {
        DWORD_PTR ignored = 0;
        ::SendMessageTimeoutW(m_hWnd, WM_NEXTDLGCTL, reinterpret_cast<WPARAM>(Item(id)), TRUE,
                              SMTO_NORMAL, kDeadlineMs, &ignored);
        return WaitFor([this, id] { return Focus() == Item(id); });
    }

    // A key as the keyboard driver queues it for the focused window.
    void PostKey(UINT down, UINT up, WORD key, LPARAM flags = 0) const
    {
        HWND target = Focus();
        const UINT scan = ::MapVirtualKeyW(key, MAPVK_VK_TO_VSC);
        ::PostMessageW(target, down, key, 1 | (scan << 16) | flags);
        ::PostMessageW(target, up, key, 1 | (scan << 16) | flags | 0xC0000000);
    }

private:
    PROCESS_INFORMATION m_process = {};
    HWND m_hWnd = nullptr;
};

// A window that is there and shows the main dialog as it opens.
void ExpectFreshWindow(const ProgramRun& run)
{
    ASSERT_NE(nullptr, run.Window()) << "the program's window did not come up";
    EXPECT_FALSE(run.Ended());
    EXPECT_EQ(BST_CHECKED, ::SendMessageW(run.Item(IDC_MBYTE), BM_GETCHECK, 0, 0));
    EXPECT_EQ(BST_UNCHECKED, ::SendMessageW(run.Item(IDC_KBYTE), BM_GETCHECK, 0, 0));
    EXPECT_EQ(0, ::GetWindowTextLengthW(run.Item(IDC_SOURCE_FILE)));
    EXPECT_EQ(run.Item(IDC_SOURCE_FILE), run.Focus());
}

struct CloseWay {
    const char* name;
    std::function<void(ProgramRun&)> close;
};

const CloseWay kCloseWays[] = {
    {"Exit clicked",
     [](ProgramRun& run) {
         DWORD_PTR ignored = 0;
         ::SendMessageTimeoutW(run.Item(IDCANCEL), BM_CLICK, 0, 0, SMTO_NORMAL, kDeadlineMs,
                               &ignored);
     }},
    {"Escape", [](ProgramRun& run) { run.PostKey(WM_KEYDOWN, WM_KEYUP, VK_ESCAPE); }},
    {"Enter in the block size edit",
     [](ProgramRun& run) {
         ASSERT_TRUE(run.FocusOn(IDC_BLOCK_SIZE));
         run.PostKey(WM_KEYDOWN, WM_KEYUP, VK_RETURN);
     }},
    {"close box", [](ProgramRun& run) { ::PostMessageW(run.Window(), WM_SYSCOMMAND, SC_CLOSE, 0); }},
    {"Alt+F4",
     [](ProgramRun& run) {
         // With Alt held: the context bit of a system key.
         run.PostKey(WM_SYSKEYDOWN, WM_SYSKEYUP, VK_F4, 1 << 29);
     }},
};

} // namespace

TEST(ExitCode, EveryWayOfClosingExitsWithTwo)
{
    for (const CloseWay& way : kCloseWays) {
        SCOPED_TRACE(way.name);
        ProgramRun run;
        ExpectFreshWindow(run);
        if (run.Window() == nullptr)
            continue;
        way.close(run);
        EXPECT_EQ(2u, run.WaitExitCode());
    }
}

// Typed Enter from the keyboard, with the program in front and the focus in
// the block size edit: the default button, Exit, answers it.
TEST(ExitCode, TypedEnterInTheBlockSizeEditExitsWithTwo)
{
    ProgramRun run;
    ExpectFreshWindow(run);
    ASSERT_NE(nullptr, run.Window());
    ::SetForegroundWindow(run.Window());
    ASSERT_TRUE(WaitFor([&run] { return ::GetForegroundWindow() == run.Window(); }));
    ASSERT_TRUE(run.FocusOn(IDC_BLOCK_SIZE));

    INPUT keys[2] = {};
    for (INPUT& key : keys) {
        key.type = INPUT_KEYBOARD;
        key.ki.wVk = VK_RETURN;
    }
    keys[1].ki.dwFlags = KEYEVENTF_KEYUP;
    ASSERT_EQ(2u, ::SendInput(2, keys, sizeof(INPUT)));
    EXPECT_EQ(2u, run.WaitExitCode());
}

// Switches on the command line are not read: the program opens as always.
TEST(ExitCode, CommandLineIsIgnored)
{
    for (const wchar_t* arguments : {L"/regserver -x foo", L"-embedding", L"\"C:\\no such.bin\""}) {
        SCOPED_TRACE(Narrow(arguments));
        ProgramRun run(arguments);
        ExpectFreshWindow(run);
        if (run.Window() == nullptr)
            continue;
        ::PostMessageW(run.Window(), WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED),
                       reinterpret_cast<LPARAM>(run.Item(IDCANCEL)));
        EXPECT_EQ(2u, run.WaitExitCode());
    }
}
