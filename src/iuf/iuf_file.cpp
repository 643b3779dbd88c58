#include "iuf/iuf_file.hpp"

#include "base/encoding.hpp"
#include "base/fixed_fields.hpp"
#include "base/text_conversion.hpp"
#include "clubs/geo_validation.hpp"
#include "iuf/region_guesses.hpp"
#include "session/import_session.hpp"
#include "session/pass.hpp"
#include "storage/licence_lookup.hpp"
#include "storage/queries.hpp"
#include "tracelog/trace_log.hpp"

#include <array>
#include <string_view>
#include <tuple>
#include <utility>

namespace quorvel {

namespace {

constexpr std::string_view kUpdateCode =
    "UPDATE Licence Set Code_unique = ?1 WHERE Code_Club = ?2 and Licence = ?3";
constexpr std::string_view kUpdateCodeOfNum = "UPDATE Licence Set Code_unique = ?1 WHERE Num = ?2";
constexpr std::string_view kCountry = "FRA";

// Widths of the three fields of an IUF line: short club code, licence number, IUF code.
constexpr std::array<int, 3> kLongueursIUF = {9, 6, 30};

constexpr PassInfo kIufPass{"iuf", "Mise à jour des codes IUF interrompu.", false};

// One IUF file. Buffers are kept across lines so that no line allocates.
class IufPass : public PassBody {
public:
    IufPass(ImportSession& session, bool bOnlyMonCLub, const std::string& strCodeMonClub)
        : session_(session), onlyMyClub_(bOnlyMonCLub), myClub_(strCodeMonClub) {
        codeClub_.reserve(64);
        licence_.reserve(32);
        codeUnique_.reserve(96);
    }

    void Line(std::string_view raw, long number) override {
        base::CutFields(raw, kLongueursIUF, tabIUF_);
        std::string_view club = tabIUF_[0];

        // The full club code is rebuilt from the region's inter-region; consecutive lines mostly
        // share their region, which is then looked up once. The region is kept only once its
        // answer is known: a lookup that failed is made again by the next line that needs it.
        std::string_view region = club.substr(0, 2);
        if (region != last_.region) {
            last_.codeInter = clubs::vCodeInter_Region(session_, base::Cp1252ToUtf8(region));
            last_.region.assign(region);
            guesses_.Met(last_.region, last_.codeInter);
        }
        if (!pending_.empty()) AskPending(number);
        codeClub_.assign(kCountry);
        codeClub_ += last_.codeInter;
        base::AppendCp1252AsUtf8(codeClub_, club);
        if (onlyMyClub_ && codeClub_ != myClub_) return;

        base::AssignCp1252AsUtf8(licence_, tabIUF_[1]);
        session_.recorder.SetCodes(codeClub_, licence_);
        auto& db = session_.objConnexion;
        if (lookup_.Count(db, number, codeClub_, licence_) > 0) {
            base::AssignCp1252AsUtf8(codeUnique_, base::TrimSpaces(tabIUF_[2]));
            // A licence the window found alone under its key is updated by its Num, which the
            // server finds without comparing texts by the collation: it is that key's row, as
            // nobody else writes while the batch runs and no line changes a key.
            std::string_view num = lookup_.OnlyNum(number, codeClub_, licence_);
            if (num.empty())
                db.Execute(kUpdateCode, {codeUnique_, codeClub_, licence_});
            else
                db.Execute(kUpdateCodeOfNum, {codeUnique_, num});
            ++misAJour_;
        } else {
            ++inconnues_;
        }
    }

    void Summary(long lignes) override {
        tracelog::TracePluriel(session_.trace, misAJour_,
                               std::string(tracelog::kCrLf) + "Mise à jour de " + std::to_string(misAJour_) +
                                   " licence<PLURIEL> sur " + std::to_string(lignes) + ".");
        tracelog::TracePluriel(session_.trace, inconnues_,
                               std::to_string(inconnues_) + " licence<PLURIEL> inconnue<PLURIEL>.");
    }

    tracelog::PassCounts Counts() const override {
        using tracelog::PassCount;
        return {{PassCount::Updated, misAJour_}, {PassCount::Unknown, inconnues_}};
    }

    void Mark() override { marked_ = Here(); }
    void Rewind() override { Back(marked_); }
    void MarkSavepoint() override { savepoints_.Mark(Here()); }
    // The lines undone inside the transaction change only what they did themselves: the answers
    // read before them still hold.
    void RewindSavepoint(std::size_t point) override {
        const State& back = savepoints_.BackTo(point);
        misAJour_ = back.misAJour;
        inconnues_ = back.inconnues;
        last_ = back.last;
        lookup_.BackTo(back.answers);
        pending_.clear();
    }
    void KeepNewestSavepoint() override { savepoints_.KeepNewest(); }

    std::size_t LookAhead() const override { return lookup_.Window(session_.objConnexion); }

    // Counts ahead the licences of the lines, each under the club code its line will build: the
    // inter-region of its region comes from the last line that looked that region up, else from
    // the Region table as read once per run. These only guess the keys: each line still looks up
    // its own region as it would alone, and takes an answer only for the very key it builds.
    // Before the run has read the Region table, the window waits for a line to look up a region
    // (see AskPending()).
    void Ahead(long first, const std::vector<std::string>& lines) noexcept override {
        pending_.clear();
        if (!guesses_.Listed()) guesses_.List(clubs::KnownRegionInters(session_));
        if (guesses_.Listed() || gaveUp_) {
            AskAhead(first, lines, 0);
            return;
        }
        pendingFirst_ = first;
        pending_ = lines;
    }

private:
    // Asks ahead for lines[from], lines[from + 1]... (line `first` + i for lines[i]).
    void AskAhead(long first, const std::vector<std::string>& lines, std::size_t from) noexcept {
        keys_.resize(lines.size() - from);
        for (std::size_t i = from; i < lines.size(); ++i) {
            storage::AheadKey& key = keys_[i - from];
            base::CutFields(lines[i], kLongueursIUF, aheadIUF_);
            const std::string* inter = guesses_.Of(aheadIUF_[0].substr(0, 2));
            key.wanted = inter != nullptr;
            if (!key.wanted) continue;
            key.first.assign(kCountry);
            key.first += *inter;
            base::AppendCp1252AsUtf8(key.first, aheadIUF_[0]);
            base::AssignCp1252AsUtf8(key.second, aheadIUF_[1]);
            key.wanted = !onlyMyClub_ || key.first == myClub_;
        }
        lookup_.Ahead(session_.objConnexion, first + static_cast<long>(from), keys_);
    }

    // Line `number` is handled while a window waits for the Region table. Once a line of the pass
    // has read its region from it, the table is known to answer: it is read whole, and the lines
    // of the window from this one on are asked ahead. A failure to read it leaves the pass to
    // guess from the regions met, as the lines read them.
    void AskPending(long number) {
        if (!guesses_.AnyMet()) return;
        std::vector<std::string> lines = std::move(pending_);
        pending_.clear();
        if (number < pendingFirst_ || number - pendingFirst_ >= static_cast<long>(lines.size())) return;
        try {
            guesses_.List(&clubs::RegionInters(session_));
        } catch (...) {
            gaveUp_ = true;
            return;
        }
        AskAhead(pendingFirst_, lines, static_cast<std::size_t>(number - pendingFirst_));
    }

    ImportSession& session_;
    bool onlyMyClub_;
    const std::string& myClub_;
    std::array<std::string_view, kLongueursIUF.size()> tabIUF_;
    // The region of the last line that looked one up (raw bytes), and its inter-region code.
    struct LastRegion {
        std::string region;
        std::string codeInter;
    };
    LastRegion last_;
    std::string codeClub_;   // the full federal club code (UTF-8)
    std::string licence_;    // the licence number (UTF-8)
    std::string codeUnique_; // the trimmed IUF code (UTF-8)
    iuf::RegionGuesses guesses_;
    bool gaveUp_ = false; // the Region table could not be read whole
    // The window shown before the Region table was read (its first line's number).
    long pendingFirst_ = 0;
    std::vector<std::string> pending_;
    storage::LicenceLookup lookup_{storage::LicenceLookup::Question::Count};
    std::vector<storage::AheadKey> keys_;
    std::array<std::string_view, kLongueursIUF.size()> aheadIUF_;
    long misAJour_ = 0;
    long inconnues_ = 0;
    // What the lines change and their undoing takes back: the counts and the region kept.
    struct State {
        long misAJour = 0, inconnues = 0;
        LastRegion last;
        storage::AnswersAhead::Point answers;
    };
    State Here() const { return {misAJour_, inconnues_, last_, lookup_.Here()}; }
    // The lines undone may have looked up regions in a state of the database that is gone: the
    // region kept is again the one of the line before them, so the redo asks as they did. The
    // regions met stay: they only guess the keys asked ahead, and a line takes an answer only for
    // the very key it builds itself (forgetting them would cost the redo a window of lookups).
    void Back(const State& s) {
        misAJour_ = s.misAJour;
        inconnues_ = s.inconnues;
        last_ = s.last;
        lookup_.Forget();
        pending_.clear();
    }
    State marked_; // as it was when the batch began
    SavepointStates<State> savepoints_;
};

} // namespace

void Maj_FichierIUF(ImportSession& session, const std::string& path, double dblPas, long estimate,
                    bool bOnlyMonCLub, const std::string& strCodeMonClub) {
    IufPass pass(session, bOnlyMonCLub, strCodeMonClub);
    RunPass(session, path, dblPas, estimate, kIufPass, pass);
}

} // namespace quorvel
