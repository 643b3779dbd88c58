// The run report as JSON.

#include "tracelog/entry_spill.hpp"
#include "tracelog/report_json.hpp"

#include <quorvel/run_report.hpp>

#include <cstdio>
#include <ostream>
#include <sstream>

namespace quorvel {

namespace {

void Quote(std::string& out, std::string_view text) {
    out += '"';
    for (char c : text) {
        auto b = static_cast<unsigned char>(c);
        switch (c) {
        case '"':
            out += "\\\"";
            break;
        case '\\':
            out += "\\\\";
            break;
        case '\n':
            out += "\\n";
            break;
        case '\r':
            out += "\\r";
            break;
        case '\t':
            out += "\\t";
            break;
        default:
            if (b < 0x20) {
                char buf[8];
                std::snprintf(buf, sizeof buf, "\\u%04x", b);
                out += buf;
            } else {
                out += c; // UTF-8 passes through
            }
        }
    }
    out += '"';
}

void Field(std::string& out, std::string_view name, std::string_view value, bool comma = true) {
    Quote(out, name);
    out += ": ";
    Quote(out, value);
    if (comma) out += ", ";
}

void Number(std::string& out, std::string_view name, long value, bool comma = true) {
    Quote(out, name);
    out += ": ";
    out += std::to_string(value);
    if (comma) out += ", ";
}

// Seconds to the millisecond.
void Seconds(std::string& out, std::string_view name, double value, bool comma = true) {
    Quote(out, name);
    char buf[32];
    std::snprintf(buf, sizeof buf, ": %.3f", value);
    out += buf;
    if (comma) out += ", ";
}

void Bool(std::string& out, std::string_view name, bool value, bool comma = true) {
    Quote(out, name);
    out += value ? ": true" : ": false";
    if (comma) out += ", ";
}

void Header(std::string& out, const RunReport& r) {
    out += "{\n  ";
    Field(out, "schema", "quorvel-run-report");
    Number(out, "version", RunReport::kVersion);
    out += "\n  ";
    Field(out, "method", r.method);
    Bool(out, "preview", r.preview);
    Bool(out, "returned", r.returned);
    Quote(out, "result");
    out += r.returned ? (r.result ? ": true" : ": false") : ": null";
    out += ",\n  ";
    Field(out, "started", r.started);
    Field(out, "finished", r.finished);
    Seconds(out, "durationSeconds", r.durationSeconds);
    Number(out, "exitStatus", r.exitStatus);
    Number(out, "warnings", r.warnings);
    Number(out, "errors", r.errors, false);
    out += ",\n  ";
    Field(out, "source", r.source);
    Field(out, "database", r.database, false);
    out += ",\n  \"error\": ";
    if (r.returned) {
        out += "null";
    } else {
        out += "{";
        Number(out, "number", r.errorNumber);
        Field(out, "description", r.errorDescription, false);
        out += "}";
    }
}

void Pass(std::string& out, const PassReport& p) {
    out += "{";
    Field(out, "pass", p.pass);
    Field(out, "file", p.file);
    Bool(out, "completed", p.completed);
    Seconds(out, "seconds", p.seconds);
    out += "\"counts\": {";
    for (std::size_t k = 0; k < p.counts.size(); ++k)
        Number(out, p.counts[k].first, p.counts[k].second, k + 1 < p.counts.size());
    out += "}";
    if (!p.completed) {
        out += ", \"interruption\": {";
        Number(out, "line", p.stoppedAt);
        Number(out, "number", p.stopNumber);
        Field(out, "message", p.stopMessage, false);
        out += "}";
    }
    out += "}";
}

} // namespace

namespace tracelog {

void AppendEntryJson(std::string& out, const ReportEntry& e) {
    out += "{";
    Field(out, "file", e.file);
    Number(out, "line", e.line);
    Field(out, "kind", e.kind);
    out += "\"codes\": {";
    Field(out, "club", e.club);
    Field(out, "licence", e.licence);
    Field(out, "selection", e.selection, false);
    out += "}, ";
    Field(out, "message", e.message, false);
    out += "}";
}

} // namespace tracelog

void RunReport::WriteJson(std::ostream& out) const {
    std::string text;
    Header(text, *this);
    text += ",\n  \"passes\": [";
    for (std::size_t i = 0; i < passes.size(); ++i) {
        text += i == 0 ? "\n    " : ",\n    ";
        Pass(text, passes[i]);
    }
    text += passes.empty() ? "],\n  \"entries\": [" : "\n  ],\n  \"entries\": [";
    out << text;
    bool none = spill != nullptr ? spill->Count() == 0 : entries.empty();
    if (!none) out << "\n    ";
    if (spill != nullptr) spill->CopyTo(out, ",\n    ");
    for (std::size_t i = 0; i < entries.size(); ++i) {
        text.clear();
        if (i > 0) text += ",\n    ";
        tracelog::AppendEntryJson(text, entries[i]);
        out << text;
    }
    out << (none ? "]\n}\n" : "\n  ]\n}\n");
}

std::string RunReport::ToJson() const {
    std::ostringstream out;
    WriteJson(out);
    return out.str();
}

} // namespace quorvel
