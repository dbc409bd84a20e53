// The files a job opens, sizes and copies, in 1 MiB transfer chunks.
#pragma once

#include <windows.h>

#include <cstdint>
#include <optional>

#include "app/Strings.h"

// The copy unit of both jobs and the unit of their progress.
constexpr uint32_t TRANSFER_CHUNK = 1024 * 1024;

// Number of transfer chunks of size bytes: size / 1 MiB, rounded up.
constexpr uint64_t ChunkCount(uint64_t size)
{
    return size == 0 ? 0 : (size - 1) / TRANSFER_CHUNK + 1;
}

// The 64-bit size of the open file.
uint64_t GetFileSize64(HANDLE file);

// The size of the file at path, opened once as OpenForReading opens it; none
// when it can't be opened.
std::optional<uint64_t> GetReadableFileSize(const CString& path);

// Opens path for reading; others may read it too, nobody may write it.
HANDLE OpenForReading(const CString& path);

// Opens path for writing, truncated if anything of that name exists and
// created new if not; others may only read it while it is open.
HANDLE CreateOrTruncate(const CString& path);

// Whether anything, file or directory, is named path.
bool PathExists(const CString& path);

// What makes a file the same file however its path is written (letter
// case, short names, "..", hard links). Best its volume's 64-bit serial and
// its 128-bit id there, which every file system of Windows 8 and later
// gives (ReFS's 64-bit index is not unique); else the volume's 32-bit serial
// and the 64-bit index; and where even those are 0 (some file systems report
// an index of 0, or no serial, for every file, and a file whose attributes
// can't be read has neither), the path: the one the system resolves the
// file to, or where it can't say, the full path as given.
struct FileIdentity {
    ULONGLONG volumeSerial = 0;
    BYTE fileId[16] = {};
    DWORD volume = 0;
    DWORD indexHigh = 0;
    DWORD indexLow = 0;
    CString finalPath;

    bool IsIdKnown() const;
    bool IsIndexKnown() const { return volume != 0 && (indexHigh != 0 || indexLow != 0); }
    bool IsSameFile(const FileIdentity& other) const;
};

// The identity of the file or directory at path, as far as it can be had.
FileIdentity GetFileIdentity(const CString& path);
