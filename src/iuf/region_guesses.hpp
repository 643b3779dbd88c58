#pragma once
// The inter-region a line of an IUF file is expected to find for its region, so that the club
// codes of the lines about to be handled are built ahead: the answer of the last line that looked
// the region up, else the Region table as the run read it whole. A guess only: each line still
// looks its own region up, and a wrong guess costs no more than a key asked for nothing.

#include "storage/reference_answers.hpp"

#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>

namespace quorvel::iuf {

class RegionGuesses {
public:
    // A line looked up `region` (raw bytes) and found `inter`.
    void Met(const std::string& region, const std::string& inter) { met_[region] = inter; }
    // True once a line has looked a region up.
    bool AnyMet() const noexcept { return !met_.empty(); }
    // Takes the Region table's codes and inter-regions (UTF-8, as the run read them); null when
    // the table was not read.
    void List(const storage::ReferenceAnswers::Pairs* regions);
    // True once the Region table was taken.
    bool Listed() const noexcept { return listed_; }
    // The inter-region a line of region `region` (raw bytes) is expected to find: null when it
    // is not known, or when its lookup is expected to fail.
    const std::string* Of(std::string_view region) const;

private:
    std::unordered_map<std::string, std::string> met_;
    // The Region table's inter-region of each region, by its code folded (no value when it has
    // none: the line's lookup fails).
    std::unordered_map<std::string, std::optional<std::string>> table_;
    bool listed_ = false;
    const std::string none_;
};

} // namespace quorvel::iuf
