#include "tracelog/entry_kind.hpp"

namespace quorvel::tracelog {

namespace {

constexpr std::string_view kLeftOut = "…";

void ReplaceAll(std::string& text, std::string_view what) {
    if (what.empty()) return;
    for (std::size_t at = text.find(what); at != std::string::npos;
         at = text.find(what, at + kLeftOut.size()))
        text.replace(at, what.size(), kLeftOut);
}

// One line of the message, the entry's file and codes left out: what follows " : " is what was read ("Nom
// dans la base : DUPONT Jean"), and so is a swimmer's name after "nageur ".
std::string LineKind(std::string line, const ReportEntry& e) {
    for (const std::string* code : {&e.file, &e.club, &e.licence, &e.selection})
        ReplaceAll(line, *code);
    if (std::size_t colon = line.find(" : "); colon != std::string::npos)
        line = line.substr(0, colon + 3) + std::string(kLeftOut);
    if (std::size_t name = line.find("nageur "); name != std::string::npos) {
        std::size_t comma = line.find(',', name);
        if (comma != std::string::npos) line.replace(name + 7, comma - name - 7, kLeftOut);
    }
    return line;
}

} // namespace

std::string KindOf(const ReportEntry& e) {
    std::string kind;
    std::size_t from = 0;
    while (from < e.message.size()) {
        std::size_t end = e.message.find('\n', from);
        if (end == std::string::npos) end = e.message.size();
        std::string line = LineKind(e.message.substr(from, end - from), e);
        if (!line.empty()) kind += (kind.empty() ? "" : " ") + line;
        from = end + 1;
    }
    return kind;
}

} // namespace quorvel::tracelog
