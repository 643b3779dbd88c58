#pragma once
// Questions about files, folders and drives, and the copying of files. Paths are UTF-8 text
// joined with "/", or with "\" on Windows (where "/" separates too, and drive letters are
// accepted wherever a path is). The platform's own calls live in file_system_posix.cpp and
// file_system_windows.cpp.

#include <quorvel/error.hpp>

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

namespace quorvel::base {

// A run-time error for a file-system failure on `path`, with a French description that names
// the path and the cause (`err` is an errno value).
Error PathError(const std::string& path, int err);

#ifdef _WIN32
inline constexpr char kPathSeparator = '\\';
#else
inline constexpr char kPathSeparator = '/';
#endif

// True for a character that separates the components of a path.
bool IsPathSeparator(char c) noexcept;

// True when `path` names an existing regular file (false for the empty path and for folders).
bool FileExists(const std::string& path);
bool IsDirectory(const std::string& path);
// True when anything, file or folder (or a dangling link), already bears the name `path`.
bool NameTaken(const std::string& path);

// Opens `path` with the C library's `mode` ("rb", "wb"); null with errno set when it cannot.
std::FILE* OpenFile(const std::string& path, const char* mode);
// Cuts the open file `file` down to `size` bytes (its buffer flushed first); false with errno
// set when it cannot.
bool TruncateFile(std::FILE* file, std::uint64_t size);

// The last component of `path`: "/w/licence2.txt" -> "licence2.txt" (on Windows also
// "C:\\w\\licence2.txt" -> "licence2.txt").
std::string GetFileName(const std::string& path);
// `path` without its last component and without a final "/": "/w/licence2.txt" -> "/w".
std::string GetParentFolderName(const std::string& path);
// The extension after the last dot of the file name, without the dot; empty when there is none.
std::string GetExtensionName(const std::string& path);

// Copies `source` to `destination`, replacing a file of that name; a new copy gets the source's
// read and write permissions, less the umask. Throws on failure.
void CopyFile(const std::string& source, const std::string& destination);

// Size in bytes of the file `path`; throws when it cannot be read.
std::uint64_t FileSize(const std::string& path);

// True when the volume holding the folder `folder` answers. Throws when the folder does not
// exist or is not a folder.
bool DriveReady(const std::string& folder);

// 0 when `path` can be written, else the system's error number. A file that does not exist is
// created and removed again; an existing file keeps its bytes; a device other than a terminal
// takes a test write of one line end (a full one refuses it).
int WriteProbe(const std::string& path);

// Full paths of the regular files directly in `folder` (no subfolders), in ascending byte order
// of their names. Throws when the folder cannot be listed.
std::vector<std::string> ListFiles(const std::string& folder);

} // namespace quorvel::base
