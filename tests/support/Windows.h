// Finding, reading and dismissing the windows the program shows.
#pragma once

#include <windows.h>

#include <functional>
#include <initializer_list>
#include <string>
#include <vector>

// How long a test waits for something that should happen at once.
constexpr DWORD kDeadlineMs = 20000;
// How long it waits for a job over a file of a few hundred megabytes.
constexpr DWORD kLongJobMs = 180000;
// How long the program may take to show its window (a new Wine prefix is slow).
constexpr DWORD kStartMs = 120000;

// Waits until condition holds, pumping this thread's messages; false past the deadline.
bool WaitFor(const std::function<bool()>& condition, DWORD timeoutMs = kDeadlineMs);
// Processes every message already queued for the calling thread.
void PumpMessages();

// The top-level windows for which match holds, in Z order.
std::vector<HWND> TopWindows(const std::function<bool(HWND)>& match);
// A visible top-level window of this process, or of process processId (0:
// this one), with that caption and class.
HWND FindOwnWindow(const std::wstring& caption, const wchar_t* className = L"#32770");
HWND FindProcessWindow(DWORD processId, const std::wstring& caption,
                       const wchar_t* className = L"#32770");
// Whether this process has such a window, and how many, shown or not yet. Asks
// none of them anything, so it works while the main window's thread waits for a job.
int CountOwnWindows(const std::wstring& caption, const wchar_t* className = L"#32770");
inline bool OwnWindowExists(const std::wstring& caption, const wchar_t* className = L"#32770")
{
    return CountOwnWindows(caption, className) > 0;
}
// Waits for FindOwnWindow; null when the deadline passed.
HWND WaitForOwnWindow(const std::wstring& caption, const wchar_t* className = L"#32770",
                      DWORD timeoutMs = kDeadlineMs);

std::wstring WindowText(HWND hWnd);
// The message of a message box.
std::wstring BoxText(HWND box);
// Posts a click of button id to dialog, as the button does, and waits until it has gone.
bool PressButton(HWND dialog, int id);
// Presses the OK button of a message box and waits until it has gone.
inline bool DismissBox(HWND box) { return PressButton(box, IDOK); }

// Ends the test program at once, a failure saying why (else a teardown would wait for ever).
[[noreturn]] void EndTestProgram(const std::string& why);

// Moves the pointer to pt (screen) and waits until the system reports it there.
bool MovePointer(POINT pt);
// Presses or releases a mouse button as the user's hand does (MOUSEEVENTF_*).
void MouseButton(DWORD flags);
// A real left click at pt (screen).
bool ClickAt(POINT pt);
// Presses keys (virtual-key codes) in order and releases them in reverse.
void PressKeys(std::initializer_list<WORD> keys);

// Whether window a lies above window b (both top-level) in the Z order.
bool IsAbove(HWND a, HWND b);

// Expects every text of dialog's statics and buttons to fit its control in its
// font, none cut off (a radio button's text shares the width with its circle).
void ExpectTextsFit(HWND dialog);

std::wstring ThisProgramPath();

// Runs this test program again, only the test named filter (even disabled), at
// dpi dots per inch (the prefix's LogPixels, put back after), KESTRANE_TEST_DPI
// telling it the DPI; its exit code, or -1 when it did not start or end in time.
int RunThisProgramAtDpi(int dpi, const std::wstring& filter, DWORD timeoutMs = kLongJobMs);

// Wine with no window manager (as on the test run's display) waits two seconds for
// one as each message box goes; a test showing hundreds calls this first. The first
// process runs the test again in a second, whose windows Wine keeps to itself, and
// returns true at its end (its failure is this one's); the second returns false.
bool RunAgainWithQuickBoxes();
