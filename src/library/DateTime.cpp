#include "library/DateTime.h"

#include <locale.h>
#include <time.h>

#include <cmath>

namespace kr {

bool IsLeapYear(int64_t year) {
    return (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
}

int DaysInMonth(int64_t year, int month) {
    static constexpr int kDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    if (month < 1 || month > 12) return 0;
    return month == 2 && IsLeapYear(year) ? 29 : kDays[month - 1];
}

bool ValidDate(int64_t year, int64_t month, int64_t day) {
    return year >= 1 && year <= 9999 && month >= 1 && month <= 12 && day >= 1 &&
           day <= DaysInMonth(year, int(month));
}

bool ValidTime(int64_t hour, int64_t minute, int64_t second) {
    return hour >= 0 && hour < 24 && minute >= 0 && minute < 60 && second >= 0 && second < 60;
}

// Days between 1 January 1970 and 30 December 1899.
constexpr int64_t kUnixDay = 25569;

int64_t DayNumber(const CivilDate& date) {
    int64_t y = date.year - (date.month <= 2);
    int64_t era = (y >= 0 ? y : y - 399) / 400;
    int64_t yoe = y - era * 400;
    int64_t m = date.month;
    int64_t doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + date.day - 1;
    int64_t doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return era * 146097 + doe - 719468 + kUnixDay;
}

CivilDate DateOfDay(int64_t day) {
    int64_t z = day - kUnixDay + 719468;
    int64_t era = (z >= 0 ? z : z - 146096) / 146097;
    int64_t doe = z - era * 146097;
    int64_t yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
    int64_t doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
    int64_t mp = (5 * doy + 2) / 153;
    CivilDate out;
    out.day = int(doy - (153 * mp + 2) / 5 + 1);
    out.month = int(mp < 10 ? mp + 3 : mp - 9);
    out.year = yoe + era * 400 + (out.month <= 2);
    return out;
}

namespace {

// The day and the milliseconds of the day of t.
void Split(double t, int64_t& day, int64_t& ms) {
    if (!std::isfinite(t)) t = 0;
    double whole = std::trunc(t);
    day = int64_t(whole);
    ms = std::llround(std::fabs(t - whole) * 86400000.0);
    if (ms >= 86400000) {
        ms -= 86400000;
        day += t < 0 ? -1 : 1;
    }
}

}  // namespace

CivilDate DatePart(double t) {
    int64_t day, ms;
    Split(t, day, ms);
    return DateOfDay(day);
}

ClockTime TimePart(double t) {
    int64_t day, ms;
    Split(t, day, ms);
    ClockTime c;
    c.hour = int(ms / 3600000);
    c.minute = int(ms / 60000 % 60);
    c.second = int(ms / 1000 % 60);
    c.millisecond = int(ms % 1000);
    return c;
}

double ComposeDateTime(int64_t day, double time) {
    return day < 0 ? double(day) - time : double(day) + time;
}

double TimeValue(int hour, int minute, int second, int millisecond) {
    return (hour * 3600000.0 + minute * 60000.0 + second * 1000.0 + millisecond) / 86400000.0;
}

double AddMonths(double t, int64_t months) {
    int64_t day, ms;
    Split(t, day, ms);
    CivilDate d = DateOfDay(day);
    int64_t m = d.year * 12 + (d.month - 1) + months;
    int64_t year = m >= 0 ? m / 12 : (m - 11) / 12;
    d.year = year;
    d.month = int(m - year * 12 + 1);
    int last = DaysInMonth(d.year, d.month);
    if (d.day > last) d.day = last;
    return ComposeDateTime(DayNumber(d), double(ms) / 86400000.0);
}

int WeekDay(double t) {
    int64_t day, ms;
    Split(t, day, ms);
    // Day 0 was a Saturday.
    return int(((day + 6) % 7 + 7) % 7) + 1;
}

int DayOfYear(double t) {
    int64_t day, ms;
    Split(t, day, ms);
    CivilDate d = DateOfDay(day);
    return int(day - DayNumber({d.year, 1, 1}) + 1);
}

int IsoWeek(double t) {
    int64_t day, ms;
    Split(t, day, ms);
    // ISO weekday 1 Monday .. 7 Sunday; the week belongs to the year of its Thursday.
    int iso_weekday = int(((day + 5) % 7 + 7) % 7) + 1;
    int64_t thursday = day - iso_weekday + 4;
    CivilDate d = DateOfDay(thursday);
    int64_t first = DayNumber({d.year, 1, 1});
    return int((thursday - first) / 7 + 1);
}

namespace {

int Sign(double x) {
    return x < 0 ? -1 : x > 0 ? 1 : 0;
}

}  // namespace

int CompareDateTime(double a, double b) {
    return std::fabs(a - b) < kOneMillisecond ? 0 : Sign(a - b);
}

int CompareDate(double a, double b) {
    return Sign(std::trunc(a) - std::trunc(b));
}

int CompareTime(double a, double b) {
    double ta = std::fabs(a - std::trunc(a)), tb = std::fabs(b - std::trunc(b));
    return std::fabs(ta - tb) < kOneMillisecond ? 0 : Sign(ta - tb);
}

namespace {

// Formats t with strftime in the user's time locale (LC_TIME from the environment).
std::string Format(double t, const char* format) {
    CivilDate d = DatePart(t);
    ClockTime c = TimePart(t);
    struct tm tm {};
    tm.tm_year = int(d.year - 1900);
    tm.tm_mon = d.month - 1;
    tm.tm_mday = d.day;
    tm.tm_hour = c.hour;
    tm.tm_min = c.minute;
    tm.tm_sec = c.second;
    tm.tm_wday = WeekDay(t) - 1;
    tm.tm_yday = DayOfYear(t) - 1;
    char buf[128];
    size_t n = 0;
    locale_t loc = ::newlocale(LC_TIME_MASK, "", locale_t(nullptr));
    if (loc) {
        n = ::strftime_l(buf, sizeof buf, format, &tm, loc);
        ::freelocale(loc);
    } else {
        n = ::strftime(buf, sizeof buf, format, &tm);
    }
    return std::string(buf, n);
}

}  // namespace

std::string DateString(double t) {
    return Format(t, "%x");
}

std::string TimeString(double t) {
    return Format(t, "%X");
}

std::string DateTimeString(double t) {
    ClockTime c = TimePart(t);
    if (c.hour == 0 && c.minute == 0 && c.second == 0 && c.millisecond == 0) return DateString(t);
    return DateString(t) + " " + TimeString(t);
}

}  // namespace kr
