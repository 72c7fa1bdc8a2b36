#include "walk/entry_annotation.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <limits>
#include <string>
#include <vector>

#include "tests/support/memory_directory_search.h"
#include "tests/walk/walk_test_util.h"
#include "walk/tree_walk.h"

namespace vorlex {
namespace {

using testing::Joined;
using testing::MemoryDirectorySearch;
using testing::RecordingDisplay;
using testing::UtcSeconds;

TEST(DateTimeTexts, HaveTheirFixedForms) {
  struct Row {
    CivilTime t;
    const char* date;
    const char* time;
    const char* date_time;
  };
  const Row rows[] = {
      {{2017, 10, 29, 19, 4, 38}, "17/10/29", "19:04:38", "17/10/29 19:04:38"},
      {{1998, 12, 31, 9, 5, 2}, "98/12/31", "9:05:02", "98/12/31 9:05:02"},
      {{2003, 7, 4, 0, 0, 0}, "03/07/04", "0:00:00", "03/07/04"},
      {{2000, 1, 1, 0, 0, 1}, "00/01/01", "0:00:01", "00/01/01 0:00:01"},
      {{2009, 1, 2, 23, 59, 59}, "09/01/02", "23:59:59", "09/01/02 23:59:59"},
      {{1905, 3, 9, 12, 0, 0}, "05/03/09", "12:00:00", "05/03/09 12:00:00"},
  };
  for (const Row& row : rows) {
    EXPECT_EQ(FormatDateText(row.t), row.date);
    EXPECT_EQ(FormatTimeText(row.t), row.time);
    EXPECT_EQ(FormatDateTimeText(row.t), row.date_time);
  }
}

// The suffix of one file: the KB count (always bytes / 1024 + 1, on 64 bits),
// its dot run, and the date with the real year and real seconds.
TEST(FormatEntrySuffix, CountsKilobytesAndShowsTheRealDate) {
  const std::int64_t kGiB = std::int64_t{1} << 30;
  const std::int64_t when = UtcSeconds(2017, 10, 29, 19, 4, 38);
  struct Row {
    std::int64_t size;
    std::int64_t time;
    std::int64_t kb;
    const char* suffix;
  };
  const Row rows[] = {
      {0, when, 1, " . . . . . 1 KB 2017/10/29 19:04:38"},
      {1023, when, 1, " . . . . . 1 KB 2017/10/29 19:04:38"},
      {1024, when, 2, " . . . . . 2 KB 2017/10/29 19:04:38"},
      {2048, when, 3, " . . . . . 3 KB 2017/10/29 19:04:38"},
      {9 * 1024, when, 10, " . . . . 10 KB 2017/10/29 19:04:38"},
      {99 * 1024, when, 100, " . . . 100 KB 2017/10/29 19:04:38"},
      {9998 * 1024, when, 9999, " . . 9999 KB 2017/10/29 19:04:38"},
      {9999 * 1024, when, 10000, " . . 10000 KB 2017/10/29 19:04:38"},
      {3 * kGiB, when, 3145729, " . . 3145729 KB 2017/10/29 19:04:38"},
      {5 * kGiB, when, 5242881, " . . 5242881 KB 2017/10/29 19:04:38"},
      // Midnight shows the date alone; a one-digit hour has no leading zero;
      // an odd second stays odd.
      {0, UtcSeconds(2003, 7, 4), 1, " . . . . . 1 KB 2003/07/04"},
      {0, UtcSeconds(2003, 7, 4, 0, 0, 1), 1, " . . . . . 1 KB 2003/07/04 0:00:01"},
      {0, UtcSeconds(2012, 5, 6, 7, 8, 10), 1, " . . . . . 1 KB 2012/05/06 7:08:10"},
      {0, UtcSeconds(2009, 1, 2, 23, 59, 59), 1, " . . . . . 1 KB 2009/01/02 23:59:59"},
      // The real year, whatever the century.
      {0, UtcSeconds(1985, 6, 1, 12), 1, " . . . . . 1 KB 1985/06/01 12:00:00"},
      {0, UtcSeconds(1990, 2, 3, 4, 5, 6), 1, " . . . . . 1 KB 1990/02/03 4:05:06"},
      {0, UtcSeconds(1969, 7, 20, 20, 17, 40), 1, " . . . . . 1 KB 1969/07/20 20:17:40"},
      {0, UtcSeconds(1901, 12, 14, 20, 45, 52), 1, " . . . . . 1 KB 1901/12/14 20:45:52"},
      {0, UtcSeconds(2107, 12, 31, 23, 59, 59), 1, " . . . . . 1 KB 2107/12/31 23:59:59"},
      {0, UtcSeconds(2150, 1, 1, 1), 1, " . . . . . 1 KB 2150/01/01 1:00:00"},
      // A time no calendar of the C library reaches.
      {0, std::numeric_limits<std::int64_t>::max(), 1, " . . . . . 1 KB \?\?\?\?/\?\?/\?\?"},
  };
  for (const Row& row : rows) {
    ScanState state;
    state.SearchRec.Size = row.size;
    state.SearchRec.Time = row.time;
    FormatEntrySuffix(state);
    EXPECT_EQ(state.EntrySuffix, row.suffix) << row.size << " bytes at " << row.time;
    ASSERT_EQ(state.EntrySizesKB.size(), 1u);
    EXPECT_EQ(state.EntrySizesKB[0], row.kb);
  }
}

TEST(FormatEntrySuffix, StoresTheSizeAtEntryCountGrowingTheTable) {
  ScanState state;
  state.EntrySizesKB = {7, 8};
  state.EntryCount = 4;
  state.SearchRec.Size = 4096;
  FormatEntrySuffix(state);
  EXPECT_EQ(state.EntrySizesKB, (std::vector<std::int64_t>{7, 8, 0, 0, 5}));
  state.EntryCount = 1;
  FormatEntrySuffix(state);
  EXPECT_EQ(state.EntrySizesKB, (std::vector<std::int64_t>{7, 5, 0, 0, 5}));
}

// The worked entry lines, as a walk of a drive mounted at /media/usb stores
// them (in walk order: the root's files, then each subdirectory in name
// order, each subtree whole).
TEST(EntryLines, WorkedExamples) {
  struct Row {
    const char* path;
    std::int64_t size;
    std::int64_t time;
    std::int64_t kb;
    const char* line;
  };
  const Row rows[] = {
      {"readme.txt", 0, UtcSeconds(2017, 10, 29, 19, 4, 38), 1,
       "/media/usb/readme.txt . . . . . 1 KB 2017/10/29 19:04:38"},
      {"Data/big.bin", 1048575, UtcSeconds(2012, 5, 6, 7, 8, 10), 1024,
       "/media/usb/Data/big.bin . . 1024 KB 2012/05/06 7:08:10"},
      {"Data/notes.txt", 524288, UtcSeconds(2009, 1, 2, 23, 59, 58), 513,
       "/media/usb/Data/notes.txt . . . 513 KB 2009/01/02 23:59:58"},
      {"Data/video.avi", 1073741824, UtcSeconds(2006, 3, 14, 15, 9, 26), 1048577,
       "/media/usb/Data/video.avi . . 1048577 KB 2006/03/14 15:09:26"},
      {"Data/Photos/photo.jpg", 16384, UtcSeconds(2003, 7, 4), 17,
       "/media/usb/Data/Photos/photo.jpg . . . . 17 KB 2003/07/04"},
      {"Old/autoexec.bat", 1023, UtcSeconds(1985, 6, 1, 12), 1,
       "/media/usb/Old/autoexec.bat . . . . . 1 KB 1985/06/01 12:00:00"},
      {"Windows/setup.log", 1024, UtcSeconds(1998, 12, 31, 9, 5, 2), 2,
       "/media/usb/Windows/setup.log . . . . . 2 KB 1998/12/31 9:05:02"},
  };
  MemoryDirectorySearch search("/media/usb");
  std::vector<std::string> lines;
  std::vector<std::int64_t> kbs;
  for (const Row& row : rows) {
    search.AddFile(row.path, row.size, row.time);
    lines.push_back(row.line);
    kbs.push_back(row.kb);
  }
  ScanState state;
  state.DrivePrefix = "/media/usb";
  RecordingDisplay display;
  WalkDrive(state, search, display);
  EXPECT_EQ(Joined(state.EntryPaths), Joined(lines));
  EXPECT_EQ(state.EntrySizesKB, kbs);
  EXPECT_EQ(state.EntryCount, 7);
}

}  // namespace
}  // namespace vorlex
