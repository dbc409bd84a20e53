#include "support/DialogDriver.h"

#include <gtest/gtest.h>
#include <commctrl.h>
#include <commdlg.h>
#include <objbase.h>


#include "support/Boxes.h"
#include "support/TestFiles.h"

MainDialogDriver::MainDialogDriver(std::unique_ptr<CMainDlg> dialog) : m_dialog(std::move(dialog))
{
    INITCOMMONCONTROLSEX controls = {sizeof(controls), ICC_BAR_CLASSES};
    ::InitCommonControlsEx(&controls);
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

// Hooks proc (of kind type) into the dialog's thread once setUp set what it reads.
static HHOOK HookDialogThread(const MainDialogDriver& driver, int type, HOOKPROC proc,
                              const std::function<void()>& setUp = {})
{
    if (setUp)
        setUp();
    return ::SetWindowsHookExW(type, proc, nullptr,
                               ::GetWindowThreadProcessId(driver.Dialog(), nullptr));
}

// Sync and Hold post a marker behind all that is queued for the dialog; once a
// hook sees the dialog's loop take it, all before it has been handled. Marker
// 0 holds the thread there until Release, or for a deadline at the most.
static const UINT kMarker = ::RegisterWindowMessageW(L"KestraneTestMarker");
static std::atomic<LONG> g_markerSeen{0};
static HANDLE g_held = ::CreateEventW(nullptr, TRUE, FALSE, nullptr);
static HANDLE g_released = ::CreateEventW(nullptr, TRUE, FALSE, nullptr);

static LRESULT CALLBACK MarkerHook(int code, WPARAM wParam, LPARAM lParam)
{
    const MSG* msg = reinterpret_cast<const MSG*>(lParam);
    if (code == HC_ACTION && msg->message == kMarker) {
        if (msg->wParam != 0) {
            g_markerSeen = static_cast<LONG>(msg->wParam);
        } else if (wParam == PM_REMOVE) {
            ::SetEvent(g_held);
            ::WaitForSingleObject(g_released, kDeadlineMs);
        }
    }
    return ::CallNextHookEx(nullptr, code, wParam, lParam);
}

static bool PassMarker(const MainDialogDriver& driver, LONG marker,
                       const std::function<bool()>& taken, DWORD timeoutMs)
{
    CHookHandle hook(HookDialogThread(driver, WH_GETMESSAGE, MarkerHook));
    ::PostMessageW(driver.Dialog(), kMarker, marker, 0);
    return WaitFor(taken, timeoutMs);
}

bool MainDialogDriver::Sync(DWORD timeoutMs) const
{
    static std::atomic<LONG> counter{0};
    const LONG marker = ++counter;
    return PassMarker(*this, marker, [marker] { return g_markerSeen == marker; }, timeoutMs);
}

bool MainDialogDriver::Hold() const
{
    ::ResetEvent(g_held);
    ::ResetEvent(g_released);
    return PassMarker(*this, 0, [] { return ::WaitForSingleObject(g_held, 0) == WAIT_OBJECT_0; },
                      kDeadlineMs);
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

SentToItemCounter::SentToItemCounter(const MainDialogDriver& driver, int id, UINT msg)
    : m_hook(HookDialogThread(driver, WH_CALLWNDPROC, SentHook, [&] {
          g_countedItem = driver.Item(id);
          g_countedMsg = msg;
          g_sentCount = 0;
      }))
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

PaintWaitProbe::PaintWaitProbe(const MainDialogDriver& driver, int id)
    : m_hook(HookDialogThread(driver, WH_GETMESSAGE, TakenHook, [&] {
          g_probedDialog = driver.Dialog();
          g_probedItem = driver.Item(id);
          g_paintWait = -1;
      }))
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
    const int selection = driver.ListSelection();
    EXPECT_EQ(last, selection);
    HWND list = driver.Item(IDC_MERGE_LIST);
    RECT client = {}, row = {};
    ::GetClientRect(list, &client);
    driver.SendToItem(IDC_MERGE_LIST, LB_GETITEMRECT, last, reinterpret_cast<LPARAM>(&row));
    EXPECT_TRUE(row.top >= client.top && row.bottom <= client.bottom)
        << "the newest name is out of view";
    SCROLLINFO scroll = {};
    scroll.cbSize = sizeof(scroll);
    scroll.fMask = SIF_RANGE | SIF_POS;
    ASSERT_TRUE(::GetScrollInfo(list, SB_VERT, &scroll));
    EXPECT_EQ(last, scroll.nMax) << "the scroll bar does not span the list";
    EXPECT_EQ(driver.SendToItem(IDC_MERGE_LIST, LB_GETTOPINDEX), scroll.nPos);
    // A row that is not selected will not be drawn so: no wait for it.
    EXPECT_TRUE(selection == last && WaitFor([&] {
        HDC dc = ::GetDC(list);
        const COLORREF drawn = ::GetPixel(dc, row.right - 2, (row.top + row.bottom) / 2);
        ::ReleaseDC(list, dc);
        return drawn == ::GetSysColor(COLOR_HIGHLIGHT);
    })) << "the list was not drawn with the newest name selected";
}

HWND SubmitFileDialog(const std::wstring& caption, const std::wstring& text)
{
    HWND dialog = WaitForOwnWindow(caption);
    if (dialog == nullptr)
        return nullptr;
    // The explorer-style dialogs keep the file name in combo box cmb13 (its
    // edit is inside), older ones in edit edt1.
    HWND field = ::GetDlgItem(dialog, 0x47C);
    if (field == nullptr)
        field = ::GetDlgItem(dialog, 0x480);
    if (field == nullptr)
        return nullptr;
    ::SendMessageW(field, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text.c_str()));
    ::PostMessageW(dialog, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED),
                   reinterpret_cast<LPARAM>(::GetDlgItem(dialog, IDOK)));
    return dialog;
}

HWND ChooseAllInFileDialog(const std::wstring& caption)
{
    HWND dialog = WaitForOwnWindow(caption);
    HWND view = dialog == nullptr ? nullptr
                                  : ::FindWindowExW(dialog, nullptr, L"SHELLDLL_DefView", nullptr);
    HWND list = view == nullptr ? nullptr
                                : ::FindWindowExW(view, nullptr, L"SysListView32", nullptr);
    if (list == nullptr || !::SetForegroundWindow(dialog))
        return nullptr;
    // The dialog moves the focus on its own thread.
    ::SendMessageW(dialog, WM_NEXTDLGCTL, reinterpret_cast<WPARAM>(list), TRUE);
    // Wine's file list has no Ctrl+A: there the files are chosen from the last.
    if (IsWine()) {
        PressKeys({VK_END});
        PressKeys({VK_SHIFT, VK_HOME});
    } else {
        PressKeys({VK_CONTROL, 'A'});
    }
    PressKeys({VK_RETURN});
    return dialog;
}

bool AnswerFileDialog(const std::wstring& caption, const std::wstring& text)
{
    HWND dialog = SubmitFileDialog(caption, text);
    return dialog != nullptr && WaitFor([dialog] { return !::IsWindow(dialog); });
}

bool AnswerQuestion(HWND fileDialog, int button)
{
    std::vector<HWND> boxes;
    const bool asked = WaitFor([&] {
        boxes = TopWindows([fileDialog](HWND hWnd) {
            wchar_t className[16] = L"";
            ::GetClassNameW(hWnd, className, 16);
            return ::GetWindow(hWnd, GW_OWNER) == fileDialog && ::IsWindowVisible(hWnd) &&
                   lstrcmpW(className, L"#32770") == 0;
        });
        return !boxes.empty();
    });
    return asked && PressButton(boxes.front(), button);
}

bool CancelFileDialog(const std::wstring& caption)
{
    HWND dialog = WaitForOwnWindow(caption);
    return dialog != nullptr && PressButton(dialog, IDCANCEL);
}

bool ShowFolderInFileDialog(const std::wstring& caption, const std::wstring& directory)
{
    // Folders compared in upper case, with no trailing backslash but a root's.
    const auto key = [](std::wstring folder) {
        if (folder.size() > 3 && folder.back() == L'\\')
            folder.pop_back();
        ::CharUpperBuffW(&folder[0], static_cast<DWORD>(folder.size()));
        return folder;
    };
    HWND dialog = SubmitFileDialog(caption, directory);
    return dialog != nullptr && WaitFor([&] {
        wchar_t shown[MAX_PATH] = L"";
        DWORD_PTR length = 0;
        return ::IsWindow(dialog) &&
               ::SendMessageTimeoutW(dialog, CDM_GETFOLDERPATH, MAX_PATH,
                                     reinterpret_cast<LPARAM>(shown), SMTO_NORMAL, kDeadlineMs,
                                     &length) &&
               static_cast<LONG_PTR>(length) > 0 && key(shown) == key(directory);
    });
}
