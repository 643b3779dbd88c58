// What a run's outputs and working folder must not be, checked before anything is written.

#include <quorvel/output_check.hpp>

#include "base/file_system.hpp"

#include <algorithm>
#include <cstring>
#include <filesystem>

namespace quorvel {

namespace {

namespace fs = std::filesystem;

fs::path Absolute(const std::string& path) {
    std::error_code ec;
    fs::path p = fs::weakly_canonical(fs::absolute(path, ec), ec);
    if (ec) p = fs::absolute(path, ec);
    p = p.lexically_normal();
    return p.has_filename() || p == p.root_path() ? p : p.parent_path();
}

// The same file, or the same name for a file not written yet.
bool Same(const std::string& a, const std::string& b) {
    std::error_code ec;
    return fs::equivalent(a, b, ec) || Absolute(a) == Absolute(b);
}

std::string Refused(const std::string& output, const std::string& what, const std::string& path) {
    return "Le fichier de sortie " + output + " désigne " + what + " : " + path +
           ". Choisissez un autre nom ; rien n'a été modifié.";
}

std::string SmallLetters(std::string text) {
    for (char& c : text)
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    return text;
}

} // namespace

std::string OutputClash(const std::string& output, const std::vector<ProtectedFile>& files,
                        const std::string& database, const std::string& work) {
    for (const auto& file : files)
        if (!file.path.empty() && Same(output, file.path)) return Refused(output, file.what, file.path);
    if (!database.empty())
        for (const char* suffix : {"-journal", "-wal", "-shm"})
            if (Same(output, database + suffix))
                return Refused(output,
                               "un fichier de travail du moteur de la base (effacé ou réécrit par lui)",
                               database + suffix);
    if (work.empty()) return {};
    fs::path out(output);
    std::string name = SmallLetters(out.filename().string());
    std::error_code ec;
    if (fs::equivalent(out.has_parent_path() ? out.parent_path() : fs::path("."), work, ec))
        for (const char* copy : {"licence", "club", "origine"})
            if (name.rfind(copy, 0) == 0 && name.ends_with(".txt"))
                return Refused(output, "une copie de travail", output);
    return {};
}

std::string OutputUnwritable(const std::string& output) {
    int err = base::WriteProbe(output);
    if (err == 0) return {};
    return "Impossible d'écrire " + output + " (" + std::strerror(err) +
           ") : choisissez un dossier où écrire ou un autre nom ; rien n'a été modifié.";
}

std::string WorkFolderClash(const std::string& work, const std::string& source) {
    if (work.empty() || source.empty()) return {};
    fs::path w = Absolute(work), s = Absolute(source);
    auto [sourceEnd, workAt] = std::mismatch(s.begin(), s.end(), w.begin(), w.end());
    if (sourceEnd != s.end()) return {};
    return "Le dossier de travail " + work +
           (w == s ? " est le dossier source" : " est dans le dossier source") + " " + source +
           " : les copies s'y mêleraient aux fichiers exportés. Choisissez un autre dossier de "
           "travail ; rien n'a été modifié.";
}

} // namespace quorvel
