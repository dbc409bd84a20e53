// What is wrong with a merge list that holds the blocks of one separation:
// a block missing, listed twice or out of order, one cut short, or a file
// that is not one of the blocks. Reads names and sizes only; the caller
// opens the files.
#pragma once

#include <windows.h>

#include <cstdint>
#include <deque>
#include <functional>
#include <optional>
#include <vector>

#include "app/Strings.h"

// The first problem of a list: the id of the question that names it
// (IDS_BLOCK_MISSING, IDS_BLOCK_TWICE, IDS_BLOCK_OUT_OF_ORDER,
// IDS_BLOCK_SMALLER, IDS_BLOCK_LARGER or IDS_NOT_A_BLOCK; 0 for none), the
// bare file name it is about (%1) and, for IDS_NOT_A_BLOCK, the blocks'
// pattern such as report_NNNNN.pdf (%2).
struct BlockListProblem {
    UINT textId = 0;
    CString name;
    CString pattern;
};

// The first problem of the list names (bare names, in list order), sizes[i]
// the size of names[i] (none when it could not be opened), exists telling
// whether the list's folder holds a bare name. A list counts as blocks of
// one separation only when more than half of its names are blocks of one
// stem and extension, at least one with a zero-padded number; any other
// list has no problem.
BlockListProblem FindBlockListProblem(const std::deque<CString>& names,
                                      const std::vector<std::optional<uint64_t>>& sizes,
                                      const std::function<bool(const CString&)>& exists);
