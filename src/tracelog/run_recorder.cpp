#include "tracelog/run_recorder.hpp"

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
}

void RunRecorder::EndPass(bool completed, const std::vector<std::pair<const char*, long>>& counts) {
    if (report_ == nullptr || report_->passes.empty()) return;
    PassReport& p = report_->passes.back();
    p.completed = completed;
    p.counts.clear();
    for (const auto& [name, value] : counts)
        p.counts.emplace_back(name, value);
    club_.clear();
    licence_.clear();
    selection_.clear();
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
    report_->entries.push_back(std::move(e));
}

void RunRecorder::FileEntry(std::string_view file, std::string_view kind, std::string_view message) {
    if (report_ == nullptr) return;
    ReportEntry e;
    e.file = file;
    e.kind = kind;
    e.message = Lines(message);
    report_->entries.push_back(std::move(e));
}

} // namespace quorvel::tracelog
