// Date-time values as scripts see them: a real whose whole part counts days since 30 December
// 1899 (day 0; earlier dates are negative) and whose fraction is the time of day. For a negative
// value the time of day is the fraction's magnitude: -1.25 is 29 December 1899 at 06:00.
// Calendar arithmetic is proleptic Gregorian; week numbers follow ISO 8601.
#pragma once

#include <cstdint>
#include <string>

namespace kr {

constexpr double kOneMillisecond = 1.0 / 86400000.0;

struct CivilDate {
    int64_t year = 1899;
    int month = 12, day = 30;
};

struct ClockTime {
    int hour = 0, minute = 0, second = 0, millisecond = 0;
};

bool IsLeapYear(int64_t year);
int DaysInMonth(int64_t year, int month);
bool ValidDate(int64_t year, int64_t month, int64_t day);  // years 1..9999
bool ValidTime(int64_t hour, int64_t minute, int64_t second);

// Day number of a calendar date, and back.
int64_t DayNumber(const CivilDate& date);
CivilDate DateOfDay(int64_t day);

// The parts of a date-time value: its day (the whole part, toward zero) and its time of day
// (rounded to the millisecond; a time that rounds to midnight moves to the next day).
CivilDate DatePart(double t);
ClockTime TimePart(double t);
// A day number and a time of day (0 <= time < 1) as one value.
double ComposeDateTime(int64_t day, double time);
double TimeValue(int hour, int minute, int second, int millisecond = 0);

// Adds months to t; a day beyond the end of the target month becomes that month's last day.
// The time of day is kept.
double AddMonths(double t, int64_t months);

int IsoWeek(double t);    // 1..53
int WeekDay(double t);    // 1 Sunday .. 7 Saturday
int DayOfYear(double t);  // 1 for 1 January

// -1, 0 or 1; date-times and times are equal within one millisecond.
int CompareDateTime(double a, double b);
int CompareDate(double a, double b);
int CompareTime(double a, double b);

// The host locale's short date, long time, and both (the time left out at exactly midnight).
std::string DateString(double t);
std::string TimeString(double t);
std::string DateTimeString(double t);

}  // namespace kr
