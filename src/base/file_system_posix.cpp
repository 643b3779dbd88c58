// The file-system calls of POSIX systems.

#include "base/file_system.hpp"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <unistd.h>

#include <filesystem>

namespace quorvel::base {

namespace fs = std::filesystem;

bool FileExists(const std::string& path) {
    if (path.empty()) return false;
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

bool IsDirectory(const std::string& path) {
    struct stat st {};
    return !path.empty() && ::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

bool NameTaken(const std::string& path) {
    struct stat st {};
    return ::lstat(path.c_str(), &st) == 0;
}

std::FILE* OpenFile(const std::string& path, const char* mode) {
    return std::fopen(path.c_str(), mode);
}

bool TruncateFile(std::FILE* file, std::uint64_t size) {
    return std::fflush(file) == 0 && ::ftruncate(::fileno(file), static_cast<off_t>(size)) == 0;
}

namespace {

// Copies what is left of `in` to `out` through a buffer; the error number, or 0. The path to
// blame is the destination when `writing` comes out true.
int CopyThroughBuffer(int in, int out, bool& writing) {
    std::vector<char> buf(1 << 20);
    for (;;) {
        ssize_t n = ::read(in, buf.data(), buf.size());
        if (n == 0) return 0;
        if (n < 0) {
            if (errno == EINTR) continue;
            writing = false;
            return errno;
        }
        for (ssize_t done = 0; done < n;) {
            ssize_t w = ::write(out, buf.data() + done, static_cast<std::size_t>(n - done));
            if (w < 0 && errno != EINTR) {
                writing = true;
                return errno;
            }
            if (w > 0) done += w;
        }
    }
}

} // namespace

void CopyFile(const std::string& source, const std::string& destination) {
    int in = ::open(source.c_str(), O_RDONLY | O_CLOEXEC);
    if (in < 0) throw PathError(source, errno);
    struct stat st {};
    if (::fstat(in, &st) != 0 || !S_ISREG(st.st_mode)) {
        int err = S_ISDIR(st.st_mode) ? EISDIR : errno;
        ::close(in);
        throw PathError(source, err);
    }
    // A new copy is as private as its source (an export readable by its owner alone stays so),
    // and never more open than the user's umask allows.
    int out = ::open(destination.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, st.st_mode & 0666);
    if (out < 0) {
        int err = errno;
        ::close(in);
        throw PathError(destination, err);
    }
    // The kernel copies without passing the bytes through here when it can; between file
    // systems that do not allow it, the copy goes through a buffer.
    bool any = false;
    ssize_t n = 0;
    while ((n = ::copy_file_range(in, nullptr, out, nullptr, 1 << 30, 0)) > 0)
        any = true;
    int err = n < 0 ? errno : 0;
    bool writing = true;
    if (n < 0 && !any && (err == EXDEV || err == ENOSYS || err == EINVAL || err == EOPNOTSUPP))
        err = CopyThroughBuffer(in, out, writing);
    ::close(in);
    if (err != 0) {
        ::close(out);
        throw PathError(writing ? destination : source, err);
    }
    if (::close(out) != 0) throw PathError(destination, errno);
}

std::uint64_t FileSize(const std::string& path) {
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0) throw PathError(path, errno);
    return static_cast<std::uint64_t>(st.st_size);
}

bool DriveReady(const std::string& folder) {
    struct stat st {};
    if (folder.empty() || ::stat(folder.c_str(), &st) != 0) {
        int err = folder.empty() ? ENOENT : errno;
        throw Error(errnum::kPathNotFound,
                    "Chemin d'accès introuvable : " + (folder.empty() ? std::string("\"\"") : folder) +
                        (err == ENOENT ? "" : std::string(" (") + std::strerror(err) + ")"));
    }
    if (!S_ISDIR(st.st_mode))
        throw Error(errnum::kPathNotFound,
                    "Chemin d'accès introuvable (ce n'est pas un dossier) : " + folder);
    struct statvfs vs {};
    return ::statvfs(folder.c_str(), &vs) == 0;
}

int WriteProbe(const std::string& path) {
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0) {
        int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
        if (fd < 0) return errno;
        ::close(fd);
        ::unlink(path.c_str());
        return 0;
    }
    int fd = ::open(path.c_str(), O_WRONLY | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0) return errno;
    int err = 0;
    if (S_ISCHR(st.st_mode) && !::isatty(fd) && ::write(fd, "\n", 1) != 1) err = errno;
    ::close(fd);
    return err;
}

std::vector<std::string> ListFiles(const std::string& folder) {
    std::vector<std::string> names;
    std::error_code ec;
    fs::directory_iterator it(fs::path(folder), ec);
    if (ec) throw PathError(folder, ec.value());
    for (const auto& entry : it) {
        std::error_code fe;
        if (entry.is_regular_file(fe)) names.push_back(entry.path().filename().string());
    }
    std::sort(names.begin(), names.end());
    std::string base = folder;
    if (base.empty() || base.back() != '/') base.push_back('/');
    for (auto& n : names)
        n = base + n;
    return names;
}

} // namespace quorvel::base
