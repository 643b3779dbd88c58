#include "suggestion.hpp"
#include "i18n.hpp"

#include <algorithm>

namespace quorvel::cli {

namespace {

// Edits from `a` to `b`, a swap of two neighbouring letters counting as one.
std::size_t Distance(std::string_view a, std::string_view b) {
    std::vector<std::vector<std::size_t>> d(a.size() + 1, std::vector<std::size_t>(b.size() + 1));
    for (std::size_t i = 0; i <= a.size(); ++i)
        d[i][0] = i;
    for (std::size_t j = 0; j <= b.size(); ++j)
        d[0][j] = j;
    for (std::size_t i = 1; i <= a.size(); ++i)
        for (std::size_t j = 1; j <= b.size(); ++j) {
            d[i][j] = std::min({d[i - 1][j] + 1, d[i][j - 1] + 1, d[i - 1][j - 1] + (a[i - 1] != b[j - 1])});
            if (i > 1 && j > 1 && a[i - 1] == b[j - 2] && a[i - 2] == b[j - 1])
                d[i][j] = std::min(d[i][j], d[i - 2][j - 2] + 1);
        }
    return d[a.size()][b.size()];
}

} // namespace

std::string Nearest(std::string_view word, const std::vector<std::string>& candidates) {
    std::string best;
    std::size_t bestDistance = std::max<std::size_t>(2, word.size() / 3) + 1;
    for (const std::string& candidate : candidates) {
        std::size_t distance = Distance(word, candidate);
        // A prefix ("import" for "import-licences") is as good as a near miss.
        if (candidate.rfind(word, 0) == 0 && word.size() >= 3) distance = std::min<std::size_t>(distance, 1);
        if (distance < bestDistance) {
            bestDistance = distance;
            best = candidate;
        }
    }
    return best;
}

namespace {

// The first unknown option of `command` among argv's words, with its suggestion.
std::string OptionSuggestion(const CLI::App& command, int argc, char** argv) {
    std::vector<std::string> options;
    for (const CLI::Option* option : command.get_options())
        for (const std::string& name : option->get_lnames())
            options.push_back("--" + name);
    for (int i = 2; i < argc; ++i) {
        std::string word = argv[i];
        if (word.rfind("--", 0) != 0) continue;
        word = word.substr(0, word.find('='));
        if (std::find(options.begin(), options.end(), word) != options.end()) continue;
        std::string near = Nearest(word, options);
        return near.empty() ? Fill(_("unknown option '{1}'"), {word})
                            : Fill(_("unknown option '{1}'; did you mean '{2}'?"), {word, near});
    }
    return {};
}

} // namespace

std::string Suggestion(const CLI::App& app, int argc, char** argv) {
    if (argc < 2) return {};
    std::string first = argv[1];
    if (first.empty() || first[0] == '-') return {};
    std::vector<std::string> commands;
    for (const CLI::App* sub : app.get_subcommands({})) {
        if (sub->get_name() == first) return OptionSuggestion(*sub, argc, argv);
        commands.push_back(sub->get_name());
    }
    std::string near = Nearest(first, commands);
    return near.empty() ? Fill(_("unknown command '{1}'"), {first})
                        : Fill(_("unknown command '{1}'; did you mean '{2}'?"), {first, near});
}

} // namespace quorvel::cli
