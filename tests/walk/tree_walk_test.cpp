#include "walk/tree_walk.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/mount.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "tests/support/fixture_tree.h"
#include "tests/support/memory_directory_search.h"
#include "tests/support/own_mounts.h"
#include "tests/walk/walk_test_util.h"
#include "walk/entry_annotation.h"
#include "walk/posix_directory_search.h"

namespace vorlex {
namespace {

using testing::FixtureRow;
using testing::FixtureTree;
using testing::Joined;
using testing::MemoryDirectorySearch;
using testing::RecordingDisplay;
using testing::RunWithOwnMounts;
using testing::Texts;
using testing::UtcSeconds;

const std::int64_t kWhen = UtcSeconds(2017, 10, 29, 19, 4, 38);
// The suffix of an empty file written at kWhen.
const std::string kSuffix = " . . . . . 1 KB 2017/10/29 19:04:38";

// The suffix of a file of `size` bytes written at kWhen.
std::string SuffixOf(std::int64_t size) {
  ScanState state;
  state.SearchRec.Size = size;
  state.SearchRec.Time = kWhen;
  FormatEntrySuffix(state);
  return state.EntrySuffix;
}

std::int64_t LstatSize(const std::string& path) {
  struct stat st;
  EXPECT_EQ(lstat(path.c_str(), &st), 0) << path;
  return st.st_size;
}

// Walks the fixture tree with the POSIX search, the tree's root as drive.
ScanState WalkTree(const FixtureTree& tree, RecordingDisplay* display = nullptr) {
  ScanState state;
  state.DrivePrefix = tree.root();
  auto search = MakePosixDirectorySearch();
  RecordingDisplay ignored;
  WalkDrive(state, *search, display != nullptr ? *display : ignored);
  return state;
}

ScanState WalkMemory(MemoryDirectorySearch& search) {
  ScanState state;
  RecordingDisplay display;
  WalkDrive(state, search, display);
  return state;
}

// Each directory's files in name order before its subdirectories, each
// subdirectory's whole subtree before the next one.
TEST(WalkDrive, RecordsFilesDepthFirstEachDirectoryBeforeItsSubdirectories) {
  std::vector<FixtureRow> rows;
  for (const char* path : {"z_root.txt", "a_root.txt", "B/b1.txt", "B/B2/b2.txt", "B/a_b.txt",
                           "A/a1.txt", "A/AB/ab.txt", "A/AA/aa.txt", "A/z.txt"}) {
    rows.push_back({path, 0, kWhen});
  }
  rows.push_back({"empty/"});
  FixtureTree tree(rows);
  RecordingDisplay display;
  ScanState state = WalkTree(tree, &display);

  const std::string& r = tree.root();
  std::vector<std::string> expected;
  for (const char* path : {"/a_root.txt", "/z_root.txt", "/A/a1.txt", "/A/z.txt", "/A/AA/aa.txt",
                           "/A/AB/ab.txt", "/B/a_b.txt", "/B/b1.txt", "/B/B2/b2.txt"}) {
    expected.push_back(r + path + kSuffix);
  }
  EXPECT_EQ(Joined(state.EntryPaths), Joined(expected));
  EXPECT_EQ(Texts(state.EntryNames),
            (std::vector<std::string>{"a_root.txt", "z_root.txt", "a1.txt", "z.txt", "aa.txt",
                                      "ab.txt", "a_b.txt", "b1.txt", "b2.txt"}));
  EXPECT_EQ(state.EntryCount, 9);
  // Root, A, AA, AB, B, B2, empty and the missing "Program Files".
  ASSERT_EQ(display.progress.size(), 8u);
  EXPECT_EQ(display.progress.front(), (std::pair<std::int64_t, std::int64_t>{2, 1}));
  EXPECT_EQ(display.progress.back(), (std::pair<std::int64_t, std::int64_t>{9, 8}));
}

// Files nine names below the root count; those ten below do not.
TEST(WalkDrive, RecordsDepthNineButNotDepthTen) {
  const std::string nine = "1/2/3/4/5/6/7/8/9";
  FixtureTree tree({{"1/f1", 0, kWhen},
                    {nine + "/f9", 0, kWhen},
                    {nine + "/10/f10", 0, kWhen},
                    {nine + "/10/11/f11", 0, kWhen}});
  ScanState state = WalkTree(tree);
  EXPECT_EQ(Joined(state.EntryPaths),
            Joined({tree.root() + "/1/f1" + kSuffix, tree.root() + "/" + nine + "/f9" + kSuffix}));

  MemoryDirectorySearch search;
  search.AddFile(nine + "/f9");
  search.AddFile(nine + "/10/f10");
  WalkMemory(search);
  EXPECT_EQ(search.listed()[9], "/" + nine);
  for (const std::string& path : search.attempted()) {
    EXPECT_EQ(path.find("/10"), std::string::npos) << path << " was opened";
  }
}

// "Program Files" is always visited, and never twice.
TEST(WalkDrive, VisitsProgramFilesOnceWhateverTheRootListingFound) {
  struct Row {
    const char* what;
    bool present;
    std::int32_t attr;
    std::vector<std::string> lines;
    int listings;
  };
  const std::vector<Row> rows = {
      {"absent", false, 0, {"/root.txt" + kSuffix}, 0},
      {"a plain directory",
       true,
       kAttrDirectory,
       {"/root.txt" + kSuffix, "/Program Files/inside.txt" + kSuffix},
       1},
      {"a read-only directory",
       true,
       17,
       {"/Program Files" + kSuffix, "/root.txt" + kSuffix, "/Program Files/inside.txt" + kSuffix},
       1},
  };
  for (const Row& row : rows) {
    MemoryDirectorySearch search("/");
    search.AddFile("root.txt", 0, kWhen);
    if (row.present) {
      search.AddDirectory("Program Files", row.attr, 0, kWhen);
      search.AddFile("Program Files/inside.txt", 0, kWhen);
    }
    ScanState state = WalkMemory(search);
    EXPECT_EQ(Joined(state.EntryPaths), Joined(row.lines)) << row.what;
    EXPECT_EQ(std::count(search.listed().begin(), search.listed().end(), "/Program Files"),
              row.listings)
        << row.what;
    EXPECT_EQ(search.attempted().back(), "/Program Files") << row.what;
  }
}

// Hidden directories and symbolic links are recorded as files and never
// entered, so a link to a directory or a loop of links is harmless.
TEST(WalkDrive, RecordsHiddenDirectoriesAndLinksAsFilesWithoutEnteringThem) {
  FixtureTree tree({{".dir/inside.txt", 0, kWhen},
                    {".dir/", 0, kWhen},
                    {"real/r.txt", 0, kWhen},
                    {"real/loop", 0, kWhen, ".."},
                    {"link_dir", 0, kWhen, "real"},
                    {"self", 0, kWhen, "self"},
                    {"Program Files", 0, kWhen, "real"}});
  ScanState state = WalkTree(tree);
  const std::string& r = tree.root();
  EXPECT_EQ(Joined(state.EntryPaths),
            Joined({r + "/.dir" + SuffixOf(LstatSize(tree.Path(".dir"))),
                    r + "/Program Files" + kSuffix,  // the forced listing of a link finds nothing
                    r + "/link_dir" + kSuffix,
                    r + "/self" + kSuffix,
                    r + "/real/loop" + kSuffix,
                    r + "/real/r.txt" + kSuffix}));
}

TEST(WalkDrive, DoesNotEnterAMountPoint) {
  MemoryDirectorySearch search;
  search.AddDirectory("mnt", kAttrDirectory | kAttrReparsePoint, 4096, kWhen);
  search.AddFile("mnt/inside.txt", 0, kWhen);
  ScanState state = WalkMemory(search);
  EXPECT_EQ(Joined(state.EntryPaths), "/mnt . . . . . 5 KB 2017/10/29 19:04:38\n");
  EXPECT_EQ(search.listed(), (std::vector<std::string>{"/"}));
}

// A real tmpfs mounted inside the tree, in a child process with a mount
// namespace of its own, so nothing outside the test ever sees it.
TEST(WalkDrive, DoesNotEnterARealMountPoint) {
  FixtureTree tree({{"a.txt", 0, kWhen}, {"mnt/"}, {"z.txt", 0, kWhen}});
  const std::string mnt = tree.Path("mnt");
  std::optional<std::string> got = RunWithOwnMounts([&]() -> std::string {
    if (mount("vorlex-test", mnt.c_str(), "tmpfs", 0, "size=1m") != 0) {
      return std::string("SKIP mount tmpfs: ") + std::strerror(errno);
    }
    int fd = open((mnt + "/inside.txt").c_str(), O_CREAT | O_WRONLY | O_CLOEXEC, 0644);
    if (fd >= 0) close(fd);
    timespec times[2] = {{kWhen, 0}, {kWhen, 0}};
    utimensat(AT_FDCWD, mnt.c_str(), times, 0);
    ScanState state = WalkTree(tree);
    return "SIZE " + std::to_string(LstatSize(mnt)) + "\n" + Joined(state.EntryPaths);
  });
  if (!got) GTEST_SKIP() << "mount namespaces not permitted";
  if (got->rfind("SKIP", 0) == 0) GTEST_SKIP() << *got;
  ASSERT_EQ(got->rfind("SIZE ", 0), 0u) << *got;
  std::size_t newline = got->find('\n');
  std::int64_t mnt_size = std::stoll(got->substr(5, newline - 5));
  const std::string& r = tree.root();
  EXPECT_EQ(got->substr(newline + 1), Joined({r + "/a.txt" + kSuffix,
                                              r + "/mnt" + SuffixOf(mnt_size),
                                              r + "/z.txt" + kSuffix}));
}

TEST(WalkDrive, GoesOnPastADirectoryThatCannotBeListed) {
  MemoryDirectorySearch search;
  search.AddFile("A/a.txt", 0, kWhen);
  search.AddFile("A/sub/deep.txt", 0, kWhen);
  search.AddFile("B/b.txt", 0, kWhen);
  search.FailOpen("A", EACCES);
  ScanState state = WalkMemory(search);
  EXPECT_EQ(Joined(state.EntryPaths), "/B/b.txt" + kSuffix + "\n");
  EXPECT_EQ(search.attempted(),
            (std::vector<std::string>{"/", "/A", "/B", "/Program Files"}));
}

TEST(WalkDrive, GoesOnPastARealUnreadableDirectory) {
  if (geteuid() == 0) GTEST_SKIP() << "root reads every directory";
  FixtureTree tree({{"A/a.txt", 0, kWhen}, {"B/b.txt", 0, kWhen}});
  tree.MakeUnreadable("A");
  ScanState state = WalkTree(tree);
  EXPECT_EQ(Joined(state.EntryPaths), Joined({tree.root() + "/B/b.txt" + kSuffix}));
}

// No fixed number of subdirectories per directory.
TEST(WalkDrive, VisitsEverySubdirectoryOfAWideDirectory) {
  std::vector<FixtureRow> rows;
  std::vector<std::string> dirs;
  for (int i = 0; i < 120; ++i) {
    std::string dir = std::string(i < 10 ? "d00" : i < 100 ? "d0" : "d") + std::to_string(i);
    rows.push_back({dir + "/f", 0, kWhen});
    dirs.push_back(dir);
  }
  FixtureTree tree(rows);
  ScanState state = WalkTree(tree);
  std::vector<std::string> expected;
  for (const std::string& dir : dirs) expected.push_back(tree.root() + "/" + dir + "/f" + kSuffix);
  EXPECT_EQ(Joined(state.EntryPaths), Joined(expected));
  EXPECT_EQ(state.LevelDirs[0].size(), 120u + 3u);  // with ".", ".." and "Program Files"
}

// A directory with fewer subdirectories than the one listed before it at the
// same depth visits only its own; "." and ".." are never opened.
TEST(WalkDrive, VisitsOnlyTheSubdirectoriesOfTheDirectoryItself) {
  MemoryDirectorySearch search;
  for (const char* path : {"a/x/fx", "a/y/fy", "a/z/fz", "b/w/fw"}) search.AddFile(path, 0, kWhen);
  ScanState state = WalkMemory(search);
  EXPECT_EQ(search.attempted(), (std::vector<std::string>{"/", "/a", "/a/x", "/a/y", "/a/z", "/b",
                                                          "/b/w", "/Program Files"}));
  EXPECT_EQ(Joined(state.EntryPaths), Joined({"/a/x/fx" + kSuffix, "/a/y/fy" + kSuffix,
                                              "/a/z/fz" + kSuffix, "/b/w/fw" + kSuffix}));
}

// Names are kept byte for byte (blanks, line breaks, bytes that are not
// UTF-8, the longest name allowed); lines show control bytes as "?". Sizes
// beyond 4 GiB count in full.
TEST(WalkDrive, KeepsOddNamesAndHugeSizes) {
  const std::string long_name(255, 'L');
  const std::string newline_dir = "new\nline dir";
  const std::int64_t five_gib = std::int64_t{5} << 30;
  FixtureTree tree({{"with  two blanks.txt", 0, kWhen},
                    {"line\nbreak", 0, kWhen},
                    {"bad \xff\xfe utf8", 0, kWhen},
                    {long_name, 0, kWhen},
                    {"several.dots.in.name", 0, kWhen},
                    {"huge.bin", five_gib, kWhen},
                    {newline_dir + "/inside", 0, kWhen}});
  ScanState state = WalkTree(tree);
  const std::string& r = tree.root();
  EXPECT_EQ(Joined(state.EntryPaths),
            Joined({r + "/" + long_name + kSuffix,
                    r + "/bad \xff\xfe utf8" + kSuffix,
                    r + "/huge.bin . . 5242881 KB 2017/10/29 19:04:38",
                    r + "/line?break" + kSuffix,
                    r + "/several.dots.in.name" + kSuffix,
                    r + "/with  two blanks.txt" + kSuffix,
                    r + "/new?line dir/inside" + kSuffix}));
  EXPECT_EQ(Texts(state.EntryNames),
            (std::vector<std::string>{long_name, "bad \xff\xfe utf8", "huge.bin", "line\nbreak",
                                      "several.dots.in.name", "with  two blanks.txt", "inside"}));
  EXPECT_EQ(state.EntrySizesKB[2], 5242881);
}

// Each walk starts afresh: nothing of an earlier, larger scan remains.
TEST(WalkDrive, StartsEveryWalkWithEmptyTables) {
  MemoryDirectorySearch big;
  for (const char* path : {"a", "b", "c/d", "c/e"}) big.AddFile(path, 5000, kWhen);
  MemoryDirectorySearch small;
  small.AddFile("only", 0, kWhen);
  ScanState state;
  RecordingDisplay display;
  WalkDrive(state, big, display);
  ASSERT_EQ(state.EntryCount, 4);
  WalkDrive(state, small, display);
  EXPECT_EQ(Joined(state.EntryPaths), "/only" + kSuffix + "\n");
  EXPECT_EQ(Texts(state.EntryNames), std::vector<std::string>{"only"});
  EXPECT_EQ(state.EntrySizesKB, std::vector<std::int64_t>{1});
  EXPECT_EQ(state.EntryCount, 1);
}

}  // namespace
}  // namespace vorlex
