#include "clubs/club_pass.hpp"

#include "base/current_error.hpp"
#include "base/encoding.hpp"
#include "base/text_conversion.hpp"
#include "clubs/club_registry.hpp"
#include "session/import_session.hpp"
#include "session/pass.hpp"
#include "tracelog/trace_log.hpp"

namespace quorvel::clubs {

namespace {

// A line shorter than this cannot hold the code and at least one character of the name.
constexpr std::size_t kLongueurMinimale = 14;
constexpr std::size_t kLongueurCode = 13;
constexpr std::size_t kLongueurNom = 30;

constexpr PassInfo kClubPass{"clubs", "Import des clubs interrompu.", true};

class ClubPass : public PassBody {
public:
    explicit ClubPass(ImportSession& session) : session_(session), trace_(session.trace) {}

    void Line(std::string_view raw, long number) override {
        const bool longEnough = ReadCode(raw, line_, code_);
        session_.recorder.SetCodes({}, {});
        if (!longEnough) {
            Erreur(number, "La longueur de la ligne ne permet de contenir le code et le libellé du club");
            return;
        }
        base::AssignCp1252AsUtf8(
            name_, base::TrimSpaces(std::string_view(line_).substr(kLongueurCode, kLongueurNom)));
        if (name_.empty()) name_ = kNomInconnu;
        session_.recorder.SetCodes(code_, {});

        ClubResult result;
        try {
            result = iTraite_Club(session_, code_, name_, message_);
        } catch (...) {
            Erreur(number, tracelog::strTexteErreur(base::CurrentError()));
            return;
        }
        switch (result) {
        case ClubResult::Refused:
            // A refused code stays out of colClubsTraites: a later line with it is examined again.
            Erreur(number, message_);
            return;
        case ClubResult::AlreadyHandled:
            return;
        case ClubResult::Created:
            ++n_.crees;
            break;
        case ClubResult::NameFilledIn:
            ++n_.misAJour;
            break;
        case ClubResult::SameName:
            ++n_.connus;
            break;
        case ClubResult::OtherName: {
            // This report has no "Erreur"/"Warning" tag and no full stop after the number.
            std::string note = message_ + std::string(tracelog::kCrLf) + "Nom dans le fichier : " + name_;
            trace_.WriteLineEntry("Ligne n° : " + std::to_string(number) + " " + note, number, "Warning",
                                  note);
            ++n_.connusAutreNom;
            break;
        }
        }
        session_.colClubsTraites.Add(code_);
    }

    void Summary(long lignes) override {
        using std::to_string;
        tracelog::TracePluriel(trace_, n_.crees,
                               std::string(tracelog::kCrLf) + "Récupération de " + to_string(n_.crees) +
                                   " club<PLURIEL> sur " + to_string(lignes) + ".");
        tracelog::TracePluriel(trace_, n_.connus,
                               to_string(n_.connus) + " club<PLURIEL> déjà connu<PLURIEL>.");
        tracelog::TracePluriel(trace_, n_.connusAutreNom,
                               to_string(n_.connusAutreNom) +
                                   " club<PLURIEL> déjà connu<PLURIEL> sous un autre libellé.");
        tracelog::TracePluriel(trace_, n_.misAJour, to_string(n_.misAJour) + " club<PLURIEL> mis à jour.");
        tracelog::TracePluriel(trace_, n_.erreurs, to_string(n_.erreurs) + " club<PLURIEL> en erreur.");
    }

    tracelog::PassCounts Counts() const override {
        using tracelog::PassCount;
        return {{PassCount::Created, n_.crees},
                {PassCount::Known, n_.connus},
                {PassCount::KnownOtherName, n_.connusAutreNom},
                {PassCount::Updated, n_.misAJour},
                {PassCount::Errors, n_.erreurs}};
    }

    void Mark() override { marked_ = n_; }
    void Rewind() override { n_ = marked_; }
    void MarkSavepoint() override { savepoints_.Mark(n_); }
    void RewindSavepoint(std::size_t point) override { n_ = savepoints_.BackTo(point); }
    void KeepNewestSavepoint() override { savepoints_.KeepNewest(); }

    std::size_t LookAhead() const override { return session_.clubLookup.Window(session_.objConnexion); }

    // The codes of the lines ahead that the registry will look up: those not handled yet.
    void Ahead(long /*first*/, const std::vector<std::string>& lines) noexcept override {
        try {
            codes_.clear();
            for (const std::string& raw : lines)
                if (ReadCode(raw, aheadLine_, aheadCode_) && !session_.colClubsTraites.Contains(aheadCode_))
                    codes_.push_back(aheadCode_);
        } catch (...) {
            // Each line then asks for itself.
            codes_.clear();
        }
        session_.clubLookup.Ahead(session_.objConnexion, codes_);
    }

private:
    // Converts the raw line into `line` and reads its club code into `code`. False when the line
    // is too short to hold a code and a name.
    static bool ReadCode(std::string_view raw, std::string& line, std::string& code) {
        line.assign(raw);
        if (!base::Utf8LineToCp1252(line)) base::ConvertDosInPlace(line);
        if (line.size() < kLongueurMinimale) return false;
        base::AssignCp1252AsUtf8(code, base::TrimSpaces(std::string_view(line).substr(0, kLongueurCode)));
        return true;
    }

    void Erreur(long number, std::string_view message) {
        tracelog::TraceLigne(trace_, number, message, "Erreur");
        ++n_.erreurs;
    }

    ImportSession& session_;
    tracelog::TraceLog& trace_;
    std::string line_, code_, name_, message_;
    std::string aheadLine_, aheadCode_;
    std::vector<std::string> codes_;
    struct Counters {
        long crees = 0;
        long misAJour = 0;
        long connus = 0;
        long connusAutreNom = 0;
        long erreurs = 0;
    };
    Counters n_;
    Counters marked_;
    SavepointStates<Counters> savepoints_;
};

} // namespace

void Import_Club(ImportSession& session, const std::string& strFichier, double dblPas, long estimate) {
    ClubPass pass(session);
    RunPass(session, strFichier, dblPas, estimate, kClubPass, pass);
}

} // namespace quorvel::clubs
