#include "WebServer/HttpDate.h"

#include <algorithm>
#include <array>
#include <chrono>
#include <cstdio>

namespace {

using std::chrono::days;
using std::chrono::sys_days;
using std::chrono::year_month_day;

constexpr std::array<const char*, 7> kWeekdays = {"Sun", "Mon", "Tue", "Wed", "Thu", "Fri", "Sat"};
constexpr std::array<const char*, 12> kMonths = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                                 "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
constexpr int64_t kSecondsPerDay = 86400;
// 0001-01-01T00:00:00 and 9999-12-31T23:59:59, in seconds since 1970.
constexpr int64_t kEarliest = -62135596800;
constexpr int64_t kLatest = 253402300799;

// A run of exactly `width` digits at `at`, or -1.
int DigitsAt(std::string_view text, size_t at, size_t width) {
    int value = 0;
    for (size_t i = at; i < at + width; ++i) {
        if (text[i] < '0' || text[i] > '9') return -1;
        value = value * 10 + (text[i] - '0');
    }
    return value;
}

}  // namespace

std::string FormatHttpDate(int64_t seconds) {
    seconds = std::clamp(seconds, kEarliest, kLatest);
    int64_t dayNumber = seconds / kSecondsPerDay;
    int64_t inDay = seconds % kSecondsPerDay;
    if (inDay < 0) {
        inDay += kSecondsPerDay;
        --dayNumber;
    }
    const sys_days day{days{dayNumber}};
    const year_month_day date{day};
    const unsigned weekday = std::chrono::weekday{day}.c_encoding();
    char text[40];
    (void)std::snprintf(text, sizeof text, "%s, %02u %s %04d %02d:%02d:%02d GMT",
                        kWeekdays[weekday], static_cast<unsigned>(date.day()),
                        kMonths[static_cast<unsigned>(date.month()) - 1],
                        static_cast<int>(date.year()), static_cast<int>(inDay / 3600),
                        static_cast<int>(inDay / 60 % 60), static_cast<int>(inDay % 60));
    return text;
}

std::optional<int64_t> ParseHttpDate(std::string_view text) {
    // "Sun, 06 Nov 1994 08:49:37 GMT": every field at a fixed place.
    constexpr size_t kLength = 29;
    if (text.size() != kLength || text.substr(3, 2) != ", " || text[7] != ' ' || text[11] != ' ' ||
        text[16] != ' ' || text[19] != ':' || text[22] != ':' || text.substr(25) != " GMT") {
        return std::nullopt;
    }
    const auto weekday = std::find(kWeekdays.begin(), kWeekdays.end(), text.substr(0, 3));
    const auto month = std::find(kMonths.begin(), kMonths.end(), text.substr(8, 3));
    const int dayOfMonth = DigitsAt(text, 5, 2);
    const int year = DigitsAt(text, 12, 4);
    const int hour = DigitsAt(text, 17, 2);
    const int minute = DigitsAt(text, 20, 2);
    const int second = DigitsAt(text, 23, 2);
    if (weekday == kWeekdays.end() || month == kMonths.end() || dayOfMonth < 0 || year < 1 ||
        hour < 0 || hour > 23 || minute < 0 || minute > 59 || second < 0 || second > 60) {
        return std::nullopt;
    }
    const year_month_day date{
        std::chrono::year{year},
        std::chrono::month{static_cast<unsigned>(month - kMonths.begin()) + 1},
        std::chrono::day{static_cast<unsigned>(dayOfMonth)}};
    if (!date.ok()) return std::nullopt;
    // A leap second names the same moment as the second before the next minute.
    const int64_t inDay = int64_t{hour} * 3600 + int64_t{minute} * 60 + std::min(second, 59);
    return sys_days{date}.time_since_epoch().count() * kSecondsPerDay + inDay;
}
