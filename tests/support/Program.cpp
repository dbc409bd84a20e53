#include "support/Program.h"

#include <gtest/gtest.h>

#include <cstdlib>

#include "support/TestFiles.h"

ProgramRun::ProgramRun(const std::wstring& arguments)
{
    // kestrane.exe of this build (the test program lies in build/tests, the
    // program in build), or the one KESTRANE_EXE names: a release's, taken
    // out of its zip.
    const wchar_t* released = ::_wgetenv(L"KESTRANE_EXE");
    std::wstring exe = released != nullptr ? released : ThisProgramPath();
    if (released == nullptr) {
        exe.resize(exe.find_last_of(L'\\'));
        exe.resize(exe.find_last_of(L'\\') + 1);
        exe += L"kestrane.exe";
    }
    std::wstring commandLine = L"\"" + exe + L"\" " + arguments;
    STARTUPINFOW startup = {};
    startup.cb = sizeof(startup);
    if (!::CreateProcessW(exe.c_str(), &commandLine[0], nullptr, nullptr, FALSE, 0, nullptr,
                          nullptr, &startup, &m_process)) {
        ADD_FAILURE() << "cannot start " << Narrow(exe) << ": error " << ::GetLastError();
        return;
    }
    WaitFor([this] {
        m_hDialog = FindProcessWindow(m_process.dwProcessId, L"Kestrane");
        return m_hDialog != nullptr || Ended();
    }, kStartMs);
}

ProgramRun::~ProgramRun()
{
    if (m_process.hProcess == nullptr)
        return;
    if (!Ended()) {
        if (::IsWindow(m_hDialog))
            Post(WM_CLOSE);
        if (!WaitFor([this] {
                DismissWhatWasLeftOpen(m_process.dwProcessId);
                return Ended();
            })) {
            ADD_FAILURE() << "the program did not end when closed; it was killed";
            ::TerminateProcess(m_process.hProcess, 99);
            ::WaitForSingleObject(m_process.hProcess, kDeadlineMs);
        }
    }
    ::CloseHandle(m_process.hThread);
    ::CloseHandle(m_process.hProcess);
}

bool ProgramRun::Ended() const
{
    return m_process.hProcess != nullptr &&
           ::WaitForSingleObject(m_process.hProcess, 0) == WAIT_OBJECT_0;
}

DWORD ProgramRun::WaitExitCode(DWORD timeoutMs) const
{
    DWORD code = STILL_ACTIVE;
    if (WaitFor([this] { return Ended(); }, timeoutMs))
        ::GetExitCodeProcess(m_process.hProcess, &code);
    return code;
}

void ProgramRun::Kill()
{
    ASSERT_TRUE(::TerminateProcess(m_process.hProcess, 1));
    ASSERT_EQ(WAIT_OBJECT_0, ::WaitForSingleObject(m_process.hProcess, kDeadlineMs));
}
