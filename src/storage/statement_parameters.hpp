#pragma once
// The parameters of a statement as the passes write them (?1, ?2... or a bare ?), found in its
// text apart from its literals and quoted names.

#include <cstddef>
#include <string>
#include <string_view>

namespace quorvel::storage {

// `sql` with each ?N parameter (a bare ? takes the number after the one before) written by
// `write(out, n)`; literals and quoted names are copied as they are. `count` is the highest
// number.
template <class Write> std::string WithParameters(std::string_view sql, int& count, Write write) {
    std::string out;
    out.reserve(sql.size() + 8);
    count = 0;
    int next = 0;
    for (std::size_t i = 0; i < sql.size(); ++i) {
        const char c = sql[i];
        if (c == '\'' || c == '"') {
            auto close = sql.find(c, i + 1);
            if (close == std::string_view::npos) close = sql.size() - 1;
            out.append(sql.substr(i, close - i + 1));
            i = close;
            continue;
        }
        if (c != '?') {
            out += c;
            continue;
        }
        int n = 0;
        while (i + 1 < sql.size() && sql[i + 1] >= '0' && sql[i + 1] <= '9')
            n = n * 10 + (sql[++i] - '0');
        if (n == 0) n = next + 1;
        next = n;
        if (n > count) count = n;
        write(out, n);
    }
    return out;
}

} // namespace quorvel::storage
