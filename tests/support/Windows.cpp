#include "support/Windows.h"

#include <gtest/gtest.h>

#include "app/Handles.h"

#include <cstdio>
#include <iterator>
#include <vector>

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
struct WindowQuery {
    const std::wstring* caption;
    const wchar_t* className;
    HWND found;
    DWORD processId = ::GetCurrentProcessId();
    bool visibleOnly = true;
};

BOOL CALLBACK MatchWindow(HWND hWnd, LPARAM param)
{
    auto* query = reinterpret_cast<WindowQuery*>(param);
    DWORD process = 0;
    ::GetWindowThreadProcessId(hWnd, &process);
    if (process != query->processId || (query->visibleOnly && !::IsWindowVisible(hWnd)))
        return TRUE;
    wchar_t className[64] = L"";
    ::GetClassNameW(hWnd, className, 64);
    // The caption is read without a message: the main window's thread may
    // be waiting for a job.
    wchar_t caption[256] = L"";
    ::InternalGetWindowText(hWnd, caption, 256);
    if (lstrcmpiW(className, query->className) != 0 || caption != *query->caption)
        return TRUE;
    query->found = hWnd;
    return FALSE;
}
} // namespace

HWND FindOwnWindow(const std::wstring& caption, const wchar_t* className)
{
    WindowQuery query = {&caption, className, nullptr};
    ::EnumWindows(MatchWindow, reinterpret_cast<LPARAM>(&query));
    return query.found;
}

HWND FindProcessWindow(DWORD processId, const std::wstring& caption, const wchar_t* className)
{
    WindowQuery query = {&caption, className, nullptr};
    query.processId = processId;
    ::EnumWindows(MatchWindow, reinterpret_cast<LPARAM>(&query));
    return query.found;
}

bool OwnWindowExists(const std::wstring& caption, const wchar_t* className)
{
    WindowQuery query = {&caption, className, nullptr};
    query.visibleOnly = false;
    ::EnumWindows(MatchWindow, reinterpret_cast<LPARAM>(&query));
    return query.found != nullptr;
}

HWND WaitForOwnWindow(const std::wstring& caption, const wchar_t* className, DWORD timeoutMs)
{
    HWND found = nullptr;
    WaitFor([&] { return (found = FindOwnWindow(caption, className)) != nullptr; }, timeoutMs);
    return found;
}

std::wstring WindowText(HWND hWnd)
{
    int length = ::GetWindowTextLengthW(hWnd);
    std::vector<wchar_t> text(length + 1);
    ::GetWindowTextW(hWnd, text.data(), length + 1);
    return text.data();
}

COLORREF DrawnPixel(HWND hWnd, POINT point)
{
    HDC dc = ::GetDC(hWnd);
    const COLORREF color = ::GetPixel(dc, point.x, point.y);
    ::ReleaseDC(hWnd, dc);
    return color;
}

std::wstring BoxText(HWND box)
{
    // The message of a message box is the static control 0xFFFF. Its text
    // is read without a message: the thread that shows the box may be
    // blocked under it.
    wchar_t text[1024] = L"";
    ::InternalGetWindowText(::GetDlgItem(box, 0xFFFF), text, 1024);
    return text;
}

bool DismissBox(HWND box)
{
    ::PostMessageW(box, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), 0);
    return WaitFor([box] { return !::IsWindow(box); });
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
    if (!::SetCursorPos(pt.x, pt.y))
        return false;
    return WaitFor([pt] {
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
    std::vector<INPUT> inputs;
    for (WORD key : keys) {
        inputs.push_back(INPUT{INPUT_KEYBOARD, {}});
        inputs.back().ki.wVk = key;
    }
    for (auto key = std::rbegin(keys); key != std::rend(keys); ++key) {
        inputs.push_back(INPUT{INPUT_KEYBOARD, {}});
        inputs.back().ki.wVk = *key;
        inputs.back().ki.dwFlags = KEYEVENTF_KEYUP;
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
                ::InflateRect(&room, -::GetSystemMetrics(SM_CXEDGE), -::GetSystemMetrics(SM_CYEDGE));
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
        EXPECT_LE(extent.right, room.right - room.left)
            << "cut off: " << ::testing::PrintToString(text);
        if (checkHeight) {
            EXPECT_LE(extent.bottom, room.bottom - room.top)
                << "cut off at the bottom: " << ::testing::PrintToString(text);
        }
    }
    ::ReleaseDC(dialog, dc);
}

namespace {

// Starts this test program again with arguments, var set to value in its
// environment, its output going where this one's goes; returns its exit
// code, or -1 when it could not be started or did not end within timeoutMs
// (it is ended then).
int RunThisProgramAgain(const std::wstring& arguments, const wchar_t* var, const wchar_t* value,
                        DWORD timeoutMs)
{
    wchar_t self[MAX_PATH] = L"";
    ::GetModuleFileNameW(nullptr, self, MAX_PATH);
    std::wstring command = L"\"" + std::wstring(self) + L"\" " + arguments;
    ::SetEnvironmentVariableW(var, value);
    STARTUPINFOW startup = {};
    startup.cb = sizeof(startup);
    PROCESS_INFORMATION process = {};
    const bool started = ::CreateProcessW(self, &command[0], nullptr, nullptr, TRUE, 0, nullptr,
                                          nullptr, &startup, &process) != FALSE;
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

} // namespace

int RunThisProgramAtDpi(int dpi, const std::wstring& filter, DWORD timeoutMs)
{
    // The DPI is read as a program starts: set it for the new one only.
    HKEY desktop = nullptr;
    if (::RegCreateKeyExW(HKEY_CURRENT_USER, L"Control Panel\\Desktop", 0, nullptr, 0,
                          KEY_QUERY_VALUE | KEY_SET_VALUE, nullptr, &desktop,
                          nullptr) != ERROR_SUCCESS)
        return -1;
    DWORD old = 0, size = sizeof(old);
    const bool hadOld = ::RegQueryValueExW(desktop, L"LogPixels", nullptr, nullptr,
                                           reinterpret_cast<BYTE*>(&old), &size) == ERROR_SUCCESS;
    const DWORD value = static_cast<DWORD>(dpi);
    ::RegSetValueExW(desktop, L"LogPixels", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&value),
                     sizeof(value));

    const int code = RunThisProgramAgain(
        L"--gtest_filter=" + filter + L" --gtest_also_run_disabled_tests", L"KESTRANE_TEST_DPI",
        std::to_wstring(dpi).c_str(), timeoutMs);
    if (hadOld)
        ::RegSetValueExW(desktop, L"LogPixels", 0, REG_DWORD,
                         reinterpret_cast<const BYTE*>(&old), sizeof(old));
    else
        ::RegDeleteValueW(desktop, L"LogPixels");
    ::RegCloseKey(desktop);
    return code;
}

namespace {

// Wine, told to keep the windows of a program to itself, waits for no
// window manager; it reads that when the program starts. So the setting is
// made for this program, the test runs again in a second process, and the
// setting goes. (Nothing on Windows reads the key; there the second process
// is just a second process.)
const wchar_t kChildMark[] = L"KESTRANE_QUICK_BOXES_CHILD";

class WindowsWithoutManager {
public:
    WindowsWithoutManager()
    {
        wchar_t self[MAX_PATH] = L"";
        ::GetModuleFileNameW(nullptr, self, MAX_PATH);
        std::wstring name = self;
        name = name.substr(name.find_last_of(L'\\') + 1);
        m_appKey = L"Software\\Wine\\AppDefaults\\" + name;
        HKEY key = nullptr;
        if (::RegOpenKeyExW(HKEY_CURRENT_USER, m_appKey.c_str(), 0, KEY_READ, &key) == ERROR_SUCCESS) {
            ::RegCloseKey(key);  // someone else's settings: leave them be
            return;
        }
        if (::RegCreateKeyExW(HKEY_CURRENT_USER, (m_appKey + L"\\X11 Driver").c_str(), 0, nullptr, 0,
                              KEY_ALL_ACCESS, nullptr, &key, nullptr) != ERROR_SUCCESS)
            return;
        m_bCreated = true;
        const wchar_t no[] = L"N";
        ::RegSetValueExW(key, L"Managed", 0, REG_SZ, reinterpret_cast<const BYTE*>(no), sizeof(no));
        ::RegCloseKey(key);
    }
    ~WindowsWithoutManager()
    {
        if (!m_bCreated)
            return;
        ::RegDeleteKeyW(HKEY_CURRENT_USER, (m_appKey + L"\\X11 Driver").c_str());
        ::RegDeleteKeyW(HKEY_CURRENT_USER, m_appKey.c_str());
    }
    WindowsWithoutManager(const WindowsWithoutManager&) = delete;
    WindowsWithoutManager& operator=(const WindowsWithoutManager&) = delete;

private:
    std::wstring m_appKey;
    bool m_bCreated = false;
};

} // namespace

bool RunAgainWithQuickBoxes()
{
    if (::GetEnvironmentVariableW(kChildMark, nullptr, 0) > 0)
        return false;
    const ::testing::TestInfo* test = ::testing::UnitTest::GetInstance()->current_test_info();
    const std::string name = std::string(test->test_suite_name()) + "." + test->name();
    WindowsWithoutManager unmanaged;
    EXPECT_EQ(0, RunThisProgramAgain(L"--gtest_filter=" + std::wstring(name.begin(), name.end()),
                                     kChildMark, L"1", 1800000))
        << "the test failed in the second process (above)";
    return true;
}

namespace {
struct WindowCount {
    const std::wstring* caption;
    const wchar_t* className;
    int count;
};

BOOL CALLBACK CountWindow(HWND hWnd, LPARAM param)
{
    auto* query = reinterpret_cast<WindowCount*>(param);
    DWORD process = 0;
    ::GetWindowThreadProcessId(hWnd, &process);
    if (process != ::GetCurrentProcessId())
        return TRUE;
    wchar_t className[64] = L"";
    ::GetClassNameW(hWnd, className, 64);
    // Read without a message: the window's thread may be busy waiting.
    wchar_t caption[256] = L"";
    ::InternalGetWindowText(hWnd, caption, 256);
    if (lstrcmpiW(className, query->className) == 0 && caption == *query->caption)
        ++query->count;
    return TRUE;
}
} // namespace

int CountOwnWindows(const std::wstring& caption, const wchar_t* className)
{
    WindowCount query = {&caption, className, 0};
    ::EnumWindows(CountWindow, reinterpret_cast<LPARAM>(&query));
    return query.count;
}
