#include "storage/insert_rows.hpp"

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

} // namespace quorvel::storage
