#include "output_checks.hpp"

#include <cctype>
#include <filesystem>
#include <vector>

namespace quorvel::cli {

namespace {

namespace fs = std::filesystem;

// The report may not overwrite the database, the TraceLog, a file of the source folder or a
// working copy; nothing has been opened when it is refused.
std::string ReportClash(const std::string& report, const std::vector<std::string>& others,
                        const std::string& source, const std::string& work) {
    std::error_code ec;
    std::vector<std::string> files = others;
    for (const auto& entry : fs::directory_iterator(source, ec))
        files.push_back(entry.path().string());
    // Outputs not written yet are compared by name.
    auto same = [&](const std::string& file) {
        return fs::equivalent(report, file, ec) ||
               fs::absolute(report, ec).lexically_normal() == fs::absolute(file, ec).lexically_normal();
    };
    for (const auto& file : files)
        if (!file.empty() && same(file)) return file;
    fs::path path(report);
    std::string name = path.filename().string();
    for (char& c : name)
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    if (!work.empty() &&
        fs::equivalent(path.has_parent_path() ? path.parent_path() : fs::path("."), work, ec))
        for (const char* copy : {"licence", "club", "origine"})
            if (name.rfind(copy, 0) == 0) return report + " (une copie de travail)";
    return {};
}

} // namespace

std::string RefusedArguments(const RunArgs& a) {
    const std::string command = std::string("quorvel ") + a.Command() + ": ";
    if (a.iuf && a.clubGiven && a.club.size() != 13)
        return command + "--club expects a federal club code of 13 characters (e.g. FRA1750750123), got '" +
               a.club + "' (" + std::to_string(a.club.size()) + " characters); nothing was changed";
    const std::string work = a.iuf ? std::string() : a.work;
    if (!a.report.empty()) {
        std::string clash = ReportClash(a.report, {a.db, a.trace}, a.source, work);
        if (!clash.empty())
            return command + "the report " + a.report + " would overwrite " + clash +
                   "; choose another name (nothing was changed)";
    }
    if (!a.html.empty()) {
        std::string clash = ReportClash(a.html, {a.db, a.trace, a.report}, a.source, work);
        if (!clash.empty())
            return command + "the HTML page " + a.html + " would overwrite " + clash +
                   "; choose another name (nothing was changed)";
    }
    return {};
}

std::string WorkFolder::Make() {
    std::error_code ec;
    if (args_.iuf || fs::exists(args_.work, ec)) return {};
    made_ = fs::create_directories(args_.work, ec);
    if (ec)
        return std::string("quorvel import-licences: cannot create the working folder ") + args_.work + ": " +
               ec.message();
    return {};
}

WorkFolder::~WorkFolder() {
    std::error_code ec;
    if (made_ && args_.dryRun) fs::remove(args_.work, ec);
}

} // namespace quorvel::cli
