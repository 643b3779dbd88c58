#include "automation/registry_file.hpp"

#include "base/file_system.hpp"

#include <quorvel/error.hpp>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <pwd.h>
#include <sstream>
#include <unistd.h>

namespace quorvel::automation {

namespace fs = std::filesystem;

const std::string_view RegistryFile::kHeader =
    "# quorvel: per-user registry of automation classes.\n"
    "# Written by DllRegisterServer and DllUnregisterServer; read to create a class by its ProgID.\n"
    "# [key\\path] starts a key; each \"name=value\" line below it is one of its values (\"@\" is\n"
    "# the default value). Lines starting with '#' or ';' are comments.\n";

namespace {

std::string HomeFolder() {
    if (const char* home = std::getenv("HOME"); home != nullptr && *home != '\0') return home;
    long size = ::sysconf(_SC_GETPW_R_SIZE_MAX);
    std::vector<char> buffer(size > 0 ? static_cast<std::size_t>(size) : 16384);
    passwd entry{};
    passwd* found = nullptr;
    if (::getpwuid_r(::getuid(), &entry, buffer.data(), buffer.size(), &found) == 0 && found != nullptr &&
        found->pw_dir != nullptr && *found->pw_dir != '\0')
        return found->pw_dir;
    throw Error(errnum::kPathNotFound, "Dossier personnel introuvable pour le registre des classes");
}

char Lower(char c) {
    return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}

bool SameText(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i)
        if (Lower(a[i]) != Lower(b[i])) return false;
    return true;
}

// `key` is `root` or lies below it.
bool InTree(std::string_view key, std::string_view root) {
    if (key.size() == root.size()) return SameText(key, root);
    return key.size() > root.size() && key[root.size()] == '\\' && SameText(key.substr(0, root.size()), root);
}

std::string_view Trim(std::string_view s) {
    while (!s.empty() && (s.front() == ' ' || s.front() == '\t'))
        s.remove_prefix(1);
    while (!s.empty() && (s.back() == ' ' || s.back() == '\t' || s.back() == '\r' || s.back() == '\n'))
        s.remove_suffix(1);
    return s;
}

std::string_view WithoutLineEnd(std::string_view s) {
    if (!s.empty() && s.back() == '\n') s.remove_suffix(1);
    if (!s.empty() && s.back() == '\r') s.remove_suffix(1);
    return s;
}

// The three kinds of line that matter: a section header, a value, anything else.
struct Line {
    enum Kind { kSection, kValue, kOther } kind = kOther;
    std::string_view key;   // kSection
    std::string_view name;  // kValue
    std::string_view value; // kValue
};

Line Classify(std::string_view raw) {
    Line line;
    std::string_view t = Trim(raw);
    if (t.empty() || t.front() == '#' || t.front() == ';') return line;
    if (t.front() == '[' && t.back() == ']') {
        line.kind = Line::kSection;
        line.key = Trim(t.substr(1, t.size() - 2));
        return line;
    }
    std::string_view body = WithoutLineEnd(raw);
    auto eq = body.find('=');
    if (eq == std::string_view::npos) return line;
    line.kind = Line::kValue;
    line.name = Trim(body.substr(0, eq));
    line.value = body.substr(eq + 1);
    return line;
}

bool Writable(std::string_view text) {
    return text.find_first_of("\r\n") == std::string_view::npos;
}

} // namespace

std::string RegistryFilePath() {
    const char* xdg = std::getenv("XDG_CONFIG_HOME");
    fs::path config = (xdg != nullptr && xdg[0] == '/') ? fs::path(xdg) : fs::path(HomeFolder()) / ".config";
    return (config / "quorvel" / "registry.ini").string();
}

RegistryFile RegistryFile::Load(const std::string& path) {
    RegistryFile file;
    file.path_ = path;
    std::error_code ec;
    if (fs::symlink_status(path, ec).type() == fs::file_type::not_found) return file;
    errno = 0;
    std::ifstream in(path, std::ios::binary);
    if (!in) throw base::PathError(path, errno != 0 ? errno : EACCES);
    std::string line;
    while (std::getline(in, line)) {
        if (!in.eof()) line += '\n';
        file.lines_.push_back(std::move(line));
        line.clear();
    }
    if (in.bad()) throw base::PathError(path, EIO);
    return file;
}

std::optional<std::string> RegistryFile::Value(std::string_view key, std::string_view name) const {
    std::optional<std::string> found;
    bool inKey = false;
    for (const auto& raw : lines_) {
        Line line = Classify(raw);
        if (line.kind == Line::kSection)
            inKey = SameText(line.key, key);
        else if (inKey && line.kind == Line::kValue && SameText(line.name, name))
            found = std::string(line.value);
    }
    return found;
}

void RegistryFile::AddKey(std::string_view key,
                          const std::vector<std::pair<std::string, std::string>>& values) {
    if (key.empty() || !Writable(key) || key.find_first_of("[]") != std::string_view::npos)
        throw Error(errnum::kBadArgument, "Clé de registre impossible à écrire : " + std::string(key));
    for (const auto& [name, value] : values)
        if (name.empty() || !Writable(name) || name.find('=') != std::string::npos || !Writable(value))
            throw Error(errnum::kBadArgument,
                        "Valeur de registre impossible à écrire sous " + std::string(key));

    if (lines_.empty()) {
        std::istringstream header{std::string(kHeader)};
        for (std::string l; std::getline(header, l);)
            lines_.push_back(l + '\n');
    } else if (lines_.back().empty() || lines_.back().back() != '\n') {
        lines_.back() += '\n';
    }
    std::string section;
    section.reserve(key.size() + 3);
    section.append("[").append(key).append("]\n");
    lines_.push_back(std::move(section));
    for (const auto& [name, value] : values)
        lines_.push_back(name + "=" + value + "\n");
}

bool RegistryFile::RemoveTree(std::string_view key) {
    bool removed = false;
    bool inTree = false;
    std::vector<std::string> kept;
    kept.reserve(lines_.size());
    for (auto& raw : lines_) {
        Line line = Classify(raw);
        if (line.kind == Line::kSection) inTree = InTree(line.key, key);
        if (inTree && line.kind != Line::kOther) {
            removed = true;
            continue;
        }
        kept.push_back(std::move(raw));
    }
    lines_ = std::move(kept);
    return removed;
}

std::string RegistryFile::Text() const {
    std::string text;
    for (const auto& l : lines_)
        text += l;
    return text;
}

void RegistryFile::Save() const {
    std::string text = Text();
    std::error_code ec;
    if (text.empty() || text == kHeader) {
        if (!fs::remove(path_, ec) && ec) throw base::PathError(path_, ec.value());
        return;
    }
    fs::path target(path_);
    if (target.has_parent_path()) {
        fs::create_directories(target.parent_path(), ec);
        if (ec) throw base::PathError(target.parent_path().string(), ec.value());
    }
    std::string temporary = path_ + ".tmp" + std::to_string(::getpid());
    {
        std::ofstream out(temporary, std::ios::binary | std::ios::trunc);
        if (!out) throw base::PathError(temporary, errno);
        out.write(text.data(), static_cast<std::streamsize>(text.size()));
        out.flush();
        if (!out) {
            int err = errno;
            fs::remove(temporary, ec);
            throw base::PathError(temporary, err != 0 ? err : EIO);
        }
    }
    if (std::rename(temporary.c_str(), path_.c_str()) != 0) {
        int err = errno;
        fs::remove(temporary, ec);
        throw base::PathError(path_, err);
    }
}

} // namespace quorvel::automation
