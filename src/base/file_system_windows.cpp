// The file-system calls of Windows: paths are UTF-8 text, handed to the system's wide-character
// functions, so that accented folder names work whatever the workstation's code page.

#include "base/file_system.hpp"
#include "base/wide_text.hpp"

#define WIN32_LEAN_AND_MEAN
#include <windows.h>
#undef CopyFile // the system's macro for CopyFileW would rename this file's own function

#include <io.h>

#include <algorithm>
#include <cerrno>
#include <cwchar>

namespace quorvel::base {

namespace {

// The errno value that tells the same as the system's error `code`.
int Errno(DWORD code) {
    switch (code) {
    case ERROR_FILE_NOT_FOUND:
        return ENOENT;
    case ERROR_PATH_NOT_FOUND:
    case ERROR_INVALID_NAME:
    case ERROR_BAD_NETPATH:
        return ENOTDIR;
    case ERROR_ACCESS_DENIED:
    case ERROR_SHARING_VIOLATION:
    case ERROR_LOCK_VIOLATION:
        return EACCES;
    case ERROR_WRITE_PROTECT:
        return EROFS;
    case ERROR_DISK_FULL:
    case ERROR_HANDLE_DISK_FULL:
        return ENOSPC;
    default:
        return EIO;
    }
}

DWORD Attributes(const std::string& path) {
    return path.empty() ? INVALID_FILE_ATTRIBUTES : ::GetFileAttributesW(Wide(path).c_str());
}

} // namespace

bool FileExists(const std::string& path) {
    DWORD a = Attributes(path);
    return a != INVALID_FILE_ATTRIBUTES && (a & FILE_ATTRIBUTE_DIRECTORY) == 0;
}

bool IsDirectory(const std::string& path) {
    DWORD a = Attributes(path);
    return a != INVALID_FILE_ATTRIBUTES && (a & FILE_ATTRIBUTE_DIRECTORY) != 0;
}

bool NameTaken(const std::string& path) {
    return Attributes(path) != INVALID_FILE_ATTRIBUTES;
}

std::FILE* OpenFile(const std::string& path, const char* mode) {
    return ::_wfopen(Wide(path).c_str(), Wide(mode).c_str());
}

bool TruncateFile(std::FILE* file, std::uint64_t size) {
    return std::fflush(file) == 0 && ::_chsize_s(::_fileno(file), static_cast<long long>(size)) == 0;
}

void CopyFile(const std::string& source, const std::string& destination) {
    if (IsDirectory(source)) throw PathError(source, EISDIR);
    if (::CopyFileW(Wide(source).c_str(), Wide(destination).c_str(), FALSE)) return;
    DWORD code = ::GetLastError();
    // The copy's own failures name the destination; a source that cannot be read names itself.
    bool sourceFault = code == ERROR_FILE_NOT_FOUND || !FileExists(source);
    throw PathError(sourceFault ? source : destination, Errno(code));
}

std::uint64_t FileSize(const std::string& path) {
    WIN32_FILE_ATTRIBUTE_DATA data{};
    if (!::GetFileAttributesExW(Wide(path).c_str(), GetFileExInfoStandard, &data))
        throw PathError(path, Errno(::GetLastError()));
    return (std::uint64_t{data.nFileSizeHigh} << 32) | data.nFileSizeLow;
}

bool DriveReady(const std::string& folder) {
    DWORD a = Attributes(folder);
    if (a == INVALID_FILE_ATTRIBUTES) {
        DWORD code = folder.empty() ? ERROR_PATH_NOT_FOUND : ::GetLastError();
        // A drive without its medium (a card reader, a CD) answers "not ready": not an error.
        if (code == ERROR_NOT_READY) return false;
        throw Error(errnum::kPathNotFound,
                    "Chemin d'accès introuvable : " + (folder.empty() ? std::string("\"\"") : folder));
    }
    if ((a & FILE_ATTRIBUTE_DIRECTORY) == 0)
        throw Error(errnum::kPathNotFound,
                    "Chemin d'accès introuvable (ce n'est pas un dossier) : " + folder);
    ULARGE_INTEGER freeBytes{};
    return ::GetDiskFreeSpaceExW(Wide(folder).c_str(), &freeBytes, nullptr, nullptr) != 0;
}

int WriteProbe(const std::string& path) {
    std::wstring wide = Wide(path);
    DWORD attributes = ::GetFileAttributesW(wide.c_str());
    const bool existed = attributes != INVALID_FILE_ATTRIBUTES;
    HANDLE h = ::CreateFileW(wide.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                             existed ? OPEN_EXISTING : CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h == INVALID_HANDLE_VALUE) return Errno(::GetLastError());
    ::CloseHandle(h);
    if (!existed) ::DeleteFileW(wide.c_str());
    return 0;
}

std::vector<std::string> ListFiles(const std::string& folder) {
    std::string base = folder;
    if (base.empty() || !IsPathSeparator(base.back())) base.push_back(kPathSeparator);
    WIN32_FIND_DATAW found{};
    HANDLE search = ::FindFirstFileW(Wide(base + "*").c_str(), &found);
    if (search == INVALID_HANDLE_VALUE) {
        DWORD code = ::GetLastError();
        if (code == ERROR_FILE_NOT_FOUND) return {};
        throw PathError(folder, Errno(code));
    }
    std::vector<std::string> names;
    do {
        if ((found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) == 0)
            names.push_back(Narrow(found.cFileName));
    } while (::FindNextFileW(search, &found));
    ::FindClose(search);
    std::sort(names.begin(), names.end());
    for (auto& n : names)
        n = base + n;
    return names;
}

} // namespace quorvel::base
