#include "jobs/BlockList.h"

#include "jobs/BlockName.h"
#include "res/resource.h"

namespace {

// A bare name read as the separation writes a block name (BlockName.h): the
// last "." starts the extension (none without a "."), and before it come
// "_" and the number, in five digits with leading zeros or in more digits
// without one.
struct BlockNameRead {
    bool isBlock = false;
    size_t stemLength = 0;  // the stem is the name's first stemLength characters
    size_t extension = 0;   // where the extension starts (the name's length for none)
    uint64_t number = 0;
    bool padded = false;    // the number starts with '0'
};

BlockNameRead ReadBlockName(const CString& name)
{
    BlockNameRead read;
    const size_t dot = name.find_last_of(L'.');
    const size_t end = dot == CString::npos ? name.size() : dot;
    size_t first = end;
    while (first > 0 && name[first - 1] >= L'0' && name[first - 1] <= L'9')
        --first;
    const size_t digits = end - first;
    if (first == 0 || name[first - 1] != L'_' || digits < 5 || (digits > 5 && name[first] == L'0'))
        return read;
    for (size_t i = first; i < end; ++i) {
        const uint64_t digit = static_cast<uint64_t>(name[i] - L'0');
        if (read.number > (UINT64_MAX - digit) / 10)
            return read;  // past any number a separation gives
        read.number = read.number * 10 + digit;
    }
    read.isBlock = true;
    read.stemLength = first - 1;
    read.extension = end;
    read.padded = name[first] == L'0';
    return read;
}

// Whether two parts of names are the same as the file system compares
// names: ordinal, case folded.
bool IsSameText(const wchar_t* a, size_t aLength, const wchar_t* b, size_t bLength)
{
    return ::CompareStringOrdinal(a, static_cast<int>(aLength), b, static_cast<int>(bLength),
                                  TRUE) == CSTR_EQUAL;
}

// Whether two block names are blocks of the same source.
bool IsSameSource(const CString& a, const BlockNameRead& aRead, const CString& b,
                  const BlockNameRead& bRead)
{
    return IsSameText(a.c_str(), aRead.stemLength, b.c_str(), bRead.stemLength) &&
           IsSameText(a.c_str() + aRead.extension, a.size() - aRead.extension,
                      b.c_str() + bRead.extension, b.size() - bRead.extension);
}

} // namespace

BlockListProblem FindBlockListProblem(const std::deque<CString>& names,
                                      const std::vector<std::optional<uint64_t>>& sizes,
                                      const std::function<bool(const CString&)>& exists)
{
    // The source that more than half of the names could be blocks of: a
    // majority vote, in which a name that is no block votes against.
    const size_t count = names.size();
    size_t candidate = count;
    BlockNameRead candidateRead;
    size_t votes = 0;
    for (size_t i = 0; i < count; ++i) {
        const BlockNameRead read = ReadBlockName(names[i]);
        if (read.isBlock && votes == 0) {
            candidate = i;
            candidateRead = read;
            votes = 1;
        } else if (read.isBlock && IsSameSource(names[candidate], candidateRead, names[i], read)) {
            ++votes;
        } else if (votes > 0) {
            --votes;
        }
    }
    if (candidate == count)
        return {};
    const auto isBlockOfSource = [&](size_t i, const BlockNameRead& read) {
        return read.isBlock && IsSameSource(names[candidate], candidateRead, names[i], read);
    };
    // Counted: more than half, and one of them zero-padded (log_20240101.txt
    // and the like are not blocks). The source is spelt as its first block
    // in the list spells it.
    size_t blocks = 0;
    size_t firstBlock = count;
    bool padded = false;
    for (size_t i = 0; i < count; ++i) {
        const BlockNameRead read = ReadBlockName(names[i]);
        if (!isBlockOfSource(i, read))
            continue;
        ++blocks;
        padded = padded || read.padded;
        if (firstBlock == count)
            firstBlock = i;
    }
    if (blocks * 2 <= count || !padded)
        return {};
    const CString& model = names[firstBlock];
    const BlockNameRead modelRead = ReadBlockName(model);
    const BlockNameParts parts = {model.substr(0, modelRead.stemLength),
                                  model.substr(modelRead.extension)};

    // Walked in list order, next numbers the block due. A file that could
    // not be opened has no size and is left out of the size rules (the merge
    // stops at it); the first size known stands for the first block's.
    uint64_t next = 0;
    std::optional<uint64_t> blockSize;
    for (size_t i = 0; i < count; ++i) {
        const BlockNameRead read = ReadBlockName(names[i]);
        if (!isBlockOfSource(i, read))
            return {IDS_NOT_A_BLOCK, names[i], parts.base + L"_NNNNN" + parts.extension};
        if (read.number < next)
            return {IDS_BLOCK_TWICE, names[i], {}};
        if (read.number > next) {
            for (size_t later = i + 1; later < count; ++later) {
                const BlockNameRead laterRead = ReadBlockName(names[later]);
                if (isBlockOfSource(later, laterRead) && laterRead.number == next)
                    return {IDS_BLOCK_OUT_OF_ORDER, names[later], {}};
            }
            return {IDS_BLOCK_MISSING, BlockFileName(parts, next), {}};
        }
        ++next;
        if (!sizes[i])
            continue;
        if (!blockSize)
            blockSize = sizes[i];
        else if (i + 1 < count && *sizes[i] < *blockSize)
            return {IDS_BLOCK_SMALLER, names[i], {}};
        else if (i + 1 < count && *sizes[i] > *blockSize)
            return {IDS_BLOCK_LARGER, names[i], {}};
    }

    // A last block as large as the first may have had blocks after it.
    if (blockSize && sizes[count - 1] == blockSize) {
        const CString following = BlockFileName(parts, next);
        if (exists(following))
            return {IDS_BLOCK_MISSING, following, {}};
    }
    return {};
}
