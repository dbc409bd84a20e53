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

::testing::AssertionResult SourceBlocks::Check(const std::vector<std::wstring>& names,
                                              bool whole) const
{
    const std::wstring source = m_dir + m_stem + m_extension;
    const uint64_t sourceSize = FileSizeOf(source);
    for (uint32_t n = 0; n < names.size(); ++n) {
        const uint64_t offset = n * m_nBlockSize;
        const uint64_t room = offset < sourceSize ? std::min(m_nBlockSize, sourceSize - offset) : 0;
        const uint64_t size = FileSizeOf(m_dir + names[n]);
        if (names[n] != Name(n))
            return ::testing::AssertionFailure()
                   << "block " << n << " is named " << Narrow(names[n]) << ", not "
                   << Narrow(Name(n));
        const bool fits = whole ? size == room : size <= room;
        if (!fits || !SameBytes(m_dir + names[n], 0, source, offset, size))
            return ::testing::AssertionFailure()
                   << Narrow(names[n]) << " (" << size << " bytes) is not "
                   << (whole ? "" : "the start of ") << "the source's " << room
                   << " bytes from " << offset;
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
