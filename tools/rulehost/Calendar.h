// Days since 1970-01-01 and proleptic Gregorian dates, both ways (Howard
// Hinnant's algorithms: exact for every date), for the hosts' clocks, log
// times and reports.
#ifndef RULEHOST_CALENDAR_H
#define RULEHOST_CALENDAR_H

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace rulehost {

constexpr int64_t DaysFromCivil(int64_t year, unsigned month, unsigned day) {
  const int64_t y = year - (month <= 2 ? 1 : 0);
  const int64_t era = (y >= 0 ? y : y - 399) / 400;
  const int64_t yearOfEra = y - era * 400;
  const int64_t dayOfYear = (153 * (month > 2 ? month - 3 : month + 9) + 2) / 5 + day - 1;
  const int64_t dayOfEra = yearOfEra * 365 + yearOfEra / 4 - yearOfEra / 100 + dayOfYear;
  return era * 146097 + dayOfEra - 719468;
}

constexpr void CivilFromDays(int64_t days, int64_t& year, unsigned& month, unsigned& day) {
  days += 719468;
  const int64_t era = (days >= 0 ? days : days - 146096) / 146097;
  const auto dayOfEra = static_cast<unsigned>(days - era * 146097);
  const unsigned yearOfEra = (dayOfEra - dayOfEra / 1460 + dayOfEra / 36524 - dayOfEra / 146096) / 365;
  const unsigned dayOfYear = dayOfEra - (365 * yearOfEra + yearOfEra / 4 - yearOfEra / 100);
  const unsigned mp = (5 * dayOfYear + 2) / 153;
  day = dayOfYear - (153 * mp + 2) / 5 + 1;
  month = mp < 10 ? mp + 3 : mp - 9;
  year = static_cast<int64_t>(yearOfEra) + era * 400 + (month <= 2 ? 1 : 0);
}

// Floor division: days of negative seconds count towards the past.
constexpr int64_t FloorDiv(int64_t a, int64_t b) { return a / b - ((a % b != 0) && ((a < 0) != (b < 0))); }

// ---- The fixed-width decimal fields of dates and times ----------------------

// Reads the `count` digits at `at` of `text`; false where one is not a digit
// or the text ends first.
inline bool ReadDigits(std::string_view text, std::size_t at, std::size_t count, int& value) {
  if (at > text.size() || count > text.size() - at) return false;
  value = 0;
  for (std::size_t i = at; i < at + count; ++i) {
    if (text[i] < '0' || text[i] > '9') return false;
    value = value * 10 + (text[i] - '0');
  }
  return true;
}

// Appends `value` in at least `width` digits, with leading zeros.
inline void AppendDigits(std::string& out, unsigned value, int width) {
  char digits[12];
  int n = 0;
  do {
    digits[n++] = static_cast<char>('0' + value % 10);
    value /= 10;
  } while (value > 0 || n < width);
  while (n > 0) out += digits[--n];
}

}  // namespace rulehost

#endif
