#include "walk/directory_lister.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <string>
#include <vector>

#include "tests/support/memory_directory_search.h"
#include "tests/walk/walk_test_util.h"

namespace vorlex {
namespace {

using testing::Joined;
using testing::MemoryDirectorySearch;
using testing::Texts;
using testing::UtcSeconds;

const std::int64_t kWhen = UtcSeconds(2017, 10, 29, 19, 4, 38);

// Only a word of exactly kAttrDirectory is a subdirectory; a directory with
// any further attribute is a file with the size the search reports.
TEST(ListDirectory, OnlyAPlainDirectoryIsASubdirectory) {
  MemoryDirectorySearch search("/media/usb");
  search.AddDirectory("plain", kAttrDirectory);
  search.AddDirectory("readonly", 17, 0, kWhen);
  search.AddDirectory("hidden", 18, 4096, kWhen);
  search.AddDirectory("system", 20, 0, kWhen);
  search.AddDirectory("archived", 48, 0, kWhen);
  search.AddDirectory("mounted", 0x410, 4096, kWhen);
  search.AddFile("file.txt", 2500, kWhen);
  ScanState state;
  state.DrivePrefix = "/media/usb";
  state.LevelDirs[0] = {"stale", "names", "from", "before"};
  ListDirectory(state, search);

  EXPECT_EQ(state.LevelDirs[0], (std::vector<std::string>{".", "..", "plain"}));
  EXPECT_EQ(state.DirCount, 3);
  EXPECT_EQ(Joined(state.EntryPaths),
            "/media/usb/archived . . . . . 1 KB 2017/10/29 19:04:38\n"
            "/media/usb/file.txt . . . . . 3 KB 2017/10/29 19:04:38\n"
            "/media/usb/hidden . . . . . 5 KB 2017/10/29 19:04:38\n"
            "/media/usb/mounted . . . . . 5 KB 2017/10/29 19:04:38\n"
            "/media/usb/readonly . . . . . 1 KB 2017/10/29 19:04:38\n"
            "/media/usb/system . . . . . 1 KB 2017/10/29 19:04:38\n");
  EXPECT_EQ(Texts(state.EntryNames),
            (std::vector<std::string>{"archived", "file.txt", "hidden", "mounted", "readonly",
                                      "system"}));
  EXPECT_EQ(state.EntrySizesKB, (std::vector<std::int64_t>{1, 3, 5, 5, 1, 1}));
  EXPECT_EQ(state.EntryCount, 6);
}

TEST(ListDirectory, ADirectoryThatCannotBeListedAddsNothing) {
  MemoryDirectorySearch search;
  search.AddFile("a.txt");
  search.FailOpen("", EACCES);
  ScanState state;
  state.LevelDirs[0] = {"stale"};
  state.DirCount = 5;
  ListDirectory(state, search);
  EXPECT_EQ(state.DirCount, 0);
  EXPECT_TRUE(state.LevelDirs[0].empty());
  EXPECT_EQ(state.EntryCount, 0);
  EXPECT_TRUE(state.EntryPaths.empty());
  EXPECT_EQ(search.attempted(), std::vector<std::string>{"/"});
}

TEST(ListDirectory, ASearchThatStopsEarlyKeepsWhatItDelivered) {
  MemoryDirectorySearch search;
  search.AddFile("a.txt", 0, kWhen);
  search.AddDirectory("b");
  search.AddFile("c.txt", 0, kWhen);
  search.StopAfter("", 4);  // ".", "..", "a.txt", "b"
  ScanState state;
  ListDirectory(state, search);
  EXPECT_EQ(Joined(state.EntryPaths), "/a.txt . . . . . 1 KB 2017/10/29 19:04:38\n");
  EXPECT_EQ(state.LevelDirs[0], (std::vector<std::string>{".", "..", "b"}));
}

// Control bytes anywhere in the line show as "?", so a name cannot split a
// report line; the stored name keeps its exact bytes.
TEST(ListDirectory, ShowsControlBytesAsQuestionMarksButStoresExactNames) {
  const std::string dir = "d\x01r";
  const std::string name = "a\nb\x7f\tc\r";
  MemoryDirectorySearch search("/media/u\x1bsb");
  search.AddFile(dir + "/" + name, 0, kWhen);
  ScanState state;
  state.DrivePrefix = "/media/u\x1bsb";
  ListDirectory(state, search);  // the root, so the next depth can open dir
  state.WalkLevel = 1;
  state.CurrentDir = "/" + dir;
  ListDirectory(state, search);
  EXPECT_EQ(Joined(state.EntryPaths), "/media/u?sb/d?r/a?b??c? . . . . . 1 KB 2017/10/29 19:04:38\n");
  EXPECT_EQ(Texts(state.EntryNames), std::vector<std::string>{name});
}

// Outside a walk the tables may still hold an earlier scan: the file goes to
// slot EntryCount of all three tables, never past their ends.
TEST(ListDirectory, WritesAtEntryCountInTablesLeftByAnEarlierScan) {
  MemoryDirectorySearch search;
  search.AddFile("new.txt", 2048, kWhen);
  ScanState state;
  for (const char* old : {"old0", "old1", "old2"}) {
    state.EntryNames.push_back(old);
    state.EntryPaths.push_back(old);
    state.EntrySizesKB.push_back(9);
  }
  state.EntryCount = 1;
  ListDirectory(state, search);
  EXPECT_EQ(Texts(state.EntryNames), (std::vector<std::string>{"old0", "new.txt", "old2"}));
  EXPECT_EQ(state.EntryPaths[1], "/new.txt . . . . . 3 KB 2017/10/29 19:04:38");
  EXPECT_EQ(state.EntrySizesKB, (std::vector<std::int64_t>{9, 3, 9}));
  EXPECT_EQ(state.EntryCount, 2);
}

TEST(ListDirectory, IgnoresADepthOutsideTheLevels) {
  MemoryDirectorySearch search;
  search.AddFile("a.txt");
  for (std::int64_t level : {-1, 10, 1000}) {
    ScanState state;
    state.WalkLevel = level;
    state.DirCount = 3;
    ListDirectory(state, search);
    EXPECT_EQ(state.DirCount, 0);
    EXPECT_EQ(state.EntryCount, 0);
  }
  EXPECT_TRUE(search.attempted().empty());
}

}  // namespace
}  // namespace vorlex
