#include "platform/clock.h"

#include <gtest/gtest.h>
#include <time.h>
#include <unistd.h>

#include <cstdint>
#include <limits>
#include <string>
#include <tuple>

#include "tests/walk/walk_test_util.h"

namespace vorlex {
namespace {

using testing::ScopedTimeZone;
using testing::UtcSeconds;

std::tuple<std::int64_t, int, int, int, int, int> Fields(const CivilTime& t) {
  return {t.year, t.month, t.day, t.hour, t.minute, t.second};
}

// What localtime_r itself says, without any cache.
bool Reference(std::int64_t seconds, CivilTime& out) {
  time_t t = static_cast<time_t>(seconds);
  tm fields{};
  if (localtime_r(&t, &fields) == nullptr) return false;
  out = {std::int64_t{fields.tm_year} + 1900, fields.tm_mon + 1, fields.tm_mday,
         fields.tm_hour, fields.tm_min, fields.tm_sec};
  return true;
}

bool ZoneInstalled(const std::string& zone) {
  return zone == "UTC" || access(("/usr/share/zoneinfo/" + zone).c_str(), R_OK) == 0;
}

// The cached conversion must agree with localtime_r everywhere: half- and
// quarter-hour offsets, half-hour DST (Lord Howe), negative DST (Dublin), a
// skipped day (Apia, end of 2011), times before 1970, and a zone that counts
// leap seconds. Each zone is swept coarsely over two centuries and finely
// over 2010-2012, where many transitions fall.
TEST(LocalTimeOf, AgreesWithLocaltimeInEveryKindOfZone) {
  const char* zones[] = {"UTC",
                         "America/New_York",
                         "Europe/London",
                         "Europe/Dublin",
                         "Asia/Kolkata",
                         "Asia/Kathmandu",
                         "America/St_Johns",
                         "Australia/Lord_Howe",
                         "Pacific/Apia",
                         "right/Europe/Berlin"};
  int checked_zones = 0;
  for (const char* zone : zones) {
    if (!ZoneInstalled(zone)) continue;
    ++checked_zones;
    ScopedTimeZone tz(zone);
    auto check = [&](std::int64_t seconds) {
      CivilTime expected;
      CivilTime actual;
      ASSERT_TRUE(Reference(seconds, expected));
      ASSERT_TRUE(LocalTimeOf(seconds, actual)) << zone << " " << seconds;
      ASSERT_EQ(Fields(actual), Fields(expected)) << zone << " at " << seconds;
    };
    for (std::int64_t s = UtcSeconds(1890, 1, 1); s < UtcSeconds(2100, 1, 1); s += 86399 + 17) {
      check(s);
    }
    for (std::int64_t s = UtcSeconds(2010, 1, 1); s < UtcSeconds(2012, 12, 31); s += 1201) {
      check(s);
    }
    // Every second around New York's spring-forward hour of 2021.
    std::int64_t jump = UtcSeconds(2021, 3, 14, 7);
    for (std::int64_t s = jump - 3700; s < jump + 3700; ++s) check(s);
  }
  EXPECT_GE(checked_zones, 8) << "time zone data missing";
}

TEST(LocalTimeOf, ConvertsAcrossTheEpochAndCenturies) {
  struct Row {
    std::int64_t seconds;
    std::tuple<std::int64_t, int, int, int, int, int> fields;
  };
  const Row rows[] = {
      {0, {1970, 1, 1, 0, 0, 0}},
      {-1, {1969, 12, 31, 23, 59, 59}},
      {-14182940, {1969, 7, 20, 20, 17, 40}},
      {-2208988800, {1900, 1, 1, 0, 0, 0}},
      {951782400, {2000, 2, 29, 0, 0, 0}},
      {4102444799, {2099, 12, 31, 23, 59, 59}},
      {253402300799, {9999, 12, 31, 23, 59, 59}},
  };
  for (const Row& row : rows) {
    CivilTime t;
    ASSERT_TRUE(LocalTimeOf(row.seconds, t)) << row.seconds;
    EXPECT_EQ(Fields(t), row.fields) << row.seconds;
  }
}

TEST(LocalTimeOf, RefusesWhatCannotBeConvertedAndLeavesOutAlone) {
  for (std::int64_t seconds : {std::numeric_limits<std::int64_t>::max(),
                               std::numeric_limits<std::int64_t>::min()}) {
    CivilTime t{1234, 5, 6, 7, 8, 9};
    EXPECT_FALSE(LocalTimeOf(seconds, t)) << seconds;
    EXPECT_EQ(Fields(t), Fields(CivilTime{1234, 5, 6, 7, 8, 9}));
  }
}

TEST(LocalTimeOf, FollowsAChangeOfZoneAfterRefresh) {
  std::int64_t noon = UtcSeconds(2020, 6, 1, 12);
  CivilTime t;
  ASSERT_TRUE(LocalTimeOf(noon, t));  // cached under UTC
  EXPECT_EQ(t.hour, 12);
  ScopedTimeZone tz("Asia/Kolkata");
  ASSERT_TRUE(LocalTimeOf(noon, t));
  EXPECT_EQ(Fields(t), Fields(CivilTime{2020, 6, 1, 17, 30, 0}));
}

TEST(LocalNow, IsTheCurrentLocalTime) {
  ScopedTimeZone tz("Asia/Kathmandu");
  for (int attempt = 0; attempt < 3; ++attempt) {
    time_t before = time(nullptr);
    CivilTime now = LocalNow();
    CivilTime expected;
    ASSERT_TRUE(Reference(before, expected));
    if (time(nullptr) != before) continue;  // the second turned; read again
    EXPECT_EQ(Fields(now), Fields(expected));
    return;
  }
  FAIL() << "the clock never stood still for a second";
}

}  // namespace
}  // namespace vorlex
