#include "jobs/JobFiles.h"

#include <cstring>

#include "app/Handles.h"

namespace {

// GetFileInformationByHandleEx's FileIdInfo class and what it fills in
// (FILE_ID_INFO), which the headers declare only for Windows 8 and later:
// the program runs on Windows 7 too, where the call fails and the 64-bit
// index stands in.
constexpr FILE_INFO_BY_HANDLE_CLASS FILE_ID_INFO_CLASS = static_cast<FILE_INFO_BY_HANDLE_CLASS>(18);
struct FileIdInfo {
    ULONGLONG VolumeSerialNumber;
    BYTE FileId[16];
};

} // namespace

uint64_t GetFileSize64(const CString& path, HANDLE file)
{
    CHandle opened;
    if (file == INVALID_HANDLE_VALUE) {
        opened.Attach(OpenForReading(path));
        if (!opened.IsValid())
            return 0;
        file = opened;
    }
    DWORD high = 0;
    DWORD low = ::GetFileSize(file, &high);
    return (static_cast<uint64_t>(high) << 32) | low;
}

HANDLE OpenForReading(const CString& path)
{
    return ::CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                         FILE_ATTRIBUTE_NORMAL, nullptr);
}

// The creation is tried first: where the name is new (every block of a first
// separation) that looks it up once instead of twice, and Wine reads the
// whole directory for each lookup of a name that does not exist yet. Only
// when the creation fails is the name tested; the outcome is the same as
// testing first: a new name created, an existing one truncated.
HANDLE CreateOrTruncate(const CString& path)
{
    HANDLE file = ::CreateFileW(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr, CREATE_NEW,
                                FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file != INVALID_HANDLE_VALUE || !PathExists(path))
        return file;
    return ::CreateFileW(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr, TRUNCATE_EXISTING,
                         FILE_ATTRIBUTE_NORMAL, nullptr);
}

bool PathExists(const CString& path)
{
    WIN32_FIND_DATAW data;
    CFindHandle find(::FindFirstFileW(path.c_str(), &data));
    return find.IsValid();
}

bool GetFileIdentity(const CString& path, FileIdentity& identity)
{
    // No data access and full sharing: this works on files that others hold
    // open, and disturbs nobody.
    CHandle file(::CreateFileW(path.c_str(), FILE_READ_ATTRIBUTES,
                               FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                               OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr));
    BY_HANDLE_FILE_INFORMATION info;
    if (!file.IsValid() || !::GetFileInformationByHandle(file, &info))
        return false;
    FileIdInfo id;
    if (::GetFileInformationByHandleEx(file, FILE_ID_INFO_CLASS, &id, sizeof(id))) {
        identity.volumeSerial = id.VolumeSerialNumber;
        std::memcpy(identity.fileId, id.FileId, sizeof(identity.fileId));
    }
    identity.volume = info.dwVolumeSerialNumber;
    identity.indexHigh = info.nFileIndexHigh;
    identity.indexLow = info.nFileIndexLow;
    identity.finalPath = GetFinalPath(file, path);
    return true;
}

CString GetFinalPath(HANDLE file, const CString& path)
{
    for (DWORD size = MAX_PATH;;) {
        CString text(size, L'\0');
        const DWORD length = ::GetFinalPathNameByHandleW(file, &text[0], size, FILE_NAME_NORMALIZED);
        if (length == 0)
            break;
        if (length < size)
            return text.substr(0, length);
        size = length + 1;
    }
    // Where the system can't say, the full form of the path as given.
    const DWORD size = ::GetFullPathNameW(path.c_str(), 0, nullptr, nullptr);
    CString full(size, L'\0');
    const DWORD length = size == 0 ? 0 : ::GetFullPathNameW(path.c_str(), size, &full[0], nullptr);
    return length == 0 || length >= size ? path : full.substr(0, length);
}

bool FileIdentity::IsIdKnown() const
{
    static const BYTE none[sizeof(fileId)] = {};
    return volumeSerial != 0 && std::memcmp(fileId, none, sizeof(fileId)) != 0;
}

bool FileIdentity::IsSameFile(const FileIdentity& other) const
{
    if (IsIdKnown() && other.IsIdKnown())
        return volumeSerial == other.volumeSerial &&
               std::memcmp(fileId, other.fileId, sizeof(fileId)) == 0;
    if (IsIndexKnown() && other.IsIndexKnown())
        return volume == other.volume && indexHigh == other.indexHigh && indexLow == other.indexLow;
    // Paths compare as the file system compares names: ordinal, case folded
    // (a locale's rules would make two different names equal, or miss one).
    return !finalPath.empty() &&
           ::CompareStringOrdinal(finalPath.c_str(), -1, other.finalPath.c_str(), -1, TRUE) == CSTR_EQUAL;
}
