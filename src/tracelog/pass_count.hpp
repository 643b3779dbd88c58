#pragma once
// The counts a pass reports, each under the key the run report shows it by.

#include <string_view>
#include <utility>
#include <vector>

namespace quorvel::tracelog {

enum class PassCount {
    Lines,          // lines read
    Created,        // clubs created
    Known,          // clubs or licences already stored
    KnownOtherName, // clubs stored under another name
    Updated,        // clubs named, or licences given their IUF code
    Errors,         // lines in error
    Imported,       // licences stored
    Relay,          // relay licences
    ClubsAdded,     // clubs added under the placeholder name by the licence pass
    Unknown,        // IUF lines whose licence is not stored
};

// The key of `count` in the run report ("lines", "created"...).
constexpr std::string_view KeyOf(PassCount count) noexcept {
    switch (count) {
    case PassCount::Lines:
        return "lines";
    case PassCount::Created:
        return "created";
    case PassCount::Known:
        return "known";
    case PassCount::KnownOtherName:
        return "knownOtherName";
    case PassCount::Updated:
        return "updated";
    case PassCount::Errors:
        return "errors";
    case PassCount::Imported:
        return "imported";
    case PassCount::Relay:
        return "relay";
    case PassCount::ClubsAdded:
        return "clubsAdded";
    case PassCount::Unknown:
        return "unknown";
    }
    return {};
}

// A pass's counts in the order of its summary.
using PassCounts = std::vector<std::pair<PassCount, long>>;

} // namespace quorvel::tracelog
