#include "platform/clock.h"

#include <time.h>

#include <array>
#include <atomic>
#include <cstdint>
#include <limits>

namespace vorlex {
namespace {

constexpr std::int64_t kSecondsPerHour = 3600;
constexpr std::int64_t kSecondsPerDay = 86400;
// Times further from 1970 than this (about 35 million years) skip the cache,
// so its arithmetic cannot overflow; localtime_r decides what they show.
constexpr std::int64_t kCachedRange = std::int64_t{1} << 50;
constexpr std::size_t kCacheSlots = 1024;

// Bumped by RefreshLocalZone; a thread's cache is dropped when it sees a
// newer generation than the one it was filled under.
std::atomic<std::uint64_t> zone_generation{0};

// What is known about one hour of UTC: when `linear`, local time within the
// hour is UTC plus `offset` seconds; otherwise (a change of offset or a leap
// second inside the hour) every time of the hour asks localtime_r.
struct HourSlot {
  std::int64_t hour = std::numeric_limits<std::int64_t>::min();
  std::int64_t offset = 0;
  bool linear = false;
};

struct HourCache {
  std::uint64_t generation = 0;
  std::array<HourSlot, kCacheSlots> slots;
};

thread_local HourCache cache;

std::int64_t FloorDiv(std::int64_t a, std::int64_t b) {
  std::int64_t q = a / b;
  return (a % b < 0) ? q - 1 : q;
}

// Calendar fields of a count of seconds since 1970-01-01 in the same zone,
// on the proleptic Gregorian calendar (days-to-civil after H. Hinnant).
CivilTime CivilOfLocalSeconds(std::int64_t local) {
  std::int64_t days = FloorDiv(local, kSecondsPerDay);
  std::int64_t in_day = local - days * kSecondsPerDay;
  std::int64_t z = days + 719468;
  std::int64_t era = FloorDiv(z, 146097);
  std::int64_t doe = z - era * 146097;                                 // [0, 146096]
  std::int64_t yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;  // [0, 399]
  std::int64_t doy = doe - (365 * yoe + yoe / 4 - yoe / 100);          // [0, 365]
  std::int64_t mp = (5 * doy + 2) / 153;                               // [0, 11]
  CivilTime t;
  t.day = static_cast<int>(doy - (153 * mp + 2) / 5 + 1);
  t.month = static_cast<int>(mp < 10 ? mp + 3 : mp - 9);
  t.year = yoe + era * 400 + (t.month <= 2 ? 1 : 0);
  t.hour = static_cast<int>(in_day / kSecondsPerHour);
  t.minute = static_cast<int>(in_day / 60 % 60);
  t.second = static_cast<int>(in_day % 60);
  return t;
}

CivilTime CivilOfTm(const tm& fields) {
  CivilTime t;
  t.year = std::int64_t{fields.tm_year} + 1900;
  t.month = fields.tm_mon + 1;
  t.day = fields.tm_mday;
  t.hour = fields.tm_hour;
  t.minute = fields.tm_min;
  t.second = fields.tm_sec;
  return t;
}

bool SameFields(const CivilTime& a, const CivilTime& b) {
  return a.year == b.year && a.month == b.month && a.day == b.day && a.hour == b.hour &&
         a.minute == b.minute && a.second == b.second;
}

bool ConvertDirectly(std::int64_t seconds, tm& fields) {
  if (seconds < std::numeric_limits<time_t>::min() ||
      seconds > std::numeric_limits<time_t>::max()) {
    return false;
  }
  time_t t = static_cast<time_t>(seconds);
  return localtime_r(&t, &fields) != nullptr;
}

// Learns the hour's offset from its first and last second. The hour is
// taken as linear only when both ends have the same offset and plain
// arithmetic reproduces localtime_r at both ends (this rules out zones that
// count leap seconds, whose fields drift from UTC plus offset).
void FillSlot(HourSlot& slot, std::int64_t hour) {
  slot.hour = hour;
  slot.linear = false;
  std::int64_t first = hour * kSecondsPerHour;
  std::int64_t last = first + kSecondsPerHour - 1;
  tm at_first{};
  tm at_last{};
  if (!ConvertDirectly(first, at_first) || !ConvertDirectly(last, at_last)) return;
  if (at_first.tm_gmtoff != at_last.tm_gmtoff) return;
  std::int64_t offset = at_first.tm_gmtoff;
  if (!SameFields(CivilOfLocalSeconds(first + offset), CivilOfTm(at_first)) ||
      !SameFields(CivilOfLocalSeconds(last + offset), CivilOfTm(at_last))) {
    return;
  }
  slot.offset = offset;
  slot.linear = true;
}

}  // namespace

bool LocalTimeOf(std::int64_t seconds, CivilTime& out) {
  if (seconds > -kCachedRange && seconds < kCachedRange) {
    std::uint64_t generation = zone_generation.load(std::memory_order_relaxed);
    if (cache.generation != generation) {
      cache.slots.fill(HourSlot{});
      cache.generation = generation;
    }
    std::int64_t hour = FloorDiv(seconds, kSecondsPerHour);
    HourSlot& slot = cache.slots[static_cast<std::uint64_t>(hour) % kCacheSlots];
    if (slot.hour != hour) FillSlot(slot, hour);
    if (slot.linear) {
      out = CivilOfLocalSeconds(seconds + slot.offset);
      return true;
    }
  }
  tm fields{};
  if (!ConvertDirectly(seconds, fields)) return false;
  out = CivilOfTm(fields);
  return true;
}

void RefreshLocalZone() {
  tzset();
  zone_generation.fetch_add(1, std::memory_order_relaxed);
}

CivilTime LocalNow() {
  RefreshLocalZone();
  timespec now{};
  clock_gettime(CLOCK_REALTIME, &now);
  CivilTime t;
  tm fields{};
  if (ConvertDirectly(now.tv_sec, fields)) t = CivilOfTm(fields);
  return t;
}

}  // namespace vorlex
