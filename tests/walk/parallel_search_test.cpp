// The search examines large directories on several threads; what it delivers
// must not depend on how many.
#include <dirent.h>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstdio>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "tests/support/fixture_tree.h"
#include "tests/walk/walk_test_util.h"
#include "walk/posix_directory_search.h"
#include "walk/tree_walk.h"
#include "walk/worker_pool.h"

namespace vorlex {
namespace {

using testing::FixtureRow;
using testing::FixtureTree;
using testing::Joined;
using testing::RecordingDisplay;
using testing::UtcSeconds;

const std::int64_t kWhen = UtcSeconds(2017, 10, 29, 19, 4, 38);

// Every slice of every loop is run exactly once and covers only its own
// indices, whatever the number of workers, the count and the slice length.
TEST(WorkerPool, RunsEveryIndexExactlyOnce) {
  struct Row {
    std::size_t count;
    std::size_t slice;
  };
  const std::vector<Row> rows = {{0, 16}, {1, 16}, {15, 16}, {16, 16}, {17, 16},
                                 {1000, 16}, {1000, 1}, {5, 0}, {333, 7}};
  for (unsigned workers : {0u, 1u, 3u}) {
    WorkerPool pool(workers);
    EXPECT_EQ(pool.workers(), workers);
    for (const Row& row : rows) {
      std::vector<int> hits(row.count, 0);
      std::atomic<bool> bad_slice{false};
      auto body = [&](std::size_t begin, std::size_t end) {
        if (begin >= end || end > row.count || end - begin > std::max<std::size_t>(row.slice, 1)) {
          bad_slice = true;
          return;
        }
        for (std::size_t i = begin; i < end; ++i) ++hits[i];
      };
      pool.ForEachSlice(row.count, row.slice, body);
      EXPECT_FALSE(bad_slice) << workers << " workers, " << row.count << "/" << row.slice;
      EXPECT_EQ(hits, std::vector<int>(row.count, 1))
          << workers << " workers, " << row.count << "/" << row.slice;
    }
  }
}

// Loop after loop, with the writes of each visible to the caller when it
// returns: a lost wake-up hangs here, a worker still inside the previous
// loop shows up as a wrong sum (or as a race under a thread sanitizer).
TEST(WorkerPool, RunsManyLoopsInARowAndStopsCleanly) {
  for (int pools = 0; pools < 20; ++pools) {
    WorkerPool idle(2);  // started and joined without ever working
  }
  WorkerPool pool(3);
  std::vector<long> values(96);
  for (int loop = 0; loop < 3000; ++loop) {
    auto body = [&](std::size_t begin, std::size_t end) {
      for (std::size_t i = begin; i < end; ++i) values[i] = loop + static_cast<long>(i);
    };
    pool.ForEachSlice(values.size(), 4, body);
    long sum = 0;
    for (long v : values) sum += v;
    const long n = static_cast<long>(values.size());
    ASSERT_EQ(sum, n * loop + n * (n - 1) / 2) << "loop " << loop;
  }
}

// Every entry of a directory as "name|attr|size|time", one per line.
std::string ListAll(DirectorySearch& search, int depth, const std::string& name) {
  std::string out;
  SearchRecord rec;
  int rc = search.FindFirst(depth, name, rec);
  out += "start " + std::to_string(rc) + "\n";
  for (; rc == 0; rc = search.FindNext(rec)) {
    char attr[16];
    std::snprintf(attr, sizeof attr, "%#x", static_cast<unsigned>(rec.Attr));
    out += rec.Name + "|" + attr + "|" + std::to_string(rec.Size) + "|" +
           std::to_string(rec.Time) + "\n";
  }
  search.FindClose();
  return out;
}

int OpenDescriptorCount() {
  int count = 0;
  if (DIR* dir = opendir("/proc/self/fd")) {
    while (readdir(dir) != nullptr) ++count;
    closedir(dir);
  }
  return count;
}

// A tree whose directories hold a few hundred entries each: files of many
// sizes and times, names with blanks, control bytes, bytes that are not
// UTF-8 and the longest length allowed, hidden directories, links to a
// directory, to nowhere and to themselves, fifos, and subdirectories that
// are large themselves.
std::vector<FixtureRow> WideTreeRows() {
  std::vector<FixtureRow> rows;
  auto time_of = [](int i) { return kWhen + std::int64_t{i} * 86399 - 40 * 86400 * 365LL; };
  for (int i = 0; i < 260; ++i) {
    char name[32];
    std::snprintf(name, sizeof name, "f%03d.txt", (i * 7919) % 1000);
    rows.push_back({name, std::int64_t{i} * 1023, time_of(i)});
  }
  const std::vector<std::string> odd = {
      " lead blank", "trail blank ", "two  blanks", "line\nbreak", "tab\there", "del\x7f",
      "\xff\xfe not utf8", "\xc3\xa9t\xc3\xa9", std::string(255, 'L'), "-dash", "~tilde",
      "several.dots.in.name", "NoExtension", "UPPER.TXT", "upper.txt"};
  for (std::size_t i = 0; i < odd.size(); ++i) {
    rows.push_back({odd[i], static_cast<std::int64_t>(i) * 5000, time_of(static_cast<int>(i))});
  }
  rows.push_back({"huge.bin", std::int64_t{5} << 30, kWhen});
  rows.push_back({"link_dir", 0, kWhen, "big"});
  rows.push_back({"link_nowhere", 0, kWhen, "no/such/target"});
  rows.push_back({"link_self", 0, kWhen, "link_self"});
  for (int d = 0; d < 12; ++d) {
    std::string sub = "big/sub" + std::to_string(d);
    for (int i = 0; i < 90 + 20 * d; ++i) {
      rows.push_back({sub + "/g" + std::to_string(i % 50) + "_" + std::to_string(i), i * 11,
                      time_of(d * 300 + i)});
    }
  }
  for (int i = 0; i < 150; ++i) {
    rows.push_back({"big/file" + std::to_string(i), i, time_of(i)});
    if (i % 10 == 0) rows.push_back({"big/.hidden" + std::to_string(i) + "/inside.txt", 1, kWhen});
  }
  rows.push_back({"big/\x01ctl dir/f000.txt", 3, kWhen});
  rows.push_back({"big/loop", 0, kWhen, ".."});
  for (int i = 0; i < 120; ++i) {
    rows.push_back({"Program Files/p" + std::to_string(i) + ".dll", i * 4096, time_of(i)});
  }
  rows.push_back({".hidden_root/", 0, kWhen});
  rows.push_back({"empty/", 0, kWhen});
  // Deeper than a walk goes: the directories below depth 9 are not entered.
  std::string deep;
  for (int depth = 1; depth <= 11; ++depth) {
    deep += "d" + std::to_string(depth) + "/";
    rows.push_back({deep + "f", depth, kWhen});
    if (depth % 3 == 0) rows.push_back({deep + "side/f", depth, kWhen});
  }
  return rows;
}

// The whole walk (entry lines, names, sizes, progress, what each listing
// delivered) is byte for byte the same for one thread and for several, and
// no search leaves a descriptor open.
TEST(ParallelSearch, DeliversExactlyWhatTheSerialSearchDelivers) {
  FixtureTree tree(WideTreeRows());
  for (const char* fifo : {"fifo", "big/fifo"}) {
    ASSERT_EQ(mkfifo(tree.Path(fifo).c_str(), 0644), 0);
  }
  const int descriptors = OpenDescriptorCount();

  struct Result {
    std::string lines, names, sizes, progress, listings;
  };
  auto run = [&tree](unsigned threads) {
    Result result;
    auto search = MakePosixDirectorySearch(threads);
    ScanState state;
    state.DrivePrefix = tree.root();
    RecordingDisplay display;
    WalkDrive(state, *search, display);
    result.lines = Joined(state.EntryPaths);
    result.names = Joined(state.EntryNames);
    for (std::int64_t kb : state.EntrySizesKB) result.sizes += std::to_string(kb) + "\n";
    for (auto [files, dirs] : display.progress) {
      result.progress += std::to_string(files) + " " + std::to_string(dirs) + "\n";
    }
    result.listings = ListAll(*search, 0, tree.root()) + ListAll(*search, 1, "big") +
                      ListAll(*search, 2, "sub11") + ListAll(*search, 1, "Program Files");
    return result;
  };

  const Result serial = run(1);
  // Guard against comparing two empty walks: every file of the tree is there
  // (root 281, big 167, its control-byte directory 1, its subdirectories
  // 2400, Program Files 120, the deep chain 9 + 2).
  ASSERT_EQ(std::count(serial.lines.begin(), serial.lines.end(), '\n'), 2980);
  ASSERT_NE(serial.listings.find("start 0\n.|0x10|0|0\n"), std::string::npos);
  for (unsigned threads : {2u, 3u, 8u}) {
    const Result parallel = run(threads);
    EXPECT_EQ(parallel.lines, serial.lines) << threads << " threads";
    EXPECT_EQ(parallel.names, serial.names) << threads << " threads";
    EXPECT_EQ(parallel.sizes, serial.sizes) << threads << " threads";
    EXPECT_EQ(parallel.progress, serial.progress) << threads << " threads";
    EXPECT_EQ(parallel.listings, serial.listings) << threads << " threads";
  }
  EXPECT_EQ(OpenDescriptorCount(), descriptors);
}

// A caller that does not go depth first (skips a directory, goes back, starts
// one twice, names one that fails, starts a depth without a parent) gets
// from each start exactly what the serial search gives, and a search
// destroyed with a directory read ahead leaves no descriptor open.
TEST(ParallelSearch, AnswersEveryOrderOfStartsAsTheSerialSearchDoes) {
  FixtureTree tree({{"A/A1/x", 1, kWhen},
                    {"A/A2/y", 2, kWhen},
                    {"A/A3/", 0, kWhen},
                    {"B/B1/B11/z", 3, kWhen},
                    {"C", 4, kWhen},
                    {"D/.hidden/w", 5, kWhen},
                    {"D/link", 0, kWhen, "../A"},
                    {"E/", 0, kWhen}});
  struct Start {
    int depth;
    std::string name;
  };
  const std::vector<Start> script = {
      {0, tree.root()},  {1, "A"},          {2, "A2"},         {2, "A1"},
      {2, "A1"},         {1, "B"},          {3, "B11"},        {2, "B1"},
      {3, "B11"},        {1, "C"},          {1, "missing"},    {2147483647, "A"},
      {2, "A1"},         {1, "D"},          {2, ".hidden"},    {2, "link"},
      {1, "E"},          {0, tree.root()},  {1, "Program Files"}, {1, "A"},
      {0, tree.Path("C")}, {1, "A"},        {0, tree.root()},  {1, "A"},
      {2, "A1"}};
  const int descriptors = OpenDescriptorCount();
  {
    auto serial = MakePosixDirectorySearch(1);
    auto parallel = MakePosixDirectorySearch(3);
    for (std::size_t i = 0; i < script.size(); ++i) {
      const Start& start = script[i];
      std::string expected = ListAll(*serial, start.depth, start.name);
      EXPECT_EQ(ListAll(*parallel, start.depth, start.name), expected)
          << "start " << i << ": " << start.depth << " " << start.name;
    }
    // The script ends with A1 listed: A2 is read ahead now.
  }
  EXPECT_EQ(OpenDescriptorCount(), descriptors);
}

// Entries that vanish between reading the names and examining them are left
// out, and only they: while another thread keeps removing and putting back
// the "gone" files, every listing holds each "keep" file with its own size,
// no hole and no stale entry, in byte-wise order.
TEST(ParallelSearch, LeavesOutEntriesThatVanishWhileListed) {
  constexpr int kFiles = 200;
  std::vector<FixtureRow> rows = {{"churn/"}, {"stage/"}};
  for (int i = 0; i < kFiles; ++i) {
    char name[32];
    std::snprintf(name, sizeof name, "keep_%03d", i);
    rows.push_back({std::string("churn/") + name, i, kWhen});
  }
  FixtureTree tree(rows);
  const std::string churn = tree.Path("churn");
  const std::string stage = tree.Path("stage");
  auto gone_name = [](int i) {
    char name[32];
    std::snprintf(name, sizeof name, "gone_%03d", i);
    return std::string(name);
  };

  // A "gone" file is made full size in the stage directory and renamed in,
  // so it is never seen in the listed directory with another size.
  std::atomic<bool> stop{false};
  std::atomic<int> rounds{0};
  std::thread churner([&] {
    while (!stop) {
      for (int i = 0; i < kFiles && !stop; ++i) {
        std::string staged = stage + "/" + gone_name(i);
        int fd = open(staged.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
        if (fd < 0) continue;
        bool sized = ftruncate(fd, 1000 + i) == 0;
        close(fd);
        if (sized) rename(staged.c_str(), (churn + "/" + gone_name(i)).c_str());
      }
      for (int i = 0; i < kFiles && !stop; ++i) unlink((churn + "/" + gone_name(i)).c_str());
      ++rounds;
    }
  });

  int fd = open(churn.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  struct stat root;
  bool opened = fd >= 0 && fstat(fd, &root) == 0;
  WorkerPool pool(3);
  std::string failures;
  int partial = 0;
  for (int listing = 0; opened && listing < 300 && failures.empty(); ++listing) {
    DirectoryListing out;
    if (int rc = ReadDirectoryListing(fd, root.st_dev, out, &pool); rc != 0) {
      failures = "listing failed: " + std::to_string(rc);
      break;
    }
    std::set<int> kept;
    int gone = 0;
    std::string_view previous;
    for (std::size_t k = 0; k < out.entries.size(); ++k) {
      const ListedEntry& entry = out.entries[k];
      std::string_view name = out.NameOf(entry);
      std::string at = "listing " + std::to_string(listing) + ", " + std::string(name) + ": ";
      if (k > 0 && !(previous < name)) failures += at + "out of order\n";
      previous = name;
      if (name == "." || name == "..") {
        if (entry.attr != kAttrDirectory) failures += at + "not a directory\n";
        continue;
      }
      int number = name.size() == 8 ? std::atoi(std::string(name.substr(5)).c_str()) : -1;
      bool keep = name.starts_with("keep_");
      bool gone_file = name.starts_with("gone_");
      if ((!keep && !gone_file) || number < 0 || number >= kFiles) {
        failures += at + "unexpected entry\n";
      } else if (entry.attr != kAttrArchive || entry.size != (keep ? number : 1000 + number)) {
        failures += at + "attr " + std::to_string(entry.attr) + " size " +
                    std::to_string(entry.size) + "\n";
      } else if (keep) {
        kept.insert(number);
      } else {
        ++gone;
      }
    }
    if (static_cast<int>(kept.size()) != kFiles) {
      failures += "listing " + std::to_string(listing) + ": " + std::to_string(kept.size()) +
                  " keep files\n";
    }
    if (gone > 0 && gone < kFiles) ++partial;
  }
  stop = true;
  churner.join();
  if (fd >= 0) close(fd);
  ASSERT_TRUE(opened) << churn;
  EXPECT_EQ(failures, "");
  // How often the race was really met depends on the scheduler.
  RecordProperty("partial_listings", partial);
  RecordProperty("churn_rounds", rounds.load());
}

}  // namespace
}  // namespace vorlex
