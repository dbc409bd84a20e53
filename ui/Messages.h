// The message boxes through which commands and jobs tell the user of a
// failure or a success. Callable from any thread.
#pragma once

#include <windows.h>

#include "app/Strings.h"

// The string-table text of id, read whole whatever its length; an id the
// table lacks gives an empty text.
CString LoadText(UINT id);

// An "Error" box with the text of id and one OK button; returns when the user
// has dismissed it.
int ShowError(UINT id, HWND owner = nullptr);

// A "Notice" box with the text of id, otherwise as ShowError.
int ShowNotice(UINT id, HWND owner = nullptr);
