#include "support/Windows.h"

#include <gtest/gtest.h>

#include "app/Handles.h"

#include <cstdio>

void PumpMessages()
{
    MSG msg;
    while (::PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
        ::TranslateMessage(&msg);
        ::DispatchMessageW(&msg);
    }
}

bool WaitFor(const std::function<bool()>& condition, DWORD timeoutMs)
{
    const ULONGLONG deadline = ::GetTickCount64() + timeoutMs;
    for (;;) {
        PumpMessages();
        if (condition())
            return true;
        if (::GetTickCount64() >= deadline)
            return false;
        ::MsgWaitForMultipleObjects(0, nullptr, FALSE, 5, QS_ALLINPUT);
    }
}

namespace {

struct Collected {
    const std::function<bool(HWND)>& match;
    std::vector<HWND> windows;
};

BOOL CALLBACK Collect(HWND hWnd, LPARAM param)
{
    auto* collected = reinterpret_cast<Collected*>(param);
    if (collected->match(hWnd))
        collected->windows.push_back(hWnd);
    return TRUE;
}

std::vector<HWND> ProcessWindows(DWORD processId, const std::wstring& caption,
                                 const wchar_t* className, bool visibleOnly)
{
    const DWORD wanted = processId != 0 ? processId : ::GetCurrentProcessId();
    return TopWindows([&](HWND hWnd) {
        DWORD process = 0;
        ::GetWindowThreadProcessId(hWnd, &process);
        if (process != wanted || (visibleOnly && !::IsWindowVisible(hWnd)))
            return false;
        wchar_t itsClass[64] = L"";
        ::GetClassNameW(hWnd, itsClass, 64);
        // Read without a message: the window's thread may be waiting for a job.
        wchar_t itsCaption[256] = L"";
        ::InternalGetWindowText(hWnd, itsCaption, 256);
        return lstrcmpiW(itsClass, className) == 0 && itsCaption == caption;
    });
}

} // namespace

std::vector<HWND> TopWindows(const std::function<bool(HWND)>& match)
{
    Collected collected = {match, {}};
    ::EnumWindows(Collect, reinterpret_cast<LPARAM>(&collected));
    return collected.windows;
}

HWND FindOwnWindow(const std::wstring& caption, const wchar_t* className)
{
    return FindProcessWindow(0, caption, className);
}

HWND FindProcessWindow(DWORD processId, const std::wstring& caption, const wchar_t* className)
{
    const std::vector<HWND> found = ProcessWindows(processId, caption, className, true);
    return found.empty() ? nullptr : found.front();
}

int CountOwnWindows(const std::wstring& caption, const wchar_t* className)
{
    return static_cast<int>(ProcessWindows(0, caption, className, false).size());
}

HWND WaitForOwnWindow(const std::wstring& caption, const wchar_t* className, DWORD timeoutMs)
{
    HWND found = nullptr;
    WaitFor([&] { return (found = FindOwnWindow(caption, className)) != nullptr; }, timeoutMs);
    return found;
}

std::wstring WindowText(HWND hWnd)
{
    std::wstring text(::GetWindowTextLengthW(hWnd) + 1, L'\0');
    text.resize(::GetWindowTextW(hWnd, &text[0], static_cast<int>(text.size())));
    return text;
}

std::wstring BoxText(HWND box)
{
    // Static 0xFFFF, read without a message: the box's thread may block under it.
    wchar_t text[1024] = L"";
    ::InternalGetWindowText(::GetDlgItem(box, 0xFFFF), text, 1024);
    return text;
}

bool PressButton(HWND dialog, int id)
{
    ::PostMessageW(dialog, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED),
                   reinterpret_cast<LPARAM>(::GetDlgItem(dialog, id)));
    return WaitFor([dialog] { return !::IsWindow(dialog); });
}

void EndTestProgram(const std::string& why)
{
    ADD_FAILURE() << why << "; the test program ends here";
    std::fflush(stdout);
    std::fflush(stderr);
    ::TerminateProcess(::GetCurrentProcess(), 1);
    for (;;)
        ::Sleep(INFINITE);
}

bool MovePointer(POINT pt)
{
    return ::SetCursorPos(pt.x, pt.y) && WaitFor([pt] {
        POINT now;
        return ::GetCursorPos(&now) && now.x == pt.x && now.y == pt.y;
    });
}

void MouseButton(DWORD flags)
{
    INPUT input = {};
    input.type = INPUT_MOUSE;
    input.mi.dwFlags = flags;
    ::SendInput(1, &input, sizeof(input));
}

bool ClickAt(POINT pt)
{
    if (!MovePointer(pt))
        return false;
    MouseButton(MOUSEEVENTF_LEFTDOWN);
    MouseButton(MOUSEEVENTF_LEFTUP);
    return true;
}

void PressKeys(std::initializer_list<WORD> keys)
{
    const size_t n = keys.size();
    std::vector<INPUT> inputs(2 * n, INPUT{INPUT_KEYBOARD, {}});
    for (size_t i = 0; i < n; ++i) {
        inputs[i].ki.wVk = keys.begin()[i];
        inputs[2 * n - 1 - i].ki.wVk = keys.begin()[i];
        inputs[2 * n - 1 - i].ki.dwFlags = KEYEVENTF_KEYUP;
    }
    ::SendInput(static_cast<UINT>(inputs.size()), inputs.data(), sizeof(INPUT));
}

bool IsAbove(HWND a, HWND b)
{
    for (HWND w = ::GetWindow(b, GW_HWNDPREV); w != nullptr; w = ::GetWindow(w, GW_HWNDPREV))
        if (w == a)
            return true;
    return false;
}

void ExpectTextsFit(HWND dialog)
{
    HDC dc = ::GetDC(dialog);
    for (HWND child = ::GetWindow(dialog, GW_CHILD); child != nullptr;
         child = ::GetWindow(child, GW_HWNDNEXT)) {
        wchar_t className[16] = L"";
        ::GetClassNameW(child, className, 16);
        const LONG style = ::GetWindowLongW(child, GWL_STYLE);
        RECT room;
        ::GetClientRect(child, &room);
        bool checkHeight = true;
        if (::lstrcmpiW(className, L"Static") == 0) {
            if ((style & SS_TYPEMASK) != SS_LEFT)
                continue;
        } else if (::lstrcmpiW(className, L"Button") == 0) {
            const LONG type = style & BS_TYPEMASK;
            if (type == BS_AUTORADIOBUTTON || type == BS_RADIOBUTTON)
                room.right -= ::GetSystemMetrics(SM_CXMENUCHECK);
            else if (type == BS_PUSHBUTTON || type == BS_DEFPUSHBUTTON)
                ::InflateRect(&room, -::GetSystemMetrics(SM_CXEDGE),
                              -::GetSystemMetrics(SM_CYEDGE));
            else if (type == BS_GROUPBOX)
                checkHeight = false;  // its text sits on its top edge
        } else {
            continue;
        }
        const std::wstring text = WindowText(child);
        HGDIOBJ oldFont = ::SelectObject(
            dc, reinterpret_cast<HFONT>(::SendMessageW(child, WM_GETFONT, 0, 0)));
        RECT extent = {0, 0, 0, 0};
        ::DrawTextW(dc, text.c_str(), -1, &extent, DT_CALCRECT | DT_SINGLELINE);
        ::SelectObject(dc, oldFont);
        EXPECT_TRUE(extent.right <= room.right - room.left &&
                    (!checkHeight || extent.bottom <= room.bottom - room.top))
            << "cut off: " << ::testing::PrintToString(text) << " needs " << extent.right << "x"
            << extent.bottom << ", has " << room.right - room.left << "x" << room.bottom - room.top;
    }
    ::ReleaseDC(dialog, dc);
}

std::wstring ThisProgramPath()
{
    wchar_t self[MAX_PATH] = L"";
    ::GetModuleFileNameW(nullptr, self, MAX_PATH);
    return self;
}

namespace {

// Starts this test program again with arguments and var=value in its
// environment, its output going where this one's goes; its exit code, or -1
// when it did not start or end within timeoutMs (it is ended then).
int RunThisProgramAgain(const std::wstring& arguments, const wchar_t* var, const wchar_t* value,
                        DWORD timeoutMs)
{
    const std::wstring self = ThisProgramPath();
    std::wstring command = L"\"" + self + L"\" " + arguments;
    ::SetEnvironmentVariableW(var, value);
    STARTUPINFOW startup = {};
    startup.cb = sizeof(startup);
    PROCESS_INFORMATION process = {};
    const bool started = ::CreateProcessW(self.c_str(), &command[0], nullptr, nullptr, TRUE, 0,
                                          nullptr, nullptr, &startup, &process) != FALSE;
    ::SetEnvironmentVariableW(var, nullptr);
    if (!started)
        return -1;
    CHandle processHandle(process.hProcess);
    CHandle threadHandle(process.hThread);
    DWORD code = static_cast<DWORD>(-1);
    if (::WaitForSingleObject(process.hProcess, timeoutMs) == WAIT_OBJECT_0)
        ::GetExitCodeProcess(process.hProcess, &code);
    else
        ::TerminateProcess(process.hProcess, code);
    return static_cast<int>(code);
}

LSTATUS SetUserValue(const std::wstring& key, const wchar_t* name, DWORD type, const void* data,
                     DWORD size)
{
    return ::RegSetKeyValueW(HKEY_CURRENT_USER, key.c_str(), name, type, data, size);
}

} // namespace

int RunThisProgramAtDpi(int dpi, const std::wstring& filter, DWORD timeoutMs)
{
    // The DPI is read as a program starts: set it for the new one only.
    const std::wstring desktop = L"Control Panel\\Desktop";
    DWORD old = 0, size = sizeof(old);
    const bool hadOld = ::RegGetValueW(HKEY_CURRENT_USER, desktop.c_str(), L"LogPixels",
                                       RRF_RT_REG_DWORD, nullptr, &old, &size) == ERROR_SUCCESS;
    const DWORD value = static_cast<DWORD>(dpi);
    if (SetUserValue(desktop, L"LogPixels", REG_DWORD, &value, sizeof(value)) != ERROR_SUCCESS)
        return -1;
    const int code = RunThisProgramAgain(
        L"--gtest_filter=" + filter + L" --gtest_also_run_disabled_tests", L"KESTRANE_TEST_DPI",
        std::to_wstring(dpi).c_str(), timeoutMs);
    if (hadOld)
        SetUserValue(desktop, L"LogPixels", REG_DWORD, &old, sizeof(old));
    else
        ::RegDeleteKeyValueW(HKEY_CURRENT_USER, desktop.c_str(), L"LogPixels");
    return code;
}

bool RunAgainWithQuickBoxes()
{
    const wchar_t kChildMark[] = L"KESTRANE_QUICK_BOXES_CHILD";
    if (::GetEnvironmentVariableW(kChildMark, nullptr, 0) > 0)
        return false;
    const ::testing::TestInfo* test = ::testing::UnitTest::GetInstance()->current_test_info();
    const std::string name = std::string(test->test_suite_name()) + "." + test->name();
    // Wine reads that setting as the program starts. It stays in the test
    // prefix: two cases of one program may run at once, and neither may take
    // it from the other.
    std::wstring appKey = ThisProgramPath();
    appKey = L"Software\\Wine\\AppDefaults\\" + appKey.substr(appKey.find_last_of(L'\\') + 1);
    SetUserValue(appKey + L"\\X11 Driver", L"Managed", REG_SZ, L"N", 2 * sizeof(wchar_t));
    // Ended before ctest's own timeout, so that the child is ended too.
    EXPECT_EQ(0, RunThisProgramAgain(L"--gtest_filter=" + std::wstring(name.begin(), name.end()),
                                     kChildMark, L"1", 1700000))
        << "the test failed in the second process (above)";
    return true;
}
