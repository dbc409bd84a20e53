// The DLL search the program narrows as it starts: a DLL planted beside it is
// no longer loaded by name. ctest runs each case in a process of its own, so
// the narrowed search stays in this one.
#include <windows.h>

#include <gtest/gtest.h>

#include "app/DllSearch.h"

TEST(DllSearch, APlantedDllIsFoundBeforeTheNarrowingAndNotAfter)
{
    const wchar_t kPlanted[] = L"kestrane_probe_dll.dll";
    HMODULE planted = ::LoadLibraryW(kPlanted);
    ASSERT_NE(nullptr, planted) << "the DLL beside the test program did not load by name: error "
                                << ::GetLastError();
    ASSERT_TRUE(::FreeLibrary(planted));

    NarrowDllSearch();
    planted = ::LoadLibraryW(kPlanted);
    const DWORD error = ::GetLastError();
    EXPECT_EQ(nullptr, planted) << "the DLL beside the test program still loads by name";
    EXPECT_EQ(static_cast<DWORD>(ERROR_MOD_NOT_FOUND), error);
    if (planted != nullptr)
        ::FreeLibrary(planted);
    // The system's own DLLs still load by name.
    HMODULE system = ::LoadLibraryW(L"version.dll");
    EXPECT_NE(nullptr, system);
    if (system != nullptr)
        ::FreeLibrary(system);
}
