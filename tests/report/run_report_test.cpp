// The JSON run report: it follows its schema and agrees with the TraceLog on every count and
// every tagged entry, for a mixed import, an interrupted import and an IUF run.

#include "support/json_schema.hpp"
#include "support/test_support.hpp"

#include <quorvel/clsMajIUF.hpp>
#include <quorvel/clsRecupLicence.hpp>
#include <quorvel/run_report.hpp>

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <map>
#include <regex>

using namespace quorvel;
using nlohmann::json;
using quorvel::test::ReadTrace;
using quorvel::test::TempDir;
using quorvel::test::WriteFile;

namespace {

json Schema() {
    return json::parse(quorvel::test::ReadFile(QUORVEL_REPORT_SCHEMA));
}

// The report, parsed, after checking it against the schema.
json Checked(const RunReport& report) {
    json doc = json::parse(report.ToJson());
    auto violations = quorvel::test::SchemaViolations(Schema(), doc);
    EXPECT_TRUE(violations.empty()) << ::testing::PrintToString(violations);
    return doc;
}

// The numbers of each summary line of the TraceLog, by pass, in the report's count names.
std::vector<std::map<std::string, long>> TraceSummaries(const std::vector<std::string>& trace) {
    struct Pattern {
        std::regex re;
        std::vector<std::string> names;
        bool opens;
    };
    static const std::vector<Pattern> kPatterns = {
        {std::regex(R"(^Récupération de (\d+) clubs? sur (\d+)\.$)"), {"created", "lines"}, true},
        {std::regex(R"(^(\d+) clubs? déjà connus?\.$)"), {"known"}, false},
        {std::regex(R"(^(\d+) clubs? déjà connus? sous un autre libellé\.$)"), {"knownOtherName"}, false},
        {std::regex(R"(^(\d+) clubs? mis à jour\.$)"), {"updated"}, false},
        {std::regex(R"(^(\d+) clubs? en erreur\.$)"), {"errors"}, false},
        {std::regex(R"(^Récupération de (\d+) licences? sur (\d+)\.$)"), {"imported", "lines"}, true},
        {std::regex(R"(^(\d+) licences? déjà connues?\.$)"), {"known"}, false},
        {std::regex(R"(^(\d+) licences? de type relais\.$)"), {"relay"}, false},
        {std::regex(R"(^(\d+) entrées? en erreur\.$)"), {"errors"}, false},
        {std::regex(R"(^(\d+) clubs? ajoutés? avec le libellé Null\.$)"), {"clubsAdded"}, false},
        {std::regex(R"(^Mise à jour de (\d+) licences? sur (\d+)\.$)"), {"updated", "lines"}, true},
        {std::regex(R"(^(\d+) licences? inconnues?\.$)"), {"unknown"}, false},
    };
    std::vector<std::map<std::string, long>> out;
    for (const auto& line : trace)
        for (const auto& p : kPatterns) {
            std::smatch m;
            if (!std::regex_match(line, m, p.re)) continue;
            if (p.opens) out.emplace_back();
            for (std::size_t i = 0; i < p.names.size(); ++i)
                out.back()[p.names[i]] = std::stol(m[i + 1]);
            break;
        }
    return out;
}

// "Kind:line" of every tagged line entry of the TraceLog, in order.
std::vector<std::string> TraceTags(const std::vector<std::string>& trace) {
    static const std::regex kTag(R"(^(Erreur|Warning) Ligne n° : (\d+)\.$)");
    static const std::regex kOtherName(R"(^Ligne n° : (\d+) .*)");
    std::vector<std::string> out;
    for (const auto& line : trace) {
        std::smatch m;
        if (std::regex_match(line, m, kTag))
            out.push_back(m[1].str() + ":" + m[2].str());
        else if (std::regex_match(line, m, kOtherName))
            out.push_back("Warning:" + m[1].str());
    }
    return out;
}

std::vector<std::map<std::string, long>> ReportCounts(const json& doc, bool completedOnly = true) {
    std::vector<std::map<std::string, long>> out;
    for (const auto& p : doc["passes"]) {
        if (completedOnly && !p["completed"].get<bool>()) continue;
        std::map<std::string, long> counts;
        for (auto it = p["counts"].begin(); it != p["counts"].end(); ++it)
            counts[it.key()] = it.value();
        out.push_back(counts);
    }
    return out;
}

std::vector<std::string> ReportTags(const json& doc) {
    std::vector<std::string> out;
    for (const auto& e : doc["entries"])
        if (e["line"].get<long>() > 0)
            out.push_back(e["kind"].get<std::string>() + ":" + std::to_string(e["line"].get<long>()));
    return out;
}

class RunReportTest : public ::testing::Test {
protected:
    void SetUp() override {
        quorvel::test::CreateDatabase(db);
        std::filesystem::create_directories(work);
    }
    bool Import(const std::string& source, RunReport& report) {
        clsRecupLicence importer(FixedClock(2026, 12, 6));
        ImportOptions options;
        options.report = &report;
        return importer.bImport_Licence(db, source, work, trace, nullptr, options);
    }
    TempDir dir;
    std::string db = dir / "club.db";
    std::string work = dir / "work";
    std::string trace = dir / "trace.log";
};

} // namespace

TEST_F(RunReportTest, AMixedImportReportsTheTraceLogsCountsAndEntries) {
    // The sample, then a second export that is known, renamed, refused, relayed and interrupted by
    // nothing: every kind of entry of both passes.
    RunReport first;
    ASSERT_TRUE(Import(QUORVEL_SAMPLE_DIR, first));
    std::string src = dir / "export2";
    quorvel::test::LicenceLine renamed;
    renamed.club = "FRA1010350007";
    renamed.licence = "851234";
    quorvel::test::LicenceLine refused = renamed;
    refused.club = "FRA9990000001";
    quorvel::test::LicenceLine selection = renamed;
    selection.club = "FRA5110000000";
    selection.origineClub = "FRA1010350007";
    WriteFile(src + "/club.txt",
              quorvel::test::CrLfLines({quorvel::test::ClubLine("FRA1010350007", "Autre nom"),
                                        quorvel::test::ClubLine("FRA12", "Trop court"), "court"}));
    WriteFile(src + "/licence.txt", quorvel::test::CrLfLines({renamed.Build(), refused.Build(),
                                                              selection.Build(), renamed.Build()}));
    RunReport report;
    ASSERT_TRUE(Import(src, report));

    json doc = Checked(report);
    EXPECT_EQ(doc["method"], "bImport_Licence");
    EXPECT_EQ(doc["result"], true);
    EXPECT_EQ(doc["error"], nullptr);
    auto lines = ReadTrace(trace);
    EXPECT_EQ(ReportCounts(doc), TraceSummaries(lines));
    EXPECT_EQ(ReportTags(doc), TraceTags(lines));
    ASSERT_EQ(doc["passes"].size(), 2u);
    EXPECT_EQ(doc["passes"][1]["file"], work + "/licence1.txt");

    // An entry carries the codes of its line.
    bool refusedSeen = false;
    for (const auto& e : doc["entries"])
        if (e["codes"]["club"] == "FRA9990000001") {
            refusedSeen = true;
            EXPECT_EQ(e["kind"], "Erreur");
            EXPECT_EQ(e["line"], 2);
            EXPECT_EQ(e["codes"]["licence"], "851234");
        }
    EXPECT_TRUE(refusedSeen);
    EXPECT_EQ(Checked(first)["passes"].size(), 2u);
}

TEST_F(RunReportTest, AnInterruptedPassIsReportedIncompleteWithTheFailingLine) {
    std::string src = dir / "export";
    quorvel::test::LicenceLine good;
    good.club = "FRA5110750012";
    quorvel::test::LicenceLine bad = good;
    bad.licence = "AB1234"; // not a year: interrupts the licence pass
    WriteFile(src + "/licence.txt", quorvel::test::CrLfLines({good.Build(), bad.Build(), good.Build()}));
    RunReport report;
    ASSERT_TRUE(Import(src, report));
    json doc = Checked(report);
    auto lines = ReadTrace(trace);
    EXPECT_EQ(ReportCounts(doc), TraceSummaries(lines)); // no summary, no completed pass
    ASSERT_EQ(doc["passes"].size(), 1u);
    EXPECT_EQ(doc["passes"][0]["completed"], false);
    EXPECT_EQ(doc["passes"][0]["counts"]["lines"], 2);
    EXPECT_EQ(doc["passes"][0]["counts"]["imported"], 1);
    EXPECT_EQ(ReportTags(doc), TraceTags(lines));
    const auto& last = doc["entries"].back();
    EXPECT_EQ(last["kind"], "Erreur");
    EXPECT_EQ(last["line"], 2);
    EXPECT_EQ(last["message"].get<std::string>().rfind("Import des licences interrompu.\nErreur n° 13: ", 0),
              0u);
}

TEST_F(RunReportTest, AnIufRunReportsEachFileAndTheFilesLeftAside) {
    RunReport import;
    ASSERT_TRUE(Import(QUORVEL_SAMPLE_DIR, import));
    RunReport report;
    clsMajIUF updater(FixedClock(2026, 12, 6));
    ImportOptions options;
    options.report = &report;
    ASSERT_TRUE(updater.bImport_CodeIUF(QUORVEL_SAMPLE_DIR, db, trace, nullptr, false, "", options));
    json doc = Checked(report);
    EXPECT_EQ(doc["method"], "bImport_CodeIUF");
    EXPECT_EQ(ReportCounts(doc), TraceSummaries(ReadTrace(trace)));
    ASSERT_EQ(doc["passes"].size(), 1u);
    EXPECT_EQ(doc["passes"][0]["counts"]["updated"], 19);
    long leftAside = 0;
    for (const auto& e : doc["entries"])
        leftAside += e["message"].get<std::string>().find("insuffisante") != std::string::npos;
    EXPECT_EQ(leftAside, 3); // club.txt, licence.txt, origine.txt
}

TEST_F(RunReportTest, AnErrorLeavingTheCallIsReportedWithNoResult) {
    RunReport report;
    EXPECT_THROW(Import(dir / "no-such-folder", report), Error);
    json doc = Checked(report);
    EXPECT_EQ(doc["returned"], false);
    EXPECT_EQ(doc["result"], nullptr);
    EXPECT_EQ(doc["error"]["number"], errnum::kPathNotFound);
}

TEST(RunReportJson, TextIsEscapedAndUtf8Kept) {
    RunReport r;
    r.method = "bImport_Licence";
    r.returned = true;
    ReportEntry e;
    e.kind = "Warning";
    e.message = "L'\"é\"\\ \n\t\x01 fin";
    r.entries.push_back(e);
    json doc = Checked(r);
    EXPECT_EQ(doc["entries"][0]["message"], "L'\"é\"\\ \n\t\x01 fin");
}
