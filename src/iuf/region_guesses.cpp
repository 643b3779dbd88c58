#include "iuf/region_guesses.hpp"

#include "base/encoding.hpp"

namespace quorvel::iuf {

namespace {

// A region code with its ASCII letters in lower case: the Region table's codes compare so.
std::string Folded(std::string_view region) {
    std::string folded(region);
    for (char& c : folded)
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    return folded;
}

} // namespace

void RegionGuesses::List(const storage::ReferenceAnswers::Pairs* regions) {
    if (regions == nullptr) return;
    for (const auto& [code, inter] : *regions)
        table_.emplace(Folded(base::Utf8ToCp1252(code)), inter);
    listed_ = true;
}

const std::string* RegionGuesses::Of(std::string_view region) const {
    if (auto met = met_.find(std::string(region)); met != met_.end()) return &met->second;
    if (!listed_) return nullptr;
    auto listed = table_.find(Folded(region));
    // A region the table does not hold has no inter-region.
    if (listed == table_.end()) return &none_;
    return listed->second ? &*listed->second : nullptr;
}

} // namespace quorvel::iuf
