#include <quorvel/clock.hpp>

#include <ctime>

namespace quorvel {

Clock SystemClock() {
    return [] {
        std::time_t t = std::time(nullptr);
        std::tm tm{};
#ifdef _WIN32
        localtime_s(&tm, &t);
#else
        localtime_r(&t, &tm);
#endif
        return LocalDateTime{tm.tm_year + 1900, tm.tm_mon + 1, tm.tm_mday, tm.tm_hour, tm.tm_min, tm.tm_sec};
    };
}

Clock FixedClock(int year, int month, int day) {
    return [=] { return LocalDateTime{year, month, day, 0, 0, 0}; };
}

} // namespace quorvel
