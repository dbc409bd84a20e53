// Real files for the tests: a fresh directory per test and byte patterns.
#pragma once

#include <windows.h>

#include <cstdint>
#include <string>
#include <vector>

using Bytes = std::vector<unsigned char>;

constexpr uint64_t kMiB = 1024 * 1024;

// A new, empty directory under the temp directory, removed with all in it at the end.
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
// Whether length bytes of a from offsetA equal b's from offsetB (false if either is short).
bool SameBytes(const std::wstring& a, uint64_t offsetA, const std::wstring& b, uint64_t offsetB,
               uint64_t length);
// Whether both files have the same size and bytes.
bool SameFiles(const std::wstring& a, const std::wstring& b);
// A 64-bit FNV-1a hash of the file's bytes (0 when it can't be read).
uint64_t HashFile(const std::wstring& path);
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
// Creates empty files of these names in dir, quickly however many: Wine reads the
// whole directory for each new name, so there a Unix shell lays them out.
void LayOutFiles(const std::wstring& dir, const std::vector<std::wstring>& names);

// Opens path with access and share while the test holds the handle: a file others
// can't write or open. It stands in for read-only files, which Wine lets root write.
inline HANDLE HoldOpen(const std::wstring& path, DWORD access, DWORD share)
{
    return ::CreateFileW(path.c_str(), access, share, nullptr, OPEN_EXISTING, 0, nullptr);
}

bool IsWine();
// The Unix path of path under Wine; empty when it has none.
std::string UnixPath(const std::wstring& path);

std::string Narrow(const std::wstring& text);
// printf, into a string (of at most 511 characters).
std::string Format(const char* format, ...);
