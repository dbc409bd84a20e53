// The DLL search the program narrows as it starts. ctest runs each case in a
// process of its own, so the narrowed search stays in this one.
#include <windows.h>

#include <gtest/gtest.h>

#include "app/DllSearch.h"

// A DLL of a name no system has, planted beside the test program, loads by
// name until the search is narrowed. (Wine finds its own DLLs however narrow
// the search: that the system's still load can't be seen here.)
TEST(DllSearch, APlantedDllIsFoundBeforeTheNarrowingAndNotAfter)
{
    HMODULE planted = ::LoadLibraryW(L"kestrane_probe_dll.dll");
    ASSERT_NE(nullptr, planted) << "not loaded before the narrowing: error " << ::GetLastError();
    ASSERT_TRUE(::FreeLibrary(planted));

    NarrowDllSearch();
    planted = ::LoadLibraryW(L"kestrane_probe_dll.dll");
    const DWORD error = ::GetLastError();
    EXPECT_EQ(nullptr, planted) << "still loaded from beside the test program";
    EXPECT_EQ(static_cast<DWORD>(ERROR_MOD_NOT_FOUND), error);
    if (planted != nullptr)
        ::FreeLibrary(planted);
}
