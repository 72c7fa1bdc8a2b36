// The size and date annotation of a file's entry line, and the date and time
// texts used throughout the program.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "app/scan_state.h"
#include "app/shown_text.h"
#include "platform/clock.h"

namespace vorlex {

// yy/mm/dd: the year modulo 100, month and day, two digits each.
std::string FormatDateText(const CivilTime& t);
// H:mm:ss on a 24-hour clock, the hour without a leading zero.
std::string FormatTimeText(const CivilTime& t);
// The date text, then a blank and the time text; at 0:00:00 the date alone.
std::string FormatDateTimeText(const CivilTime& t);

// Size in KB as the entry line counts it: bytes / 1024 + 1 (so 1024 bytes
// count 2 KB), on 64 bits.
std::int64_t SizeInKB(std::int64_t bytes);

// What an entry line shows in place of the date when the last-write time
// cannot be converted to a local date.
inline constexpr std::string_view kUnknownDateText = "\?\?\?\?/\?\?/\?\?";

// For the file in state.SearchRec: EntrySizesKB[EntryCount] (the table grows
// as needed) and EntrySuffix, e.g. " . . . . . 1 KB 2017/10/29 19:04:38".
// The date shows the whole year, the time whole seconds, and midnight the
// date alone.
void FormatEntrySuffix(ScanState& state);

}  // namespace vorlex
