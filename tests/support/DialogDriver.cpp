#include "support/DialogDriver.h"

#include <gtest/gtest.h>
#include <commctrl.h>
#include <commdlg.h>
#include <objbase.h>

#include <atomic>

#include "support/Boxes.h"

MainDialogDriver::MainDialogDriver(const std::function<void(CMainDlg&)>& prepare)
    : m_dialog(new CMainDlg)
{
    if (prepare)
        prepare(*m_dialog);
    static std::atomic<bool> controlsReady{false};
    if (!controlsReady.exchange(true)) {
        INITCOMMONCONTROLSEX controls = {sizeof(controls), ICC_BAR_CLASSES};
        ::InitCommonControlsEx(&controls);
    }
    m_thread = std::thread([this] {
        ::CoInitialize(nullptr);
        m_result = m_dialog->DoModal(nullptr, 0);
        m_bClosed = true;
        ::CoUninitialize();
    });
    EXPECT_TRUE(WaitFor([this] {
        m_hDialog = m_dialog->m_hWnd;
        return m_hDialog != nullptr && ::IsWindowVisible(m_hDialog);
    })) << "the main dialog did not come up";
}

MainDialogDriver::~MainDialogDriver()
{
    // (A dialog that did not come up in time may still be on its way.)
    HWND window = m_hDialog != nullptr ? m_hDialog : m_dialog->m_hWnd;
    if (window != nullptr && ::IsWindow(window))
        ::PostMessageW(window, WM_CLOSE, 0, 0);
    if (!WaitFor([this] {
            DismissWhatWasLeftOpen();
            return m_bClosed.load();
        }))
        EndTestProgram("the main dialog did not close");
    m_thread.join();
}

// Sync posts a marker behind everything already queued for the dialog and
// waits until the dialog thread's loop takes it: everything before it has
// been handled by then.
static const UINT kSyncMarker = ::RegisterWindowMessageW(L"KestraneTestSyncMarker");
static std::atomic<LONG> g_syncSeen{0};

static LRESULT CALLBACK SyncHook(int code, WPARAM wParam, LPARAM lParam)
{
    const MSG* msg = reinterpret_cast<const MSG*>(lParam);
    if (code == HC_ACTION && msg->message == kSyncMarker)
        g_syncSeen = static_cast<LONG>(msg->wParam);
    return ::CallNextHookEx(nullptr, code, wParam, lParam);
}

bool MainDialogDriver::Sync(DWORD timeoutMs) const
{
    static std::atomic<LONG> counter{0};
    const LONG marker = ++counter;
    const DWORD thread = ::GetWindowThreadProcessId(m_hDialog, nullptr);
    HHOOK hook = ::SetWindowsHookExW(WH_GETMESSAGE, SyncHook, nullptr, thread);
    ::PostMessageW(m_hDialog, kSyncMarker, marker, 0);
    bool seen = WaitFor([marker] { return g_syncSeen == marker; }, timeoutMs);
    ::UnhookWindowsHookEx(hook);
    return seen;
}

// Hold posts a marker at which a hook on the dialog thread stops until
// Release, or for a deadline at the most.
static const UINT kHoldMarker = ::RegisterWindowMessageW(L"KestraneTestHoldMarker");
static HANDLE g_held = ::CreateEventW(nullptr, TRUE, FALSE, nullptr);
static HANDLE g_released = ::CreateEventW(nullptr, TRUE, FALSE, nullptr);

static LRESULT CALLBACK HoldHook(int code, WPARAM wParam, LPARAM lParam)
{
    const MSG* msg = reinterpret_cast<const MSG*>(lParam);
    if (code == HC_ACTION && wParam == PM_REMOVE && msg->message == kHoldMarker) {
        ::SetEvent(g_held);
        ::WaitForSingleObject(g_released, kDeadlineMs);
    }
    return ::CallNextHookEx(nullptr, code, wParam, lParam);
}

bool MainDialogDriver::Hold() const
{
    ::ResetEvent(g_held);
    ::ResetEvent(g_released);
    const DWORD thread = ::GetWindowThreadProcessId(m_hDialog, nullptr);
    HHOOK hook = ::SetWindowsHookExW(WH_GETMESSAGE, HoldHook, nullptr, thread);
    ::PostMessageW(m_hDialog, kHoldMarker, 0, 0);
    const bool held = ::WaitForSingleObject(g_held, kDeadlineMs) == WAIT_OBJECT_0;
    ::UnhookWindowsHookEx(hook);
    return held;
}

void MainDialogDriver::Release() const
{
    ::SetEvent(g_released);
}

bool MainDialogDriver::WaitIdle(DWORD timeoutMs)
{
    return WaitFor([this] { return !m_dialog->IsJobRunning(); }, timeoutMs) && Sync(timeoutMs);
}

bool MainDialogDriver::WaitClosed(DWORD timeoutMs)
{
    return WaitFor([this] { return m_dialog->m_hWnd == nullptr && m_bClosed; }, timeoutMs);
}

static HWND g_countedItem = nullptr;
static UINT g_countedMsg = 0;
static std::atomic<int> g_sentCount{0};

static LRESULT CALLBACK SentHook(int code, WPARAM wParam, LPARAM lParam)
{
    const CWPSTRUCT* sent = reinterpret_cast<const CWPSTRUCT*>(lParam);
    if (code == HC_ACTION && sent->hwnd == g_countedItem && sent->message == g_countedMsg)
        ++g_sentCount;
    return ::CallNextHookEx(nullptr, code, wParam, lParam);
}

// Sets hook proc of kind type on the dialog's thread.
static HHOOK HookDialogThread(const MainDialogDriver& driver, int type, HOOKPROC proc)
{
    return ::SetWindowsHookExW(type, proc, nullptr,
                               ::GetWindowThreadProcessId(driver.Dialog(), nullptr));
}

static HHOOK CountSent(const MainDialogDriver& driver, int id, UINT msg)
{
    g_countedItem = driver.Item(id);
    g_countedMsg = msg;
    g_sentCount = 0;
    return HookDialogThread(driver, WH_CALLWNDPROC, SentHook);
}

SentToItemCounter::SentToItemCounter(const MainDialogDriver& driver, int id, UINT msg)
    : m_hook(CountSent(driver, id, msg))
{
}

int SentToItemCounter::Count() const
{
    return g_sentCount;
}

static HWND g_probedDialog = nullptr;
static HWND g_probedItem = nullptr;
static std::atomic<int> g_paintWait{-1};

static LRESULT CALLBACK TakenHook(int code, WPARAM wParam, LPARAM lParam)
{
    const MSG* taken = reinterpret_cast<const MSG*>(lParam);
    if (code == HC_ACTION && wParam == PM_REMOVE && taken->hwnd == g_probedDialog &&
        taken->message == WM_NULL && g_paintWait < 0)
        g_paintWait = ::GetUpdateRect(g_probedItem, nullptr, FALSE) ? 1 : 0;
    return ::CallNextHookEx(nullptr, code, wParam, lParam);
}

static HHOOK ProbePaintWait(const MainDialogDriver& driver, int id)
{
    g_probedDialog = driver.Dialog();
    g_probedItem = driver.Item(id);
    g_paintWait = -1;
    return HookDialogThread(driver, WH_GETMESSAGE, TakenHook);
}

PaintWaitProbe::PaintWaitProbe(const MainDialogDriver& driver, int id)
    : m_hook(ProbePaintWait(driver, id))
{
}

bool PaintWaitProbe::Looked() const
{
    return g_paintWait >= 0;
}

bool PaintWaitProbe::Waited() const
{
    return g_paintWait == 1;
}

void ExpectNewestListed(const MainDialogDriver& driver, const std::vector<std::wstring>& names)
{
    EXPECT_EQ(names, driver.ListItems());
    const int last = static_cast<int>(names.size()) - 1;
    EXPECT_EQ(last, driver.ListSelection());
    HWND list = driver.Item(IDC_MERGE_LIST);
    RECT client = {};
    RECT row = {};
    ::GetClientRect(list, &client);
    driver.SendToItem(IDC_MERGE_LIST, LB_GETITEMRECT, last, reinterpret_cast<LPARAM>(&row));
    EXPECT_TRUE(row.top >= client.top && row.bottom <= client.bottom) << "the newest name is out of view";
    SCROLLINFO scroll = {};
    scroll.cbSize = sizeof(scroll);
    scroll.fMask = SIF_RANGE | SIF_POS;
    ASSERT_TRUE(::GetScrollInfo(list, SB_VERT, &scroll));
    EXPECT_EQ(last, scroll.nMax) << "the scroll bar does not span the list";
    EXPECT_EQ(driver.SendToItem(IDC_MERGE_LIST, LB_GETTOPINDEX), scroll.nPos);
    const POINT inRow = {row.right - 2, (row.top + row.bottom) / 2};
    EXPECT_TRUE(WaitFor([&] { return DrawnPixel(list, inRow) == ::GetSysColor(COLOR_HIGHLIGHT); }))
        << "the list was not drawn with the newest name selected";
}

static HWND FileNameField(HWND dialog)
{
    // The explorer-style dialogs keep the file name in combo box cmb13 (its
    // edit is inside), older ones in edit edt1.
    HWND field = ::GetDlgItem(dialog, 0x47C);
    return field != nullptr ? field : ::GetDlgItem(dialog, 0x480);
}

HWND SubmitFileDialog(const std::wstring& caption, const std::wstring& text)
{
    HWND dialog = WaitForOwnWindow(caption);
    HWND field = dialog != nullptr ? FileNameField(dialog) : nullptr;
    if (field == nullptr)
        return nullptr;
    ::SendMessageW(field, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text.c_str()));
    ::PostMessageW(dialog, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED),
                   reinterpret_cast<LPARAM>(::GetDlgItem(dialog, IDOK)));
    return dialog;
}

bool AnswerFileDialog(const std::wstring& caption, const std::wstring& text)
{
    HWND dialog = SubmitFileDialog(caption, text);
    return dialog != nullptr && WaitFor([dialog] { return !::IsWindow(dialog); });
}

namespace {
struct OwnedBoxQuery {
    HWND owner;
    HWND found;
};

BOOL CALLBACK MatchOwnedBox(HWND hWnd, LPARAM param)
{
    auto* query = reinterpret_cast<OwnedBoxQuery*>(param);
    wchar_t className[16] = L"";
    ::GetClassNameW(hWnd, className, 16);
    if (::GetWindow(hWnd, GW_OWNER) != query->owner || !::IsWindowVisible(hWnd) ||
        lstrcmpW(className, L"#32770") != 0)
        return TRUE;
    query->found = hWnd;
    return FALSE;
}
} // namespace

bool AnswerQuestion(HWND fileDialog, int button)
{
    OwnedBoxQuery query = {fileDialog, nullptr};
    if (!WaitFor([&query] {
            ::EnumWindows(MatchOwnedBox, reinterpret_cast<LPARAM>(&query));
            return query.found != nullptr;
        }))
        return false;
    HWND box = query.found;
    ::PostMessageW(box, WM_COMMAND, MAKEWPARAM(button, BN_CLICKED),
                   reinterpret_cast<LPARAM>(::GetDlgItem(box, button)));
    return WaitFor([box] { return !::IsWindow(box); });
}

bool CancelFileDialog(const std::wstring& caption)
{
    HWND dialog = WaitForOwnWindow(caption);
    if (dialog == nullptr)
        return false;
    ::PostMessageW(dialog, WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED),
                   reinterpret_cast<LPARAM>(::GetDlgItem(dialog, IDCANCEL)));
    return WaitFor([dialog] { return !::IsWindow(dialog); });
}

// The folder an explorer-style file dialog shows, without a trailing
// backslash unless it is a drive's root.
static std::wstring ShownFolder(HWND dialog)
{
    wchar_t folder[MAX_PATH] = L"";
    DWORD_PTR length = 0;
    if (!::SendMessageTimeoutW(dialog, CDM_GETFOLDERPATH, MAX_PATH, reinterpret_cast<LPARAM>(folder),
                               SMTO_NORMAL, kDeadlineMs, &length) ||
        static_cast<LONG_PTR>(length) <= 0)
        return std::wstring();
    return folder;
}

static std::wstring FolderKey(std::wstring folder)
{
    if (folder.size() > 3 && folder.back() == L'\\')
        folder.pop_back();
    if (!folder.empty())
        ::CharUpperBuffW(&folder[0], static_cast<DWORD>(folder.size()));
    return folder;
}

bool ShowFolderInFileDialog(const std::wstring& caption, const std::wstring& directory)
{
    HWND dialog = SubmitFileDialog(caption, directory);
    if (dialog == nullptr)
        return false;
    const std::wstring wanted = FolderKey(directory);
    return WaitFor([dialog, &wanted] {
        return ::IsWindow(dialog) && FolderKey(ShownFolder(dialog)) == wanted;
    });
}
