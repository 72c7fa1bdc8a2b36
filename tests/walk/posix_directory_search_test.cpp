#include "walk/posix_directory_search.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <string>
#include <vector>

#include "tests/support/fixture_tree.h"
#include "tests/walk/walk_test_util.h"

namespace vorlex {
namespace {

using testing::FixtureRow;
using testing::FixtureTree;
using testing::Joined;
using testing::UtcSeconds;

// Every entry the search delivers, one "name|attr|size|time" text each.
std::vector<std::string> ListAll(DirectorySearch& search, int depth, const std::string& name,
                                 int* result = nullptr) {
  std::vector<std::string> out;
  SearchRecord rec;
  int rc = search.FindFirst(depth, name, rec);
  if (result != nullptr) *result = rc;
  for (; rc == 0; rc = search.FindNext(rec)) {
    char attr[16];
    std::snprintf(attr, sizeof attr, "%#x", static_cast<unsigned>(rec.Attr));
    out.push_back(rec.Name + "|" + attr + "|" + std::to_string(rec.Size) + "|" +
                  std::to_string(rec.Time));
  }
  search.FindClose();
  return out;
}

std::string Entry(const std::string& name, int attr, std::int64_t size, std::int64_t time) {
  char text[16];
  std::snprintf(text, sizeof text, "%#x", static_cast<unsigned>(attr));
  return name + "|" + text + "|" + std::to_string(size) + "|" + std::to_string(time);
}

std::int64_t LstatSize(const std::string& path) {
  struct stat st;
  EXPECT_EQ(lstat(path.c_str(), &st), 0) << path;
  return st.st_size;
}

// Byte-wise order whatever the file system keeps; lstat semantics for type,
// size and time; directories 16, hidden ones 18; links, fifos and files are
// files (0x20); "." and ".." exactly 16.
TEST(PosixDirectorySearch, DeliversEveryEntryInByteOrderWithItsAttributes) {
  const std::int64_t t1 = UtcSeconds(2017, 10, 29, 19, 4, 38);
  const std::int64_t t2 = UtcSeconds(1969, 7, 20, 20, 17, 40);
  FixtureTree tree({{"b.txt", 100, t1},
                    {"Z", 5000000000, t2},
                    {" space", 1, t1},
                    {"\xc3\xa9t\xc3\xa9", 2, t1},
                    {"A/", 0, t1},
                    {".hid/", 0, t2},
                    {"link", 0, t1, "A"}});
  ASSERT_EQ(mkfifo(tree.Path("fifo").c_str(), 0644), 0);
  auto search = MakePosixDirectorySearch();
  int rc = -1;
  std::vector<std::string> entries = ListAll(*search, 0, tree.root(), &rc);
  EXPECT_EQ(rc, 0);
  struct stat fifo;
  ASSERT_EQ(lstat(tree.Path("fifo").c_str(), &fifo), 0);
  std::vector<std::string> expected = {
      Entry(" space", 0x20, 1, t1),
      Entry(".", 0x10, 0, 0),
      Entry("..", 0x10, 0, 0),
      Entry(".hid", 0x12, LstatSize(tree.Path(".hid")), t2),
      Entry("A", 0x10, LstatSize(tree.Path("A")), t1),
      Entry("Z", 0x20, 5000000000, t2),
      Entry("b.txt", 0x20, 100, t1),
      Entry("fifo", 0x20, 0, fifo.st_mtim.tv_sec),
      Entry("link", 0x20, 1, t1),
      Entry("\xc3\xa9t\xc3\xa9", 0x20, 2, t1),
  };
  EXPECT_EQ(Joined(entries), Joined(expected));
  SearchRecord rec;
  EXPECT_NE(search->FindNext(rec), 0) << "a closed search delivers nothing more";
}

// A directory at depth d is opened inside the one last started at d - 1;
// starting a depth again forgets everything below it.
TEST(PosixDirectorySearch, OpensEachDepthInsideTheDirectoryLastStartedAbove) {
  FixtureTree tree({{"A/B/in_ab"}, {"C/in_c"}});
  auto search = MakePosixDirectorySearch();
  auto names = [](const std::vector<std::string>& entries) {
    std::vector<std::string> out;
    for (const std::string& e : entries) out.push_back(e.substr(0, e.find('|')));
    return out;
  };
  ASSERT_EQ(names(ListAll(*search, 0, tree.root())),
            (std::vector<std::string>{".", "..", "A", "C"}));
  EXPECT_EQ(names(ListAll(*search, 1, "A")), (std::vector<std::string>{".", "..", "B"}));
  EXPECT_EQ(names(ListAll(*search, 2, "B")), (std::vector<std::string>{".", "..", "in_ab"}));
  EXPECT_EQ(names(ListAll(*search, 1, "C")), (std::vector<std::string>{".", "..", "in_c"}));
  int rc = 0;
  EXPECT_TRUE(ListAll(*search, 2, "B", &rc).empty());
  EXPECT_EQ(rc, ENOENT) << "B lies in A, not in C";
  EXPECT_TRUE(ListAll(*search, 3, "x", &rc).empty());
  EXPECT_NE(rc, 0) << "depth 3 has no open parent";
  ListAll(*search, 0, tree.root());
  EXPECT_TRUE(ListAll(*search, 2, "B", &rc).empty());
  EXPECT_NE(rc, 0) << "restarting depth 0 closed depth 1";
}

TEST(PosixDirectorySearch, RefusesWhatIsNotADirectoryOfItsOwn) {
  FixtureTree tree({{"dir/"}, {"file"}, {"link", 0, 0, "dir"}, {"loop", 0, 0, "loop"}});
  struct Row {
    int depth;
    std::string name;
    int error;
  };
  const std::vector<Row> rows = {
      {0, tree.Path("missing"), ENOENT},
      {0, tree.Path("file"), ENOTDIR},
      {1, "missing", ENOENT},
      {1, "file", ENOTDIR},
      {1, "link", ENOTDIR},  // a link is never followed below the root
      {1, "loop", ENOTDIR},
      {1, ".", EINVAL},
      {1, "..", EINVAL},
      {1, "dir/..", EINVAL},
      {1, "", EINVAL},
      {1, std::string("dir\0x", 5), EINVAL},
      {1, std::string(256, 'n'), ENAMETOOLONG},
      {-1, "dir", EINVAL},
  };
  auto search = MakePosixDirectorySearch();
  for (const Row& row : rows) {
    ASSERT_FALSE(ListAll(*search, 0, tree.root()).empty());
    int rc = 0;
    EXPECT_TRUE(ListAll(*search, row.depth, row.name, &rc).empty()) << row.name;
    EXPECT_EQ(rc, row.error) << row.depth << " " << row.name;
  }
}

// More entries than one getdents64 buffer holds, with the longest names a
// file system allows.
TEST(PosixDirectorySearch, ReadsADirectoryLargerThanOneBuffer) {
  std::vector<FixtureRow> rows;
  std::vector<std::string> expected = {".", ".."};
  for (int i = 0; i < 1500; ++i) {
    std::string name = std::to_string(i * 7919 % 1500);
    name += std::string(255 - name.size(), 'x');
    rows.push_back({name});
    expected.push_back(name);
  }
  std::sort(expected.begin(), expected.end());
  FixtureTree tree(rows);
  auto search = MakePosixDirectorySearch();
  std::vector<std::string> names;
  for (const std::string& e : ListAll(*search, 0, tree.root())) {
    names.push_back(e.substr(0, e.find('|')));
  }
  EXPECT_EQ(names, expected);
}

TEST(PosixDirectorySearch, ReportsAnUnreadableDirectory) {
  if (geteuid() == 0) GTEST_SKIP() << "root reads every directory";
  FixtureTree tree({{"closed/inside"}});
  tree.MakeUnreadable("closed");
  auto search = MakePosixDirectorySearch();
  ASSERT_FALSE(ListAll(*search, 0, tree.root()).empty());
  int rc = 0;
  EXPECT_TRUE(ListAll(*search, 1, "closed", &rc).empty());
  EXPECT_EQ(rc, EACCES);
}

}  // namespace
}  // namespace vorlex
