// Reads an extended dialog template (DIALOGEX) back from the program's own
// image, as the resource compiler wrote it, and checks it against what a
// test expects.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

// One control. The predefined classes a template names by ordinal come back
// by name, and every class name in lower case ("button", "msctls_progress32");
// a title that is a resource ordinal comes back as "#n".
struct TemplateControl {
    int id = 0;
    std::wstring className;
    std::wstring title;
    short x = 0, y = 0, cx = 0, cy = 0;
    DWORD style = 0;
    DWORD exStyle = 0;
    DWORD helpId = 0;
};

// The dialog itself; what a template mostly leaves empty or zero comes last.
struct DialogTemplate {
    std::wstring title;
    short x = 0, y = 0, cx = 0, cy = 0;
    DWORD style = 0;
    std::wstring typeface;
    WORD pointSize = 0, weight = 0;
    std::vector<TemplateControl> controls;
    BYTE italic = 0, charset = 0;
    DWORD exStyle = 0, helpId = 0;
    std::wstring menu = L"", className = L"";
};

// Expects dialog template id (RT_DIALOG) of this program to be an extended
// one, and want: the dialog first, then control by control in template
// order, each compared as one line that names every field.
void ExpectDialogTemplate(int id, const DialogTemplate& want);
