#include "support/Blocks.h"

#include <windows.h>

#include <algorithm>
#include <cwctype>

#include "support/TestFiles.h"

std::wstring BlockName(const std::wstring& stem, const std::wstring& extension, uint32_t n)
{
    wchar_t digits[16];
    ::wsprintfW(digits, L"_%05u", n);
    return stem + digits + extension;
}

std::vector<std::wstring> BlockNames(const std::wstring& stem, const std::wstring& extension,
                                     size_t count, uint32_t first)
{
    std::vector<std::wstring> names;
    for (size_t n = 0; n < count; ++n)
        names.push_back(BlockName(stem, extension, first + static_cast<uint32_t>(n)));
    return names;
}

SourceBlocks::SourceBlocks(const std::wstring& dir, const std::wstring& stem,
                           const std::wstring& extension, uint64_t blockSize)
    : m_dir(dir), m_stem(stem), m_extension(extension), m_source(dir + stem + extension),
      m_nBlockSize(blockSize)
{
}

std::vector<std::wstring> SourceBlocks::OnDisk() const
{
    std::vector<std::pair<uint64_t, std::wstring>> found;
    const std::wstring prefix = m_stem + L"_";
    for (const std::wstring& name : ListNames(m_dir)) {
        if (name.size() < prefix.size() + 5 + m_extension.size() ||
            name.compare(0, prefix.size(), prefix) != 0 ||
            name.compare(name.size() - m_extension.size(), m_extension.size(), m_extension) != 0)
            continue;
        const std::wstring digits =
            name.substr(prefix.size(), name.size() - prefix.size() - m_extension.size());
        if (std::all_of(digits.begin(), digits.end(), [](wchar_t c) { return std::iswdigit(c); }))
            found.emplace_back(std::stoull(digits), name);
    }
    std::sort(found.begin(), found.end());
    std::vector<std::wstring> names;
    for (const auto& entry : found)
        names.push_back(entry.second);
    return names;
}

::testing::AssertionResult SourceBlocks::AreWhole(const std::vector<std::wstring>& names) const
{
    const uint64_t sourceSize = FileSizeOf(m_source);
    for (size_t n = 0; n < names.size(); ++n) {
        const uint64_t offset = n * m_nBlockSize;
        const uint64_t size = offset < sourceSize ? std::min(m_nBlockSize, sourceSize - offset) : 0;
        if (names[n] != Name(static_cast<uint32_t>(n)))
            return ::testing::AssertionFailure()
                   << "block " << n << " is named " << Narrow(names[n]) << ", not "
                   << Narrow(Name(static_cast<uint32_t>(n)));
        if (FileSizeOf(m_dir + names[n]) != size || !SameBytes(m_dir + names[n], 0, m_source, offset, size))
            return ::testing::AssertionFailure()
                   << Narrow(names[n]) << " (" << FileSizeOf(m_dir + names[n])
                   << " bytes) is not the source's " << size << " bytes from " << offset;
    }
    return ::testing::AssertionSuccess();
}

::testing::AssertionResult SourceBlocks::OnDiskHoldTheStartOfTheirBytes() const
{
    const std::vector<std::wstring> names = OnDisk();
    for (size_t n = 0; n < names.size(); ++n) {
        const std::wstring path = m_dir + names[n];
        if (names[n] != Name(static_cast<uint32_t>(n)))
            return ::testing::AssertionFailure()
                   << Narrow(names[n]) << " lies on disk where " << Narrow(Name(static_cast<uint32_t>(n)))
                   << " is missing";
        const uint64_t size = FileSizeOf(path);
        if (size > m_nBlockSize || !SameBytes(path, 0, m_source, n * m_nBlockSize, size))
            return ::testing::AssertionFailure()
                   << Narrow(names[n]) << " (" << size << " bytes) holds other bytes than the source's";
    }
    return ::testing::AssertionSuccess();
}

::testing::AssertionResult IsPartialResult(const std::wstring& result, const std::wstring& source,
                                           uint64_t atLeast)
{
    const uint64_t written = FileSizeOf(result);
    const uint64_t whole = FileSizeOf(source);
    if (written < atLeast)
        return ::testing::AssertionFailure() << Narrow(result) << " holds " << written
                                             << " bytes, fewer than the " << atLeast << " written";
    if (written >= whole)
        return ::testing::AssertionFailure()
               << Narrow(result) << " holds all " << whole
               << " bytes: the job was not stopped, or the source is too small";
    if (!SameBytes(result, 0, source, 0, written))
        return ::testing::AssertionFailure()
               << Narrow(result) << " does not start with the source's bytes";
    return ::testing::AssertionSuccess();
}
