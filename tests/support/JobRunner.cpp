#include "support/JobRunner.h"

#include <gtest/gtest.h>

#include "jobs/WorkerMessages.h"
#include "support/Windows.h"

static const wchar_t kRecorderClass[] = L"KestraneJobRecorder";

JobRunner::JobRunner()
{
    WNDCLASSW wc = {};
    wc.lpfnWndProc = WindowProc;
    wc.hInstance = ::GetModuleHandleW(nullptr);
    wc.lpszClassName = kRecorderClass;
    ::RegisterClassW(&wc);
    window = ::CreateWindowW(kRecorderClass, L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr,
                             wc.hInstance, nullptr);
    ::SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
    EXPECT_TRUE(job.InitJobState(window));
}

JobRunner::~JobRunner()
{
    job.m_bCancel = true;
    if (!WaitFor([this] {
            DismissWhatWasLeftOpen();
            return !job.IsJobRunning();
        }))
        EndTestProgram("the job did not end after a cancel");
    job.CancelJobAndWait();
    ::DestroyWindow(window);
}

void JobRunner::SetSeparate(const std::wstring& path, int32_t blockSize)
{
    job.m_strJobPath = path;
    job.m_nBlockSize = blockSize;
    job.m_fileList.clear();
}

void JobRunner::SetMerge(const std::wstring& dir, const std::vector<std::wstring>& names,
                         const std::wstring& result)
{
    job.m_strJobPath = result;
    job.m_strListDir = dir;
    job.m_fileList.assign(names.begin(), names.end());
}

void JobRunner::Record(const std::wstring& event)
{
    events.push_back(event);
    if (onEvent)
        onEvent(event);
}

LRESULT CALLBACK JobRunner::WindowProc(HWND hWnd, UINT msg, WPARAM wParam, LPARAM lParam)
{
    auto* self = reinterpret_cast<JobRunner*>(::GetWindowLongPtrW(hWnd, GWLP_USERDATA));
    if (self == nullptr)
        return ::DefWindowProcW(hWnd, msg, wParam, lParam);
    switch (msg) {
    case WM_PROGRESS_RANGE:
        self->Record(L"range " + std::to_wstring(wParam) + L" " + std::to_wstring(lParam));
        return 0;
    case WM_PROGRESS_POS:
        self->Record(L"pos " + std::to_wstring(wParam));
        return 0;
    case WM_ADD_MERGE_ITEM: {
        std::wstring name;
        {
            CLock lock(self->job.m_lock);
            if (!self->job.m_fileList.empty()) {
                name = self->job.m_fileList.front();
                self->job.m_fileList.pop_front();
            }
        }
        self->Record(L"item " + name);
        return 0;
    }
    case WM_JOB_ASKED: {
        std::wstring text;
        {
            CLock lock(self->job.m_lock);
            text = self->job.m_questions.front();
            self->job.m_questions.pop_front();
        }
        self->Record(L"ask " + text);
        return 0;
    }
    case WM_SEPARATE_END:
    case WM_MERGE_END:
        self->Record(msg == WM_SEPARATE_END ? L"end separate" : L"end merge");
        return 0;
    default:
        return ::DefWindowProcW(hWnd, msg, wParam, lParam);
    }
}

Events JobRunner::Run(JobKind kind, const std::function<void(const std::wstring&)>& eventHook)
{
    events.clear();
    onEvent = eventHook;
    job.m_nPolls = job.m_nFlushes = job.m_nCloses = 0;
    job.m_executionStates.clear();
    if (!job.LaunchJob(kind)) {
        ADD_FAILURE() << "the job could not be launched";
        return events;
    }
    // Until the job has ended: record what it posts and the boxes it shows.
    // A box is recorded after everything posted before it was shown.
    bool ended = WaitFor([this] {
        if (const ShownBox box = FindBox()) {
            PumpMessages();
            Record(BoxEvent(box.caption, box.text));
            EXPECT_TRUE(DismissBox(box.window));
        }
        return !job.IsJobRunning();
    }, 600000);
    EXPECT_TRUE(ended) << "the job did not end";
    PumpMessages();
    onEvent = nullptr;
    return events;
}

Events WithoutPositions(const Events& events)
{
    Events rest;
    for (const std::wstring& event : events)
        if (event.compare(0, 4, L"pos ") != 0)
            rest.push_back(event);
    return rest;
}

std::vector<std::wstring> ItemNames(const Events& events)
{
    std::vector<std::wstring> names;
    for (const std::wstring& event : events)
        if (event.compare(0, 5, L"item ") == 0)
            names.push_back(event.substr(5));
    return names;
}
