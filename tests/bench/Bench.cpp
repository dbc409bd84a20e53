// kestrane_bench: measures the real jobs on this machine. tools/bench.sh runs a mode of
// wmain per measurement and collects its lines "RESULT <key> <value>" with its own
// references; then once more (table FILE) to print each figure with its target and verdict.
#include <windows.h>
#include <commctrl.h>
#include <psapi.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <fstream>
#include <map>
#include <string>
#include <vector>

#include "support/DialogDriver.h"
#include "support/JobRunner.h"
#include "support/TestFiles.h"
#include "support/Windows.h"

namespace {

double Now()
{
    const auto sinceStart = std::chrono::steady_clock::now().time_since_epoch();
    return std::chrono::duration<double>(sinceStart).count();
}

void Result(const std::string& key, double value)
{
    std::printf("RESULT %s %.6f\n", key.c_str(), value);
    std::fflush(stdout);
}

int Fail(const std::string& why)
{
    std::fprintf(stderr, "kestrane_bench: %s\n", why.c_str());
    return 1;
}

double Percentile(std::vector<double> values, double fraction)
{
    if (values.empty())
        return 0;
    std::sort(values.begin(), values.end());
    return values[static_cast<size_t>(fraction * static_cast<double>(values.size() - 1) + 0.5)];
}

const char* Verdict(bool met) { return met ? "met" : "not met"; }

// One row of a Markdown table; a head row (head) follows an empty line, ruled.
void Row(std::initializer_list<std::string> cells, bool head = false)
{
    std::printf(head ? "\n" : "");
    for (const std::string& cell : cells)
        std::printf(cell.empty() ? "| " : "| %s ", cell.c_str());
    for (size_t i = 0; head && i < cells.size(); ++i)
        std::printf(i == 0 ? "|\n|---" : "|---");
    std::printf("|\n");
}

// Runs the job set up in runner, with no deadline: the seconds from the launch to its last
// step (its last chunk written and flushed), -1 if it failed. Until then it watches only what
// the job posts: looking for boxes asks Wine's server, which the job needs too.
double TimeJob(JobRunner& runner, JobKind kind)
{
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
        return -1;
    WaitFor([&] { return doneAt != 0 || !runner.job.IsJobRunning(); }, INFINITE);
    bool succeeded = false;
    WaitFor([&] {
        if (const ShownBox box = FindBox()) {
            succeeded = box.caption == kNoticeCaption;
            if (!succeeded)
                Fail(box.Describe());
            DismissBox(box.window);
        }
        return !runner.job.IsJobRunning();
    }, INFINITE);
    PumpMessages();
    runner.onEvent = nullptr;
    return succeeded ? doneAt - start : -1;
}

// Times the job argv sets up (separate SOURCE BLOCK_BYTES, merge DIR RESULT NAME...) after a
// small one of the same kind: the process has then shown a box, started a worker and opened
// files once, and the memory the measured job adds (its peak against before) is its own.
int MeasureJob(JobKind kind, int argc, wchar_t** argv)
{
    {
        TempDir dir;
        WriteBytes(dir / L"warm.bin", MakeBytes(2 * kMiB + 10, 1));
        JobRunner warm;
        warm.SetSeparate(dir / L"warm.bin", static_cast<int32_t>(kMiB));
        TimeJob(warm, JOB_SEPARATE);
        if (kind == JOB_MERGE) {
            warm.SetMerge(dir.Path(), {L"warm_00000.bin", L"warm_00001.bin", L"warm_00002.bin"},
                          dir / L"warm.out");
            TimeJob(warm, JOB_MERGE);
        }
    }
    JobRunner runner;
    if (kind == JOB_SEPARATE)
        runner.SetSeparate(argv[2], static_cast<int32_t>(_wtoi(argv[3])));
    else
        runner.SetMerge(argv[2], std::vector<std::wstring>(argv + 4, argv + argc), argv[3]);
    PROCESS_MEMORY_COUNTERS idle = {}, peak = {};
    ::GetProcessMemoryInfo(::GetCurrentProcess(), &idle, sizeof(idle));
    const double seconds = TimeJob(runner, kind);
    ::GetProcessMemoryInfo(::GetCurrentProcess(), &peak, sizeof(peak));
    if (seconds < 0)
        return Fail("the job did not succeed");
    Result("seconds", seconds);
    Result("added_working_set", static_cast<double>(peak.PeakWorkingSetSize) - idle.WorkingSetSize);
    Result("added_pagefile", static_cast<double>(peak.PeakPagefileUsage) - idle.PagefileUsage);
    return 0;
}

// The dialog thread asked two ways while a job runs: a sent WM_NULL (answered between
// handlers: what "not responding" is judged by) and a posted message (taken behind all
// the job posted, as a click is), timed by a hook as its loop takes it. The hook also notes
// when the job posted its last step and block, on the server's clock (ms), which the probes
// tie to ours: the job's speed counts to its last chunk, not to when the window caught up.
const UINT kProbeMessage = ::RegisterWindowMessageW(L"KestraneBenchProbe");
constexpr size_t kMaxProbes = 1 << 20;

struct HookLog {
    std::vector<double> takenAt = std::vector<double>(kMaxProbes, 0.0);
    std::vector<DWORD> postedTime = std::vector<DWORD>(kMaxProbes, 0);
    LPARAM rangeHigh = -1;
    DWORD lastStepTime = 0;  // the position that reached the range's end
    DWORD lastBlockTime = 0; // the newest hand-over
    LRESULT listExpected = 0;
    double listCompleteAt = 0; // when the list was first drawn with every block
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

// The merge list, watched.
WNDPROC g_listProc = nullptr;

LRESULT CALLBACK WatchedListProc(HWND hWnd, UINT msg, WPARAM wParam, LPARAM lParam)
{
    const LRESULT result = ::CallWindowProcW(g_listProc, hWnd, msg, wParam, lParam);
    if (msg == WM_PAINT && g_log.listCompleteAt == 0 &&
        ::CallWindowProcW(g_listProc, hWnd, LB_GETCOUNT, 0, 0) == g_log.listExpected)
        g_log.listCompleteAt = Now();
    return result;
}

struct Answers {
    std::vector<double> sent, posted; // ms
    double seconds = 0;               // from the click to the job's last chunk
    double listedMs = -1;             // from the last block's hand-over to the list drawn with it
    bool ok = false;
};

// Asks the dialog both ways every 10 ms: for 3 s with id 0 (no job), else from a
// click on id until the job's box shows (looked for every half second until the
// job has posted its last step, then at every tick); then waits until the dialog
// has handled all the job posted. blocks: how many the separation lists, or 0.
Answers Probe(MainDialogDriver& driver, int id, LRESULT blocks)
{
    Answers answers;
    HWND dialog = driver.Dialog();
    HWND list = driver.Item(IDC_MERGE_LIST);
    g_log = HookLog();
    g_log.listExpected = blocks;
    if (blocks > 0)
        g_listProc = reinterpret_cast<WNDPROC>(::SetWindowLongPtrW(
            list, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(WatchedListProc)));
    const HHOOK hook = ::SetWindowsHookExW(WH_GETMESSAGE, ProbeHook, nullptr,
                                           ::GetWindowThreadProcessId(dialog, nullptr));
    std::vector<double> postedAt;
    const double start = Now();
    if (id != 0)
        driver.Click(id);
    ShownBox box;
    for (double next = start; id != 0 || answers.sent.size() < 300;) {
        const bool look = g_log.lastStepTime != 0 || answers.sent.size() % 50 == 0;
        if (id != 0 && look && (box = FindBox()))
            break;
        if (postedAt.size() < kMaxProbes) {
            postedAt.push_back(Now());
            ::PostMessageW(dialog, kProbeMessage, postedAt.size() - 1, 0);
        }
        const double sendAt = Now();
        DWORD_PTR answer = 0;
        ::SendMessageTimeoutW(dialog, WM_NULL, 0, 0, SMTO_NORMAL, 60000, &answer);
        answers.sent.push_back((Now() - sendAt) * 1000.0);
        next = std::max(next + 0.010, Now()); // a tick missed starts the ticks anew
        ::Sleep(static_cast<DWORD>(std::max(0.0, next - Now()) * 1000.0));
    }
    // The success box holds the worker, not the window, which catches up meanwhile.
    answers.ok = id == 0 || box.caption == kNoticeCaption;
    if (box.caption == kNoticeCaption)
        driver.Sync(3600000);
    else if (box)
        Fail(box.Describe());
    if (box)
        DismissBox(box.window);
    driver.WaitIdle(3600000);
    ::UnhookWindowsHookEx(hook);
    std::vector<double> offsets; // the server's clock against Now()
    for (size_t i = 0; i < postedAt.size(); ++i)
        if (g_log.takenAt[i] != 0) {
            answers.posted.push_back((g_log.takenAt[i] - postedAt[i]) * 1000.0);
            offsets.push_back(postedAt[i] - g_log.postedTime[i] / 1000.0);
        }
    const double offset = Percentile(offsets, 0.5);
    if (id != 0)
        answers.seconds = g_log.lastStepTime / 1000.0 + offset - start;
    if (blocks > 0) {
        if (WaitFor([] { return g_log.listCompleteAt != 0; }, 60000))
            answers.listedMs = (g_log.listCompleteAt - offset) * 1000.0 - g_log.lastBlockTime;
        ::SetWindowLongPtrW(list, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(g_listProc));
    }
    return answers;
}

// The cost of the messages the handlers send to the controls, 1000 of each; shown, then hidden.
int MeasureHandlers()
{
    MainDialogDriver driver;
    for (const std::string state : {"shown", "hidden"}) {
        ::ShowWindow(driver.Dialog(), state == "shown" ? SW_SHOWNA : SW_HIDE);
        driver.SendToItem(IDC_MERGE_LIST, LB_RESETCONTENT);
        driver.SendToItem(IDC_PROGRESS, PBM_SETRANGE32, 1, 1000);
        // The seconds that 1000 take are the milliseconds that one takes.
        const double start = Now();
        for (int i = 1; i <= 1000; ++i)
            driver.SendToItem(IDC_PROGRESS, PBM_SETPOS, i);
        const double between = Now();
        for (int i = 0; i < 1000; ++i) {
            const std::wstring name = L"many_" + std::to_wstring(i) + L".dat";
            driver.SendToItem(IDC_MERGE_LIST, LB_INSERTSTRING, static_cast<WPARAM>(-1),
                              reinterpret_cast<LPARAM>(name.c_str()));
            driver.SendToItem(IDC_MERGE_LIST, LB_GETCOUNT);
            driver.SendToItem(IDC_MERGE_LIST, LB_SETCURSEL, i);
        }
        Result(state + "_setpos_ms", between - start);
        Result(state + "_additem_ms", Now() - between);
    }
    return 0;
}

// The main dialog asked every 10 ms with no job, then while it separates
// SOURCE into blocks of that many megabytes and merges them into RESULT.
int MeasureWindow(const std::wstring& source, const std::wstring& result,
                  const std::wstring& megabytes)
{
    MainDialogDriver driver;
    driver.ChooseSeparation(source, megabytes, IDC_MBYTE);
    driver.SetText(IDC_RESULT_FILE, result);
    driver.Sync();
    const uint64_t block = static_cast<uint64_t>(_wtoi(megabytes.c_str())) << 20;
    const LRESULT blocks = static_cast<LRESULT>((FileSizeOf(source) + block - 1) / block);
    const std::pair<std::string, int> jobs[] = {
        {"idle", 0}, {"separate", IDC_SEPARATE}, {"merge", IDC_MERGE}};
    for (const auto& [job, id] : jobs) {
        const Answers answers = Probe(driver, id, id == IDC_SEPARATE ? blocks : 0);
        if (!answers.ok)
            return Fail("the job through the window did not succeed: " + job);
        Result(job + "_seconds", answers.seconds);
        Result(job + "_probes", static_cast<double>(answers.sent.size()));
        for (const auto& [way, ms] : {std::pair(job + "_sent", &answers.sent),
                                      std::pair(job + "_posted", &answers.posted)}) {
            Result(way + "_p50_ms", Percentile(*ms, 0.50));
            Result(way + "_p99_ms", Percentile(*ms, 0.99));
            Result(way + "_max_ms", Percentile(*ms, 1.0));
        }
        if (answers.listedMs >= 0)
            Result(job + "_listed_ms", answers.listedMs);
    }
    return 0;
}

// Cuts a source into each count of 1 K blocks through the window, in a new folder,
// then over the blocks just written (Wine need not search the folder for names that
// exist). A block is done when the list shows it. Prints its own table.
int MeasureScale(const std::wstring& root, const std::vector<std::wstring>& counts)
{
    const std::string first = Narrow(counts.front());
    Row({"1 K blocks through the window", "new files: seconds", "per block", "against " + first,
         "window p99 sent / posted", "over the same blocks: seconds", "per block",
         "against " + first}, true);
    double firstMs[2] = {}; // per block, new files and over the same, at the first count
    bool met = true;
    for (const std::wstring& count : counts) {
        const size_t blocks = static_cast<size_t>(_wtoi(count.c_str()));
        const std::wstring dir = root + L"\\blocks" + count + L"\\";
        ::CreateDirectoryW(dir.c_str(), nullptr);
        WriteBigFile(dir + L"many.dat", blocks * 1024, static_cast<uint32_t>(blocks));
        MainDialogDriver driver;
        driver.ChooseSeparation(dir + L"many.dat", L"1", IDC_KBYTE);
        driver.Sync();
        double seconds[2] = {}, ms[2] = {};
        Answers fresh; // the first pass's
        for (int pass = 0; pass < 2; ++pass) {
            const Answers answers = Probe(driver, IDC_SEPARATE, static_cast<LRESULT>(blocks));
            const LRESULT listed = driver.SendToItem(IDC_MERGE_LIST, LB_GETCOUNT);
            if (!answers.ok || listed != static_cast<LRESULT>(blocks) || answers.listedMs < 0)
                return Fail(Format("%zu blocks, pass %d: %d listed", blocks, pass + 1,
                                   static_cast<int>(listed)));
            seconds[pass] = answers.seconds + answers.listedMs / 1000.0;
            ms[pass] = seconds[pass] * 1000.0 / static_cast<double>(blocks);
            if (&count == &counts.front())
                firstMs[pass] = ms[pass];
            if (pass == 0)
                fresh = answers;
        }
        met = met && ms[0] / firstMs[0] <= 1.2;
        Row({Narrow(count), Format("%.1f", seconds[0]), Format("%.2f ms", ms[0]),
             Format("%.2fx", ms[0] / firstMs[0]),
             Format("%.1f / %.1f ms", Percentile(fresh.sent, 0.99), Percentile(fresh.posted, 0.99)),
             Format("%.1f", seconds[1]), Format("%.2f ms", ms[1]),
             Format("%.2fx", ms[1] / firstMs[1])});
    }
    std::printf("(target: at most 1.2x per block what %s cost, new files: %s. Wine reads the\n"
                "whole folder for each new name.)\n", first.c_str(), Verdict(met));
    return 0;
}

// The tables, from the lines the script collected: "RESULT key value" and "INFO key text".
int PrintTable(const std::wstring& path)
{
    std::map<std::string, std::vector<double>> values;
    std::map<std::string, std::string> info;
    std::ifstream in(Narrow(path));
    std::string tag, name, rest;
    while (in >> tag >> name && std::getline(in, rest)) {
        if (tag == "RESULT")
            values[name].push_back(std::stod(rest));
        else
            info[name] = rest.substr(rest.empty() ? 0 : 1);
    }
    if (values["separate_seconds"].empty())
        return Fail("no measurements in the file");
    // The median of the runs (the lower middle of an even count).
    const auto median = [&](const std::string& key) {
        std::vector<double> v = values[key];
        std::sort(v.begin(), v.end());
        return v.empty() ? 0 : v[(v.size() - 1) / 2];
    };
    const double size = median("source_bytes");
    const auto mbs = [&](const std::string& key) {
        return Format("%.0f MB/s", size / median(key) / 1e6);
    };
    const std::string gib = size >= (1 << 30) ? Format("%.0f GiB", size / (1 << 30))
                                               : Format("%.0f MiB", size / (1 << 20));
    const double bigBlocks = std::ceil(size / (100 * kMiB));
    const std::string big = Format("separate into %.0f blocks of 100 M", bigBlocks);
    const std::string merge = Format("merge the %.0f blocks", bigBlocks);
    const std::string small = Format("%.0f blocks of 1 M", std::ceil(size / kMiB));
    const std::string separateSmall = "separate into " + small;
    std::printf("\nKestrane on %s; median of %zu runs; MB = 10^6 bytes; load average at the start"
                " %s, at the end %s\n", info["machine"].c_str(), values["separate_seconds"].size(),
                info["load_start"].c_str(), info["load_end"].c_str());

    Row({gib + " of random bytes", "Kestrane", "reference", "ratio", "target", ""}, true);
    // Kestrane against a reference (keys without "_seconds"); no target: for reference only.
    const auto speed = [&](const std::string& what, const std::string& ours,
                           const std::string& ref, double target) {
        const double ratio = median(ref + "_seconds") / median(ours + "_seconds");
        Row({what, mbs(ours + "_seconds"), mbs(ref + "_seconds"), Format("%.2fx", ratio),
             target > 0 ? Format(">= %.2f", target) : "",
             target > 0 ? Verdict(ratio >= target) : ""});
    };
    const std::string synced = " (every 1 MiB synced)", native = ", against the native loop";
    speed(big + ", against dd" + synced, "separate", "dd_separate", 0.95);
    speed(big + native, "separate", "native_separate", 0.85);
    speed(merge + ", against a dd per block" + synced, "merge", "dd_merge", 0.95);
    speed(merge + native, "merge", "native_merge", 0.85);
    speed(separateSmall + " through the window" + native, "win1_separate", "native_small", 0.5);
    speed(separateSmall + " without the window" + native, "small", "native_small", 0);
    std::printf("(Kestrane: to the job's last chunk written and flushed. dd: bs=1M oflag=dsync;\n"
                "merge: oflag=dsync,append conv=notrunc. Native loop: read 1 MiB, write, fsync, a\n"
                "file per block. Without the window: its messages taken by a window that draws\n"
                "nothing.)\n");

    Row({"memory a job adds (peak against idle, largest of the runs)", "working set",
         "private bytes", "target", ""}, true);
    for (const std::string job : {"separate", "merge"}) {
        const double ws = Percentile(values[job + "_added_working_set"], 1.0);
        const double pf = Percentile(values[job + "_added_pagefile"], 1.0);
        Row({job, Format("%.0f KiB", ws / 1024), Format("%.0f KiB", pf / 1024),
             "<= 4096 KiB, both", Verdict(std::max(ws, pf) <= 4 * kMiB)});
    }

    Row({"main window, asked every 10 ms", "probes", "sent WM_NULL p50 / p99 / max",
         "posted message p50 / p99 / max", "target: posted p99", "", "job speed"}, true);
    const auto ms = [&](const std::string& key) {
        return Format("%.1f / %.1f / %.1f ms", median(key + "_p50_ms"),
                      median(key + "_p99_ms"), median(key + "_max_ms"));
    };
    Row({"no job", Format("%.0f", median("win100_idle_probes")), ms("win100_idle_sent"),
         ms("win100_idle_posted"), "", "", ""});
    for (int mb : {100, 1})
        for (const char* job : {"separate", "merge"}) {
            const std::string k = Format("win%d_%s", mb, job);
            Row({Format("during a %s %s, %d M blocks", gib.c_str(), job, mb),
                 Format("%.0f", median(k + "_probes")), ms(k + "_sent"), ms(k + "_posted"),
                 "<= 16 ms", Verdict(median(k + "_posted_p99_ms") <= 16), mbs(k + "_seconds")});
        }

    const double listed = median("win1_separate_listed_ms");
    std::string runs;
    for (double v : values["win1_separate_listed_ms"])
        runs += Format(" %.1f", v);
    Row({"the list after a separation into " + small, "time", "target", ""}, true);
    Row({"from the job's hand-over of its last block to the list drawn with every block",
         Format("%.1f ms (runs:%s)", listed, runs.c_str()), "<= 100 ms", Verdict(listed <= 100)});
    std::printf("\n(A sent message is answered between two handlers; a posted one, like a click,\n"
                "waits behind all queued before it. An update drawn one by one: a progress step\n"
                "%.2f ms, a listed block %.2f ms; hidden %.2f ms and %.2f ms. While a job runs\n"
                "the window draws the newest of what is queued, at most every 100 ms.)\n",
                median("draw_shown_setpos_ms"), median("draw_shown_additem_ms"),
                median("draw_hidden_setpos_ms"), median("draw_hidden_additem_ms"));
    return 0;
}

} // namespace

int wmain(int argc, wchar_t** argv)
{
    const std::wstring mode = argc > 1 ? argv[1] : L"";
    if ((mode == L"separate" && argc == 4) || (mode == L"merge" && argc >= 5))
        return MeasureJob(mode == L"merge" ? JOB_MERGE : JOB_SEPARATE, argc, argv);
    if (mode == L"handlers")
        return MeasureHandlers();
    if (mode == L"window" && argc == 5)
        return MeasureWindow(argv[2], argv[3], argv[4]);
    if (mode == L"scale" && argc >= 4)
        return MeasureScale(argv[2], std::vector<std::wstring>(argv + 3, argv + argc));
    if (mode == L"table" && argc == 3)
        return PrintTable(argv[2]);
    return Fail("usage: kestrane_bench separate|merge|window|handlers|scale|table ...");
}
