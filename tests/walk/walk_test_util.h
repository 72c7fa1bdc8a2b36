// Helpers shared by the walk tests.
#pragma once

#include <time.h>

#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "app/scan_display.h"
#include "app/scan_state.h"
#include "app/text_table.h"
#include "platform/clock.h"

namespace vorlex::testing {

// Seconds since 1970 of a UTC date and time (the tests run in UTC).
inline std::int64_t UtcSeconds(int year, int month, int day, int hour = 0, int minute = 0,
                               int second = 0) {
  tm fields{};
  fields.tm_year = year - 1900;
  fields.tm_mon = month - 1;
  fields.tm_mday = day;
  fields.tm_hour = hour;
  fields.tm_min = minute;
  fields.tm_sec = second;
  return timegm(&fields);
}

// The table's texts, one per line, so a mismatch shows as a line diff.
inline std::string Joined(const TextTable& table) {
  std::string out;
  for (std::string_view text : table) {
    out.append(text);
    out.push_back('\n');
  }
  return out;
}

inline std::string Joined(const std::vector<std::string>& lines) {
  std::string out;
  for (const std::string& line : lines) out += line + "\n";
  return out;
}

inline std::vector<std::string> Texts(const TextTable& table) {
  return std::vector<std::string>(table.begin(), table.end());
}

// Records what the walk reports while it runs.
struct RecordingDisplay : ScanDisplay {
  void WalkProgress(std::int64_t files, std::int64_t directories) override {
    progress.emplace_back(files, directories);
  }
  std::vector<std::pair<std::int64_t, std::int64_t>> progress;
};

// Sets TZ for one test and puts UTC back afterwards.
class ScopedTimeZone {
 public:
  explicit ScopedTimeZone(const char* zone) { Set(zone); }
  ~ScopedTimeZone() { Set("UTC"); }
  ScopedTimeZone(const ScopedTimeZone&) = delete;
  ScopedTimeZone& operator=(const ScopedTimeZone&) = delete;

 private:
  static void Set(const char* zone) {
    setenv("TZ", zone, 1);
    RefreshLocalZone();
  }
};

}  // namespace vorlex::testing
