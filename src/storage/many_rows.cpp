#include "storage/many_rows.hpp"

#include <cctype>
#include <optional>

namespace quorvel::storage {

namespace {

constexpr std::string_view kInsert = "INSERT INTO ";
constexpr std::string_view kValues = " VALUES (";

// The number of parameters of `tuple`, "(?1, ?2, ...)" with each parameter in order; 0 when it is
// anything else.
std::size_t Parameters(std::string_view tuple) {
    if (tuple.size() < 4 || tuple.front() != '(' || tuple.back() != ')') return 0;
    tuple = tuple.substr(1, tuple.size() - 2);
    std::size_t count = 0;
    for (;;) {
        if (tuple.empty() || tuple.front() != '?') return 0;
        std::size_t end = 1, n = 0;
        for (; end < tuple.size() && tuple[end] >= '0' && tuple[end] <= '9'; ++end)
            n = n * 10 + static_cast<std::size_t>(tuple[end] - '0');
        if (n != ++count) return 0;
        tuple.remove_prefix(end);
        if (tuple.empty()) return count;
        if (tuple.substr(0, 2) != ", ") return 0;
        tuple.remove_prefix(2);
    }
}

// `text` cut at each `separator`, compared without regard to case.
std::vector<std::string_view> Split(std::string_view text, std::string_view separator) {
    std::vector<std::string_view> parts;
    for (;;) {
        std::size_t at = std::string_view::npos;
        for (std::size_t i = 0; i + separator.size() <= text.size(); ++i) {
            bool same = true;
            for (std::size_t k = 0; k < separator.size() && same; ++k)
                same = std::tolower(static_cast<unsigned char>(text[i + k])) == separator[k];
            if (same) {
                at = i;
                break;
            }
        }
        parts.push_back(text.substr(0, at));
        if (at == std::string_view::npos) return parts;
        text.remove_prefix(at + separator.size());
    }
}

// "column = ?k": the column and k; nothing when it is anything else.
struct Assignment {
    std::string_view column;
    std::size_t parameter = 0;
};
std::optional<Assignment> ColumnIsParameter(std::string_view text) {
    const std::size_t equals = text.find(" = ?");
    if (equals == 0 || equals == std::string_view::npos) return std::nullopt;
    Assignment a;
    a.column = text.substr(0, equals);
    for (char c : a.column)
        if (!(std::isalnum(static_cast<unsigned char>(c)) || c == '_')) return std::nullopt;
    std::string_view digits = text.substr(equals + 4);
    if (digits.empty()) return std::nullopt;
    for (char c : digits) {
        if (c < '0' || c > '9') return std::nullopt;
        a.parameter = a.parameter * 10 + static_cast<std::size_t>(c - '0');
    }
    return a;
}

// An UPDATE of the form ManyRowsUpdate() takes, cut into its parts.
struct Update {
    std::string_view table;
    std::vector<Assignment> set, where;
    std::size_t parameters = 0;
};
std::optional<Update> ReadUpdate(std::string_view sql) {
    std::vector<std::string_view> head = Split(sql, "update ");
    if (head.size() != 2 || !head[0].empty()) return std::nullopt;
    std::vector<std::string_view> set = Split(head[1], " set ");
    if (set.size() != 2) return std::nullopt;
    std::vector<std::string_view> where = Split(set[1], " where ");
    if (where.size() != 2) return std::nullopt;
    Update u;
    u.table = set[0];
    std::vector<bool> seen;
    auto read = [&](std::string_view list, std::string_view separator, std::vector<Assignment>& out) {
        for (std::string_view part : Split(list, separator)) {
            std::optional<Assignment> a = ColumnIsParameter(part);
            if (!a || a->parameter == 0) return false;
            if (seen.size() < a->parameter) seen.resize(a->parameter, false);
            if (seen[a->parameter - 1]) return false;
            seen[a->parameter - 1] = true;
            out.push_back(*a);
        }
        return true;
    };
    if (!read(where[0], ", ", u.set) || !read(where[1], " and ", u.where)) return std::nullopt;
    for (bool s : seen)
        if (!s) return std::nullopt;
    u.parameters = seen.size();
    for (char c : u.table)
        if (!(std::isalnum(static_cast<unsigned char>(c)) || c == '_')) return std::nullopt;
    return u;
}

} // namespace

std::string ManyRowsInsert(std::string_view sql, std::size_t rows) {
    const std::size_t values = sql.find(kValues);
    if (rows == 0 || sql.substr(0, kInsert.size()) != kInsert || values == std::string_view::npos) return {};
    const std::size_t columns = Parameters(sql.substr(values + kValues.size() - 1));
    if (columns == 0) return {};
    std::string out(sql.substr(0, values + kValues.size() - 1));
    for (std::size_t row = 0; row < rows; ++row) {
        out += row == 0 ? "(" : ", (";
        for (std::size_t c = 1; c <= columns; ++c) {
            if (c > 1) out += ", ";
            out += '?';
            out += std::to_string(row * columns + c);
        }
        out += ')';
    }
    return out;
}

std::string ManyRowsUpdate(std::string_view sql, std::size_t rows, const std::vector<std::string>& types) {
    const std::optional<Update> u = ReadUpdate(sql);
    if (!u || rows == 0 || types.size() != u->parameters) return {};
    const auto value = [](std::size_t k) { return "quorvel_v.p" + std::to_string(k); };
    std::string out = "UPDATE " + std::string(u->table) + " SET ";
    for (std::size_t i = 0; i < u->set.size(); ++i)
        out += (i == 0 ? "" : ", ") + std::string(u->set[i].column) + " = " + value(u->set[i].parameter);
    out += " FROM (VALUES ";
    for (std::size_t row = 0; row < rows; ++row) {
        out += row == 0 ? "(" : ", (";
        for (std::size_t k = 1; k <= u->parameters; ++k) {
            out += (k == 1 ? "?" : ", ?") + std::to_string(row * u->parameters + k);
            if (row == 0) out += "::" + types[k - 1];
        }
        out += ')';
    }
    out += ") AS quorvel_v(";
    for (std::size_t k = 1; k <= u->parameters; ++k)
        out += (k == 1 ? "p" : ", p") + std::to_string(k);
    out += ") WHERE ";
    for (std::size_t i = 0; i < u->where.size(); ++i)
        out += (i == 0 ? "" : " AND ") + std::string(u->table) + "." + std::string(u->where[i].column) +
               " = " + value(u->where[i].parameter);
    return out;
}

std::optional<UpdateShape> UpdateShapeOf(std::string_view sql) {
    const std::optional<Update> u = ReadUpdate(sql);
    if (!u) return std::nullopt;
    UpdateShape shape{std::string(u->table), std::vector<std::string>(u->parameters), {}};
    for (const auto* list : {&u->set, &u->where})
        for (const Assignment& a : *list)
            shape.columns[a.parameter - 1] = std::string(a.column);
    for (const Assignment& a : u->where)
        shape.keys.push_back(a.parameter - 1);
    return shape;
}

} // namespace quorvel::storage
