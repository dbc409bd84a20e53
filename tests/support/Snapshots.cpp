#include "support/Snapshots.h"

#include "support/TestFiles.h"

static void SnapshotInto(const std::wstring& root, const std::wstring& relative,
                         Snapshot& snapshot)
{
    for (const std::wstring& name : ListNames(root + relative)) {
        WIN32_FILE_ATTRIBUTE_DATA data = {};
        ::GetFileAttributesExW((root + relative + name).c_str(), GetFileExInfoStandard, &data);
        EntryState& state = snapshot[relative + name];
        state.directory = (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
        if (state.directory) {
            // A folder's time changes with what is added to it; its entries
            // tell the rest.
            SnapshotInto(root, relative + name + L"\\", snapshot);
        } else {
            state.size = (static_cast<uint64_t>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
            state.hash = HashFile(root + relative + name);
            state.written = data.ftLastWriteTime;
        }
    }
}

Snapshot TakeSnapshot(const std::wstring& dir)
{
    Snapshot snapshot;
    SnapshotInto(dir, L"", snapshot);
    return snapshot;
}

::testing::AssertionResult OnlyChanged(const Snapshot& before, const Snapshot& after,
                                       const std::set<std::wstring>& allowed)
{
    std::string wrong;
    auto note = [&](const std::wstring& name, const char* what) {
        if (allowed.count(name) == 0)
            wrong += "\n  " + Narrow(name) + " " + what;
    };
    for (const auto& [name, state] : before) {
        auto found = after.find(name);
        if (found == after.end())
            note(name, "is gone");
        else if (!(found->second == state))
            note(name, "changed");
    }
    for (const auto& [name, state] : after)
        if (before.count(name) == 0)
            note(name, "appeared");
    if (wrong.empty())
        return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure() << "files that were not the job's to write:" << wrong;
}

void AddBystanders(const std::wstring& dir, const std::wstring& stem, const std::wstring& extension)
{
    const std::wstring names[] = {
        stem + L"_0000" + extension,       // four digits
        stem + L"_00000" + extension + L".bak",
        stem + L"_00000.other",
        stem + L"_00000",
        stem + extension + L".part",
        L"x" + stem + L"_00000" + extension,
    };
    uint32_t seed = 900;
    for (const std::wstring& name : names) {
        WriteBytes(dir + name, MakeBytes(300 + seed, seed));
        ++seed;
    }
    const std::wstring sub = dir + L"nested\\";
    ::CreateDirectoryW(sub.c_str(), nullptr);
    WriteBytes(sub + stem + L"_00000" + extension, MakeBytes(77, seed++));
    WriteBytes(sub + stem + extension, MakeBytes(78, seed++));
}
