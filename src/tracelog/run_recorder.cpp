#include "tracelog/run_recorder.hpp"

#include "tracelog/entry_kind.hpp"
#include "tracelog/entry_spill.hpp"
#include "tracelog/report_json.hpp"

namespace quorvel::tracelog {

namespace {

// TraceLog line breaks (CR LF) become "\n" in the report.
std::string Lines(std::string_view text) {
    std::string s;
    s.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n') continue;
        s += text[i];
    }
    return s;
}

} // namespace

RunRecorder::RunRecorder(RunReport* report) : report_(report) {
    if (report_ != nullptr && report_->spillEntries && report_->spill == nullptr)
        report_->spill = std::make_shared<EntrySpill>();
}

void RunRecorder::BeginPass(std::string_view pass, std::string_view file) {
    if (report_ == nullptr) return;
    file_ = file;
    club_.clear();
    licence_.clear();
    selection_.clear();
    PassReport p;
    p.pass = pass;
    p.file = file;
    report_->passes.push_back(std::move(p));
    passStarted_ = std::chrono::steady_clock::now();
}

void RunRecorder::EndPass(bool completed, const PassCounts& counts) {
    if (report_ == nullptr || report_->passes.empty()) return;
    PassReport& p = report_->passes.back();
    p.completed = completed;
    p.counts.clear();
    for (const auto& [count, value] : counts)
        p.counts.emplace_back(KeyOf(count), value);
    p.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - passStarted_).count();
    club_.clear();
    licence_.clear();
    selection_.clear();
}

void RunRecorder::Interrupted(long line, long number, std::string_view message) {
    if (report_ == nullptr || report_->passes.empty()) return;
    PassReport& p = report_->passes.back();
    p.stoppedAt = line;
    p.stopNumber = number;
    p.stopMessage = Lines(message);
    interrupting_ = true;
}

void RunRecorder::StoreCodes(std::string_view club, std::string_view licence, std::string_view selection) {
    club_ = club;
    licence_ = licence;
    selection_ = selection;
}

void RunRecorder::Entry(long line, std::string_view kind, std::string_view message) {
    if (report_ == nullptr) return;
    ReportEntry e;
    e.file = file_;
    e.line = line;
    e.kind = kind;
    e.club = club_;
    e.licence = licence_;
    e.selection = selection_;
    e.message = Lines(message);
    Add(std::move(e));
}

void RunRecorder::FileEntry(std::string_view file, std::string_view kind, std::string_view message) {
    if (report_ == nullptr) return;
    ReportEntry e;
    e.file = file;
    e.kind = kind;
    e.message = Lines(message);
    Add(std::move(e));
}

void RunRecorder::Add(ReportEntry e) {
    if (!interrupting_) Group(e);
    if (report_->spill == nullptr) {
        report_->entries.push_back(std::move(e));
        return;
    }
    std::string json;
    AppendEntryJson(json, e);
    report_->spill->Append(json);
}

void RunRecorder::Group(const ReportEntry& e) {
    ++(e.kind == "Erreur" ? report_->errors : report_->warnings);
    std::string kind = KindOf(e);
    auto found = groupOf_.find(e.kind + '\n' + kind);
    std::size_t at = found != groupOf_.end() ? found->second : report_->groups.size();
    if (found == groupOf_.end()) {
        if (report_->groups.size() + 1 >= RunReport::kGroups) {
            kind = "(autres messages)";
            found = groupOf_.find(e.kind + '\n' + kind);
            at = found != groupOf_.end() ? found->second : report_->groups.size();
        }
        if (found == groupOf_.end()) {
            groupOf_.emplace(e.kind + '\n' + kind, at);
            report_->groups.push_back({e.kind, kind, 0, {}});
        }
    }
    EntryGroup& group = report_->groups[at];
    ++group.count;
    if (group.first.size() < RunReport::kFirstOfGroup) group.first.push_back(e);
}

RunRecorder::Snapshot RunRecorder::Here() const {
    Snapshot point;
    if (report_ == nullptr) return point;
    point.entries = report_->entries.size();
    point.spillSize = report_->spill != nullptr ? report_->spill->Size() : 0;
    point.spillCount = report_->spill != nullptr ? report_->spill->Count() : 0;
    point.warnings = report_->warnings;
    point.errors = report_->errors;
    for (const EntryGroup& g : report_->groups)
        point.groups.emplace_back(g.count, g.first.size());
    const PassReport* p = report_->passes.empty() ? nullptr : &report_->passes.back();
    point.stoppedAt = p != nullptr ? p->stoppedAt : 0;
    point.stopNumber = p != nullptr ? p->stopNumber : 0;
    point.stopMessage = p != nullptr ? p->stopMessage : std::string();
    return point;
}

void RunRecorder::RewindTo(const Snapshot& point) {
    if (report_ == nullptr) return;
    if (report_->entries.size() > point.entries) report_->entries.resize(point.entries);
    if (report_->spill != nullptr) report_->spill->Truncate(point.spillSize, point.spillCount);
    report_->warnings = point.warnings;
    report_->errors = point.errors;
    for (std::size_t i = point.groups.size(); i < report_->groups.size(); ++i)
        groupOf_.erase(report_->groups[i].kind + '\n' + report_->groups[i].text);
    report_->groups.resize(point.groups.size());
    for (std::size_t i = 0; i < point.groups.size(); ++i) {
        report_->groups[i].count = point.groups[i].first;
        report_->groups[i].first.resize(point.groups[i].second);
    }
    if (!report_->passes.empty()) {
        PassReport& p = report_->passes.back();
        p.stoppedAt = point.stoppedAt;
        p.stopNumber = point.stopNumber;
        p.stopMessage = point.stopMessage;
    }
    interrupting_ = false;
}

} // namespace quorvel::tracelog
