// The messages a running job posts to the window that started it, and the
// protocol around them.
#pragma once

#include <windows.h>

#define WM_PROGRESS_RANGE (WM_USER + 1)
#define WM_PROGRESS_POS   (WM_USER + 2)
#define WM_ADD_MERGE_ITEM (WM_USER + 3)
#define WM_SEPARATE_END   (WM_USER + 4)
#define WM_MERGE_END      (WM_USER + 5)

// The job only posts, never sends, and shows its boxes without an owner, so
// it never waits for the window. The window handles each message in
// ui/MainDlg.cpp. Windows refuses a post when the window is gone or when
// 10,000 posted messages already wait in its thread's queue.
//
// | message           | the job posts it                   | the window             | a refused post     |
// |-------------------|------------------------------------|------------------------|--------------------|
// | WM_PROGRESS_RANGE | once, before the first chunk;      | sets the bar's 32-bit  | lost: the bar      |
// |                   | wParam 1, lParam the chunk total,  | range; the taskbar     | keeps the range it |
// |                   | halved until 31 bits hold it       | button starts to follow| had                |
// | WM_PROGRESS_POS   | after each chunk written and       | draws the newest       | made good by the   |
// |                   | flushed; wParam the chunks done    | position, at most every| next one, or by    |
// |                   | (halved as the total was)          | JOB_DRAW_INTERVAL_MS   | the end            |
// |                   |                                    | but the last at once   |                    |
// | WM_ADD_MERGE_ITEM | separate job: after each block is  | moves every name       | carried by the     |
// |                   | closed, while it holds m_lock and  | waiting in m_fileList  | next one, or by    |
// |                   | has put the block's bare name at   | to the list's end;     | the end            |
// |                   | the back of m_fileList             | draws it when due      |                    |
// | WM_SEPARATE_END   | once at each end after the range:  | takes the names still  | posted again every |
// | WM_MERGE_END      | success (after its box is closed), | waiting, draws the     | 20 ms until the    |
// |                   | failure (before its box), cancel;  | list, empties the bar  | window has it or is|
// |                   | never before the range (a failure  | and the taskbar button | gone; not once a   |
// |                   | to open, an empty source, a merge's|                        | cancel was asked:  |
// |                   | question answered No, a cancel     |                        | see below          |
// |                   | before a merge opens its result)   |                        |                    |
//
// m_fileList is the separation's hand-over queue, under m_lock, and the
// merge's input, which the job reads without the lock: while a merge runs
// nothing else touches it (every command that would is refused while a job
// runs).
//
// The window waits for the job twice and takes no message meanwhile: a
// launch waits for the Begin event (the worker has taken the job up), and
// Cancel or Exit for the End event (the job has returned; while one of the
// job's boxes is open, the merge's question before it writes among them,
// that is until the user closes it). After a cancel the job
// posts at most one more position and its end; if the end is refused, the
// queue was already full when the window began to wait, and nothing empties
// it until that wait is over, which is until the job returns. So once a
// cancel has been asked for, the job does not retry a refused end: after
// Cancel's wait the window takes what the job posted, in order, and then
// finishes the job's end itself (CMainDlg::FinishCancelledJob); Exit ends
// the window instead.
