#include "iuf_checks.hpp"
#include "i18n.hpp"

#include "suggestion.hpp"

#include <quorvel/database_tools.hpp>

#include <algorithm>
#include <fstream>

namespace quorvel::cli {

namespace {

// The length of the first line of `path`, without its line end; -1 when it cannot be read.
long FirstLineLength(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::string line;
    if (!in || !std::getline(in, line)) return -1;
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (line.starts_with("\xEF\xBB\xBF")) line.erase(0, 3);
    return static_cast<long>(line.size());
}

// The code of `codes` nearest to `club`: a near miss, else the one sharing the longest beginning.
std::string NearestCode(const std::string& club, const std::vector<std::string>& codes) {
    if (std::string near = Nearest(club, codes); !near.empty()) return near;
    auto shared = [&club](const std::string& code) {
        return std::mismatch(club.begin(), club.end(), code.begin(), code.end()).first - club.begin();
    };
    return *std::max_element(codes.begin(), codes.end(), [&](const std::string& x, const std::string& y) {
        return shared(x) < shared(y);
    });
}

} // namespace

std::string ClubInCapitals(const std::string& club) {
    std::string capitals = club;
    for (char& c : capitals)
        if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
    return capitals;
}

std::string ClubWarning(const RunArgs& a) {
    if (!a.iuf || a.club.empty()) return {};
    std::vector<std::string> codes;
    try {
        codes = LicenceClubCodes(a.db);
    } catch (const Error&) {
        return {};
    }
    if (std::binary_search(codes.begin(), codes.end(), a.club)) return {};
    std::string warning = Fill(_("quorvel update-iuf: beware, the database holds no licence of the club {1}: "
                                 "the update will change none."),
                               {a.club});
    if (codes.empty()) return warning + " " + _("The database holds no licence yet.");
    return warning + " " + Fill(_("Nearest code in the database: {1}."), {NearestCode(a.club, codes)});
}

std::string SkippedFileNotes(const RunReport& report) {
    std::string notes;
    // (The entries themselves may be spilled to a file: their groups keep the first of each kind.)
    for (const auto& group : report.groups)
        for (const auto& entry : group.first) {
            if (!entry.message.starts_with("Longueur des lignes dans le fichier ")) continue;
            long length = FirstLineLength(entry.file);
            std::string name = entry.file.substr(entry.file.find_last_of('/') + 1);
            if (length < 0) continue;
            const std::string chars = std::to_string(length);
            notes += (length == 248  ? Fill(_("Note: {1} has lines of {2} characters, like a licence export "
                                               "(licence.txt), not 45 like an IUF file: left aside."),
                                            {name, chars})
                      : length == 43 ? Fill(_("Note: {1} has lines of {2} characters, like a club export "
                                              "(club.txt), not 45 like an IUF file: left aside."),
                                            {name, chars})
                                     : Fill(_("Note: {1} has lines of {2} characters, not 45 like an IUF "
                                              "file: left aside."),
                                            {name, chars})) +
                     "\n";
        }
    return notes;
}

} // namespace quorvel::cli
