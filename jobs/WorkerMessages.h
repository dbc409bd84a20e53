// The messages a running job posts to the window that started it.
#pragma once

#include <windows.h>

// wParam: low end of the range (1); lParam: high end, the job's chunk total.
#define WM_PROGRESS_RANGE (WM_USER + 1)
// wParam: chunks done so far.
#define WM_PROGRESS_POS   (WM_USER + 2)
// A finished block name waits at the front of the job's file list.
#define WM_ADD_MERGE_ITEM (WM_USER + 3)
// The separate job has ended (success, failure or cancel).
#define WM_SEPARATE_END   (WM_USER + 4)
// The merge job has ended (success, failure or cancel).
#define WM_MERGE_END      (WM_USER + 5)
