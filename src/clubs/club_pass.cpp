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
        line_.assign(raw);
        if (!base::Utf8LineToCp1252(line_)) base::ConvertDosInPlace(line_);
        session_.recorder.SetCodes({}, {});
        if (line_.size() < kLongueurMinimale) {
            Erreur(number, "La longueur de la ligne ne permet de contenir le code et le libellé du club");
            return;
        }
        std::string_view fields = line_;
        base::AssignCp1252AsUtf8(code_, base::TrimSpaces(fields.substr(0, kLongueurCode)));
        base::AssignCp1252AsUtf8(name_, base::TrimSpaces(fields.substr(kLongueurCode, kLongueurNom)));
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

private:
    void Erreur(long number, std::string_view message) {
        tracelog::TraceLigne(trace_, number, message, "Erreur");
        ++n_.erreurs;
    }

    ImportSession& session_;
    tracelog::TraceLog& trace_;
    std::string line_, code_, name_, message_;
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
