// The same-name analysis on small drives whose every result is known.
#include <gtest/gtest.h>

#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "analysis/analysis_phases.h"
#include "analysis/same_name_analysis.h"
#include "app/shown_text.h"
#include "app/texts.h"
#include "tests/analysis/analysis_fixture.h"

namespace vorlex::testing_analysis {
namespace {

constexpr std::string_view kGap = "       ";

// An entry line as the walk writes it, for a file of `dir` on /media/usb.
std::string EntryLine(const std::string& dir, const std::string& name, std::int64_t kb) {
  std::string shown;
  AppendShown(shown, name);
  return "/media/usb" + dir + "/" + shown + " . . . . . " + std::to_string(kb) +
         " KB 2017/10/29 19:04:38";
}

std::string GroupLine(const std::string& name, const std::string& entry_line) {
  std::string line;
  AppendShown(line, name);
  return line + std::string(kGap) + entry_line;
}

std::string Summary(int groups, int files, std::int64_t kb) {
  return std::string(texts::kSummaryGroups) + std::to_string(groups) +
         std::string(texts::kSummaryFiles) + std::to_string(files) +
         std::string(texts::kSummarySize) + std::to_string(kb) + std::string(texts::kSummaryUnit);
}

TEST(FirstLetterBucket, TakesTheFirstByteCaseFolded) {
  struct Case {
    std::string name;
    int bucket;
  };
  const std::vector<Case> cases = {
      {"", 0},        {"0abc", 0},  {" x", 0},    {"!x", 0},  {"@", 0},
      {"A", 1},       {"a", 1},     {"R.txt", 18}, {"r.txt", 18}, {"Z", 26},
      {"z", 26},      {"[", 27},    {"_x", 27},   {"`", 27},  {"{", 27},
      {"~a", 27},     {"\x7f", 27}, {"\x80", 27}, {"日本.txt", 27},
  };
  for (const Case& c : cases) EXPECT_EQ(FirstLetterBucket(c.name), c.bucket) << c.name;
}

TEST(PermuteByBuckets, FollowsTheCyclesThroughTheSlots) {
  struct Case {
    const char* what;
    std::vector<std::uint8_t> buckets;  // by entry, in walk order
    std::vector<std::uint32_t> slots;   // entry in each slot afterwards
  };
  const std::vector<Case> cases = {
      {"B1 A1 A2 becomes A2 A1 B1", {2, 1, 1}, {2, 1, 0}},
      {"A1 B1 A2 B2 A3 becomes A1 A3 A2 B1 B2", {1, 2, 1, 2, 1}, {0, 4, 2, 1, 3}},
      {"one cycle through three buckets", {27, 0, 1}, {1, 2, 0}},
      {"one bucket: nothing moves", {5, 5, 5}, {0, 1, 2}},
      {"already in bucket order: nothing moves", {0, 1, 1, 27}, {0, 1, 2, 3}},
      {"no entries", {}, {}},
  };
  for (const Case& c : cases) {
    std::array<std::uint32_t, kBucketCount> start{};
    std::array<std::uint32_t, kBucketCount> count{};
    EXPECT_EQ(PermuteByBuckets(c.buckets, start, count), c.slots) << c.what;
    std::uint32_t expected_start = 0;
    for (int b = 0; b < kBucketCount; ++b) {
      std::uint32_t expected_count = 0;
      for (std::uint8_t x : c.buckets) expected_count += x == b;
      EXPECT_EQ(start[b], expected_start) << c.what << " bucket " << b;
      EXPECT_EQ(count[b], expected_count) << c.what << " bucket " << b;
      expected_start += expected_count;
    }
  }
}

TEST(NameOrders, FoldTheFirstLetterOnlyAndShowControlBytes) {
  struct Case {
    std::string a, b;
    bool a_less, b_less;
  };
  const std::vector<Case> folded = {
      {"apple.txt", "readme.txt", true, false}, {"readme.txt", "Readme.txt", false, false},
      {"aB", "ab", true, false},                 {"x", "x.txt", true, false},
      {"xa", "Xb", true, false},                 {"9z", "b", true, false},
      {"z", "_b", true, false},                  {"_b", "~a", true, false},
      {"~a", "日本", true, false},               {"a\nb", "a?b", true, false},
  };
  for (const Case& c : folded) {
    EXPECT_EQ(FoldedNameLess(c.a, c.b), c.a_less) << c.a << " < " << c.b;
    EXPECT_EQ(FoldedNameLess(c.b, c.a), c.b_less) << c.b << " < " << c.a;
  }
  const std::vector<Case> shown = {
      {"/d0", "/d\x01", true, false},  // shown "/d?": '0' < '?'
      {"/d?", "/d\x01", false, false},
      {"/z", "/é", true, false},        // bytes from 0x80 up are large
      {"/d", "/d ", true, false},
      {"/D", "/d", true, false},
  };
  for (const Case& c : shown) {
    EXPECT_EQ(ShownLess(c.a, c.b), c.a_less) << c.a << " < " << c.b;
    EXPECT_EQ(ShownLess(c.b, c.a), c.b_less) << c.b << " < " << c.a;
  }
}

TEST(AnalyzeDuplicates, WholeScanOfTwoNamesakes) {
  ScanState state;
  const std::string root_line = "/media/usb/a.txt . . . . . 1 KB 2017/10/29 19:04:38";
  const std::string data_line = "/media/usb/Data/a.txt . . . . . 3 KB 2017/10/29 19:04:38";
  FillState(state, {{"a.txt", root_line, 1}, {"a.txt", data_line, 3}});
  RecordingDisplay display;
  AnalyzeDuplicates(state, display);

  const std::vector<std::string> report = {
      "1", "a.txt       " + data_line, "a.txt       " + root_line, ""};
  EXPECT_EQ(ReportOf(state), report);
  EXPECT_EQ(state.EntryCount, 3);
  EXPECT_EQ(state.ReportLines.size(), 4u);
  EXPECT_EQ(display.shown_report, report);
  const std::vector<std::string> calls = {
      "total:総ファイル数＝2",
      "max:2",
      "pos:1",  // one slot of bucket 1 examined
      "max:1",
      "pos:0",  // name order done
      "pos:0",  // block of group 0 written
      "labels",
      "summary:同名ファイル＝1組　　そのファイル数＝2    その合計サイズ＝4 KB",
      "report:3",
  };
  EXPECT_EQ(display.calls, calls);
}

TEST(AnalyzeDuplicates, NoGroupGivesTheOneLineReport) {
  struct Case {
    const char* what;
    std::vector<FileRow> rows;
  };
  const std::vector<Case> cases = {
      {"no file", {}},
      {"one file", {{"a.txt", EntryLine("", "a.txt", 1), 1}}},
      {"distinct names", {{"a.txt", EntryLine("", "a.txt", 1), 1}, {"b.txt", EntryLine("", "b.txt", 1), 1}}},
      {"names differing in case only",
       {{"readme.txt", EntryLine("", "readme.txt", 1), 1}, {"README.TXT", EntryLine("/d", "README.TXT", 1), 1}}},
      {"empty names never group", {{"", "/media/usb/x", 1}, {"", "/media/usb/y", 1}}},
  };
  for (const Case& c : cases) {
    ScanState state;
    for (int i = 0; i < 9; ++i) state.ReportLines.push_back("line of an earlier scan");
    FillState(state, c.rows);
    RecordingDisplay display;
    AnalyzeDuplicates(state, display);

    const std::vector<std::string> report = {std::string(texts::kNoSameName)};
    EXPECT_EQ(state.EntryCount, 0) << c.what;
    EXPECT_EQ(state.ReportLines.size(), 1u) << c.what;
    EXPECT_EQ(ReportOf(state), report) << c.what;
    EXPECT_EQ(display.shown_report, report) << c.what;
    EXPECT_EQ(display.file_total, "総ファイル数＝" + std::to_string(c.rows.size())) << c.what;
    EXPECT_EQ(display.summary, Summary(0, 0, 0)) << c.what;
    ASSERT_GE(display.calls.size(), 4u) << c.what;
    const std::vector<std::string> tail(display.calls.end() - 4, display.calls.end());
    const std::vector<std::string> expected_tail = {"max:0", "labels", "summary:" + Summary(0, 0, 0),
                                                    "report:0"};
    EXPECT_EQ(tail, expected_tail) << c.what;
  }
}

TEST(AnalyzeDuplicates, OrdersGroupsByFoldedNameWithOwnBlocks) {
  // Each name occurs twice, walked as listed; a file's line names its group
  // and its directory, and the second file walked sorts first in its block.
  struct Case {
    const char* what;
    std::vector<std::string> walked;
    std::vector<std::string> sorted;
  };
  const std::vector<Case> cases = {
      {"apple first, equal folded keys keep finding order",
       {"apple.txt", "readme.txt", "Readme.txt"}, {"apple.txt", "readme.txt", "Readme.txt"}},
      {"equal folded keys found the other way round",
       {"apple.txt", "Readme.txt", "readme.txt"}, {"apple.txt", "Readme.txt", "readme.txt"}},
      {"later letters keep their case", {"ab", "aB"}, {"aB", "ab"}},
      {"a name that begins another", {"x.txt", "x"}, {"x", "x.txt"}},
      {"one bucket, three names", {"xa", "Xb", "x"}, {"x", "xa", "Xb"}},
      {"digits first; _, ~ and Japanese after letters",
       {"日本.txt", "~a", "_b", "b", "9z"}, {"9z", "b", "_b", "~a", "日本.txt"}},
      {"seven spaces inside a name, found first", {"a       b", "a"}, {"a", "a       b"}},
      {"seven spaces inside a name, found second", {"a", "a       b"}, {"a", "a       b"}},
      {"a newline in a name groups by its exact bytes", {"a?b", "a\nb"}, {"a\nb", "a?b"}},
  };
  for (const Case& c : cases) {
    std::vector<FileRow> rows;
    auto line_of = [&](const std::string& name, int copy) {
      for (std::size_t i = 0; i < c.walked.size(); ++i) {
        if (c.walked[i] == name) return EntryLine("/g" + std::to_string(i) + "d" + std::to_string(copy), name, 1);
      }
      return std::string("not walked");
    };
    for (const std::string& name : c.walked) {
      rows.push_back({name, line_of(name, 2), 1});
      rows.push_back({name, line_of(name, 1), 1});
    }
    std::vector<std::string> report;
    for (std::size_t g = 0; g < c.sorted.size(); ++g) {
      report.push_back(std::to_string(g + 1));
      report.push_back(GroupLine(c.sorted[g], line_of(c.sorted[g], 1)));
      report.push_back(GroupLine(c.sorted[g], line_of(c.sorted[g], 2)));
      report.push_back("");
    }

    ScanState state;
    FillState(state, rows);
    RecordingDisplay display;
    AnalyzeDuplicates(state, display);
    EXPECT_EQ(ReportOf(state), report) << c.what;
    EXPECT_EQ(state.EntryCount, static_cast<std::int64_t>(report.size()) - 1) << c.what;
    const int groups = static_cast<int>(c.sorted.size());
    EXPECT_EQ(display.summary, Summary(groups, 2 * groups, 2 * groups)) << c.what;
  }
}

TEST(AnalyzeDuplicates, BucketOrderDecidesWhichOfEqualKeysIsFoundFirst) {
  // Walk order bx, ab, Ab, ab, Ab: the last Ab is carried into slot 0, so Ab
  // is met before ab and, with an equal folded key, keeps the first place.
  ScanState state;
  FillState(state, {{"bx", EntryLine("", "bx", 1), 1},
                    {"ab", EntryLine("/1", "ab", 1), 1},
                    {"Ab", EntryLine("/2", "Ab", 1), 1},
                    {"ab", EntryLine("/3", "ab", 1), 1},
                    {"Ab", EntryLine("/4", "Ab", 1), 1}});
  RecordingDisplay display;
  AnalyzeDuplicates(state, display);
  const std::vector<std::string> report = {
      "1", GroupLine("Ab", EntryLine("/2", "Ab", 1)), GroupLine("Ab", EntryLine("/4", "Ab", 1)), "",
      "2", GroupLine("ab", EntryLine("/1", "ab", 1)), GroupLine("ab", EntryLine("/3", "ab", 1)), ""};
  EXPECT_EQ(ReportOf(state), report);
}

TEST(AnalyzeDuplicates, NumbersTenAndMoreGroupsPlainly) {
  std::vector<FileRow> rows;
  for (int g = 0; g < 11; ++g) {
    const std::string name = "n" + std::to_string(100 + g) + ".txt";
    rows.push_back({name, EntryLine("/one", name, 1), 1});
    rows.push_back({name, EntryLine("/two", name, 1), 1});
  }
  ScanState state;
  FillState(state, rows);
  RecordingDisplay display;
  AnalyzeDuplicates(state, display);
  ASSERT_EQ(state.EntryCount, 43);
  for (int g = 0; g < 11; ++g) EXPECT_EQ(state.ReportLines[4 * g], std::to_string(g + 1));
  EXPECT_EQ(state.ReportLines[36], "10");
  EXPECT_EQ(state.ReportLines[40], "11");
  EXPECT_EQ(display.summary, Summary(11, 22, 22));
}

TEST(AnalyzeDuplicates, SortsMemberLinesAsShownAndCountsEveryMember) {
  const std::string f = "f.txt";
  const std::string g = "g.txt";
  ScanState state;
  FillState(state, {{f, EntryLine("/z", f, 1), 1},
                    {g, EntryLine("/b", g, 20), 20},
                    {f, EntryLine("/é", f, 2), 2},
                    {"solo", EntryLine("", "solo", 100), 100},
                    {f, EntryLine("/d\x01", f, 3), 3},
                    {g, EntryLine("/a", g, 10), 10},
                    {f, EntryLine("/d0", f, 4), 4}});
  RecordingDisplay display;
  AnalyzeDuplicates(state, display);
  const std::vector<std::string> report = {
      "1",
      GroupLine(f, EntryLine("/d0", f, 4)),
      GroupLine(f, EntryLine("/d?", f, 3)),  // the 0x01 is shown as "?"
      GroupLine(f, EntryLine("/z", f, 1)),
      GroupLine(f, EntryLine("/é", f, 2)),
      "",
      "2",
      GroupLine(g, EntryLine("/a", g, 10)),
      GroupLine(g, EntryLine("/b", g, 20)),
      "",
  };
  EXPECT_EQ(ReportOf(state), report);
  EXPECT_EQ(display.summary, Summary(2, 6, 40));
}

TEST(AnalyzeDuplicates, ReadsOnlyWhatEveryEntryTableHolds) {
  struct Case {
    const char* what;
    std::int64_t entry_count;
    std::size_t sizes;  // elements left in EntrySizesKB
    std::string total;
  };
  const std::vector<Case> cases = {
      {"count beyond the tables", 10, 4, "総ファイル数＝4"},
      {"negative count", -3, 4, "総ファイル数＝0"},
      {"a shorter size table", 4, 3, "総ファイル数＝3"},
  };
  for (const Case& c : cases) {
    ScanState state;
    FillState(state, {{"a", "/media/usb/a", 1}, {"b", "/media/usb/b", 1},
                      {"a", "/media/usb/d/a", 1}, {"b", "/media/usb/d/b", 1}});
    state.EntryCount = c.entry_count;
    state.EntrySizesKB.resize(c.sizes);
    RecordingDisplay display;
    AnalyzeDuplicates(state, display);
    EXPECT_EQ(display.file_total, c.total) << c.what;
    EXPECT_EQ(static_cast<std::int64_t>(state.ReportLines.size()), state.EntryCount + 1) << c.what;
  }
}

TEST(AnalyzeDuplicates, ThrottlesProgressAndEndsEachPhaseOnItsLastValue) {
  // 20000 files in bucket 14, 5000 names four times each.
  std::vector<FileRow> rows;
  for (int i = 0; i < 20000; ++i) {
    // Built by appending: GCC 12 misreads "literal" + std::string as overlapping.
    std::string name = "n";
    name += std::to_string(i % 5000);
    std::string dir = "/";
    dir += std::to_string(i);
    rows.push_back({name, EntryLine(dir, name, 1), 1});
  }
  ScanState state;
  FillState(state, rows);
  RecordingDisplay display;
  AnalyzeDuplicates(state, display);
  EXPECT_EQ(display.PositionsAfterMaximum(0), (std::vector<std::int64_t>{4096, 8192, 12288, 16384, 19999}));
  EXPECT_EQ(display.PositionsAfterMaximum(1), (std::vector<std::int64_t>{4999, 0, 4096, 4999}));
  EXPECT_EQ(state.EntryCount, 5000 * 6 - 1);  // number, four members, empty line
  EXPECT_EQ(display.summary, Summary(5000, 20000, 20000));
}

}  // namespace
}  // namespace vorlex::testing_analysis
