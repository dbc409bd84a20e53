#include "jobs/JobFiles.h"

#include <cstring>

#include "app/Handles.h"
#include "jobs/SystemPath.h"

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

bool Exists(const CString& systemPath)
{
    WIN32_FIND_DATAW data;
    CFindHandle find(::FindFirstFileW(systemPath.c_str(), &data));
    return find.IsValid();
}

// The path the system resolves the open file to, with its links and short
// names followed, written as a full path is (C:\... or \\server\...); the
// full form of path where the system can't say.
CString GetFinalPath(HANDLE file, const CString& path)
{
    for (DWORD size = MAX_PATH;;) {
        CString text(size, L'\0');
        const DWORD length = ::GetFinalPathNameByHandleW(file, &text[0], size, FILE_NAME_NORMALIZED);
        if (length == 0)
            break;
        if (length >= size) {
            size = length + 1;
            continue;
        }
        text.resize(length);
        if (text.compare(0, 8, L"\\\\?\\UNC\\") == 0)
            return L"\\\\" + text.substr(8);
        return text.compare(0, 4, L"\\\\?\\") == 0 ? text.substr(4) : text;
    }
    return GetFullPath(path);
}

} // namespace

uint64_t GetFileSize64(HANDLE file)
{
    DWORD high = 0;
    DWORD low = ::GetFileSize(file, &high);
    return (static_cast<uint64_t>(high) << 32) | low;
}

std::optional<uint64_t> GetReadableFileSize(const CString& path)
{
    CHandle file(OpenForReading(path));
    if (!file.IsValid())
        return std::nullopt;
    return GetFileSize64(file);
}

HANDLE OpenForReading(const CString& path)
{
    return ::CreateFileW(ToSystemPath(path).c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                         OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
}

// The creation is tried first: where the name is new (every block of a first
// separation) that looks it up once instead of twice, and Wine reads the
// whole directory for each lookup of a name that does not exist yet. Only
// when the creation fails is the name tested; the outcome is the same as
// testing first: a new name created, an existing one truncated.
HANDLE CreateOrTruncate(const CString& path)
{
    const CString systemPath = ToSystemPath(path);
    HANDLE file = ::CreateFileW(systemPath.c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr,
                                CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file != INVALID_HANDLE_VALUE || !Exists(systemPath))
        return file;
    return ::CreateFileW(systemPath.c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr,
                         TRUNCATE_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
}

bool PathExists(const CString& path)
{
    return Exists(ToSystemPath(path));
}

FileIdentity GetFileIdentity(const CString& path)
{
    FileIdentity identity;
    // No data access and full sharing: this works on files that others hold
    // open, and disturbs nobody.
    CHandle file(::CreateFileW(ToSystemPath(path).c_str(), FILE_READ_ATTRIBUTES,
                               FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                               OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr));
    BY_HANDLE_FILE_INFORMATION info;
    if (!file.IsValid() || !::GetFileInformationByHandle(file, &info)) {
        identity.finalPath = GetFullPath(path);
        return identity;
    }
    FileIdInfo id;
    if (::GetFileInformationByHandleEx(file, FILE_ID_INFO_CLASS, &id, sizeof(id))) {
        identity.volumeSerial = id.VolumeSerialNumber;
        std::memcpy(identity.fileId, id.FileId, sizeof(identity.fileId));
    }
    identity.volume = info.dwVolumeSerialNumber;
    identity.indexHigh = info.nFileIndexHigh;
    identity.indexLow = info.nFileIndexLow;
    identity.finalPath = GetFinalPath(file, path);
    return identity;
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
