// The run report as JSON.

#include <quorvel/run_report.hpp>

#include <cstdio>

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

void Bool(std::string& out, std::string_view name, bool value, bool comma = true) {
    Quote(out, name);
    out += value ? ": true" : ": false";
    if (comma) out += ", ";
}

} // namespace

std::string RunReport::ToJson() const {
    std::string out = "{\n  ";
    Field(out, "schema", "quorvel-run-report");
    Number(out, "version", kVersion);
    out += "\n  ";
    Field(out, "method", method);
    Bool(out, "preview", preview);
    Bool(out, "returned", returned);
    Quote(out, "result");
    out += returned ? (result ? ": true" : ": false") : ": null";
    out += ",\n  ";
    Field(out, "started", started);
    Field(out, "source", source);
    Field(out, "database", database, false);
    out += ",\n  \"error\": ";
    if (returned) {
        out += "null";
    } else {
        out += "{";
        Number(out, "number", errorNumber);
        Field(out, "description", errorDescription, false);
        out += "}";
    }
    out += ",\n  \"passes\": [";
    for (std::size_t i = 0; i < passes.size(); ++i) {
        const PassReport& p = passes[i];
        out += i == 0 ? "\n    {" : ",\n    {";
        Field(out, "pass", p.pass);
        Field(out, "file", p.file);
        Bool(out, "completed", p.completed);
        out += "\"counts\": {";
        for (std::size_t k = 0; k < p.counts.size(); ++k)
            Number(out, p.counts[k].first, p.counts[k].second, k + 1 < p.counts.size());
        out += "}}";
    }
    out += passes.empty() ? "],\n  \"entries\": [" : "\n  ],\n  \"entries\": [";
    for (std::size_t i = 0; i < entries.size(); ++i) {
        const ReportEntry& e = entries[i];
        out += i == 0 ? "\n    {" : ",\n    {";
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
    out += entries.empty() ? "]\n}\n" : "\n  ]\n}\n";
    return out;
}

} // namespace quorvel
