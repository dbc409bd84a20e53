// Files dropped on the window from the shell: where the drop lands decides
// which input it fills, as if the files had been chosen with that input's
// "Browser...".
#include <shellapi.h>

#include <vector>

#include "app/Handles.h"
#include "app/MessageBoxes.h"
#include "jobs/SystemPath.h"
#include "ui/MainDlg.h"

namespace {

// The parts of the window, taken from the live controls' rectangles in client
// coordinates (so they follow the DPI and the dialog font), looked at in this
// order:
//
//   part         where                                        fills
//   result       the "Merge File" group box, from the bottom  the result edit
//                of "Down" to the top of "Merge"
//   merge list   the rest of the "Merge File" group box       the merge list
//   source       the "Separate File" group box                the source edit
//   -            elsewhere: the bar, About, Exit              nothing
enum class DropPart { None, Source, MergeList, Result };

RECT ClientRectOf(HWND dialog, HWND control)
{
    RECT rect = {};
    ::GetWindowRect(control, &rect);
    ::MapWindowPoints(nullptr, dialog, reinterpret_cast<POINT*>(&rect), 2);
    return rect;
}

// The group box that holds control id; empty when none does.
RECT GroupAround(HWND dialog, int id)
{
    const RECT inner = ClientRectOf(dialog, ::GetDlgItem(dialog, id));
    for (HWND child = ::GetWindow(dialog, GW_CHILD); child != nullptr;
         child = ::GetWindow(child, GW_HWNDNEXT)) {
        wchar_t className[8] = L"";
        ::GetClassNameW(child, className, 8);
        if (::lstrcmpiW(className, L"Button") != 0 ||
            (::GetWindowLongW(child, GWL_STYLE) & BS_TYPEMASK) != BS_GROUPBOX)
            continue;
        const RECT outer = ClientRectOf(dialog, child);
        RECT common;
        if (::IntersectRect(&common, &outer, &inner) && ::EqualRect(&common, &inner))
            return outer;
    }
    return RECT{};
}

DropPart PartAt(HWND dialog, POINT pt)
{
    const RECT merge = GroupAround(dialog, IDC_MERGE_LIST);
    if (::PtInRect(&merge, pt)) {
        const LONG top = ClientRectOf(dialog, ::GetDlgItem(dialog, IDC_DOWN)).bottom;
        const LONG bottom = ClientRectOf(dialog, ::GetDlgItem(dialog, IDC_MERGE)).top;
        const RECT result = {merge.left, top, merge.right, bottom};
        return ::PtInRect(&result, pt) ? DropPart::Result : DropPart::MergeList;
    }
    const RECT separate = GroupAround(dialog, IDC_SOURCE_FILE);
    return ::PtInRect(&separate, pt) ? DropPart::Source : DropPart::None;
}

// Every dropped path, whole: each one's length is asked first, since a path
// may be longer than MAX_PATH.
std::vector<CString> DroppedPaths(HDROP drop)
{
    std::vector<CString> paths(::DragQueryFileW(drop, 0xFFFFFFFF, nullptr, 0));
    for (UINT i = 0; i < paths.size(); ++i) {
        CString& path = paths[i];
        path.resize(static_cast<size_t>(::DragQueryFileW(drop, i, nullptr, 0)) + 1);
        path.resize(::DragQueryFileW(drop, i, &path[0], static_cast<UINT>(path.size())));
    }
    return paths;
}

// The attributes of path, INVALID_FILE_ATTRIBUTES when there is no such file.
DWORD AttributesOf(const CString& path)
{
    return ::GetFileAttributesW(ToSystemPath(path).c_str());
}

bool IsFolder(const CString& path)
{
    const DWORD attributes = AttributesOf(path);
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
}

// The folder of path, with its backslash.
CString FolderOf(const CString& path)
{
    return path.substr(0, FindLastSeparator(path) + 1);
}

} // namespace

// Ignored while a job runs, as the commands are. Whatever comes of the drop,
// the shell's copy of it is let go (DragFinish).
LRESULT CMainDlg::OnDropFiles(UINT, WPARAM wParam, LPARAM, BOOL&)
{
    const CDropHandle drop(reinterpret_cast<HDROP>(wParam));
    POINT pt = {};
    // (False for a drop on the caption or frame: the point is not in the
    // client area then.)
    if (IsJobRunning() || !::DragQueryPoint(drop, &pt))
        return 0;
    const DropPart part = PartAt(m_hWnd, pt);
    if (part == DropPart::None)
        return 0;
    const std::vector<CString> paths = DroppedPaths(drop);
    if (paths.empty())
        return 0;

    if (part == DropPart::Source) {
        if (paths.size() != 1 || IsFolder(paths[0]))
            ShowError(IDS_DROP_ONE_SOURCE);
        else
            ::SetWindowTextW(m_hSourceEdit, paths[0].c_str());
        return 0;
    }

    if (part == DropPart::Result) {
        const CString& path = paths[0];
        if (paths.size() != 1 || IsFolder(path)) {
            ShowError(IDS_DROP_ONE_RESULT);
            return 0;
        }
        // The merge truncates its result: as in the Save dialog, an existing
        // file is taken only once the user has agreed to replace it.
        if (AttributesOf(path) != INVALID_FILE_ATTRIBUTES &&
            !AskYesNo(IDS_CONFIRM_SAVE_AS,
                      FormatText(IDS_REPLACE_RESULT, path.substr(FindLastSeparator(path) + 1)),
                      m_hWnd))
            return 0;
        ::SetWindowTextW(m_hResultEdit, path.c_str());
        return 0;
    }

    // The merge list takes files of one folder, as the merge browse does.
    for (const CString& path : paths) {
        if (IsFolder(path)) {
            ShowError(IDS_DROP_NO_FOLDERS);
            return 0;
        }
    }
    const CString folder = FolderOf(paths[0]);
    std::vector<const wchar_t*> names;
    for (const CString& path : paths) {
        if (::CompareStringOrdinal(FolderOf(path).c_str(), -1, folder.c_str(), -1, TRUE) !=
            CSTR_EQUAL) {
            ShowError(IDS_DROP_ONE_FOLDER);
            return 0;
        }
        names.push_back(path.c_str() + folder.size());
    }
    FillMergeList(folder, names);
    return 0;
}
