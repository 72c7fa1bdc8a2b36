// ScanState: everything one scan produces or works on.
//
// The phases of a scan hand data to each other only through these members:
//   after the reset     StartDate/StartTime taken, DrivePrefix set, EntryCount 0;
//   after the walk      EntryCount = N files; slots 0..N-1 of EntryNames,
//                       EntryPaths and EntrySizesKB describe one file each, in
//                       walk order;
//   after the analysis  ReportLines[0..EntryCount] is the report and EntryCount
//                       the index of its last line (0 and the no-group line
//                       when no two files share a name).
// The tables grow as a scan needs; nothing limits a scan but memory.
//
// The program keeps one instance for the whole process (TheScanState());
// every operation takes the state it works on as a parameter, so tests build
// their own.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "app/text_table.h"

namespace vorlex {

// One entry delivered by a directory search.
struct SearchRecord {
  // Last-write time in seconds since 1970-01-01 UTC; negative before 1970.
  // Converted to local time only when it is shown.
  std::int64_t Time = 0;
  // Size in bytes (64-bit: files over 4 GiB keep their real size).
  std::int64_t Size = 0;
  // Attribute word: kAttrDirectory for a plain directory, with kAttrHidden
  // and kAttrReparsePoint added for hidden directories and mount points;
  // every other entry is a file (kAttrArchive).
  std::int32_t Attr = 0;
  // The entry's name, exact bytes, without any path.
  std::string Name;
};

inline constexpr std::int32_t kAttrHidden = 0x02;
inline constexpr std::int32_t kAttrDirectory = 0x10;
inline constexpr std::int32_t kAttrArchive = 0x20;
inline constexpr std::int32_t kAttrReparsePoint = 0x400;

// Depths 0 (the drive root) to 9 (the deepest directory whose files count).
inline constexpr int kWalkLevels = 10;

struct ScanState {
  SearchRecord SearchRec;
  // Level L holds the subdirectory names found by the last listing at depth L.
  std::array<std::vector<std::string>, kWalkLevels> LevelDirs;
  // The scanned drive's mount point without a trailing "/" ("" for "/").
  std::string DrivePrefix;
  // Path below the root of the directory being listed: "" for the root,
  // otherwise "/" before each name.
  std::string CurrentDir;
  std::string EntrySuffix;
  TextTable EntryPaths;  // the entry line of each file
  std::string EntryName;
  // The mount point chosen in the drive chooser.
  std::string DriveLetter;
  TextTable EntryNames;  // the bare name of each file, exact bytes
  std::string StartDate;  // yy/mm/dd of the last Start
  std::string StartTime;  // H:mm:ss of the last Start
  TextTable ReportLines;
  std::int64_t DirCount = 0;
  std::int64_t WalkLevel = 0;
  std::int64_t RootIndex = 0;
  std::int64_t EntryCount = 0;
  std::vector<std::int64_t> EntrySizesKB;  // size of each file in KB
};

// The program's one scan state.
ScanState& TheScanState();

}  // namespace vorlex
