#include "walk/entry_annotation.h"

#include <charconv>
#include <cstddef>
#include <cstring>

namespace vorlex {
namespace {

// Room for any of the texts below: a 64-bit number has at most 20 digits and
// a sign, and a date-time text holds six numbers and five separators.
constexpr std::size_t kTextRoom = 160;

// Writes `value` in decimal with at least `width` digits (leading zeros), a
// minus sign in front when negative; returns the end.
char* PutNumber(char* out, std::int64_t value, int width) {
  std::uint64_t magnitude = value < 0 ? 0 - static_cast<std::uint64_t>(value)
                                      : static_cast<std::uint64_t>(value);
  if (value < 0) *out++ = '-';
  char digits[24];
  char* end = std::to_chars(digits, digits + sizeof digits, magnitude).ptr;
  for (std::ptrdiff_t n = end - digits; n < width; ++n) *out++ = '0';
  std::memcpy(out, digits, static_cast<std::size_t>(end - digits));
  return out + (end - digits);
}

char* PutText(char* out, std::string_view text) {
  std::memcpy(out, text.data(), text.size());
  return out + text.size();
}

// "/mm/dd", the part of a date text after its year.
char* PutMonthDay(char* out, const CivilTime& t) {
  *out++ = '/';
  out = PutNumber(out, t.month, 2);
  *out++ = '/';
  return PutNumber(out, t.day, 2);
}

char* PutTime(char* out, const CivilTime& t) {
  out = PutNumber(out, t.hour, 1);
  *out++ = ':';
  out = PutNumber(out, t.minute, 2);
  *out++ = ':';
  return PutNumber(out, t.second, 2);
}

bool IsMidnight(const CivilTime& t) { return t.hour == 0 && t.minute == 0 && t.second == 0; }

// Year modulo 100 as the date text shows it (0..99 also before year 0).
std::int64_t TwoDigitYear(std::int64_t year) { return (year % 100 + 100) % 100; }

// The run of dots before a size, by the number of characters of its text:
// each character fewer adds one more " ." pair.
std::string_view DotRun(std::size_t number_length) {
  switch (number_length) {
    case 1:
      return " . . . . . ";
    case 2:
      return " . . . . ";
    case 3:
      return " . . . ";
    default:
      return " . . ";
  }
}

}  // namespace

std::string FormatDateText(const CivilTime& t) {
  char text[kTextRoom];
  char* end = PutMonthDay(PutNumber(text, TwoDigitYear(t.year), 2), t);
  return std::string(text, end);
}

std::string FormatTimeText(const CivilTime& t) {
  char text[kTextRoom];
  return std::string(text, PutTime(text, t));
}

std::string FormatDateTimeText(const CivilTime& t) {
  char text[kTextRoom];
  char* end = PutMonthDay(PutNumber(text, TwoDigitYear(t.year), 2), t);
  if (!IsMidnight(t)) {
    *end++ = ' ';
    end = PutTime(end, t);
  }
  return std::string(text, end);
}

std::int64_t SizeInKB(std::int64_t bytes) { return bytes / 1024 + 1; }

void FormatEntrySuffix(ScanState& state) {
  std::int64_t kb = SizeInKB(state.SearchRec.Size);
  if (state.EntryCount >= 0) {
    auto slot = static_cast<std::size_t>(state.EntryCount);
    if (state.EntrySizesKB.size() <= slot) state.EntrySizesKB.resize(slot + 1);
    state.EntrySizesKB[slot] = kb;
  }

  char text[kTextRoom];
  char number[24];
  char* number_end = PutNumber(number, kb, 1);
  auto number_length = static_cast<std::size_t>(number_end - number);
  char* out = PutText(text, DotRun(number_length));
  out = PutText(out, std::string_view(number, number_length));
  out = PutText(out, " KB ");

  // The whole year, at least four digits: 1985 shows as 1985, not as a
  // two-digit year with a guessed century.
  CivilTime t;
  if (LocalTimeOf(state.SearchRec.Time, t)) {
    out = PutMonthDay(PutNumber(out, t.year, 4), t);
    if (!IsMidnight(t)) {
      *out++ = ' ';
      out = PutTime(out, t);
    }
  } else {
    out = PutText(out, kUnknownDateText);
  }
  state.EntrySuffix.assign(text, out);
}

}  // namespace vorlex
