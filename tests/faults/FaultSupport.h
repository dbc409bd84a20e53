// What the fault tests check after everything that can go wrong: that no
// byte was lost or changed but in the files the job was meant to write.
#pragma once

#include <windows.h>

#include <gtest/gtest.h>

#include <cstdint>
#include <map>
#include <set>
#include <string>
#include <vector>

// One directory entry as a snapshot sees it.
struct EntryState {
    bool directory = false;
    uint64_t size = 0;
    uint64_t hash = 0;  // of the bytes, files only
    FILETIME written = {};
    bool operator==(const EntryState& other) const
    {
        return directory == other.directory && size == other.size && hash == other.hash &&
               written.dwLowDateTime == other.written.dwLowDateTime &&
               written.dwHighDateTime == other.written.dwHighDateTime;
    }
};

// Every file and directory below a directory, by path relative to it.
using Snapshot = std::map<std::wstring, EntryState>;

Snapshot TakeSnapshot(const std::wstring& dir);

// A 64-bit FNV-1a hash of the file's bytes (0 when it can't be read).
uint64_t HashFile(const std::wstring& path);

// Passes when every entry that appeared, went or changed between before
// and after is one of allowed (relative paths); names the others.
::testing::AssertionResult OnlyChanged(const Snapshot& before, const Snapshot& after,
                                       const std::set<std::wstring>& allowed);

// Files in dir (ending in a backslash) that a careless job could hit
// beside a source stem + extension: neighbouring names, other extensions,
// the same names one folder down.
void AddBystanders(const std::wstring& dir, const std::wstring& stem, const std::wstring& extension);

// The number of top-level windows of this process with that caption and
// class, shown or not. Asks none of them anything, so it works while the
// main window's thread waits for a job.
int CountOwnWindows(const std::wstring& caption, const wchar_t* className = L"#32770");

// Wine on a display without a window manager (the virtual one of the test
// run) waits two seconds for the manager each time a message box goes; a
// test showing hundreds calls this first. In the first process it runs the
// test again in a second process for which Wine keeps windows to itself,
// and returns true once that has ended (its failure is this test's); in the
// second process it returns false, and the test goes on there.
bool RunAgainWithQuickBoxes();

// The number of threads this process has now.
int CountOwnThreads();

// The number of job workers alive in this process now: threads started at
// the worker's procedure that have not ended (threads the system or the
// test harness starts meanwhile don't count).
int CountJobWorkers();

// The number of handles this process holds now, read from the system's
// handle table (Wine answers GetProcessHandleCount with 0); -1 when it
// can't be read.
int CountOwnHandles();
