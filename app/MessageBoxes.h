// The message boxes through which commands and jobs tell the user of a
// failure or a success. Callable from any thread.
#pragma once

#include <windows.h>

#include "app/Strings.h"

// The string-table text of id, read whole whatever its length; an id the
// table lacks gives an empty text.
CString LoadText(UINT id);

// The styles a job adds to its boxes. A job's box has no owner, and the
// window may wait for the job (Cancel, Exit) while it is open: it comes to the
// front and stays above every other window, so that it can't hide behind the
// window that waits for it.
constexpr UINT JOB_BOX_STYLE = MB_SETFOREGROUND | MB_TOPMOST;

// An "Error" box with the text of id and one OK button, with the styles
// extraStyle added; returns when the user has dismissed it.
int ShowError(UINT id, HWND owner = nullptr, UINT extraStyle = 0);

// A "Notice" box with the text of id, otherwise as ShowError.
int ShowNotice(UINT id, HWND owner = nullptr, UINT extraStyle = 0);

// The text of id with %1 replaced by first and %2 by second, each once: the
// names of files a question is about.
CString FormatText(UINT id, const CString& first, const CString& second = CString());

// A question before something is written that may be unwanted: a box with
// the caption of captionId, text, a warning icon and Yes and No, No the
// default (Enter or Escape writes nothing), with the styles extraStyle
// added. True when the user answered Yes.
bool AskYesNo(UINT captionId, const CString& text, HWND owner = nullptr, UINT extraStyle = 0);
