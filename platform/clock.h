// Local time of the process (its TZ), as calendar fields.
#pragma once

#include <cstdint>

namespace vorlex {

struct CivilTime {
  std::int64_t year = 1970;  // the real year, four digits or more
  int month = 1;             // 1..12
  int day = 1;               // 1..31
  int hour = 0;              // 0..23
  int minute = 0;            // 0..59
  int second = 0;            // 0..60
};

// The local date and time of `seconds` since 1970-01-01 UTC (negative
// before 1970). Returns false when the moment lies beyond what the C library
// can convert; `out` is then left unchanged. Conversions are cached per hour
// of UTC, so converting the times of millions of files stays cheap.
bool LocalTimeOf(std::int64_t seconds, CivilTime& out);

// Re-reads TZ and forgets every cached conversion. A scan calls it before it
// converts its first time; call it after changing TZ.
void RefreshLocalZone();

// The current local date and time, from one reading of the clock.
CivilTime LocalNow();

}  // namespace vorlex
