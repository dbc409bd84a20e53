// Paths of MAX_PATH characters and more: the form the jobs hand them to the
// system in, and a separation and merge whose files lie that deep.
#include <gtest/gtest.h>

#include <cstring>

#include "jobs/SystemPath.h"
#include "support/Blocks.h"
#include "support/JobRunner.h"
#include "support/TestFiles.h"

namespace {

// A path of exactly length characters: prefix, then as many a's as it takes.
std::wstring PathOf(size_t length, const std::wstring& prefix)
{
    return prefix + std::wstring(length - prefix.size(), L'a');
}

std::wstring CurrentDirectory()
{
    wchar_t dir[MAX_PATH * 4] = L"";
    ::GetCurrentDirectoryW(MAX_PATH * 4, dir);
    return dir;
}

TEST(SystemPath, FullPathsOfMaxPathAndMoreTakeThePrefixShorterOnesPassAsTheyAre)
{
    const std::wstring here = CurrentDirectory() + L"\\";
    const std::wstring at259 = PathOf(259, L"C:\\d\\");
    const std::wstring at260 = PathOf(260, L"C:\\d\\");
    const std::wstring tail = std::wstring(300, L'x');
    const struct {
        const char* what;
        std::wstring path;
        std::wstring expected;
    } cases[] = {
        {"short", L"C:\\d\\f.bin", L"C:\\d\\f.bin"},
        {"short, with relative parts", L"C:\\d\\..\\e\\f.bin", L"C:\\d\\..\\e\\f.bin"},
        {"a drive root", L"C:\\", L"C:\\"},
        {"259 characters", at259, at259},
        {"260 characters", at260, L"\\\\?\\" + at260},
        {"long, with relative parts and slashes", L"C:\\d\\.\\e\\..\\f/" + tail,
         L"\\\\?\\C:\\d\\f\\" + tail},
        {"long, on a share", L"\\\\server\\share\\d\\" + tail,
         L"\\\\?\\UNC\\server\\share\\d\\" + tail},
        {"long, prefixed already", L"\\\\?\\C:\\d\\..\\" + tail, L"\\\\?\\C:\\d\\..\\" + tail},
        {"relative, short", L"d\\..\\f.bin", here + L"f.bin"},
        {"relative, long", L"d\\" + tail, L"\\\\?\\" + here + L"d\\" + tail},
    };
    for (const auto& c : cases)
        EXPECT_EQ(c.expected, ToSystemPath(c.path)) << c.what;
}

// Windows' own limit, which Wine does not have: a path of MAX_PATH
// characters or more without the \\?\ prefix is refused.
bool Refused(const wchar_t* path)
{
    if (::lstrlenW(path) < MAX_PATH || std::wcsncmp(path, L"\\\\?\\", 4) == 0)
        return false;
    ::SetLastError(ERROR_FILENAME_EXCED_RANGE);
    return true;
}

template <typename Function>
Function Kernel32(const char* name)
{
    return reinterpret_cast<Function>(
        reinterpret_cast<void*>(::GetProcAddress(::GetModuleHandleW(L"kernel32.dll"), name)));
}

HANDLE WINAPI LimitedCreateFile(LPCWSTR path, DWORD access, DWORD share,
                                LPSECURITY_ATTRIBUTES security, DWORD disposition, DWORD flags,
                                HANDLE model)
{
    static const auto real = Kernel32<decltype(&::CreateFileW)>("CreateFileW");
    return Refused(path) ? INVALID_HANDLE_VALUE
                         : real(path, access, share, security, disposition, flags, model);
}

HANDLE WINAPI LimitedFindFirstFile(LPCWSTR path, LPWIN32_FIND_DATAW data)
{
    static const auto real = Kernel32<decltype(&::FindFirstFileW)>("FindFirstFileW");
    return Refused(path) ? INVALID_HANDLE_VALUE : real(path, data);
}

// While it lives, this program's import of a kernel32 function (the
// program's code is linked into it) calls replacement instead.
class ImportPatch {
public:
    ImportPatch(const char* name, void* replacement)
        : m_function(Kernel32<void*>(name)), m_slot(FindSlot(m_function))
    {
        Write(replacement);
    }
    ~ImportPatch() { Write(m_function); }
    ImportPatch(const ImportPatch&) = delete;
    ImportPatch& operator=(const ImportPatch&) = delete;

private:
    static void** FindSlot(void* function)
    {
        BYTE* base = reinterpret_cast<BYTE*>(::GetModuleHandleW(nullptr));
        const auto* nt = reinterpret_cast<IMAGE_NT_HEADERS*>(
            base + reinterpret_cast<IMAGE_DOS_HEADER*>(base)->e_lfanew);
        const IMAGE_DATA_DIRECTORY& iat = nt->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_IAT];
        void** slots = reinterpret_cast<void**>(base + iat.VirtualAddress);
        for (size_t i = 0; i < iat.Size / sizeof(void*); ++i)
            if (slots[i] == function)
                return &slots[i];
        ADD_FAILURE() << "this program does not import the function at " << function;
        return nullptr;
    }
    void Write(void* target)
    {
        DWORD protection = 0;
        if (m_slot != nullptr && ::VirtualProtect(m_slot, sizeof(*m_slot), PAGE_READWRITE, &protection)) {
            *m_slot = target;
            ::VirtualProtect(m_slot, sizeof(*m_slot), protection, &protection);
        }
    }

    void* m_function;
    void** m_slot;
};

// A source whose name is 256 characters long, as deep as a file dialog
// hands one over: its blocks' names are 262. Cut and merged back to a result
// as long while Windows' limit stands in this program; a merge onto one of its blocks is
// still refused. (Under Wine, which has no limit of its own, this shows the
// program's side.)
TEST(LongPaths, ASourceWhoseBlocksPassMaxPathIsCutAndMergedBack)
{
    TempDir dir;
    const std::wstring folder = PathOf(256 - std::wcslen(L"\\f.bin"), dir.Path()) + L"\\";
    ASSERT_TRUE(::CreateDirectoryW(folder.c_str(), nullptr));
    const std::wstring source = folder + L"f.bin";
    ASSERT_EQ(256u, source.size());
    WriteBytes(source, MakeBytes(2500000, 9));
    const SourceBlocks blocks(folder, L"f", L".bin", kMiB);
    const std::wstring result = folder + L"f merged back from its blocks.bin";

    {
        const ImportPatch createFile("CreateFileW", reinterpret_cast<void*>(&LimitedCreateFile));
        const ImportPatch findFirstFile("FindFirstFileW", reinterpret_cast<void*>(&LimitedFindFirstFile));
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
