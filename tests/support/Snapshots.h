// What a directory held, file by file: after anything that can go wrong, no
// byte may be lost or changed but in the files the job was meant to write.
#pragma once

#include <windows.h>

#include <gtest/gtest.h>

#include <cstdint>
#include <map>
#include <set>
#include <string>

// One directory entry as a snapshot sees it.
struct EntryState {
    bool directory = false;
    uint64_t size = 0;
    uint64_t hash = 0;  // of the bytes, files only
    FILETIME written = {};
    bool operator==(const EntryState& other) const
    {
        return directory == other.directory && size == other.size && hash == other.hash &&
               ::CompareFileTime(&written, &other.written) == 0;
    }
};

// Every file and directory below a directory, by path relative to it.
using Snapshot = std::map<std::wstring, EntryState>;

Snapshot TakeSnapshot(const std::wstring& dir);

// Passes when every entry that appeared, went or changed between before
// and after is one of allowed (relative paths); names the others.
::testing::AssertionResult OnlyChanged(const Snapshot& before, const Snapshot& after,
                                       const std::set<std::wstring>& allowed);

// Files a careless job could hit beside a source dir + stem + extension:
// neighbouring names, other extensions, the same names one folder down.
void AddBystanders(const std::wstring& dir, const std::wstring& stem,
                   const std::wstring& extension);
