#include "clubs/geo_validation.hpp"

#include "base/encoding.hpp"
#include "session/import_session.hpp"
#include "storage/queries.hpp"

namespace quorvel::clubs {

namespace {
constexpr std::string_view kPays = "select count(*) from Pays where code = ?1";
constexpr std::string_view kInterRegion = "select count(*) from Inter_Region where code = ?1";
constexpr std::string_view kRegionInInterRegion =
    "SELECT count(*) FROM Inter_Region Inter_Region, Region Region "
    "WHERE Inter_Region.Code = Region.CodeInter AND Region.Code = ?1 AND Inter_Region.Code = ?2";
constexpr std::string_view kDepartementInRegion =
    "SELECT count(*) FROM Region Region, Departement Departement "
    "WHERE Region.Code = Departement.Region AND Departement.Code = ?1 AND region.code = ?2";
constexpr std::string_view kCodeInter = "SELECT CodeInter FROM Region WHERE Region.Code = ?1";
constexpr std::string_view kCodesInter = "SELECT Code, CodeInter FROM Region";
} // namespace

bool bVerif_CodeClub(ImportSession& session, std::string_view code) {
    // Pieces are cut by character on the single-byte form of the code.
    std::string raw = base::Utf8ToCp1252(code);
    if (raw.size() != 13) return false;
    std::string country = base::Cp1252ToUtf8(std::string_view(raw).substr(0, 3));
    char inter = raw[3];
    std::string region = base::Cp1252ToUtf8(std::string_view(raw).substr(4, 2));
    std::string departement = base::Cp1252ToUtf8(std::string_view(raw).substr(6, 3));

    // The reference tables are never written by a run: each answer is read once per run.
    auto count = [&session](std::string_view sql, storage::Params params) {
        return session.reference.Count(session.objConnexion, sql, params);
    };
    if (count(kPays, {country}) == 0) return false;
    // The inter-region is a number: anything but a digit cannot name one.
    if (inter < '0' || inter > '9') return false;
    int interRegion = inter - '0';
    if (count(kInterRegion, {interRegion}) == 0) return false;

    if (country != "FRA") return inter == '0';
    if (inter == '0') return region == "00" && departement == "000";
    if (region == "00") return departement == "000";
    if (count(kRegionInInterRegion, {region, interRegion}) == 0) return false;
    if (departement == "000") return true;
    return count(kDepartementInRegion, {departement, region}) != 0;
}

std::string vCodeInter_Region(ImportSession& session, std::string_view region) {
    storage::ResultTable table;
    storage::RequeteTableau(session.objConnexion, table, kCodeInter, {region});
    if (table.Count(0) >= 1) return table.Item(0, 1);
    return {};
}

const storage::ReferenceAnswers::Pairs& RegionInters(ImportSession& session) {
    return session.reference.Rows(session.objConnexion, kCodesInter);
}

const storage::ReferenceAnswers::Pairs* KnownRegionInters(const ImportSession& session) {
    return session.reference.KnownRows(kCodesInter);
}

} // namespace quorvel::clubs
