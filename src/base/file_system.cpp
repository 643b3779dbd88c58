#include "base/file_system.hpp"

#include <cerrno>
#include <cstring>

namespace quorvel::base {

Error PathError(const std::string& path, int err) {
    switch (err) {
    case ENOENT:
        return Error(errnum::kFileNotFound, "Fichier ou dossier introuvable : " + path);
    case ENOTDIR:
        return Error(errnum::kPathNotFound, "Chemin d'accès introuvable : " + path);
    case EACCES:
    case EPERM:
        return Error(errnum::kPermissionDenied, "Permission refusée : " + path);
    case EISDIR:
        return Error(errnum::kPathAccess, "Un dossier se trouve là où un fichier est attendu : " + path);
    case EROFS:
        return Error(errnum::kPermissionDenied, "Système de fichiers en lecture seule : " + path);
    case ENOSPC:
        return Error(errnum::kDiskFull, "Disque plein : " + path);
    default:
        return Error(errnum::kPathAccess, "Erreur d'accès au chemin " + path + " : " + std::strerror(err));
    }
}

bool IsPathSeparator(char c) noexcept {
#ifdef _WIN32
    return c == '/' || c == '\\';
#else
    return c == '/';
#endif
}

namespace {
// Where the last component of `path` starts (after the last separator, or after a drive's
// "C:" on Windows).
std::size_t NameStart(const std::string& path) {
    std::size_t p = path.size();
    while (p > 0 && !IsPathSeparator(path[p - 1]))
        --p;
#ifdef _WIN32
    if (p == 0 && path.size() >= 2 && path[1] == ':') return 2;
#endif
    return p;
}
} // namespace

std::string GetFileName(const std::string& path) {
    return path.substr(NameStart(path));
}

std::string GetParentFolderName(const std::string& path) {
    std::size_t p = NameStart(path);
    if (p == 0) return {};
    std::string parent = path.substr(0, p);
    while (parent.size() > 1 && IsPathSeparator(parent.back()))
        parent.pop_back();
#ifdef _WIN32
    // The root of a drive keeps its separator: "C:\licence.txt" -> "C:\".
    if (parent.size() == 2 && parent[1] == ':' && p > 2) parent.push_back(kPathSeparator);
#endif
    return parent;
}

std::string GetExtensionName(const std::string& path) {
    std::string name = GetFileName(path);
    auto p = name.find_last_of('.');
    return p == std::string::npos ? std::string() : name.substr(p + 1);
}

} // namespace quorvel::base
