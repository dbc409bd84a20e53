// Reads an extended dialog template (DIALOGEX) back from the program's own
// image, as the resource compiler wrote it, to check it against a test's.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

// One control. Class names come back in lower case, a predefined one a template
// names by ordinal by its name ("button"); a title that is an ordinal as "#n".
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

// Expects dialog template id of this program to be an extended one, and want:
// the dialog, then control by control, each compared as a line of every field.
void ExpectDialogTemplate(int id, const DialogTemplate& want);
