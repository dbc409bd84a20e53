#include "app/DllSearch.h"

#include <windows.h>

#ifndef LOAD_LIBRARY_SEARCH_SYSTEM32
#define LOAD_LIBRARY_SEARCH_SYSTEM32 0x00000800
#endif

// A program run from a Downloads folder finds there whatever lies beside it.
// The loader resolves the exe's own imports before any of its code runs, so
// this call does not cover them: they are safe because every one is a
// KnownDLL, which Windows takes from the system directory only, or comctl32,
// bound through the manifest's side-by-side assembly (the shipped check,
// tests/shipped/ShippedResources.py, allows no other import). What the call
// covers is the DLLs loaded by name afterwards: the file dialogs and the
// shell load several, and one of those names lying beside the exe would be
// taken before the system's. The program needs no DLL of its own, so the
// system directory is the only place searched. SetDefaultDllDirectories came
// with Windows 8 and KB2533623 for Windows 7; where it is missing,
// SetDllDirectoryW(L"") at least takes the current directory out of the
// search.
void NarrowDllSearch()
{
    using SetDefaultDllDirectoriesFn = BOOL(WINAPI*)(DWORD);
    const auto setDefaultDllDirectories = reinterpret_cast<SetDefaultDllDirectoriesFn>(
        reinterpret_cast<void*>(::GetProcAddress(::GetModuleHandleW(L"kernel32.dll"),
                                                 "SetDefaultDllDirectories")));
    if (setDefaultDllDirectories != nullptr &&
        setDefaultDllDirectories(LOAD_LIBRARY_SEARCH_SYSTEM32))
        return;
    ::SetDllDirectoryW(L"");
}
