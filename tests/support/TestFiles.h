// Real files for the tests: a fresh directory per test and byte patterns.
#pragma once

#include <windows.h>

#include <cstdint>
#include <string>
#include <vector>

using Bytes = std::vector<unsigned char>;

constexpr uint64_t kMiB = 1024 * 1024;

// A new, empty directory under the temp directory, removed with everything
// in it when the object goes.
class TempDir {
public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;

    // The directory with its trailing backslash.
    const std::wstring& Path() const { return m_path; }
    std::wstring operator/(const std::wstring& name) const { return m_path + name; }

private:
    std::wstring m_path;
};

// size pseudo-random bytes from seed: the same seed gives the same bytes.
Bytes MakeBytes(uint64_t size, uint32_t seed);

void WriteBytes(const std::wstring& path, const Bytes& bytes);
// A file of size pseudo-random bytes from seed, written piece by piece.
void WriteBigFile(const std::wstring& path, uint64_t size, uint32_t seed);
// A file of size zero bytes, sparse: quick however big, and hardly any room.
void WriteSparseFile(const std::wstring& path, uint64_t size);
// Whether length bytes of a from offsetA equal those of b from offsetB; false
// when either file is shorter.
bool SameBytes(const std::wstring& a, uint64_t offsetA, const std::wstring& b, uint64_t offsetB,
               uint64_t length);
// Whether both files have the same size and bytes.
bool SameFiles(const std::wstring& a, const std::wstring& b);
Bytes ReadBytes(const std::wstring& path);
inline bool FileExists(const std::wstring& path)
{
    return ::GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}
uint64_t FileSizeOf(const std::wstring& path);
// The names in dir (not "." and ".."), sorted.
std::vector<std::wstring> ListNames(const std::wstring& dir);
// Whether the disk of dir has bytes free; if not, why says so, for a skip.
bool HasFreeSpace(const std::wstring& dir, uint64_t bytes, std::string& why);
// Removes dir (ending in a backslash) and everything below it.
void RemoveTree(const std::wstring& dir);
// Creates empty files of these names in dir, in a blink however many. Wine
// reads the whole directory for each new name, which takes minutes for
// thousands: under Wine a Unix shell lays them out.
void LayOutFiles(const std::wstring& dir, const std::vector<std::wstring>& names);

// Opens path with access and share for as long as the test holds the
// handle: a file that others can't write, or can't open at all. Wine lets
// root write read-only files, so this stands in for them.
inline HANDLE HoldOpen(const std::wstring& path, DWORD access, DWORD share)
{
    return ::CreateFileW(path.c_str(), access, share, nullptr, OPEN_EXISTING, 0, nullptr);
}

// Whether the tests run under Wine.
bool IsWine();
// The Unix path of path under Wine; empty when it has none.
std::string UnixPath(const std::wstring& path);

std::string Narrow(const std::wstring& text);
// printf, into a string (of at most 511 characters).
std::string Format(const char* format, ...);
