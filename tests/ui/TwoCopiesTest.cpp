// The real program, kestrane.exe, started as its own process and driven
// through its window from outside: two copies working at the same time, and
// closing a copy while it separates.
#include <gtest/gtest.h>
#include <windows.h>
#include <commctrl.h>

#include <algorithm>

#include "ui/CommandSteps.h"

namespace {

// kestrane.exe of this build: the test program lies in its tests folder.
std::wstring ProgramPath()
{
    wchar_t self[MAX_PATH] = L"";
    ::GetModuleFileNameW(nullptr, self, MAX_PATH);
    std::wstring path = self;
    path.resize(path.find_last_of(L'\\'));   // the tests folder
    path.resize(path.find_last_of(L'\\') + 1);  // the build folder
    return path + L"kestrane.exe";
}

// One running copy of the program and its main window.
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
            // Close it as a user would, answering any box it still shows.
            if (::IsWindow(m_hWnd))
                ::PostMessageW(m_hWnd, WM_CLOSE, 0, 0);
            WaitFor([this] {
                for (const wchar_t* caption : {L"Error", L"Notice"})
                    if (HWND box = Box(caption))
                        ::PostMessageW(box, WM_COMMAND, IDOK, 0);
                return ::WaitForSingleObject(m_process.hProcess, 0) == WAIT_OBJECT_0;
            }, 60000);
            if (::WaitForSingleObject(m_process.hProcess, 0) == WAIT_TIMEOUT)
                ::TerminateProcess(m_process.hProcess, 99);
        }
        ::CloseHandle(m_process.hThread);
        ::CloseHandle(m_process.hProcess);
    }

    Program(const Program&) = delete;
    Program& operator=(const Program&) = delete;

    bool Started() const { return m_hWnd != nullptr; }

    LRESULT SendToItem(int id, UINT msg, WPARAM wParam = 0, LPARAM lParam = 0) const
    {
        DWORD_PTR answer = 0;
        if (!::SendMessageTimeoutW(::GetDlgItem(m_hWnd, id), msg, wParam, lParam, SMTO_NORMAL,
                                   kDeadlineMs, &answer))
            ADD_FAILURE() << "control " << id << " did not answer message " << msg;
        return static_cast<LRESULT>(answer);
    }

    void SetText(int id, const std::wstring& text) const
    {
        SendToItem(id, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text.c_str()));
    }

    void Click(int id) const
    {
        ::PostMessageW(m_hWnd, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED),
                       reinterpret_cast<LPARAM>(::GetDlgItem(m_hWnd, id)));
    }

    void Close() const { ::PostMessageW(m_hWnd, WM_CLOSE, 0, 0); }

    int ListCount() const { return static_cast<int>(SendToItem(IDC_MERGE_LIST, LB_GETCOUNT)); }
    int ProgressPos() const { return static_cast<int>(SendToItem(IDC_PROGRESS, PBM_GETPOS)); }
    int ProgressHigh() const
    {
        return static_cast<int>(SendToItem(IDC_PROGRESS, PBM_GETRANGE, FALSE));
    }

    std::vector<std::wstring> ListItems() const
    {
        std::vector<std::wstring> items;
        for (int i = 0, count = ListCount(); i < count; ++i) {
            wchar_t text[MAX_PATH] = L"";
            SendToItem(IDC_MERGE_LIST, LB_GETTEXT, i, reinterpret_cast<LPARAM>(text));
            items.push_back(text);
        }
        return items;
    }

    // A message box of this copy, or null.
    HWND Box(const std::wstring& caption) const
    {
        return FindProcessWindow(m_process.dwProcessId, caption);
    }

    // Waits for this copy's box of that caption, returns its text and
    // dismisses it.
    std::wstring TakeBox(const std::wstring& caption) const
    {
        HWND box = nullptr;
        if (!WaitFor([&] { return (box = Box(caption)) != nullptr; }, kLongJobMs)) {
            ADD_FAILURE() << "no \"" << Narrow(caption) << "\" box came up";
            return std::wstring();
        }
        std::wstring text = BoxText(box);
        EXPECT_TRUE(DismissBox(box));
        return text;
    }

    bool Ended() const { return ::WaitForSingleObject(m_process.hProcess, 0) == WAIT_OBJECT_0; }

    DWORD ExitCode() const
    {
        DWORD code = 0;
        ::GetExitCodeProcess(m_process.hProcess, &code);
        return code;
    }

private:
    PROCESS_INFORMATION m_process = {};
    HWND m_hWnd = nullptr;
};

// Sets a copy up to separate source into blocks of text in the given unit
// and clicks Separate.
void StartSeparation(const Program& program, const std::wstring& source, const wchar_t* text,
                     int unit)
{
    program.SetText(IDC_SOURCE_FILE, source);
    program.SetText(IDC_BLOCK_SIZE, text);
    program.Click(unit);
    program.Click(IDC_SEPARATE);
}

// Whether the blocks of blockSize bytes named names, in dir, rebuild source.
void ExpectBlocksOf(const std::wstring& source, const TempDir& dir,
                    const std::vector<std::wstring>& names, uint64_t blockSize)
{
    for (size_t n = 0; n < names.size(); ++n)
        ASSERT_TRUE(SameBytes(dir / names[n], 0, source, n * blockSize, blockSize))
            << Narrow(names[n]);
}

} // namespace

TEST(TwoCopies, SeparateAtTheSameTimeWithoutDisturbingEachOther)
{
    TempDir dirA, dirB;
    const std::wstring sourceA = dirA / L"alpha.bin";
    const std::wstring sourceB = dirB / L"beta.bin";
    constexpr int kMegabytesEach = 240;
    WriteBigFile(sourceA, kMegabytesEach * kMiB, 41);
    WriteBigFile(sourceB, kMegabytesEach * kMiB, 42);

    Program a, b;
    ASSERT_TRUE(a.Started() && b.Started());
    StartSeparation(a, sourceA, L"1", IDC_MBYTE);
    StartSeparation(b, sourceB, L"512", IDC_KBYTE);

    // Both jobs are seen under way at one moment.
    bool bothMoving = false;
    WaitFor([&] {
        if (a.Box(L"Notice") != nullptr || b.Box(L"Notice") != nullptr)
            return true;
        const int posA = a.ProgressPos(), posB = b.ProgressPos();
        bothMoving = posA > 0 && posA < a.ProgressHigh() && posB > 0 && posB < b.ProgressHigh();
        return bothMoving;
    }, kLongJobMs);
    EXPECT_TRUE(bothMoving) << "the two separations did not run at the same time";

    EXPECT_EQ(kSeparated, a.TakeBox(L"Notice"));
    EXPECT_EQ(kSeparated, b.TakeBox(L"Notice"));
    const std::vector<std::wstring> namesA = BlockNames(L"alpha", L".bin", kMegabytesEach);
    const std::vector<std::wstring> namesB = BlockNames(L"beta", L".bin", 2 * kMegabytesEach);
    ASSERT_TRUE(WaitFor([&] {
        return a.ProgressPos() == 0 && a.ProgressHigh() == 0 && b.ProgressPos() == 0 &&
               b.ProgressHigh() == 0;
    })) << "the bars were not emptied";
    EXPECT_EQ(namesA, a.ListItems());
    EXPECT_EQ(namesB, b.ListItems());
    EXPECT_FALSE(a.Box(L"Error") || b.Box(L"Error"));

    std::vector<std::wstring> expectedA = namesA, expectedB = namesB;
    expectedA.insert(expectedA.begin(), L"alpha.bin");
    expectedB.insert(expectedB.begin(), L"beta.bin");
    EXPECT_EQ(expectedA, ListNames(dirA.Path()));
    EXPECT_EQ(expectedB, ListNames(dirB.Path()));
    ExpectBlocksOf(sourceA, dirA, namesA, kMiB);
    ExpectBlocksOf(sourceB, dirB, namesB, kMiB / 2);

    a.Close();
    b.Close();
    ASSERT_TRUE(WaitFor([&] { return a.Ended() && b.Ended(); }));
    EXPECT_EQ(2u, a.ExitCode());
    EXPECT_EQ(2u, b.ExitCode());
}

TEST(TwoCopies, AnIdleCopyClosesAtOnceAndExitStopsTheSeparatingOne)
{
    TempDir dir;
    const std::wstring source = dir / L"big.bin";
    constexpr int kBlocks = 600;
    WriteBigFile(source, kBlocks * kMiB, 43);

    Program busy, idle;
    ASSERT_TRUE(busy.Started() && idle.Started());
    StartSeparation(busy, source, L"1", IDC_MBYTE);
    ASSERT_TRUE(WaitFor([&] { return busy.ListCount() >= 2; }, kLongJobMs));

    // The idle copy has nothing to wait for, whatever the other one does.
    idle.Close();
    ASSERT_TRUE(WaitFor([&] { return idle.Ended(); }));
    EXPECT_EQ(2u, idle.ExitCode());
    EXPECT_LT(busy.ListCount(), kBlocks) << "the idle copy waited for the other copy's job";
    EXPECT_EQ(nullptr, busy.Box(L"Notice"));

    // Closing the busy copy stops its job and ends the program with 2.
    busy.Close();
    ASSERT_TRUE(WaitFor([&] { return busy.Ended() || busy.Box(L"Notice") != nullptr; },
                        kLongJobMs));
    ASSERT_TRUE(busy.Ended()) << "the job ran on to its end";
    EXPECT_EQ(2u, busy.ExitCode());

    std::vector<std::wstring> blocks = ListNames(dir.Path());
    blocks.erase(std::remove(blocks.begin(), blocks.end(), L"big.bin"), blocks.end());
    ASSERT_GE(blocks.size(), 2u);
    ASSERT_LT(blocks.size(), static_cast<size_t>(kBlocks));
    EXPECT_EQ(BlockNames(L"big", L".bin", static_cast<int>(blocks.size())), blocks);
    // The block under way was either not yet begun or whole.
    const uint64_t last = FileSizeOf(dir / blocks.back());
    EXPECT_TRUE(last == 0 || last == kMiB) << last;
    blocks.pop_back();
    ExpectBlocksOf(source, dir, blocks, kMiB);
}
