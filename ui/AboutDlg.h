// The About box. (Being completed: links, colours, cursor.)
#pragma once

#include "app/DialogImpl.h"
#include "res/resource.h"

class CAboutDlg : public CDialogImpl<CAboutDlg> {
public:
    enum { IDD = IDD_ABOUTBOX };

    BEGIN_MSG_MAP(CAboutDlg)
        COMMAND_ID_HANDLER(IDOK, OnOk)
        COMMAND_ID_HANDLER(IDCANCEL, OnCancel)
    END_MSG_MAP()

    LRESULT OnOk(WORD, WORD, HWND, BOOL&)
    {
        EndDialog(IDOK);
        return 1;
    }
    LRESULT OnCancel(WORD, WORD, HWND, BOOL&)
    {
        EndDialog(IDCANCEL);
        return 1;
    }
};
