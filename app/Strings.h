// The wide string used for every path and text of the program.
#pragma once

#include <string>

using CString = std::wstring;

// Position of the last path separator in path, or CString::npos.
inline size_t FindLastSeparator(const CString& path)
{
    return path.find_last_of(L"\\/");
}
