// kestrane_bench: measures the real jobs on this machine. tools/bench.sh runs
// it once per measurement and prints the table; every measurement prints
// lines "RESULT <key> <value>" for the script to collect.
//
//   kestrane_bench separate SOURCE BLOCK_BYTES
//       cuts SOURCE with the job on its worker thread (a message-only window
//       takes its messages and answers its boxes): seconds and memory.
//   kestrane_bench merge DIR RESULT NAME...
//       joins the NAMEs of DIR into RESULT the same way.
//   kestrane_bench window SOURCE RESULT BLOCK_MEGABYTES
//       cuts and joins through the real main dialog, asking it something
//       every 10 ms: how long it takes to answer, how fast the jobs go, and
//       how long after the separation's end the list shows every block.
//   kestrane_bench handlers
//       what the dialog's updates for one progress step and one listed
//       block cost, drawn and not drawn.
//   kestrane_bench scale DIR BLOCKS...
//       cuts a source into each number of 1 K blocks through the real main
//       dialog, in a fresh folder and again over those blocks: seconds per
//       block.
#include <windows.h>
#include <commctrl.h>
#include <psapi.h>

#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

#include "support/DialogDriver.h"
#include "support/JobRunner.h"
#include "support/TestFiles.h"
#include "support/Windows.h"

namespace {

double Now()
{
    static LARGE_INTEGER frequency = [] {
        LARGE_INTEGER f;
        ::QueryPerformanceFrequency(&f);
        return f;
    }();
    LARGE_INTEGER counter;
    ::QueryPerformanceCounter(&counter);
    return static_cast<double>(counter.QuadPart) / static_cast<double>(frequency.QuadPart);
}

void Result(const char* key, double value)
{
    std::printf("RESULT %s %.6f\n", key, value);
    std::fflush(stdout);
}

void Result(const std::string& key, double value)
{
    Result(key.c_str(), value);
}

int Fail(const std::string& why)
{
    std::fprintf(stderr, "kestrane_bench: %s\n", why.c_str());
    return 1;
}

// ------------------------------------------------------------------ memory

PROCESS_MEMORY_COUNTERS_EX Memory()
{
    PROCESS_MEMORY_COUNTERS_EX counters = {};
    counters.cb = sizeof(counters);
    ::GetProcessMemoryInfo(::GetCurrentProcess(),
                           reinterpret_cast<PROCESS_MEMORY_COUNTERS*>(&counters), sizeof(counters));
    return counters;
}

// What the process holds now, before a job, and the most it held by the end.
void ReportMemory(const PROCESS_MEMORY_COUNTERS_EX& idle, const PROCESS_MEMORY_COUNTERS_EX& after)
{
    Result("idle_working_set", static_cast<double>(idle.WorkingSetSize));
    Result("idle_pagefile", static_cast<double>(idle.PagefileUsage));
    Result("peak_working_set", static_cast<double>(after.PeakWorkingSetSize));
    Result("peak_pagefile", static_cast<double>(after.PeakPagefileUsage));
    Result("added_working_set",
           static_cast<double>(after.PeakWorkingSetSize) - static_cast<double>(idle.WorkingSetSize));
    Result("added_pagefile",
           static_cast<double>(after.PeakPagefileUsage) - static_cast<double>(idle.PagefileUsage));
}

// --------------------------------------------------------------- the jobs

// Runs the job set up in runner on its worker thread and returns the
// seconds from the launch to its last progress step: its last chunk written
// and flushed. (The box that follows is the user's part.) Until then the
// wait looks at nothing but what the job posts: looking for boxes asks
// Wine's server, which serves every thread of the process, the job's too.
// (JobRunner::Run's deadline is too short for the largest cases.)
double TimeJob(JobRunner& runner, JobKind kind, bool& succeeded)
{
    runner.events.clear();
    succeeded = false;
    std::wstring lastStep;
    double doneAt = 0;
    runner.onEvent = [&](const std::wstring& event) {
        if (event.compare(0, 6, L"range ") == 0)
            lastStep = L"pos " + event.substr(event.rfind(L' ') + 1);
        else if (event == lastStep)
            doneAt = Now();
    };
    const double start = Now();
    if (!runner.job.LaunchJob(kind))
        return 0;
    WaitFor([&] { return doneAt != 0 || !runner.job.IsJobRunning(); }, 24 * 3600 * 1000);
    WaitFor([&] {
        if (HWND box = FindOwnWindow(L"Notice")) {
            succeeded = true;
            DismissBox(box);
        }
        if (HWND box = FindOwnWindow(L"Error")) {
            std::fprintf(stderr, "kestrane_bench: %s\n", Narrow(BoxText(box)).c_str());
            succeeded = false;
            DismissBox(box);
        }
        return !runner.job.IsJobRunning();
    }, 24 * 3600 * 1000);
    PumpMessages();
    runner.onEvent = nullptr;
    return doneAt - start;
}

// A small job of the same kind first, in a folder of its own: the process
// has then shown a box, started a worker and opened files once, and what
// the measured job adds is the job's own.
void WarmUp(JobKind kind)
{
    TempDir dir;
    WriteBytes(dir / L"warm.bin", MakeBytes(2 * 1048576 + 10, 1));
    JobRunner runner;
    runner.SetSeparate(dir / L"warm.bin", 1048576);
    bool ok = false;
    TimeJob(runner, JOB_SEPARATE, ok);
    if (kind == JOB_MERGE) {
        runner.SetMerge(dir.Path(), {L"warm_00000.bin", L"warm_00001.bin", L"warm_00002.bin"},
                        dir / L"warm.out");
        TimeJob(runner, JOB_MERGE, ok);
    }
}

int MeasureSeparate(const std::wstring& source, int32_t blockSize)
{
    WarmUp(JOB_SEPARATE);
    JobRunner runner;
    runner.SetSeparate(source, blockSize);
    const PROCESS_MEMORY_COUNTERS_EX idle = Memory();
    bool ok = false;
    const double seconds = TimeJob(runner, JOB_SEPARATE, ok);
    const PROCESS_MEMORY_COUNTERS_EX after = Memory();
    if (!ok)
        return Fail("the separation did not succeed");
    Result("bytes", static_cast<double>(FileSizeOf(source)));
    Result("seconds", seconds);
    ReportMemory(idle, after);
    return 0;
}

int MeasureMerge(const std::wstring& dir, const std::wstring& result,
                 const std::vector<std::wstring>& names)
{
    WarmUp(JOB_MERGE);
    JobRunner runner;
    runner.SetMerge(dir, names, result);
    const PROCESS_MEMORY_COUNTERS_EX idle = Memory();
    bool ok = false;
    const double seconds = TimeJob(runner, JOB_MERGE, ok);
    const PROCESS_MEMORY_COUNTERS_EX after = Memory();
    if (!ok)
        return Fail("the merge did not succeed");
    Result("bytes", static_cast<double>(FileSizeOf(result)));
    Result("seconds", seconds);
    ReportMemory(idle, after);
    return 0;
}

// ------------------------------------------------------ the window answers

// Two ways of asking the dialog thread something while a job runs:
// a sent WM_NULL (answered as soon as the thread is not inside a handler:
// what "not responding" is judged by), and a posted message (taken in turn
// behind everything the job has posted: what a click waits for). The posted
// one is timed by a hook on the dialog thread that notes when its loop
// takes the message. The same hook notes when the job posted its last
// position and its last block (a message's time is the server's clock at
// posting, in ms; the probes, posted at known moments, tie that clock to
// this one): the job's speed through the window is measured to its last
// chunk, not to when the window caught up with it.
const UINT kProbeMessage = ::RegisterWindowMessageW(L"KestraneBenchProbe");
constexpr size_t kMaxProbes = 1 << 20;

struct HookLog {
    std::vector<double> takenAt = std::vector<double>(kMaxProbes, 0.0);
    std::vector<DWORD> postedTime = std::vector<DWORD>(kMaxProbes, 0);
    LPARAM rangeHigh = -1;
    DWORD lastStepTime = 0;  // the position that reached the range's end
    DWORD lastBlockTime = 0; // the newest hand-over
};
HookLog g_log;

LRESULT CALLBACK ProbeHook(int code, WPARAM wParam, LPARAM lParam)
{
    const MSG* msg = reinterpret_cast<const MSG*>(lParam);
    if (code == HC_ACTION && wParam == PM_REMOVE) {
        if (msg->message == kProbeMessage && msg->wParam < kMaxProbes &&
            g_log.takenAt[msg->wParam] == 0) {
            g_log.takenAt[msg->wParam] = Now();
            g_log.postedTime[msg->wParam] = msg->time;
        } else if (msg->message == WM_PROGRESS_RANGE) {
            g_log.rangeHigh = msg->lParam;
        } else if (msg->message == WM_PROGRESS_POS &&
                   static_cast<LPARAM>(msg->wParam) == g_log.rangeHigh) {
            g_log.lastStepTime = msg->time;
        } else if (msg->message == WM_ADD_MERGE_ITEM) {
            g_log.lastBlockTime = msg->time;
        }
    }
    return ::CallNextHookEx(nullptr, code, wParam, lParam);
}

// The merge list, watched: when it is first drawn with every block.
WNDPROC g_listProc = nullptr;
LRESULT g_listExpected = 0;
double g_listCompleteAt = 0;

LRESULT CALLBACK WatchedListProc(HWND hWnd, UINT msg, WPARAM wParam, LPARAM lParam)
{
    const LRESULT result = ::CallWindowProcW(g_listProc, hWnd, msg, wParam, lParam);
    if (msg == WM_PAINT && g_listCompleteAt == 0 &&
        ::CallWindowProcW(g_listProc, hWnd, LB_GETCOUNT, 0, 0) == g_listExpected)
        g_listCompleteAt = Now();
    return result;
}

double Percentile(std::vector<double> values, double fraction)
{
    if (values.empty())
        return 0;
    std::sort(values.begin(), values.end());
    size_t index = static_cast<size_t>(fraction * static_cast<double>(values.size() - 1) + 0.5);
    return values[std::min(index, values.size() - 1)];
}

struct Answers {
    std::vector<double> sent;    // ms
    std::vector<double> posted;  // ms
    double seconds = 0;          // from the click to the job's last chunk
    double listedMs = -1;        // from the last block's hand-over to the list drawn with it
    bool ok = false;
};

// Asks the dialog both ways, once per Ask(), and gathers the answers.
class Prober {
public:
    explicit Prober(HWND dialog) : m_hDialog(dialog)
    {
        g_log = HookLog();
        m_hHook = ::SetWindowsHookExW(WH_GETMESSAGE, ProbeHook, nullptr,
                                      ::GetWindowThreadProcessId(dialog, nullptr));
    }
    ~Prober() { ::UnhookWindowsHookEx(m_hHook); }
    Prober(const Prober&) = delete;
    Prober& operator=(const Prober&) = delete;

    void Ask(Answers& answers)
    {
        if (m_postedAt.size() < kMaxProbes) {
            m_postedAt.push_back(Now());
            ::PostMessageW(m_hDialog, kProbeMessage, m_postedAt.size() - 1, 0);
        }
        const double sendAt = Now();
        DWORD_PTR answer = 0;
        ::SendMessageTimeoutW(m_hDialog, WM_NULL, 0, 0, SMTO_NORMAL, 60000, &answer);
        answers.sent.push_back((Now() - sendAt) * 1000.0);
    }

    // Call once the dialog has taken every posted probe (MainDialogDriver::
    // Sync or WaitIdle).
    void Collect(Answers& answers) const
    {
        for (size_t i = 0; i < m_postedAt.size(); ++i)
            if (g_log.takenAt[i] != 0)
                answers.posted.push_back((g_log.takenAt[i] - m_postedAt[i]) * 1000.0);
    }

    // A message's time (the server's clock, ms) on the Now() clock.
    double OnNowClock(DWORD time) const
    {
        std::vector<double> offsets;
        for (size_t i = 0; i < m_postedAt.size(); ++i)
            if (g_log.takenAt[i] != 0)
                offsets.push_back(m_postedAt[i] - g_log.postedTime[i] / 1000.0);
        return time / 1000.0 + Percentile(offsets, 0.5);
    }

private:
    HWND m_hDialog;
    HHOOK m_hHook;
    std::vector<double> m_postedAt;
};

// Waits until next (seconds on the Now() clock), then moves it 10 ms on.
void Tick(double& next)
{
    next += 0.010;
    const double wait = next - Now();
    if (wait > 0)
        ::Sleep(static_cast<DWORD>(wait * 1000.0));
    else
        next = Now();
}

// No job: how the dialog answers when nothing else happens, for 3 s.
Answers ProbeIdle(MainDialogDriver& driver)
{
    Answers answers;
    Prober prober(driver.Dialog());
    double next = Now();
    for (int i = 0; i < 300; ++i) {
        prober.Ask(answers);
        Tick(next);
    }
    driver.Sync();
    prober.Collect(answers);
    answers.ok = true;
    return answers;
}

// Clicks control id and asks the dialog every 10 ms until the job shows its
// box, which is looked for every half second until the job has posted its
// last step, and at every tick after; dismisses the success box and waits
// until the dialog has handled everything the job posted. blocks: how many
// the separation lists, 0 for a merge.
Answers ProbeWhileJobRuns(MainDialogDriver& driver, int id, LRESULT blocks)
{
    Answers answers;
    HWND list = driver.Item(IDC_MERGE_LIST);
    g_listExpected = blocks;
    g_listCompleteAt = 0;
    if (blocks > 0)
        g_listProc = reinterpret_cast<WNDPROC>(::SetWindowLongPtrW(
            list, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(WatchedListProc)));
    Prober prober(driver.Dialog());
    const double start = Now();
    driver.Click(id);
    HWND box = nullptr;
    int ticks = 0;
    for (double next = start;; Tick(next), ++ticks) {
        if (g_log.lastStepTime != 0 || ticks % 50 == 0) {
            if (HWND error = FindOwnWindow(L"Error")) {
                std::fprintf(stderr, "kestrane_bench: %s\n", Narrow(BoxText(error)).c_str());
                DismissBox(error);
                break;
            }
            if ((box = FindOwnWindow(L"Notice")) != nullptr)
                break;
        }
        prober.Ask(answers);
    }
    if (box != nullptr) {
        // The box holds the worker, not the window: the window catches up
        // with the job's messages meanwhile.
        driver.Sync(3600000);
        answers.ok = true;
        DismissBox(box);
    }
    driver.WaitIdle(3600000);
    prober.Collect(answers);
    answers.seconds = prober.OnNowClock(g_log.lastStepTime) - start;
    if (blocks > 0) {
        WaitFor([] { return g_listCompleteAt != 0; }, 60000);
        if (g_listCompleteAt != 0)
            answers.listedMs = (g_listCompleteAt - prober.OnNowClock(g_log.lastBlockTime)) * 1000.0;
        ::SetWindowLongPtrW(list, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(g_listProc));
    }
    return answers;
}

void ReportAnswers(const std::string& job, const Answers& answers)
{
    Result(job + "_seconds", answers.seconds);
    Result(job + "_probes", static_cast<double>(answers.sent.size()));
    Result(job + "_sent_p50_ms", Percentile(answers.sent, 0.50));
    Result(job + "_sent_p99_ms", Percentile(answers.sent, 0.99));
    Result(job + "_sent_max_ms", Percentile(answers.sent, 1.0));
    Result(job + "_posted_p50_ms", Percentile(answers.posted, 0.50));
    Result(job + "_posted_p99_ms", Percentile(answers.posted, 0.99));
    Result(job + "_posted_max_ms", Percentile(answers.posted, 1.0));
    if (answers.listedMs >= 0)
        Result(job + "_listed_ms", answers.listedMs);
}

// What the dialog's answers to the job's messages cost: the control
// messages its handlers send, sent straight to its controls, 1000 times
// each; shown, then hidden (nothing drawn).
int MeasureHandlers()
{
    MainDialogDriver driver;
    for (const char* state : {"shown", "hidden"}) {
        if (std::string(state) == "hidden")
            ::ShowWindow(driver.Dialog(), SW_HIDE);
        driver.SendToItem(IDC_MERGE_LIST, LB_RESETCONTENT);
        driver.SendToItem(IDC_PROGRESS, PBM_SETRANGE32, 1, 1000);
        double start = Now();
        for (int i = 1; i <= 1000; ++i)
            driver.SendToItem(IDC_PROGRESS, PBM_SETPOS, i);
        Result(std::string(state) + "_setpos_ms", (Now() - start) * 1000.0 / 1000);
        start = Now();
        for (int i = 0; i < 1000; ++i) {
            const std::wstring name = L"many_" + std::to_wstring(i) + L".dat";
            driver.SendToItem(IDC_MERGE_LIST, LB_INSERTSTRING, static_cast<WPARAM>(-1),
                              reinterpret_cast<LPARAM>(name.c_str()));
            driver.SendToItem(IDC_MERGE_LIST, LB_GETCOUNT);
            driver.SendToItem(IDC_MERGE_LIST, LB_SETCURSEL, i);
        }
        Result(std::string(state) + "_additem_ms", (Now() - start) * 1000.0 / 1000);
    }
    return 0;
}

int MeasureWindow(const std::wstring& source, const std::wstring& result, const std::wstring& megabytes)
{
    MainDialogDriver driver;
    driver.SetText(IDC_SOURCE_FILE, source);
    driver.SetText(IDC_BLOCK_SIZE, megabytes);
    driver.SetText(IDC_RESULT_FILE, result);
    driver.Sync();

    ReportAnswers("idle", ProbeIdle(driver));

    const uint64_t block = static_cast<uint64_t>(_wtoi(megabytes.c_str())) << 20;
    const LRESULT blocks = static_cast<LRESULT>((FileSizeOf(source) + block - 1) / block);
    const Answers separate = ProbeWhileJobRuns(driver, IDC_SEPARATE, blocks);
    if (!separate.ok)
        return Fail("the separation through the window did not succeed");
    Result("blocks", static_cast<double>(driver.ListItems().size()));
    ReportAnswers("separate", separate);

    const Answers merge = ProbeWhileJobRuns(driver, IDC_MERGE, 0);
    if (!merge.ok)
        return Fail("the merge through the window did not succeed");
    ReportAnswers("merge", merge);
    Result("bytes", static_cast<double>(FileSizeOf(result)));
    return 0;
}

// ------------------------------------------------------------- many blocks

// Separates the source set in the window and returns the seconds from the
// click until the list shows every block.
double TimeListedSeparation(MainDialogDriver& driver, size_t blocks, Answers& answers,
                            std::string& failure)
{
    answers = ProbeWhileJobRuns(driver, IDC_SEPARATE, static_cast<LRESULT>(blocks));
    const size_t listed = static_cast<size_t>(driver.SendToItem(IDC_MERGE_LIST, LB_GETCOUNT));
    if (!answers.ok || listed != blocks || answers.listedMs < 0)
        failure = std::to_string(listed) + " of " + std::to_string(blocks) + " blocks listed";
    return answers.seconds + answers.listedMs / 1000.0;
}

// Cuts a source into that many 1 K blocks through the window twice: in a
// fresh folder, then again over the blocks just written (every name exists
// then, and Wine need not search the folder for a new one).
int MeasureScale(const std::wstring& root, const std::vector<size_t>& counts)
{
    for (size_t blocks : counts) {
        const std::string key = "scale" + std::to_string(blocks);
        const std::wstring dir = root + L"\\blocks" + std::to_wstring(blocks) + L"\\";
        ::CreateDirectoryW(dir.c_str(), nullptr);
        const std::wstring source = dir + L"many.dat";
        WriteBigFile(source, blocks * 1024, static_cast<uint32_t>(blocks));

        MainDialogDriver driver;
        driver.SetText(IDC_SOURCE_FILE, source);
        driver.SetText(IDC_BLOCK_SIZE, L"1");
        driver.Click(IDC_KBYTE);
        driver.Sync();
        for (const char* pass : {"fresh", "again"}) {
            Answers answers;
            std::string failure;
            const double seconds = TimeListedSeparation(driver, blocks, answers, failure);
            if (!failure.empty())
                return Fail(key + " " + pass + ": " + failure);
            const std::string name = key + "_" + pass;
            Result(name + "_seconds", seconds);
            Result(name + "_us_per_block", seconds * 1e6 / static_cast<double>(blocks));
            Result(name + "_job_seconds", answers.seconds);
            Result(name + "_sent_p99_ms", Percentile(answers.sent, 0.99));
            Result(name + "_posted_p99_ms", Percentile(answers.posted, 0.99));
        }
    }
    return 0;
}

} // namespace

int wmain(int argc, wchar_t** argv)
{
    const std::wstring mode = argc > 1 ? argv[1] : L"";
    if (mode == L"separate" && argc == 4)
        return MeasureSeparate(argv[2], static_cast<int32_t>(_wtoi(argv[3])));
    if (mode == L"merge" && argc >= 5)
        return MeasureMerge(argv[2], argv[3], std::vector<std::wstring>(argv + 4, argv + argc));
    if (mode == L"handlers")
        return MeasureHandlers();
    if (mode == L"window" && argc == 5)
        return MeasureWindow(argv[2], argv[3], argv[4]);
    if (mode == L"scale" && argc >= 4) {
        std::vector<size_t> counts;
        for (int i = 3; i < argc; ++i)
            counts.push_back(static_cast<size_t>(_wtoi(argv[i])));
        return MeasureScale(argv[2], counts);
    }
    return Fail("usage: kestrane_bench separate|merge|window|handlers|scale ... (see the top of Bench.cpp)");
}
