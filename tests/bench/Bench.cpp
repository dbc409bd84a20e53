// kestrane_bench: measures the real jobs on this machine. tools/bench.sh runs
// it once per measurement, each printing lines "RESULT <key> <value>", which
// the script collects with its own references; then once more to print the
// tables, each figure with its target and whether it is met.
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
//   kestrane_bench table FILE
//       the tables, from the lines collected in FILE: "RESULT key value" (a
//       key repeated once per run; the median counts) and "INFO key text".
#include <windows.h>
#include <commctrl.h>
#include <psapi.h>

#include <algorithm>
#include <cstdio>
#include <cstdarg>
#include <fstream>
#include <iterator>
#include <map>
#include <sstream>
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

// ------------------------------------------------------------------- table

class Table {
public:
    explicit Table(const std::wstring& path)
    {
        std::ifstream in(std::string(path.begin(), path.end()));
        std::string line, tag, key;
        while (std::getline(in, line)) {
            std::istringstream words(line);
            words >> tag >> key;
            if (tag == "RESULT") {
                double value = 0;
                if (words >> value)
                    m_values[key].push_back(value);
            } else if (tag == "INFO") {
                std::getline(words >> std::ws, m_info[key]);
            }
        }
    }

    bool Has(const std::string& key) const { return m_values.count(key) > 0; }
    std::string Info(const std::string& key) const
    {
        auto it = m_info.find(key);
        return it == m_info.end() ? std::string() : it->second;
    }
    // The median of the runs (the lower middle of an even count).
    double Median(const std::string& key) const
    {
        std::vector<double> v = Values(key);
        std::sort(v.begin(), v.end());
        return v.empty() ? 0 : v[(v.size() - 1) / 2];
    }
    double Max(const std::string& key) const
    {
        const std::vector<double> v = Values(key);
        return v.empty() ? 0 : *std::max_element(v.begin(), v.end());
    }
    std::vector<double> Values(const std::string& key) const
    {
        auto it = m_values.find(key);
        return it == m_values.end() ? std::vector<double>() : it->second;
    }

private:
    std::map<std::string, std::vector<double>> m_values;
    std::map<std::string, std::string> m_info;
};

const char* Verdict(bool met) { return met ? "met" : "not met"; }

int PrintTable(const std::wstring& path)
{
    const Table t(path);
    if (!t.Has("sep_seconds"))
        return Fail("no measurements in the file");
    const double size = t.Median("source_bytes");
    const long long bigBlocks = static_cast<long long>((size + 100.0 * kMiB - 1) / (100.0 * kMiB));
    const long long smallBlocks = static_cast<long long>((size + kMiB - 1) / kMiB);
    const auto mbs = [&](double seconds) { return size / seconds / 1e6; };
    // One speed row: Kestrane against a reference, ratio, target.
    const auto row = [&](const std::string& what, const std::string& ours, const std::string& ref,
                         double target) {
        const double ratio = t.Median(ref) / t.Median(ours);
        std::printf("| %s | %.0f MB/s | %.0f MB/s | %.2fx | ", what.c_str(), mbs(t.Median(ours)),
                    mbs(t.Median(ref)), ratio);
        if (target > 0)
            std::printf(">= %.2f | %s |\n", target, Verdict(ratio >= target));
        else
            std::printf("| |\n");
    };
    const std::string gib = size >= (1 << 30) ? Format("%.0f GiB", size / (1 << 30))
                                               : Format("%.0f MiB", size / (1 << 20));
    std::printf("\nKestrane on %s; median of %zu runs; MB = 10^6 bytes; load average at the start %s,"
                " at the end %s\n\n",
                t.Info("machine").c_str(), t.Values("sep_seconds").size(), t.Info("load_start").c_str(),
                t.Info("load_end").c_str());
    std::printf("| %s of random bytes | Kestrane | reference | ratio | target | |\n|---|---|---|---|---|---|\n",
                gib.c_str());
    const std::string bigSep = Format("separate into %lld blocks of 100 M", bigBlocks);
    const std::string bigMerge = Format("merge the %lld blocks", bigBlocks);
    const std::string small = Format("separate into %lld blocks of 1 M", smallBlocks);
    row(bigSep + ", against dd (every 1 MiB synced)", "sep_seconds", "dd_separate_seconds", 0.95);
    row(bigSep + ", against the native loop", "sep_seconds", "native_separate_seconds", 0.85);
    row(bigMerge + ", against a dd per block (every 1 MiB synced)", "merge_seconds", "dd_merge_seconds", 0.95);
    row(bigMerge + ", against the native loop", "merge_seconds", "native_merge_seconds", 0.85);
    row(small + " through the window, against the native loop", "win1_separate_seconds", "native_small_seconds", 0.5);
    row(small + " without the window, against the native loop", "small_seconds", "native_small_seconds", 0);
    std::printf("| for reference: split, cat (no syncing) | | %.0f, %.0f MB/s | | | |\n",
                mbs(t.Median("split_seconds")), mbs(t.Median("cat_seconds")));
    std::printf("(Kestrane: from the launch to the job's last chunk, written and flushed. dd: bs=1M oflag=dsync,\n"
                "the merge appends each block with oflag=dsync,append conv=notrunc. Native loop: read 1 MiB,\n"
                "write it, fsync, a file per block, straight to Linux. Without the window: the job on its\n"
                "worker thread, its messages taken by a window that draws nothing.)\n\n");

    std::printf("| memory a job adds (peak against idle, largest of the runs) | working set | private bytes | target | |\n"
                "|---|---|---|---|---|\n");
    for (const char* job : {"sep", "merge"}) {
        const double ws = t.Max(std::string(job) + "_added_working_set");
        const double pf = t.Max(std::string(job) + "_added_pagefile");
        std::printf("| %s | %.0f KiB | %.0f KiB | <= 4096 KiB, both | %s |\n",
                    job == std::string("sep") ? "separate" : "merge", ws / 1024, pf / 1024,
                    Verdict(std::max(ws, pf) <= 4 * kMiB));
    }

    std::printf("\n| main window, asked every 10 ms | probes | sent WM_NULL p50 / p99 / max |"
                " posted message p50 / p99 / max | target: posted p99 | | job speed |\n"
                "|---|---|---|---|---|---|---|\n");
    const auto probes = [&](const std::string& what, const std::string& k) {
        const auto ms = [&](const char* which) { return t.Median(k + which); };
        std::printf("| %s | %.0f | %.1f / %.1f / %.1f ms | %.1f / %.1f / %.1f ms |", what.c_str(),
                    ms("_probes"), ms("_sent_p50_ms"), ms("_sent_p99_ms"), ms("_sent_max_ms"),
                    ms("_posted_p50_ms"), ms("_posted_p99_ms"), ms("_posted_max_ms"));
    };
    probes("no job", "win100_idle");
    std::printf(" | | |\n");
    for (int mb : {100, 1}) {
        for (const char* job : {"separate", "merge"}) {
            const std::string k = Format("win%d_%s", mb, job);
            probes(Format("during a %s %s, %d M blocks", gib.c_str(), job, mb), k);
            const double p99 = t.Median(k + "_posted_p99_ms");
            std::printf(" <= 16 ms | %s | %.0f MB/s |\n", Verdict(p99 <= 16), mbs(t.Median(k + "_seconds")));
        }
    }
    const double listed = t.Median("win1_separate_listed_ms");
    std::printf("\n| the list after a separation into %lld blocks of 1 M | time | target | |\n|---|---|---|---|\n"
                "| from the job's hand-over of its last block to the list drawn with every block | %.1f ms (runs:",
                smallBlocks, listed);
    for (double v : t.Values("win1_separate_listed_ms"))
        std::printf(" %.1f", v);
    std::printf(") | <= 100 ms | %s |\n", Verdict(listed <= 100));
    std::printf("\n(A sent message is answered between two handlers; a posted one, like a click, waits behind\n"
                "every message queued before it. What the window's updates cost here when drawn one by one: a\n"
                "progress step %.2f ms, a listed block %.2f ms; with the window hidden %.2f ms and %.2f ms. The\n"
                "window draws only the newest of what is queued, and while a job runs at most every 100 ms.)\n",
                t.Median("draw_shown_setpos_ms"), t.Median("draw_shown_additem_ms"),
                t.Median("draw_hidden_setpos_ms"), t.Median("draw_hidden_additem_ms"));

    std::istringstream scale(t.Info("scale"));
    std::vector<std::string> counts{std::istream_iterator<std::string>(scale), {}};
    if (counts.empty())
        return 0;
    const std::string first = counts.front();
    const auto key = [](const std::string& count, const char* which) { return "many_scale" + count + which; };
    std::printf("\n| 1 K blocks through the window | new files: seconds | per block | against %s |"
                " window p99 sent / posted | over the same blocks: seconds | per block | against %s |\n"
                "|---|---|---|---|---|---|---|---|\n", first.c_str(), first.c_str());
    bool met = true;
    for (const std::string& count : counts) {
        const double fresh = t.Median(key(count, "_fresh_us_per_block"));
        const double again = t.Median(key(count, "_again_us_per_block"));
        const double growth = fresh / t.Median(key(first, "_fresh_us_per_block"));
        met = met && growth <= 1.2;
        std::printf("| %s | %.1f | %.2f ms | %.2fx | %.1f / %.1f ms | %.1f | %.2f ms | %.2fx |\n",
                    count.c_str(), t.Median(key(count, "_fresh_seconds")), fresh / 1000, growth,
                    t.Median(key(count, "_fresh_sent_p99_ms")), t.Median(key(count, "_fresh_posted_p99_ms")),
                    t.Median(key(count, "_again_seconds")), again / 1000,
                    again / t.Median(key(first, "_again_us_per_block")));
    }
    std::printf("(target: the last count costs at most 1.2x per block what %s cost, new files: %s. A block\n"
                "is done when the list shows it. New files: Wine reads the whole folder for every name that\n"
                "does not exist yet; over the same blocks every name exists and is truncated and rewritten.)\n",
                first.c_str(), Verdict(met));
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
    if (mode == L"table" && argc == 3)
        return PrintTable(argv[2]);
    return Fail("usage: kestrane_bench separate|merge|window|handlers|scale|table ... (see the top of Bench.cpp)");
}
