#include "support/TestFiles.h"

#include <cstdarg>
#include <cstdio>

#include <gtest/gtest.h>
#include <winioctl.h>

#include <algorithm>
#include <atomic>

#include "app/Handles.h"
#include "support/Windows.h"

TempDir::TempDir()
{
    static std::atomic<unsigned> counter{0};
    wchar_t base[MAX_PATH];
    ::GetTempPathW(MAX_PATH, base);
    for (;;) {
        m_path = std::wstring(base) + L"kestrane-test-" + std::to_wstring(::GetCurrentProcessId()) +
                 L"-" + std::to_wstring(counter++) + L"\\";
        if (::CreateDirectoryW(m_path.c_str(), nullptr))
            break;
        if (::GetLastError() != ERROR_ALREADY_EXISTS)
            ADD_FAILURE() << "cannot create " << Narrow(m_path);
    }
}

TempDir::~TempDir()
{
    RemoveTree(m_path);
}

void RemoveTree(const std::wstring& dir)
{
    for (const std::wstring& name : ListNames(dir)) {
        const std::wstring path = dir + name;
        const DWORD attributes = ::GetFileAttributesW(path.c_str());
        ::SetFileAttributesW(path.c_str(), FILE_ATTRIBUTE_NORMAL);
        if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY))
            RemoveTree(path + L"\\");
        else
            ::DeleteFileW(path.c_str());
    }
    ::RemoveDirectoryW(dir.c_str());
}

// Only Wine's kernel32 has wine_get_unix_file_name.
static auto UnixName()
{
    return reinterpret_cast<char*(CDECL*)(const wchar_t*)>(reinterpret_cast<void*>(
        ::GetProcAddress(::GetModuleHandleW(L"kernel32.dll"), "wine_get_unix_file_name")));
}

bool IsWine()
{
    return UnixName() != nullptr;
}

std::string UnixPath(const std::wstring& path)
{
    char* name = IsWine() ? UnixName()(path.c_str()) : nullptr;
    if (name == nullptr)
        return std::string();
    std::string unixPath = name;
    ::HeapFree(::GetProcessHeap(), 0, name);
    return unixPath;
}

void LayOutFiles(const std::wstring& dir, const std::vector<std::wstring>& names)
{
    if (!IsWine()) {
        for (const std::wstring& name : names)
            WriteBytes(dir + name, {});
        return;
    }
    // The names, each ending in a zero, for xargs -0 touch in dir. Wine runs a
    // Unix program by its path on Z: (the Unix root) but gives no handle to
    // wait on: the shell writes touch's exit status into .done at its end.
    const std::wstring list = dir + L".names";
    const std::wstring done = dir + L".done";
    std::string text;
    for (const std::wstring& name : names)
        text += Narrow(name) + '\0';
    WriteBytes(list, Bytes(text.begin(), text.end()));
    const std::string unixDir = UnixPath(dir);
    std::wstring wideDir(unixDir.size(), L'\0');
    wideDir.resize(::MultiByteToWideChar(CP_UTF8, 0, unixDir.data(),
                                         static_cast<int>(unixDir.size()), &wideDir[0],
                                         static_cast<int>(wideDir.size())));
    std::wstring command =
        L"sh -c \"cd \\\"$0\\\" && xargs -0 touch < .names; echo $? > .done\" \"" + wideDir + L"\"";
    STARTUPINFOW startup = {};
    startup.cb = sizeof(startup);
    PROCESS_INFORMATION process = {};
    ASSERT_TRUE(::CreateProcessW(L"Z:\\bin\\sh", &command[0], nullptr, nullptr, FALSE, 0, nullptr,
                                 nullptr, &startup, &process))
        << "cannot start the Unix shell";
    CHandle thread(process.hThread), shell(process.hProcess);
    ASSERT_TRUE(WaitFor([&done] { return FileSizeOf(done) > 0; }, 120000))
        << "the Unix shell did not lay out the names in " << unixDir;
    const Bytes status = ReadBytes(done);
    ::DeleteFileW(list.c_str());
    ::DeleteFileW(done.c_str());
    EXPECT_EQ("0\n", std::string(status.begin(), status.end()))
        << "the Unix shell could not lay out the names in " << unixDir;
}

Bytes MakeBytes(uint64_t size, uint32_t seed)
{
    Bytes bytes(static_cast<size_t>(size));
    uint32_t state = seed * 2654435761u + 1;
    for (auto& byte : bytes) {
        state ^= state << 13;
        state ^= state >> 17;
        state ^= state << 5;
        byte = static_cast<unsigned char>(state >> 24);
    }
    return bytes;
}

// Files are read and written in pieces of at most 16 MiB.
constexpr size_t kPiece = 16u << 20;

static CHandle CreateToWrite(const std::wstring& path)
{
    return CHandle(::CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                 FILE_ATTRIBUTE_NORMAL, nullptr));
}

static bool WriteAll(HANDLE file, const Bytes& bytes)
{
    for (size_t done = 0; done < bytes.size();) {
        DWORD written = 0;
        if (!::WriteFile(file, bytes.data() + done,
                         static_cast<DWORD>(std::min(bytes.size() - done, kPiece)), &written,
                         nullptr))
            return false;
        done += written;
    }
    return true;
}

void WriteBytes(const std::wstring& path, const Bytes& bytes)
{
    const CHandle file = CreateToWrite(path);
    ASSERT_TRUE(file.IsValid() && WriteAll(file, bytes)) << "cannot write " << Narrow(path);
}

void WriteBigFile(const std::wstring& path, uint64_t size, uint32_t seed)
{
    const CHandle file = CreateToWrite(path);
    bool written = file.IsValid();
    for (uint64_t done = 0; written && done < size; done += kPiece) {
        const uint32_t piece = static_cast<uint32_t>(done / kPiece);
        written = WriteAll(file, MakeBytes(std::min<uint64_t>(kPiece, size - done),
                                           seed * 7919u + piece));
    }
    ASSERT_TRUE(written) << "cannot write " << Narrow(path);
}

void WriteSparseFile(const std::wstring& path, uint64_t size)
{
    const CHandle file = CreateToWrite(path);
    // A hole, not zeros on disk, where the file system does not make one itself.
    DWORD ignored = 0;
    ::DeviceIoControl(file, FSCTL_SET_SPARSE, nullptr, 0, nullptr, 0, &ignored, nullptr);
    LARGE_INTEGER end;
    end.QuadPart = static_cast<LONGLONG>(size);
    ASSERT_TRUE(file.IsValid() && ::SetFilePointerEx(file, end, nullptr, FILE_BEGIN) &&
                ::SetEndOfFile(file))
        << "cannot make " << Narrow(path) << " " << size << " bytes long";
}

static CHandle OpenToRead(const std::wstring& path)
{
    return CHandle(::CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                 nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
}

// Reads up to length bytes of file from offset; how many came before its end or a failure.
static size_t ReadAt(HANDLE file, uint64_t offset, unsigned char* buffer, size_t length)
{
    size_t done = 0;
    for (DWORD read = 1; done < length && read > 0; done += read) {
        OVERLAPPED at = {};
        at.Offset = static_cast<DWORD>(offset + done);
        at.OffsetHigh = static_cast<DWORD>((offset + done) >> 32);
        const DWORD part = static_cast<DWORD>(std::min(length - done, kPiece));
        if (!::ReadFile(file, buffer + done, part, &read, &at))
            break;
    }
    return done;
}

bool SameBytes(const std::wstring& a, uint64_t offsetA, const std::wstring& b, uint64_t offsetB,
               uint64_t length)
{
    constexpr uint64_t kCompared = 4u << 20;
    const CHandle fileA = OpenToRead(a);
    const CHandle fileB = OpenToRead(b);
    Bytes bufferA(static_cast<size_t>(std::min(kCompared, length)));
    Bytes bufferB(bufferA.size());
    for (uint64_t done = 0; done < length;) {
        const size_t part = static_cast<size_t>(std::min(kCompared, length - done));
        if (ReadAt(fileA, offsetA + done, bufferA.data(), part) != part ||
            ReadAt(fileB, offsetB + done, bufferB.data(), part) != part ||
            !std::equal(bufferA.begin(), bufferA.begin() + part, bufferB.begin()))
            return false;
        done += part;
    }
    return true;
}

bool SameFiles(const std::wstring& a, const std::wstring& b)
{
    return FileExists(a) && FileExists(b) && FileSizeOf(a) == FileSizeOf(b) &&
           SameBytes(a, 0, b, 0, FileSizeOf(a));
}

uint64_t HashFile(const std::wstring& path)
{
    const CHandle file = OpenToRead(path);
    if (!file.IsValid())
        return 0;
    uint64_t hash = 14695981039346656037ull;
    Bytes buffer(1 << 20);
    for (uint64_t at = 0, read = 1; read > 0; at += read) {
        read = ReadAt(file, at, buffer.data(), buffer.size());
        for (size_t i = 0; i < read; ++i)
            hash = (hash ^ buffer[i]) * 1099511628211ull;
    }
    return hash;
}

Bytes ReadBytes(const std::wstring& path)
{
    const CHandle file = OpenToRead(path);
    if (!file.IsValid()) {
        ADD_FAILURE() << "cannot read " << Narrow(path);
        return {};
    }
    Bytes bytes(static_cast<size_t>(FileSizeOf(path)));
    bytes.resize(ReadAt(file, 0, bytes.data(), bytes.size()));
    return bytes;
}

bool HasFreeSpace(const std::wstring& dir, uint64_t bytes, std::string& why)
{
    ULARGE_INTEGER available;
    if (!::GetDiskFreeSpaceExW(dir.c_str(), &available, nullptr, nullptr)) {
        why = "the free space of " + Narrow(dir) + " can't be read";
        return false;
    }
    if (available.QuadPart >= bytes)
        return true;
    const auto mib = [](uint64_t n) { return std::to_string(n >> 20) + " MiB"; };
    why = "needs " + mib(bytes) + " of free disk, " + Narrow(dir) + " has " +
          mib(available.QuadPart);
    return false;
}

uint64_t FileSizeOf(const std::wstring& path)
{
    WIN32_FILE_ATTRIBUTE_DATA data;
    if (!::GetFileAttributesExW(path.c_str(), GetFileExInfoStandard, &data))
        return 0;
    return (static_cast<uint64_t>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
}

std::vector<std::wstring> ListNames(const std::wstring& dir)
{
    std::vector<std::wstring> names;
    WIN32_FIND_DATAW data;
    HANDLE find = ::FindFirstFileW((dir + L"*").c_str(), &data);
    if (find == INVALID_HANDLE_VALUE)
        return names;
    do {
        std::wstring name = data.cFileName;
        if (name != L"." && name != L"..")
            names.push_back(name);
    } while (::FindNextFileW(find, &data));
    ::FindClose(find);
    std::sort(names.begin(), names.end());
    return names;
}

std::string Narrow(const std::wstring& text)
{
    int length = ::WideCharToMultiByte(CP_UTF8, 0, text.c_str(), static_cast<int>(text.size()),
                                       nullptr, 0, nullptr, nullptr);
    std::string narrow(length, '\0');
    ::WideCharToMultiByte(CP_UTF8, 0, text.c_str(), static_cast<int>(text.size()), &narrow[0],
                          length, nullptr, nullptr);
    return narrow;
}

std::string Format(const char* format, ...)
{
    char text[512];
    va_list args;
    va_start(args, format);
    std::vsnprintf(text, sizeof(text), format, args);
    va_end(args);
    return text;
}
