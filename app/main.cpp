// Start-up and shutdown: narrow the DLL search, prepare the main thread, run
// the main dialog until the user closes it, tear down in reverse order. The
// dialog's result is the exit code. The command line is not read.
#include <windows.h>
#include <commctrl.h>
#include <objbase.h>

#include "app/AppModule.h"
#include "app/DllSearch.h"
#include "ui/MainDlg.h"

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, LPWSTR, int)
{
    NarrowDllSearch();
    ::CoInitialize(nullptr);
    INITCOMMONCONTROLSEX controls = {sizeof(controls), ICC_BAR_CLASSES};
    ::InitCommonControlsEx(&controls);
    g_Module.Init(instance);

    INT_PTR result;
    {
        CMainDlg dialog;
        result = dialog.DoModal(::GetActiveWindow(), 0);
    }

    g_Module.Term();
    ::CoUninitialize();
    return static_cast<int>(result);
}
