// Names of the block files that a separation writes beside its source.
#pragma once

#include <cstdint>

#include "app/Strings.h"

struct BlockNameParts {
    CString base;       // the source path before its extension
    CString extension;  // the extension with its leading ".", or empty
};

// Splits a source path at the last "." of its file name. A name without one
// keeps the whole path as base, so the blocks still lie beside the source:
// C:\dir.v2\notes gives C:\dir.v2\notes_00000.
inline BlockNameParts SplitSourcePath(const CString& path)
{
    size_t dot = path.find_last_of(L'.');
    size_t separator = FindLastSeparator(path);
    if (dot == CString::npos || (separator != CString::npos && dot < separator))
        return {path, CString()};
    return {path.substr(0, dot), path.substr(dot)};
}

// Block n: base, "_", n in at least five digits, extension.
inline CString BlockFileName(const BlockNameParts& parts, uint64_t n)
{
    CString digits = std::to_wstring(n);
    if (digits.size() < 5)
        digits.insert(0, 5 - digits.size(), L'0');
    return parts.base + L"_" + digits + parts.extension;
}

// The file name after the last separator (the whole path when it has none).
inline CString BareName(const CString& path)
{
    size_t separator = FindLastSeparator(path);
    return separator == CString::npos ? path : path.substr(separator + 1);
}
