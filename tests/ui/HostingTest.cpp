// The dialog hosting layer: how a dialog object is bound to its window, how
// its message map's answers reach the platform, and running it modally.
#include <windows.h>
#include <commctrl.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "app/DialogImpl.h"
#include "res/resource.h"
#include "support/Windows.h"

namespace {

const UINT WM_PROBE_RUN = WM_APP + 1;
const UINT WM_PROBE_VALUE = WM_APP + 2;
const LRESULT kProbeValue = 0x12345678;

// A dialog on template Idd whose handlers record what they see. Once it runs it probes
// itself through the platform (SendMessage goes through the dialog manager) and ends with 7.
template <int Idd>
class CProbeDlg : public CDialogImpl<CProbeDlg<Idd>> {
public:
    enum { IDD = Idd };

    BEGIN_MSG_MAP(CProbeDlg)
        // Every message that reaches the map, and whether the object knew its window by then.
        seen.push_back(uMsg);
        boundLate = boundLate || this->m_hWnd != hWnd;
        MESSAGE_HANDLER(WM_INITDIALOG, OnInitDialog)
        MESSAGE_HANDLER(WM_SETTEXT, OnSetText)
        MESSAGE_HANDLER(WM_CTLCOLORSTATIC, OnCtlColorStatic)
        MESSAGE_HANDLER(WM_PROBE_VALUE, OnProbeValue)
        MESSAGE_HANDLER(WM_PROBE_RUN, OnProbeRun)
    END_MSG_MAP()

    LRESULT OnInitDialog(UINT, WPARAM, LPARAM, BOOL&)
    {
        ++initCount;
        if (probing)
            return 0x55;
        // Answering 0: the dialog manager does not put the focus anywhere.
        ::PostMessageW(this->m_hWnd, WM_PROBE_RUN, 0, 0);
        return 0;
    }

    LRESULT OnSetText(UINT, WPARAM, LPARAM, BOOL& bHandled)
    {
        ++setTextCount;
        if (passSetText)
            bHandled = FALSE;
        return 77;
    }

    LRESULT OnCtlColorStatic(UINT, WPARAM, LPARAM, BOOL&)
    {
        return reinterpret_cast<LRESULT>(::GetStockObject(GRAY_BRUSH));
    }

    LRESULT OnProbeValue(UINT, WPARAM, LPARAM, BOOL&) { return kProbeValue; }

    LRESULT OnProbeRun(UINT, WPARAM, LPARAM, BOOL&)
    {
        HWND hWnd = this->m_hWnd;
        probing = true;
        focusOnFirstTabStop = ::GetFocus() == this->GetDlgItem(IDC_SOURCE_FILE);
        initAnswer = ::SendMessageW(hWnd, WM_INITDIALOG, 0, 0);
        colorAnswer = ::SendMessageW(hWnd, WM_CTLCOLORSTATIC, 0, 0);
        valueAnswer = ::SendMessageW(hWnd, WM_PROBE_VALUE, 0, 0);
        valueSlot = ::GetWindowLongPtrW(hWnd, DWLP_MSGRESULT);

        // Handled, the caption stays; passed on, the default processing sets it.
        setTextCount = 0;
        passSetText = false;
        keptTextAnswer = ::SendMessageW(hWnd, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(L"Kept"));
        captionAfterHandled = WindowText(hWnd);
        passSetText = true;
        ::SendMessageW(hWnd, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(L"Passed"));
        captionAfterPassed = WindowText(hWnd);
        // A message without an entry gets the default processing as well.
        lengthAnswer = ::SendMessageW(hWnd, WM_GETTEXTLENGTH, 0, 0);

        LRESULT ignored = 0;
        otherMapHandled = this->ProcessWindowMessage(hWnd, WM_PROBE_VALUE, 0, 0, ignored, 1);

        probing = false;
        this->EndDialog(7);
        return 0;
    }

    int initCount = 0, setTextCount = 0;
    bool passSetText = false, probing = false, boundLate = false;
    bool focusOnFirstTabStop = true;
    LRESULT initAnswer = 0, colorAnswer = 0, valueAnswer = 0, valueSlot = 0;
    LRESULT keptTextAnswer = 0, lengthAnswer = 0;
    std::wstring captionAfterHandled, captionAfterPassed;
    BOOL otherMapHandled = TRUE;
    std::vector<UINT> seen;
    HWND finalWindow = nullptr;

    void OnFinalMessage(HWND hWnd) override { finalWindow = hWnd; }
};

} // namespace

TEST(DialogHosting, BindsTheWindowAnswersByThePlatformsRuleAndRunsAgain)
{
    INITCOMMONCONTROLSEX controls = {sizeof(controls), ICC_BAR_CLASSES};
    ::InitCommonControlsEx(&controls);
    CProbeDlg<IDD_MAINDLG> probe;
    ASSERT_EQ(7, probe.DoModal(nullptr, 0));

    // The handlers see their window from the first message.
    ASSERT_FALSE(probe.seen.empty());
    EXPECT_FALSE(probe.boundLate);
    EXPECT_EQ(1u, std::count(probe.seen.begin(), probe.seen.end(), UINT{WM_NCDESTROY}));
    EXPECT_EQ(UINT{WM_NCDESTROY}, probe.seen.back());
    // The window is forgotten after its last message, and the hook hears of it.
    EXPECT_EQ(nullptr, probe.m_hWnd);
    EXPECT_NE(nullptr, probe.finalWindow);
    EXPECT_FALSE(::IsWindow(probe.finalWindow));

    // WM_INITDIALOG and WM_CTLCOLORSTATIC: the handler's result itself.
    EXPECT_EQ(0x55, probe.initAnswer);
    EXPECT_EQ(reinterpret_cast<LRESULT>(::GetStockObject(GRAY_BRUSH)), probe.colorAnswer);
    // Answering 0 to the real WM_INITDIALOG kept the dialog manager from
    // focusing the first tab stop (the main window, answering 1, has it).
    EXPECT_FALSE(probe.focusOnFirstTabStop);

    // Others: through the message-result slot.
    EXPECT_EQ(kProbeValue, probe.valueAnswer);
    EXPECT_EQ(kProbeValue, probe.valueSlot);
    EXPECT_EQ(77, probe.keptTextAnswer);

    // Clearing bHandled leaves the message to the default processing.
    EXPECT_EQ(2, probe.setTextCount);
    EXPECT_EQ(L"Kestrane", probe.captionAfterHandled);
    EXPECT_EQ(L"Passed", probe.captionAfterPassed);
    EXPECT_EQ(6, probe.lengthAnswer);
    EXPECT_FALSE(probe.otherMapHandled) << "only map 0 answers";

    CProbeDlg<9999> missing;  // a template the program does not have
    EXPECT_EQ(-1, missing.DoModal(nullptr, 0));
    EXPECT_EQ(nullptr, missing.m_hWnd);
    EXPECT_EQ(0, missing.initCount);
    // The failed run leaves no object waiting for a window.
    EXPECT_EQ(nullptr, g_Module.ExtractCreateWndData());

    // The probe, which ran once already, runs again after its window has ended.
    EXPECT_EQ(7, probe.DoModal(nullptr, 0));
    EXPECT_EQ(7, probe.DoModal(nullptr, 0));
    EXPECT_EQ(3 * 2, probe.initCount);
}
