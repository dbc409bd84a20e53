// Block files as a separation writes them: their names, and what the tests
// check of them against the source.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

// The bare name of block n of a source named stem + extension: the stem,
// "_", n in at least five digits, the extension.
std::wstring BlockName(const std::wstring& stem, const std::wstring& extension, uint32_t n);
// The bare names of blocks first to first + count - 1.
std::vector<std::wstring> BlockNames(const std::wstring& stem, const std::wstring& extension,
                                     size_t count, uint32_t first = 0);

// The blocks of the source dir + stem + extension, cut beside it in blockSize bytes.
class SourceBlocks {
public:
    SourceBlocks(const std::wstring& dir, const std::wstring& stem, const std::wstring& extension,
                 uint64_t blockSize)
        : m_dir(dir), m_stem(stem), m_extension(extension), m_nBlockSize(blockSize)
    {
    }

    std::wstring Name(uint32_t n) const { return BlockName(m_stem, m_extension, n); }
    std::vector<std::wstring> Names(size_t count) const
    {
        return BlockNames(m_stem, m_extension, count);
    }
    std::wstring Path(uint32_t n) const { return m_dir + Name(n); }

    // The block files in the directory (stem, "_", five or more digits, extension) in order.
    std::vector<std::wstring> OnDisk() const;
    // Whether names are blocks 0, 1, ... in order, each whole: the source's
    // blockSize bytes at its offset (the rest of the source for the last).
    ::testing::AssertionResult AreWhole(const std::vector<std::wstring>& names) const
    {
        return Check(names, true);
    }
    // Whether the blocks on disk are numbered from 0 without a gap and each
    // holds the start of its own bytes (a block cut off holds fewer).
    ::testing::AssertionResult OnDiskHoldTheStartOfTheirBytes() const
    {
        return Check(OnDisk(), false);
    }

private:
    ::testing::AssertionResult Check(const std::vector<std::wstring>& names, bool whole) const;

    std::wstring m_dir, m_stem, m_extension;
    uint64_t m_nBlockSize;
};

// Whether result is what a merge of source stopped part way left: at least
// atLeast bytes, fewer than the source's, and the source's first bytes.
::testing::AssertionResult IsPartialResult(const std::wstring& result, const std::wstring& source,
                                           uint64_t atLeast);
