// The real program, kestrane.exe of this build (or the exe KESTRANE_EXE
// names), started as a process of its own and driven from outside through its
// main window.
#pragma once

#include <windows.h>

#include <string>

#include "support/Boxes.h"
#include "support/MainWindow.h"

class ProgramRun : public MainWindowControls {
public:
    // Starts the program with that command line and waits until its main
    // window is shown (or the program has ended).
    explicit ProgramRun(const std::wstring& arguments = L"");
    // Closes a copy still running as a user would; a box left open is
    // dismissed, and a copy that does not end in time killed, as failures.
    ~ProgramRun();
    ProgramRun(const ProgramRun&) = delete;
    ProgramRun& operator=(const ProgramRun&) = delete;

    bool Started() const { return m_hDialog != nullptr; }
    bool Ended() const;
    // The exit code once the program has ended; STILL_ACTIVE if not in time.
    DWORD WaitExitCode(DWORD timeoutMs = kDeadlineMs) const;
    // Kills the process at once and waits until it has gone.
    void Kill();

    // This copy's boxes: as FindBox and TakeBox for its process; a wait also
    // ends when the program has.
    ShownBox FindBox() const { return ::FindBox(m_process.dwProcessId); }
    std::wstring TakeBox(const std::wstring& caption, DWORD timeoutMs = kLongJobMs) const
    {
        return ::TakeBox(caption, timeoutMs, [this] { return Ended(); }, m_process.dwProcessId);
    }

private:
    PROCESS_INFORMATION m_process = {};
};
