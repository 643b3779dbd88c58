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

void RunRecorder::EndPass(bool completed, const std::vector<std::pair<const char*, long>>& counts) {
    if (report_ == nullptr || report_->passes.empty()) return;
    PassReport& p = report_->passes.back();
    p.completed = completed;
    p.counts.clear();
    for (const auto& [name, value] : counts)
        p.counts.emplace_back(name, value);
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

void RunRecorder::Mark() {
    if (report_ == nullptr) return;
    marked_.entries = report_->entries.size();
    marked_.spillSize = report_->spill != nullptr ? report_->spill->Size() : 0;
    marked_.spillCount = report_->spill != nullptr ? report_->spill->Count() : 0;
    marked_.warnings = report_->warnings;
    marked_.errors = report_->errors;
    marked_.groups.clear();
    for (const EntryGroup& g : report_->groups)
        marked_.groups.emplace_back(g.count, g.first.size());
    const PassReport* p = report_->passes.empty() ? nullptr : &report_->passes.back();
    marked_.stoppedAt = p != nullptr ? p->stoppedAt : 0;
    marked_.stopNumber = p != nullptr ? p->stopNumber : 0;
    marked_.stopMessage = p != nullptr ? p->stopMessage : std::string();
}

void RunRecorder::Rewind() {
    if (report_ == nullptr) return;
    if (report_->entries.size() > marked_.entries) report_->entries.resize(marked_.entries);
    if (report_->spill != nullptr) report_->spill->Truncate(marked_.spillSize, marked_.spillCount);
    report_->warnings = marked_.warnings;
    report_->errors = marked_.errors;
    for (std::size_t i = marked_.groups.size(); i < report_->groups.size(); ++i)
        groupOf_.erase(report_->groups[i].kind + '\n' + report_->groups[i].text);
    report_->groups.resize(marked_.groups.size());
    for (std::size_t i = 0; i < marked_.groups.size(); ++i) {
        report_->groups[i].count = marked_.groups[i].first;
        report_->groups[i].first.resize(marked_.groups[i].second);
    }
    if (!report_->passes.empty()) {
        PassReport& p = report_->passes.back();
        p.stoppedAt = marked_.stoppedAt;
        p.stopNumber = marked_.stopNumber;
        p.stopMessage = marked_.stopMessage;
    }
    interrupting_ = false;
}

} // namespace quorvel::tracelog
