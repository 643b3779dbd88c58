#include "output_checks.hpp"
#include "i18n.hpp"

#include <quorvel/database.hpp>
#include <quorvel/output_check.hpp>

#include <filesystem>
#include <vector>

namespace quorvel::cli {

namespace {

namespace fs = std::filesystem;

// Why `output` (a report or the page) may not be written: it would overwrite the database, the
// TraceLog, a file of the source folder, a working copy or an earlier output, or cannot be
// written at all. Nothing has been opened when it is refused.
std::string OutputRefusal(const RunArgs& a, const std::string& output, std::vector<ProtectedFile> files) {
    files.insert(files.begin(), {{a.db, "la base de données"}, {a.trace, "le TraceLog"}});
    std::error_code ec;
    for (const auto& entry : fs::directory_iterator(a.source, ec))
        files.push_back({entry.path().string(), "un fichier source"});
    std::string why =
        OutputClash(output, files, IsServerUri(a.db) ? std::string() : a.db, a.iuf ? std::string() : a.work);
    return why.empty() ? OutputUnwritable(output) : why;
}

} // namespace

std::string RefusedArguments(const RunArgs& a) {
    const std::string command = std::string("quorvel ") + a.Command() + ": ";
    if (a.iuf && a.clubGiven && a.club.size() != 13)
        return command + Fill(_("--club expects a federal club code of 13 characters (e.g. FRA1750750123), "
                                "got '{1}' ({2} characters); nothing was changed"),
                              {a.club, std::to_string(a.club.size())});
    if (!a.iuf)
        if (std::string why = WorkFolderClash(a.work, a.source); !why.empty()) return command + why;
    if (!a.report.empty())
        if (std::string why = OutputRefusal(a, a.report, {}); !why.empty()) return command + why;
    if (!a.html.empty())
        if (std::string why = OutputRefusal(a, a.html, {{a.report, "le rapport JSON"}}); !why.empty())
            return command + why;
    return {};
}

std::string WorkFolder::Make() {
    std::error_code ec;
    if (args_.iuf || fs::exists(args_.work, ec)) return {};
    made_ = fs::create_directories(args_.work, ec);
    if (ec)
        return Fill(_("quorvel import-licences: cannot create the working folder {1}: {2}"),
                    {args_.work, ec.message()});
    return {};
}

WorkFolder::~WorkFolder() {
    // A folder made for the run goes again when it holds nothing: after a preview, or a run that
    // could not start (a missing source folder).
    std::error_code ec;
    if (made_ && fs::is_empty(args_.work, ec)) fs::remove(args_.work, ec);
}

} // namespace quorvel::cli
