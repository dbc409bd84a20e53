#include "jobs/SystemPath.h"

#include <windows.h>

namespace {

bool IsSeparator(wchar_t c) { return c == L'\\' || c == L'/'; }

bool StartsWith(const CString& path, const wchar_t* prefix)
{
    return path.compare(0, ::lstrlenW(prefix), prefix) == 0;
}

// C:\... or \\server\...: a path that names the same file from any current
// directory or drive.
bool IsFullyQualified(const CString& path)
{
    if (path.size() >= 2 && IsSeparator(path[0]) && IsSeparator(path[1]))
        return true;
    return path.size() >= 3 && path[1] == L':' && IsSeparator(path[2]);
}

} // namespace

CString ToSystemPath(const CString& path)
{
    if ((path.size() < MAX_PATH && IsFullyQualified(path)) || StartsWith(path, L"\\\\?\\"))
        return path;
    const CString full = GetFullPath(path);
    // A device (\\.\) is not a file the prefix could reach.
    if (full.size() < MAX_PATH || StartsWith(full, L"\\\\?\\") || StartsWith(full, L"\\\\.\\"))
        return full;
    if (StartsWith(full, L"\\\\"))
        return L"\\\\?\\UNC\\" + full.substr(2);
    return L"\\\\?\\" + full;
}

CString GetFullPath(const CString& path)
{
    CString full(path.size() + MAX_PATH, L'\0');
    for (;;) {
        const DWORD length = ::GetFullPathNameW(path.c_str(), static_cast<DWORD>(full.size()),
                                                &full[0], nullptr);
        if (length == 0)
            return path;
        if (length < full.size())
            return full.substr(0, length);
        full.assign(length, L'\0');
    }
}
