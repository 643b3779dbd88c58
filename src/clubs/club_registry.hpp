#pragma once
// The club registry: every federal club code that reaches the database goes through it. It finds
// a club by its code, fills in a name that was not known yet, checks the name against the stored
// one, or creates the club once its code has passed the geographic validation.

#include <string>
#include <string_view>

namespace quorvel {
struct ImportSession;

namespace clubs {

// The name a club is stored under until its real name is known: the four letters "Null", stored
// as text. Comparisons with it are exact (letter case counts).
inline constexpr std::string_view kNomInconnu = "Null";

// What iTraite_Club did with a code.
enum class ClubResult : int {
    Refused = 0,        // unknown and invalid code, or the creation failed
    Created = 1,        // unknown valid code: the club was created
    NameFilledIn = 2,   // known under the placeholder name, which was replaced by the given name
    SameName = 3,       // known under the given name
    OtherName = 4,      // known under another name, left as it was
    AlreadyHandled = 5, // already handled during this call: nothing was queried
};

// Classifies the club `code` with the name `name` (both UTF-8) and creates, names or leaves the
// Club row accordingly. A code already in the session's colClubsTraites answers AlreadyHandled at
// once and leaves `message` as it was; every other path first empties `message`, then leaves in
// it what the caller reports: the refusal text or the other name. Throws quorvel::Error when a
// query fails (the callers report it as "Erreur n° ..."); adding the code to colClubsTraites is
// the caller's decision.
ClubResult iTraite_Club(ImportSession& session, std::string_view code, std::string_view name,
                        std::string& message);

// Inserts the Club row (`code`, `name`), marked as a selection when the code ends in "0000".
// Throws quorvel::Error when the database refuses it.
void Creer_Club(ImportSession& session, std::string_view code, std::string_view name);

// True when the code names a selection: its last four characters are "0000" (the whole code when
// it is shorter than four characters).
bool bCode_Selection(std::string_view code);

} // namespace clubs
} // namespace quorvel
