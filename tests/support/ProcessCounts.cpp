#include "support/ProcessCounts.h"

#include <windows.h>

#include <tlhelp32.h>
#include <winternl.h>

#include <algorithm>
#include <functional>
#include <vector>

#include "app/Handles.h"
#include "jobs/JobControl.h"

// The threads of this process that counts(id) counts; -1 if they can't be listed.
static int CountOwnThreadsWhere(const std::function<bool(DWORD)>& counts)
{
    CHandle snapshot(::CreateToolhelp32Snapshot(TH32CS_SNAPTHREAD, 0));
    if (!snapshot.IsValid())
        return -1;
    THREADENTRY32 entry = {};
    entry.dwSize = sizeof(entry);
    int count = 0;
    for (BOOL more = ::Thread32First(snapshot, &entry); more;
         more = ::Thread32Next(snapshot, &entry))
        if (entry.th32OwnerProcessID == ::GetCurrentProcessId() && counts(entry.th32ThreadID))
            ++count;
    return count;
}

int CountOwnThreads()
{
    return CountOwnThreadsWhere([](DWORD) { return true; });
}

int CountJobWorkers()
{
    using QueryThread = NTSTATUS(NTAPI*)(HANDLE, ULONG, PVOID, ULONG, PULONG);
    static const auto query = reinterpret_cast<QueryThread>(reinterpret_cast<void*>(
        ::GetProcAddress(::GetModuleHandleW(L"ntdll.dll"), "NtQueryInformationThread")));
    constexpr ULONG kStartAddress = 9;  // ThreadQuerySetWin32StartAddress
    const void* worker = reinterpret_cast<const void*>(&CJobControl::JobThreadProc);
    if (query == nullptr)
        return -1;
    return CountOwnThreadsWhere([&](DWORD id) {
        CHandle thread(::OpenThread(THREAD_QUERY_INFORMATION | SYNCHRONIZE, FALSE, id));
        void* start = nullptr;
        return thread.IsValid() &&
               query(thread, kStartAddress, &start, sizeof(start), nullptr) == 0 &&
               start == worker && ::WaitForSingleObject(thread, 0) == WAIT_TIMEOUT;
    });
}

namespace {
// SystemExtendedHandleInformation: every handle and the process holding it.
constexpr ULONG kExtendedHandleInformation = 64;
struct HandleEntry {
    PVOID object;
    ULONG_PTR processId;
    ULONG_PTR handle;
    ULONG access;
    ULONG rest[3];  // two indexes of 16 bits, the attributes, a reserved field
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
