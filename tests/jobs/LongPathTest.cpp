// Paths of MAX_PATH characters and more: the form the jobs hand them to the
// system in, and a separation and merge whose files lie that deep.
#include <gtest/gtest.h>

#include <cstring>

#include "jobs/SystemPath.h"
#include "support/Blocks.h"
#include "support/JobRunner.h"
#include "support/TestFiles.h"

namespace {

TEST(SystemPath, FullPathsOfMaxPathAndMoreTakeThePrefixShorterOnesPassAsTheyAre)
{
    wchar_t here[MAX_PATH * 2] = L"";
    ::GetCurrentDirectoryW(MAX_PATH * 2, here);
    const std::wstring at259 = L"C:\\d\\" + std::wstring(254, L'a');
    const std::wstring tail = std::wstring(300, L'x');
    const struct {
        const char* what;
        std::wstring path;
        std::wstring expected;
    } cases[] = {
        {"short, with relative parts", L"C:\\d\\..\\f.bin", L"C:\\d\\..\\f.bin"},
        {"a drive root", L"C:\\", L"C:\\"},
        {"259 characters", at259, at259},
        {"260 characters", at259 + L"a", L"\\\\?\\" + at259 + L"a"},
        {"long, with relative parts and slashes", L"C:\\d\\.\\e\\..\\f/" + tail,
         L"\\\\?\\C:\\d\\f\\" + tail},
        {"long, on a share", L"\\\\server\\share\\" + tail, L"\\\\?\\UNC\\server\\share\\" + tail},
        {"long, prefixed already", L"\\\\?\\C:\\d\\..\\" + tail, L"\\\\?\\C:\\d\\..\\" + tail},
        {"relative, long", tail, L"\\\\?\\" + std::wstring(here) + L"\\" + tail},
    };
    for (const auto& c : cases)
        EXPECT_EQ(c.expected, ToSystemPath(c.path)) << c.what;
}

// Windows' own limit, which Wine lacks: while it lives, this program's
// imports of CreateFileW and FindFirstFileW (the jobs' code is linked into
// it) refuse a path of MAX_PATH characters or more without the \\?\ prefix.
class WindowsPathLimit {
public:
    WindowsPathLimit()
    {
        // What the imports point at before any swap.
        s_createFile = &::CreateFileW;
        s_findFirstFile = &::FindFirstFileW;
        Patch(true);
    }
    ~WindowsPathLimit() { Patch(false); }

private:
    static bool Refused(const wchar_t* path)
    {
        const bool refused = ::lstrlenW(path) >= MAX_PATH && std::wcsncmp(path, L"\\\\?\\", 4) != 0;
        if (refused)
            ::SetLastError(ERROR_FILENAME_EXCED_RANGE);
        return refused;
    }
    static HANDLE WINAPI LimitedCreateFile(LPCWSTR path, DWORD access, DWORD share,
                                           LPSECURITY_ATTRIBUTES security, DWORD how, DWORD flags,
                                           HANDLE model)
    {
        return Refused(path) ? INVALID_HANDLE_VALUE
                             : s_createFile(path, access, share, security, how, flags, model);
    }
    static HANDLE WINAPI LimitedFindFirstFile(LPCWSTR path, LPWIN32_FIND_DATAW data)
    {
        return Refused(path) ? INVALID_HANDLE_VALUE : s_findFirstFile(path, data);
    }

    // Swaps the import slots between the system's functions and these.
    static void Patch(bool on)
    {
        BYTE* base = reinterpret_cast<BYTE*>(::GetModuleHandleW(nullptr));
        const auto* nt = reinterpret_cast<IMAGE_NT_HEADERS*>(
            base + reinterpret_cast<IMAGE_DOS_HEADER*>(base)->e_lfanew);
        const IMAGE_DATA_DIRECTORY& iat = nt->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_IAT];
        void** slots = reinterpret_cast<void**>(base + iat.VirtualAddress);
        const std::pair<void*, void*> swaps[] = {
            {reinterpret_cast<void*>(s_createFile), reinterpret_cast<void*>(&LimitedCreateFile)},
            {reinterpret_cast<void*>(s_findFirstFile), reinterpret_cast<void*>(&LimitedFindFirstFile)}};
        DWORD protection = 0;
        ASSERT_TRUE(::VirtualProtect(slots, iat.Size, PAGE_READWRITE, &protection));
        int swapped = 0;
        for (size_t i = 0; i < iat.Size / sizeof(void*); ++i)
            for (const auto& [system, limited] : swaps)
                if (slots[i] == (on ? system : limited)) {
                    slots[i] = on ? limited : system;
                    ++swapped;
                }
        ::VirtualProtect(slots, iat.Size, protection, &protection);
        EXPECT_EQ(2, swapped) << "imports of CreateFileW and FindFirstFileW swapped";
    }

    static inline decltype(&::CreateFileW) s_createFile = nullptr;
    static inline decltype(&::FindFirstFileW) s_findFirstFile = nullptr;
};

// A source whose name is 256 characters long, as deep as a file dialog
// hands one over: its blocks' names are 262. Cut and merged back to a result
// as long while Windows' limit stands in this program; a merge onto one of
// its blocks is still refused. (Under Wine this shows the program's side.)
TEST(LongPaths, ASourceWhoseBlocksPassMaxPathIsCutAndMergedBack)
{
    TempDir dir;
    const std::wstring folder = dir.Path() + std::wstring(250 - dir.Path().size(), L'd') + L"\\";
    ASSERT_TRUE(::CreateDirectoryW(folder.c_str(), nullptr));
    const std::wstring source = folder + L"f.bin";
    WriteBytes(source, MakeBytes(2500000, 9));
    const SourceBlocks blocks(folder, L"f", L".bin", kMiB);
    const std::wstring result = folder + L"f merged back from its blocks.bin";
    {
        const WindowsPathLimit limit;
        JobRunner runner;
        runner.SetSeparate(source, kMiB);
        EXPECT_EQ((Events{L"range 1 3", L"item f_00000.bin", L"item f_00001.bin",
                          L"item f_00002.bin", NoticeBox(kSeparated), L"end separate"}),
                  WithoutPositions(runner.Run(JOB_SEPARATE)));
        runner.SetMerge(folder, blocks.Names(3), result);
        EXPECT_EQ((Events{L"range 1 3", NoticeBox(kMerged), L"end merge"}),
                  WithoutPositions(runner.Run(JOB_MERGE)));
        runner.SetMerge(folder, blocks.Names(3), blocks.Path(1));
        EXPECT_EQ(Events{ErrorBox(kResultIsListed)}, runner.Run(JOB_MERGE));
    }
    EXPECT_TRUE(blocks.AreWhole(blocks.OnDisk()));
    EXPECT_TRUE(SameFiles(source, result));
}

}  // namespace
