#include "arguments.hpp"
#include "i18n.hpp"

#include <cstdio>

namespace quorvel::cli {

namespace {

// The date of YYYY-MM-DD text; false when it is not a real calendar date.
bool ReadDate(const std::string& text, int& y, int& m, int& d) {
    char tail = 0;
    bool read = std::sscanf(text.c_str(), "%4d-%2d-%2d%c", &y, &m, &d, &tail) == 3 && text.size() == 10;
    bool leap = (y % 4 == 0 && y % 100 != 0) || y % 400 == 0;
    static constexpr int kDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    return read && y >= 1900 && y <= 9999 && m >= 1 && m <= 12 && d >= 1 &&
           d <= kDays[m - 1] + (m == 2 && leap);
}

} // namespace

CLI::Validator RealDate() {
    return CLI::Validator(
        [](std::string& text) {
            int y = 0, m = 0, d = 0;
            return ReadDate(text, y, m, d) ? std::string()
                                           : Fill(_("expected a real date as YYYY-MM-DD, got '{1}'"), {text});
        },
        _("YYYY-MM-DD"));
}

Clock ClockFor(const std::string& today) {
    int y = 0, m = 0, d = 0;
    if (today.empty() || !ReadDate(today, y, m, d)) return SystemClock();
    return FixedClock(y, m, d);
}

} // namespace quorvel::cli
