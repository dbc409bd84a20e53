#include "faults/FaultSupport.h"

#include <algorithm>

#include <tlhelp32.h>
#include <winternl.h>

#include "app/Handles.h"
#include "jobs/JobControl.h"
#include "support/TestFiles.h"
#include "support/Windows.h"

namespace {

void SnapshotInto(const std::wstring& root, const std::wstring& relative, Snapshot& snapshot)
{
    WIN32_FIND_DATAW data;
    HANDLE find = ::FindFirstFileW((root + relative + L"*").c_str(), &data);
    if (find == INVALID_HANDLE_VALUE)
        return;
    std::vector<std::wstring> directories;
    do {
        const std::wstring name = data.cFileName;
        if (name == L"." || name == L"..")
            continue;
        EntryState state;
        state.directory = (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
        state.written = data.ftLastWriteTime;
        if (!state.directory) {
            state.size = (static_cast<uint64_t>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
            state.hash = HashFile(root + relative + name);
        } else {
            // A folder's time changes with what is added to it; its
            // entries tell the rest.
            state.written = {};
            directories.push_back(relative + name + L"\\");
        }
        snapshot[relative + name] = state;
    } while (::FindNextFileW(find, &data));
    ::FindClose(find);
    for (const std::wstring& sub : directories)
        SnapshotInto(root, sub, snapshot);
}

} // namespace

Snapshot TakeSnapshot(const std::wstring& dir)
{
    Snapshot snapshot;
    SnapshotInto(dir, L"", snapshot);
    return snapshot;
}

uint64_t HashFile(const std::wstring& path)
{
    CHandle file(::CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE,
                               nullptr, OPEN_EXISTING, FILE_FLAG_SEQUENTIAL_SCAN, nullptr));
    if (!file.IsValid())
        return 0;
    uint64_t hash = 14695981039346656037ull;
    std::vector<unsigned char> buffer(1 << 20);
    for (;;) {
        DWORD read = 0;
        if (!::ReadFile(file, buffer.data(), static_cast<DWORD>(buffer.size()), &read, nullptr) ||
            read == 0)
            break;
        for (DWORD i = 0; i < read; ++i) {
            hash ^= buffer[i];
            hash *= 1099511628211ull;
        }
    }
    return hash;
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

namespace {

// Wine, told to keep the windows of a program to itself, waits for no
// window manager; it reads that when the program starts. So the setting is
// made for this program, the test runs again in a second process, and the
// setting goes. (Nothing on Windows reads the key; there the second process
// is just a second process.)
const wchar_t kChildMark[] = L"KESTRANE_FAULT_SUITE_CHILD";

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

// Runs the current test again in a second process of this program, its
// output going where this one's goes; returns its exit code.
DWORD RunCurrentTestInChild()
{
    const ::testing::TestInfo* test = ::testing::UnitTest::GetInstance()->current_test_info();
    wchar_t self[MAX_PATH] = L"";
    ::GetModuleFileNameW(nullptr, self, MAX_PATH);
    const std::string filter = std::string(test->test_suite_name()) + "." + test->name();
    std::wstring commandLine = L"\"" + std::wstring(self) + L"\" --gtest_filter=" +
                               std::wstring(filter.begin(), filter.end());
    WindowsWithoutManager unmanaged;
    ::SetEnvironmentVariableW(kChildMark, L"1");
    STARTUPINFOW startup = {};
    startup.cb = sizeof(startup);
    PROCESS_INFORMATION process = {};
    const BOOL started = ::CreateProcessW(self, &commandLine[0], nullptr, nullptr, TRUE, 0, nullptr,
                                          nullptr, &startup, &process);
    ::SetEnvironmentVariableW(kChildMark, nullptr);
    if (!started)
        return 0xFFFFFFFF;
    DWORD code = 0xFFFFFFFF;
    if (::WaitForSingleObject(process.hProcess, 1800000) == WAIT_OBJECT_0)
        ::GetExitCodeProcess(process.hProcess, &code);
    else
        ::TerminateProcess(process.hProcess, code);
    ::CloseHandle(process.hThread);
    ::CloseHandle(process.hProcess);
    return code;
}

} // namespace

bool RunAgainWithQuickBoxes()
{
    if (::GetEnvironmentVariableW(kChildMark, nullptr, 0) > 0)
        return false;
    EXPECT_EQ(0u, RunCurrentTestInChild()) << "the test failed in the second process (above)";
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

int CountOwnThreads()
{
    CHandle snapshot(::CreateToolhelp32Snapshot(TH32CS_SNAPTHREAD, 0));
    if (!snapshot.IsValid())
        return -1;
    THREADENTRY32 entry = {};
    entry.dwSize = sizeof(entry);
    int count = 0;
    for (BOOL more = ::Thread32First(snapshot, &entry); more; more = ::Thread32Next(snapshot, &entry))
        if (entry.th32OwnerProcessID == ::GetCurrentProcessId())
            ++count;
    return count;
}

int CountJobWorkers()
{
    using QueryThread = NTSTATUS(NTAPI*)(HANDLE, ULONG, PVOID, ULONG, PULONG);
    static const auto query = reinterpret_cast<QueryThread>(reinterpret_cast<void*>(
        ::GetProcAddress(::GetModuleHandleW(L"ntdll.dll"), "NtQueryInformationThread")));
    constexpr ULONG kStartAddress = 9;  // ThreadQuerySetWin32StartAddress
    const void* worker = reinterpret_cast<const void*>(&CJobControl::JobThreadProc);
    CHandle snapshot(::CreateToolhelp32Snapshot(TH32CS_SNAPTHREAD, 0));
    if (query == nullptr || !snapshot.IsValid())
        return -1;
    THREADENTRY32 entry = {};
    entry.dwSize = sizeof(entry);
    int count = 0;
    for (BOOL more = ::Thread32First(snapshot, &entry); more; more = ::Thread32Next(snapshot, &entry)) {
        if (entry.th32OwnerProcessID != ::GetCurrentProcessId())
            continue;
        CHandle thread(::OpenThread(THREAD_QUERY_INFORMATION | SYNCHRONIZE, FALSE, entry.th32ThreadID));
        void* start = nullptr;
        if (thread.IsValid() && query(thread, kStartAddress, &start, sizeof(start), nullptr) == 0 &&
            start == worker && ::WaitForSingleObject(thread, 0) == WAIT_TIMEOUT)
            ++count;
    }
    return count;
}

namespace {
// SystemExtendedHandleInformation: every handle of the system with the id
// of the process that holds it.
constexpr ULONG kExtendedHandleInformation = 64;
struct HandleEntry {
    PVOID object;
    ULONG_PTR processId;
    ULONG_PTR handle;
    ULONG access;
    USHORT creatorBackTraceIndex;
    USHORT objectTypeIndex;
    ULONG attributes;
    ULONG reserved;
};
struct HandleTable {
    ULONG_PTR count;
    ULONG_PTR reserved;
    HandleEntry entries[1];
};
using QuerySystemInformation = NTSTATUS(NTAPI*)(ULONG, PVOID, ULONG, PULONG);
} // namespace

int CountOwnHandles()
{
    auto query = reinterpret_cast<QuerySystemInformation>(reinterpret_cast<void*>(
        ::GetProcAddress(::GetModuleHandleW(L"ntdll.dll"), "NtQuerySystemInformation")));
    if (query == nullptr)
        return -1;
    std::vector<unsigned char> buffer(1 << 20);
    for (int attempt = 0; attempt < 8; ++attempt) {
        ULONG needed = 0;
        const NTSTATUS status = query(kExtendedHandleInformation, buffer.data(),
                                      static_cast<ULONG>(buffer.size()), &needed);
        if (status == 0) {
            const auto* table = reinterpret_cast<const HandleTable*>(buffer.data());
            int count = 0;
            for (ULONG_PTR i = 0; i < table->count; ++i)
                if (table->entries[i].processId == ::GetCurrentProcessId())
                    ++count;
            return count;
        }
        // Too small (the table grows while it is read): try a bigger one.
        buffer.resize(std::max<size_t>(buffer.size() * 2, needed + 65536));
    }
    return -1;
}
