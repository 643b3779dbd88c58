#include "iuf/iuf_file.hpp"

#include "clubs/collections.hpp"
#include "clubs/geo_validation.hpp"
#include "component/import_session.hpp"
#include "database/queries.hpp"
#include "files/data_file.hpp"
#include "files/encoding.hpp"
#include "files/text_conversion.hpp"
#include "report/progress.hpp"
#include "report/trace_log.hpp"

#include <array>
#include <cstdint>
#include <new>
#include <string_view>

namespace quorvel {

namespace {

constexpr std::string_view kCountLicence =
    "SELECT count(*) FROM Licence WHERE Code_Club = ?1 and Licence = ?2";
constexpr std::string_view kUpdateCode =
    "UPDATE Licence Set Code_unique = ?1 WHERE Code_Club = ?2 and Licence = ?3";
constexpr std::string_view kCountry = "FRA";

// The number a text starts with, as the count query's text form is read: leading blanks, an
// optional sign, then digits; anything else ends the number (no digit gives 0).
long long LeadingNumber(std::string_view text) {
    std::size_t i = 0;
    while (i < text.size() && (text[i] == ' ' || text[i] == '\t'))
        ++i;
    bool negative = false;
    if (i < text.size() && (text[i] == '-' || text[i] == '+')) negative = text[i++] == '-';
    long long value = 0;
    for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i) {
        if (value > (INT64_MAX - 9) / 10) break; // a count never comes near this
        value = value * 10 + (text[i] - '0');
    }
    return negative ? -value : value;
}

// The working state of one file, kept across lines so that no line allocates.
struct LineBuffers {
    std::array<std::string_view, clubs::kLongueursIUF.size()> tabIUF;
    std::string region;     // region code of the previous line (raw bytes)
    std::string codeInter;  // its inter-region code
    std::string codeClub;   // the full federal club code (UTF-8)
    std::string licence;    // the licence number (UTF-8)
    std::string codeUnique; // the trimmed IUF code (UTF-8)
};

} // namespace

void Maj_FichierIUF(ImportSession& session, const std::string& path, double dblPas, bool bOnlyMonCLub,
                    const std::string& strCodeMonClub) {
    std::int32_t lngLignes = 0;
    std::int32_t lngMisAJour = 0;
    std::int32_t lngInconnues = 0;
    files::DataFile file;
    report::RunRecorder& recorder = session.recorder;
    recorder.BeginPass("iuf", path);
    auto endPass = [&](bool completed) {
        recorder.EndPass(completed,
                         {{"lines", lngLignes}, {"updated", lngMisAJour}, {"unknown", lngInconnues}});
    };
    try {
        file.Open(path);
        LineBuffers b;
        b.codeClub.reserve(64);
        b.licence.reserve(32);
        b.codeUnique.reserve(96);
        auto& db = session.objConnexion;

        while (!file.AtEnd()) {
            ++lngLignes;
            std::string_view line = file.ReadLine();
            clubs::CutFields(line, clubs::kLongueursIUF, b.tabIUF);
            std::string_view club = b.tabIUF[0];

            std::string_view region = club.substr(0, 2);
            if (region != b.region) {
                b.region.assign(region);
                b.codeInter = clubs::vCodeInter_Region(session, files::Cp1252ToUtf8(region));
            }
            b.codeClub.assign(kCountry);
            b.codeClub += b.codeInter;
            files::AppendCp1252AsUtf8(b.codeClub, club);

            if (!bOnlyMonCLub || b.codeClub == strCodeMonClub) {
                b.licence.clear();
                files::AppendCp1252AsUtf8(b.licence, b.tabIUF[1]);
                recorder.SetCodes(b.codeClub, b.licence);
                db::RequeteTableau(db, session.tabResultat, kCountLicence, {b.codeClub, b.licence});
                if (LeadingNumber(session.tabResultat.Item(0, 1)) > 0) {
                    b.codeUnique.clear();
                    files::AppendCp1252AsUtf8(b.codeUnique, files::TrimSpaces(b.tabIUF[2]));
                    db.Execute(kUpdateCode, {b.codeUnique, b.codeClub, b.licence});
                    ++lngMisAJour;
                } else {
                    ++lngInconnues;
                }
            }
            report::AvanceProgression(session.objForm, dblPas);
        }
        file.Close();
        db.Commit();

        report::TracePluriel(session.trace, lngMisAJour,
                             std::string(report::kCrLf) + "Mise à jour de " + std::to_string(lngMisAJour) +
                                 " licence<PLURIEL> sur " + std::to_string(lngLignes) + ".");
        report::TracePluriel(session.trace, lngInconnues,
                             std::to_string(lngInconnues) + " licence<PLURIEL> inconnue<PLURIEL>.");
        endPass(true);
    } catch (const Error& e) {
        file.Close();
        report::TraceErreur(session.trace, "Mise à jour des codes IUF interrompu.", lngLignes, &e);
        session.objConnexion.Commit();
        endPass(false);
    } catch (const std::bad_alloc&) {
        file.Close();
        const Error e(7, "Mémoire insuffisante");
        report::TraceErreur(session.trace, "Mise à jour des codes IUF interrompu.", lngLignes, &e);
        session.objConnexion.Commit();
        endPass(false);
    }
    session.trace.Write("");
}

} // namespace quorvel
