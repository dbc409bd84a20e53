// The program killed hard (TerminateProcess: a crash, a power-off of the
// process, the task manager) in the middle of a job: the source is intact,
// every block the window listed is complete, a block cut off holds the start
// of its bytes, a partial result the start of the whole, and nothing else
// was touched.
#include <gtest/gtest.h>
#include <windows.h>
#include <commctrl.h>

#include <set>

#include "faults/FaultSupport.h"
#include "res/resource.h"
#include "support/TestFiles.h"
#include "support/Windows.h"

namespace {

constexpr uint64_t kMiB = 1048576;
constexpr DWORD kLongMs = 600000;

// kestrane.exe of this build: the test program lies in its tests folder.
std::wstring ProgramPath()
{
    wchar_t self[MAX_PATH] = L"";
    ::GetModuleFileNameW(nullptr, self, MAX_PATH);
    std::wstring path = self;
    path.resize(path.find_last_of(L'\\'));
    path.resize(path.find_last_of(L'\\') + 1);
    return path + L"kestrane.exe";
}

// kestrane.exe started as its own process and driven through its window.
class Program {
public:
    Program()
    {
        const std::wstring exe = ProgramPath();
        std::wstring commandLine = L"\"" + exe + L"\"";
        STARTUPINFOW startup = {};
        startup.cb = sizeof(startup);
        if (!::CreateProcessW(exe.c_str(), &commandLine[0], nullptr, nullptr, FALSE, 0, nullptr,
                              nullptr, &startup, &m_process)) {
            ADD_FAILURE() << "cannot start " << Narrow(exe);
            return;
        }
        EXPECT_TRUE(WaitFor([this] {
            m_hWnd = FindProcessWindow(m_process.dwProcessId, L"Kestrane");
            return m_hWnd != nullptr;
        }, 120000)) << "the program's window did not come up";
    }

    ~Program()
    {
        if (m_process.hProcess == nullptr)
            return;
        if (::WaitForSingleObject(m_process.hProcess, 0) == WAIT_TIMEOUT) {
            ::TerminateProcess(m_process.hProcess, 99);
            ::WaitForSingleObject(m_process.hProcess, kDeadlineMs);
        }
        ::CloseHandle(m_process.hThread);
        ::CloseHandle(m_process.hProcess);
    }

    Program(const Program&) = delete;
    Program& operator=(const Program&) = delete;

    bool Started() const { return m_hWnd != nullptr; }

    LRESULT Send(int id, UINT msg, WPARAM wParam = 0, LPARAM lParam = 0) const
    {
        DWORD_PTR answer = 0;
        if (!::SendMessageTimeoutW(::GetDlgItem(m_hWnd, id), msg, wParam, lParam, SMTO_NORMAL,
                                   kDeadlineMs, &answer))
            ADD_FAILURE() << "control " << id << " did not answer message " << msg;
        return static_cast<LRESULT>(answer);
    }

    void SetText(int id, const std::wstring& text) const
    {
        Send(id, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text.c_str()));
    }

    void Click(int id) const
    {
        ::PostMessageW(m_hWnd, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED),
                       reinterpret_cast<LPARAM>(::GetDlgItem(m_hWnd, id)));
    }

    int ListCount() const { return static_cast<int>(Send(IDC_MERGE_LIST, LB_GETCOUNT)); }

    // The first count names of the merge list.
    std::vector<std::wstring> ListItems(int count) const
    {
        std::vector<std::wstring> items;
        for (int i = 0; i < count; ++i) {
            wchar_t text[MAX_PATH] = L"";
            Send(IDC_MERGE_LIST, LB_GETTEXT, i, reinterpret_cast<LPARAM>(text));
            items.push_back(text);
        }
        return items;
    }

    int ProgressPos() const { return static_cast<int>(Send(IDC_PROGRESS, PBM_GETPOS)); }

    HWND Box(const std::wstring& caption) const
    {
        return FindProcessWindow(m_process.dwProcessId, caption);
    }

    // Kills the process at once, as the system would, and waits until it
    // has gone.
    void Kill()
    {
        ASSERT_TRUE(::TerminateProcess(m_process.hProcess, 1));
        ASSERT_EQ(WAIT_OBJECT_0, ::WaitForSingleObject(m_process.hProcess, kDeadlineMs));
    }

private:
    PROCESS_INFORMATION m_process = {};
    HWND m_hWnd = nullptr;
};

std::wstring BlockName(int n)
{
    wchar_t name[32];
    ::wsprintfW(name, L"big_%05d.bin", n);
    return name;
}

// Every block file in dir: numbered from 0 without a gap, all whole (of
// blockSize bytes) but perhaps the last, which holds the start of its bytes.
// Returns how many.
size_t ExpectBlocksArePrefixes(const TempDir& dir, const std::wstring& source, int total,
                               uint64_t blockSize)
{
    int onDisk = 0;
    while (onDisk < total && FileExists(dir / BlockName(onDisk)))
        ++onDisk;
    for (int n = onDisk; n < total; ++n)
        EXPECT_FALSE(FileExists(dir / BlockName(n))) << Narrow(BlockName(n)) << " after a gap";
    for (int n = 0; n < onDisk; ++n) {
        const uint64_t size = FileSizeOf(dir / BlockName(n));
        if (n + 1 < onDisk) {
            EXPECT_EQ(blockSize, size) << Narrow(BlockName(n)) << " is not the last, yet cut short";
        }
        EXPECT_LE(size, blockSize);
        EXPECT_TRUE(SameBytes(dir / BlockName(n), 0, source, n * blockSize, size))
            << Narrow(BlockName(n)) << " holds other bytes than the source's";
    }
    return static_cast<size_t>(onDisk);
}

// Blocks of 64 M take most of a second each, far longer than the
// window takes to list a name: the kill comes while the block after the
// listed ones is being written.
TEST(KilledProgram, MidSeparationLeavesTheSourceAndEveryListedBlockWhole)
{
    TempDir dir;
    const std::wstring source = dir / L"big.bin";
    constexpr uint64_t kBlockSize = 64 * kMiB;
    constexpr int kBlocks = 6;
    WriteBigFile(source, kBlocks * kBlockSize - 1000, 61);
    AddBystanders(dir.Path(), L"big", L".bin");
    const Snapshot before = TakeSnapshot(dir.Path());

    Program program;
    ASSERT_TRUE(program.Started());
    program.SetText(IDC_SOURCE_FILE, source);
    program.SetText(IDC_BLOCK_SIZE, L"64");  // M Byte is checked from the start
    program.Click(IDC_SEPARATE);
    ASSERT_TRUE(WaitFor([&] { return program.ListCount() >= 2; }, kLongMs))
        << "the separation did not list its blocks";
    const int listedCount = program.ListCount();
    const std::vector<std::wstring> listed = program.ListItems(listedCount);
    program.Kill();
    ASSERT_LT(listedCount, kBlocks) << "the job was over before the kill";

    // Only blocks were written, the source is the same.
    std::set<std::wstring> blocks;
    for (int n = 0; n < kBlocks; ++n)
        blocks.insert(BlockName(n));
    const Snapshot after = TakeSnapshot(dir.Path());
    EXPECT_TRUE(OnlyChanged(before, after, blocks));
    EXPECT_EQ(before.at(L"big.bin").hash, HashFile(source));

    // Every block the window listed is there, whole.
    for (int n = 0; n < listedCount; ++n) {
        ASSERT_EQ(BlockName(n), listed[n]);
        EXPECT_EQ(kBlockSize, FileSizeOf(dir / listed[n])) << Narrow(listed[n]) << " was listed unfinished";
    }
    const size_t onDisk = ExpectBlocksArePrefixes(dir, source, kBlocks, kBlockSize);
    EXPECT_GE(onDisk, listed.size());
    EXPECT_LT(onDisk, static_cast<size_t>(kBlocks));
}

TEST(KilledProgram, MidMergeLeavesTheBlocksAndAPartialResultThatStartsRight)
{
    TempDir dir;
    const std::wstring source = dir / L"big.bin";
    const std::wstring result = dir / L"joined.bin";
    constexpr int kBlocks = 300;
    WriteBigFile(source, kBlocks * kMiB, 62);
    AddBystanders(dir.Path(), L"big", L".bin");

    Program program;
    ASSERT_TRUE(program.Started());
    program.SetText(IDC_SOURCE_FILE, source);
    program.SetText(IDC_BLOCK_SIZE, L"1");
    program.Click(IDC_SEPARATE);
    HWND box = nullptr;
    ASSERT_TRUE(WaitFor([&] { return (box = program.Box(L"Notice")) != nullptr; }, kLongMs));
    ::PostMessageW(box, WM_COMMAND, IDOK, 0);
    ASSERT_TRUE(WaitFor([&] { return !::IsWindow(box) && program.ListCount() == kBlocks; }));
    const Snapshot before = TakeSnapshot(dir.Path());

    program.SetText(IDC_RESULT_FILE, result);
    program.Click(IDC_MERGE);
    ASSERT_TRUE(WaitFor([&] { return program.ProgressPos() >= 3; }, kLongMs))
        << "the merge did not move";
    program.Kill();

    EXPECT_TRUE(OnlyChanged(before, TakeSnapshot(dir.Path()), {L"joined.bin"}));
    const uint64_t written = FileSizeOf(result);
    EXPECT_GE(written, 3 * kMiB) << "the bar showed three chunks done";
    EXPECT_LT(written, kBlocks * kMiB) << "the job was over before the kill: the file is too small";
    EXPECT_TRUE(SameBytes(result, 0, source, 0, written)) << "the partial result starts wrong";
}

}  // namespace
