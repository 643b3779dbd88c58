#include "licences/licence_pass.hpp"

#include "base/current_error.hpp"
#include "base/encoding.hpp"
#include "base/text_conversion.hpp"
#include "clubs/club_registry.hpp"
#include "licences/licence_insertion.hpp"
#include "licences/licence_record.hpp"
#include "licences/selection_membership.hpp"
#include "session/import_session.hpp"
#include "session/pass.hpp"
#include "storage/licence_lookup.hpp"
#include "storage/queries.hpp"
#include "storage/selection_lookup.hpp"

#include <algorithm>
#include <cstdio>
#include <unordered_map>

namespace quorvel::licences {

namespace {

const std::string kLineBreak(tracelog::kCrLf);

// The line as the pass reads it: single-byte text with its DOS letters put back.
void Convert(std::string_view raw, std::string& line) {
    line.assign(raw);
    if (!base::Utf8LineToCp1252(line)) base::ConvertDosInPlace(line);
}

std::string Ymd(const LocalDateTime& t) {
    char buf[16];
    std::snprintf(buf, sizeof buf, "%04d%02d%02d", t.year, t.month, t.day);
    return buf;
}

constexpr PassInfo kLicencePass{"licences", "Import des licences interrompu.", false};

struct Counters {
    long importees = 0;
    long connues = 0;
    long relais = 0;
    long erreurs = 0;
    long clubsAjoutes = 0;
};

// The state of one licence pass. Buffers live as long as the pass so that a line costs no
// allocation once they have grown.
class LicencePass : public PassBody {
public:
    explicit LicencePass(ImportSession& session)
        : session_(session), trace_(session.trace), today_(Ymd(session.Now())) {}

    void Line(std::string_view raw, long number) override {
        // The licence's key is looked up once the line is converted: its slot is fetched meanwhile.
        session_.colLicencesTraitees.Prefetch(RawField(raw, kCodeClub), RawField(raw, kLicence));
        ligne_ = number;
        message_.clear();
        Convert(raw, line_);
        if (!TraiteLigne(line_)) {
            // Nothing joins colLicencesTraitees: a later identical line is handled again.
            tracelog::TraceLigne(trace_, ligne_, message_, "Erreur");
            ++n_.erreurs;
        }
    }

    void Summary(long lignes) override {
        using std::to_string;
        tracelog::TracePluriel(trace_, n_.importees,
                               kLineBreak + "Récupération de " + to_string(n_.importees) +
                                   " licence<PLURIEL> sur " + to_string(lignes) + ".");
        tracelog::TracePluriel(trace_, n_.connues,
                               to_string(n_.connues) + " licence<PLURIEL> déjà connue<PLURIEL>.");
        tracelog::TracePluriel(trace_, n_.relais, to_string(n_.relais) + " licence<PLURIEL> de type relais.");
        tracelog::TracePluriel(trace_, n_.erreurs, to_string(n_.erreurs) + " entrée<PLURIEL> en erreur.");
        tracelog::TracePluriel(trace_, n_.clubsAjoutes,
                               to_string(n_.clubsAjoutes) +
                                   " club<PLURIEL> ajouté<PLURIEL> avec le libellé " +
                                   std::string(clubs::kNomInconnu) + ".");
    }

    tracelog::PassCounts Counts() const override {
        using tracelog::PassCount;
        return {{PassCount::Imported, n_.importees},
                {PassCount::Known, n_.connues},
                {PassCount::Relay, n_.relais},
                {PassCount::Errors, n_.erreurs},
                {PassCount::ClubsAdded, n_.clubsAjoutes}};
    }

    void Mark() override { marked_ = n_; }
    void Rewind() override {
        n_ = marked_;
        Forget();
    }
    void MarkSavepoint() override {
        savepoints_.Mark({n_, lookup_.Here(), selections_.Here(), knownOrder_.size()});
    }
    // The lines undone inside the transaction taught only what they did themselves: the clubs
    // found since, and the answers read since, are forgotten.
    void RewindSavepoint(std::size_t point) override {
        const Point& back = savepoints_.BackTo(point);
        n_ = back.counts;
        lookup_.BackTo(back.answers);
        selections_.BackTo(back.selections);
        for (std::size_t i = back.clubs; i < knownOrder_.size(); ++i)
            knownClubs_.erase(knownOrder_[i]);
        knownOrder_.resize(back.clubs);
        nextFirst_ = -1; // (its club codes left out clubs forgotten now)
    }
    void KeepNewestSavepoint() override { savepoints_.KeepNewest(); }
    // What the lines undone taught about the database.
    void Forget() {
        // A club found may have been created by the lines undone, a licence stored by them.
        knownClubs_.clear();
        knownOrder_.clear();
        nextFirst_ = -1;
        lookup_.Forget();
        selections_.Forget();
    }

    std::size_t LookAhead() const override {
        const storage::Connection& db = session_.objConnexion;
        return std::max({lookup_.Window(db), selections_.Window(db), session_.clubLookup.Window(db)});
    }

    void Ahead(long first, const std::vector<std::string>& lines) noexcept override {
        if (nextFirst_ == first && nextKeys_.size() == lines.size()) {
            // The window read ahead, whose keys AheadNext() guessed.
            keys_.swap(nextKeys_);
            selectionKeys_.swap(nextSelectionKeys_);
            clubCodes_.swap(nextClubCodes_);
        } else if (!GuessKeys(lines, keys_, selectionKeys_, clubCodes_)) {
            // Each line then asks for itself.
            for (std::size_t i = 0; i < lines.size(); ++i)
                keys_[i].wanted = selectionKeys_[i].wanted = false;
            clubCodes_.clear();
        }
        nextFirst_ = -1;
        if (lookup_.Window(session_.objConnexion) > 0) lookup_.Ahead(session_.objConnexion, first, keys_);
        if (selections_.Window(session_.objConnexion) > 0) SelectionsAhead(first);
        if (session_.clubLookup.Window(session_.objConnexion) > 0)
            session_.clubLookup.Ahead(session_.objConnexion, clubCodes_);
    }

    bool WantsNext() const noexcept override {
        return lookup_.Window(session_.objConnexion) != 0 && lookup_.AsksNext();
    }

    void AheadNext(long first, const std::vector<std::string>& lines) noexcept override {
        storage::Connection& db = session_.objConnexion;
        nextFirst_ = -1;
        if (!WantsNext() || !GuessKeys(lines, nextKeys_, nextSelectionKeys_, nextClubCodes_)) return;
        nextFirst_ = first;
        lookup_.AheadNext(db, first, nextKeys_);
    }

private:
    // Handles one converted line. Returns false for the error exit, with the report in message_.
    bool TraiteLigne(std::string_view line) {
        std::string_view rawLicence = RawField(line, kLicence);
        base::AssignCp1252AsUtf8(club_, RawField(line, kCodeClub));
        base::AssignCp1252AsUtf8(licence_, rawLicence);
        session_.recorder.SetCodes(club_, licence_);

        if (!rawLicence.empty() && (rawLicence[0] == 'R' || rawLicence[0] == 'r')) {
            ++n_.relais;
            return true;
        }

        clubs::ClubResult club = TraiteClub(club_);
        if (club == clubs::ClubResult::Refused) {
            message_ = "Code club (" + club_ + ") inconnu de la base. Echec de la création avec Le libelle " +
                       std::string(clubs::kNomInconnu) + ".";
            return false;
        }
        if (club == clubs::ClubResult::Created) ClubAjoute(club_);

        const bool selection = clubs::bCode_Selection(club_);
        selCode_.clear();
        selLicence_.clear();
        if (selection) ResolveSelection(line);

        key_ = club_;
        key_ += licence_;
        if (session_.colLicencesTraitees.Contains(key_)) return true;

        // Licences are stored with their club code and number trimmed, so they are looked up the
        // same way: a short code or number is found again on the next import instead of being
        // stored twice. A selection entry that names the swimmer's club but not their own number
        // is stored under that club with the selection's number, and is looked up there.
        if (selection) {
            SelectionLookupKey(selCode_, selLicence_, origin_, ownAccepted_, lookupClub_, lookupLicence_);
        } else {
            lookupClub_ = base::TrimSpaces(club_);
            lookupLicence_ = base::TrimSpaces(licence_);
        }
        lookup_.FirstStored(session_.objConnexion, ligne_, lookupClub_, lookupLicence_, stored_);
        if (stored_.Count(0) == 0) {
            if (!NouvelleLicence(line)) return false;
        } else if (!LicenceConnue(line, selection)) {
            return false;
        }

        session_.colLicencesTraitees.Add(key_);
        if (selection && club_ != selCode_) {
            key_ = selCode_;
            key_ += selLicence_;
            session_.colLicencesTraitees.Add(key_);
        }
        return true;
    }

    // A selection entry stands for the swimmer's own licence, under the club its Origine names:
    // club_ and licence_ become those, or stay the selection's (with a warning) when the Origine
    // does not name both or its club is refused. selCode_ and selLicence_ keep the selection's.
    void ResolveSelection(std::string_view line) {
        selCode_ = club_;
        selLicence_ = licence_;
        ReadOrigin(line, origin_);
        club_ = origin_.club;
        licence_ = origin_.licence;
        session_.recorder.SetCodes(club_, licence_, selCode_);
        ownAccepted_ = false;
        if (!club_.empty() && !licence_.empty()) {
            clubs::ClubResult own = TraiteClub(club_);
            if (own == clubs::ClubResult::Created) ClubAjoute(club_);
            ownAccepted_ = own != clubs::ClubResult::Refused;
        }
        if (ownAccepted_) return;
        tracelog::TraceLigne(trace_, ligne_,
                             "Enregistrement dans une sélection, mais information sur la licence origine "
                             "(code club + licence) erronée.",
                             "Warning");
        club_ = selCode_;
        licence_ = selLicence_;
        session_.recorder.SetCodes(club_, licence_, selCode_);
    }

    // A licence the database does not hold yet: stored and counted. Returns false for the error
    // exit, with the report in message_.
    bool NouvelleLicence(std::string_view line) {
        Remplir_Licence(line, today_, record_);
        bool stored = bAjout_Licence(session_, record_, n_.clubsAjoutes, ligne_, joined_);
        lookup_.Stored(ligne_, record_[kCodeClub], record_[kLicence]);
        if (!joined_.empty()) selections_.Stored(joined_);
        if (!stored) {
            // The record may already show the swimmer's own club and licence.
            message_ = "Echec lors de la mémorisation du nageur " + record_[kNom] + " " + record_[kPrenom] +
                       ", licence " + record_[kLicence] + ", Club " + record_[kCodeClub] + "." + kLineBreak +
                       message_;
            return false;
        }
        ++n_.importees;
        return true;
    }

    // A licence the database already holds (row 1 of stored_): it may join the selection, and
    // a stored name that differs from the file's is reported. The stored licence is not changed.
    // A line is counted once: when the selection refuses the swimmer, the line is an error only.
    bool LicenceConnue(std::string_view line, bool selection) {
        storedNom_ = stored_.Item(0, 1);
        storedPrenom_ = stored_.Item(1, 1);
        num_ = stored_.Item(2, 1);
        base::AssignCp1252AsUtf8(fileNom_, base::TrimSpaces(RawField(line, kNom)));
        base::AssignCp1252AsUtf8(filePrenom_, base::TrimSpaces(RawField(line, kPrenom)));

        // Selection rows carry the selection's code trimmed, as the licence insertion stores it.
        std::string_view selCode = base::TrimSpaces(selCode_);
        if (selection && selections_.Count(session_.objConnexion, ligne_, selCode, num_) == 0) {
            selections_.Stored(num_);
            try {
                Ajout_Selection(session_, selCode, num_);
            } catch (...) {
                message_ = tracelog::strTexteErreur(base::CurrentError()) + kLineBreak +
                           "Problème lors de l'insertion dans la sélection.";
                return false;
            }
        }
        // The stored surname was put in capitals when it was stored: the file's is compared the
        // same way, so that only a real difference is reported.
        foldedNom_.clear();
        AppendStoredSurname(foldedNom_, base::TrimSpaces(RawField(line, kNom)));
        if (storedNom_ != foldedNom_ || storedPrenom_ != filePrenom_)
            tracelog::TraceLigne(trace_, ligne_,
                                 "Licence (" + club_ + " + " + licence_ + ") déjà utilisée." + kLineBreak +
                                     "Nom dans la base : " + storedNom_ + " " + storedPrenom_ + kLineBreak +
                                     "Nom dans fichier : " + fileNom_ + " " + filePrenom_,
                                 "Warning");
        ++n_.connues;
        return true;
    }

    // The keys of `lines` (see GuessKey()), and the club codes they name that are worth asking;
    // false when a line could not be read.
    bool GuessKeys(const std::vector<std::string>& lines, std::vector<storage::AheadKey>& keys,
                   std::vector<storage::AheadKey>& selections, std::vector<std::string>& clubs) noexcept {
        keys.resize(lines.size());
        selections.resize(lines.size());
        clubs.clear();
        try {
            for (std::size_t i = 0; i < lines.size(); ++i)
                GuessKey(lines[i], keys[i], selections[i], clubs);
        } catch (...) {
            return false;
        }
        return true;
    }

    // The key line `raw` will look its licence up by, as far as the line alone tells: a selection
    // entry is taken to name its swimmer's club rightly. The line's own lookup checks the guess.
    // A selection entry's own key for its Selection row is its selection code and the Num of the
    // licence found (see SelectionsAhead()). The club codes worth asking go to `clubs`.
    void GuessKey(std::string_view raw, storage::AheadKey& key, storage::AheadKey& selection,
                  std::vector<std::string>& clubs) {
        Convert(raw, aheadLine_);
        std::string_view rawLicence = RawField(aheadLine_, kLicence);
        key.wanted = !(!rawLicence.empty() && (rawLicence[0] == 'R' || rawLicence[0] == 'r'));
        selection.wanted = false;
        if (!key.wanted) return;
        std::string& club = key.first;
        std::string& licence = key.second;
        base::AssignCp1252AsUtf8(club, RawField(aheadLine_, kCodeClub));
        base::AssignCp1252AsUtf8(licence, rawLicence);
        ClubAhead(club, clubs);
        if (clubs::bCode_Selection(club)) {
            selection.first = std::string(base::TrimSpaces(club));
            selection.wanted = true;
            ReadOrigin(aheadLine_, aheadOrigin_);
            if (!aheadOrigin_.club.empty() && !aheadOrigin_.licence.empty())
                ClubAhead(aheadOrigin_.club, clubs);
            SelectionLookupKey(club, licence, aheadOrigin_, true, club, licence);
            return;
        }
        club = std::string(base::TrimSpaces(club));
        licence = std::string(base::TrimSpaces(licence));
    }

    // The selection entries ahead whose licence the lookup read ahead as stored ask whether they
    // already belong to their selection, by that licence's Num.
    void SelectionsAhead(long first) {
        for (std::size_t i = 0; i < selectionKeys_.size(); ++i) {
            storage::AheadKey& selection = selectionKeys_[i];
            if (!selection.wanted) continue;
            const long line = first + static_cast<long>(i);
            selection.wanted =
                lookup_.KnownFirstStored(line, keys_[i].first, keys_[i].second, aheadStored_) &&
                aheadStored_.Count(0) > 0;
            if (selection.wanted) selection.second = aheadStored_.Item(2, 1);
        }
        selections_.Ahead(session_.objConnexion, first, selectionKeys_);
    }

    // A club code a line ahead names: asked ahead unless its answer is known without a query.
    void ClubAhead(const std::string& code, std::vector<std::string>& clubs) {
        if (knownClubs_.find(code) == knownClubs_.end() && !session_.colClubsTraites.Contains(code))
            clubs.push_back(code);
    }

    // The club registry's answer for `code`, with the placeholder name; a failing query refuses
    // the club, with the error text in message_. A club found already stored cannot change its
    // answer during the pass, so it is asked once: a file repeats its clubs on many lines, and
    // those missing from club.txt would otherwise cost a query each.
    clubs::ClubResult TraiteClub(const std::string& code) {
        if (auto known = knownClubs_.find(code); known != knownClubs_.end()) {
            message_ = known->second.message;
            return known->second.result;
        }
        clubs::ClubResult result;
        try {
            result = clubs::iTraite_Club(session_, code, clubs::kNomInconnu, message_);
        } catch (...) {
            message_ = tracelog::strTexteErreur(base::CurrentError());
            return clubs::ClubResult::Refused;
        }
        if ((result == clubs::ClubResult::SameName || result == clubs::ClubResult::OtherName) &&
            knownClubs_.emplace(code, KnownClub{result, message_}).second)
            knownOrder_.push_back(code);
        return result;
    }

    // A club this pass created under the placeholder name.
    void ClubAjoute(const std::string& code) {
        ++n_.clubsAjoutes;
        tracelog::TraceLigne(trace_, ligne_,
                             "Code club (" + code + ") inconnu de la base. Création avec Le libelle " +
                                 std::string(clubs::kNomInconnu) + ".",
                             "Warning");
        session_.colClubsTraites.Add(code);
    }

    ImportSession& session_;
    tracelog::TraceLog& trace_;
    std::string today_;
    long ligne_ = 0;
    Counters n_;
    Counters marked_;
    // What a savepoint takes back: the counts, the answers read ahead, the clubs found.
    struct Point {
        Counters counts;
        storage::AnswersAhead::Point answers;
        storage::AnswersAhead::Point selections;
        std::size_t clubs = 0;
    };
    SavepointStates<Point> savepoints_;

    std::string line_, message_, club_, licence_, selCode_, selLicence_, key_, lookupClub_, lookupLicence_;
    // True when the selection entry's own club (from its Origine) was accepted.
    bool ownAccepted_ = false;
    std::string storedNom_, storedPrenom_, num_, fileNom_, foldedNom_, filePrenom_;
    LicenceOrigin origin_;
    LicenceRecord record_;

    struct KnownClub {
        clubs::ClubResult result;
        std::string message;
    };
    std::unordered_map<std::string, KnownClub> knownClubs_;
    // The codes of knownClubs_, in the order they were found.
    std::vector<std::string> knownOrder_;

    storage::LicenceLookup lookup_{storage::LicenceLookup::Question::FirstStored};
    // The line's licence as the lookup found it stored: surname, first name and Num, or no row.
    storage::ResultTable stored_;
    std::vector<storage::AheadKey> keys_;
    // Whether a selection entry ahead already belongs to its selection.
    storage::SelectionLookup selections_;
    std::vector<storage::AheadKey> selectionKeys_;
    // The keys of the window after (see AheadNext()), from line nextFirst_ (-1: none guessed).
    long nextFirst_ = -1;
    std::vector<storage::AheadKey> nextKeys_;
    std::vector<storage::AheadKey> nextSelectionKeys_;
    std::vector<std::string> nextClubCodes_;
    storage::ResultTable aheadStored_;
    // The Num a new licence's Selection row was stored (or tried) for.
    std::string joined_;
    std::vector<std::string> clubCodes_;
    std::string aheadLine_;
    LicenceOrigin aheadOrigin_;
};

} // namespace

void Import_Licences(ImportSession& session, const std::string& strFichier, double dblPas, long estimate) {
    LicencePass pass(session);
    RunPass(session, strFichier, dblPas, estimate, kLicencePass, pass);
}

} // namespace quorvel::licences
