// The fast analysis against the literal model, on many random small drives
// full of repeated names and names that differ only in case or by a byte that
// is shown as "?".
#include <gtest/gtest.h>

#include <cstdint>
#include <random>
#include <string>
#include <vector>

#include "analysis/analysis_phases.h"
#include "analysis/same_name_analysis.h"
#include "tests/analysis/analysis_fixture.h"
#include "tests/analysis/literal_analysis.h"

namespace vorlex::testing_analysis {
namespace {

const std::vector<std::string>& NamePool() {
  static const std::vector<std::string> pool = {
      "a", "A", "ab", "aB", "Ab", "AB", "abc", "b", "B", "x", "x.txt", "X.txt",
      "a       b", "a       ", "a       b       c", "1", "10", "9z", "!", " a",
      "_x", "_", "~", "[", "`", "{", "\x7f" "a", "日本", "日本.txt", "é", "z", "Z",
      "a\nb", "a?b", "a\tb", "\x01", "", "readme.txt", "Readme.txt", "README.TXT"};
  return pool;
}

const std::vector<std::string>& DirPool() {
  static const std::vector<std::string> pool = {
      "/media/usb", "/media/usb/Data", "/media/usb/data", "/media/usb/D?",
      "/media/usb/D\x01", "/media/usb/é", "/media/usb/z", "/media/usb/Data/a b"};
  return pool;
}

std::vector<FileRow> RandomDrive(std::mt19937& random, int min_files, int max_files,
                                 int name_variety) {
  const int files = std::uniform_int_distribution<int>(min_files, max_files)(random);
  // A small slice of the pool per drive, so names repeat heavily.
  const auto& names = NamePool();
  const int first = std::uniform_int_distribution<int>(0, static_cast<int>(names.size()) - 1)(random);
  const auto& dirs = DirPool();
  std::vector<FileRow> rows;
  for (int i = 0; i < files; ++i) {
    const int pick = std::uniform_int_distribution<int>(0, name_variety - 1)(random);
    std::string name = names[(first + pick) % names.size()];
    const std::string& dir = dirs[std::uniform_int_distribution<int>(0, static_cast<int>(dirs.size()) - 1)(random)];
    const std::int64_t size = std::uniform_int_distribution<int>(1, 5000)(random);
    std::string path = dir + "/" + name + " . . . . . " + std::to_string(size) + " KB 2017/10/29 19:04:38";
    rows.push_back({name, path, size});
  }
  return rows;
}

// Runs the phases as AnalyzeDuplicates does, with the given name hash.
void AnalyzeWithHash(ScanState& state, ScanDisplay& display, NameHash hash) {
  AnalysisWork work;
  work.Hash = hash;
  SortEntriesByFirstLetter(state, display, work);
  GroupSameNames(state, display, work);
  AssembleReport(state, display, work);
  ShowReport(state, display);
}

void ExpectSameAsLiteral(const std::vector<FileRow>& rows, const std::string& what,
                         NameHash hash = HashName) {
  ScanState state;
  FillState(state, rows);
  RecordingDisplay display;
  if (hash == HashName) {
    AnalyzeDuplicates(state, display);
  } else {
    AnalyzeWithHash(state, display, hash);
  }
  const LiteralResult expected = LiteralAnalysis(rows);

  ASSERT_EQ(state.EntryCount, expected.entry_count) << what;
  ASSERT_EQ(state.ReportLines.size(), expected.report.size()) << what;
  ASSERT_EQ(ReportOf(state), expected.report) << what;
  ASSERT_EQ(display.file_total, expected.file_total) << what;
  ASSERT_EQ(display.summary, expected.summary) << what;
  const auto grouping = display.PositionsAfterMaximum(0);
  if (expected.examined == 0) {
    ASSERT_TRUE(grouping.empty()) << what;
  } else {
    ASSERT_FALSE(grouping.empty()) << what;
    ASSERT_EQ(grouping.back(), expected.examined) << what;
  }
}

TEST(AnalysisAgainstLiteralModel, ManySmallDrivesGiveTheSameReport) {
  std::mt19937 random(20171029);
  for (int round = 0; round < 4000; ++round) {
    const int variety = std::uniform_int_distribution<int>(1, 12)(random);
    const auto rows = RandomDrive(random, 0, 40, variety);
    ExpectSameAsLiteral(rows, "round " + std::to_string(round));
    if (HasFatalFailure()) return;
  }
}

TEST(AnalysisAgainstLiteralModel, LargerDrivesGiveTheSameReport) {
  // Past the progress step, with groups of hundreds of members.
  std::mt19937 random(4096);
  for (int round = 0; round < 3; ++round) {
    const auto rows = RandomDrive(random, 6000, 9000, static_cast<int>(NamePool().size()));
    ExpectSameAsLiteral(rows, "large round " + std::to_string(round));
    if (HasFatalFailure()) return;
  }
}

TEST(AnalysisAgainstLiteralModel, GroupsDoNotDependOnTheHash) {
  // Every name in one probe run, and names that share a hash except in
  // its lower bits: equal hashes must never make different names one group.
  const std::vector<std::pair<const char*, NameHash>> hashes = {
      {"one hash for all", [](std::string_view) -> std::uint64_t { return 42; }},
      {"upper half only", [](std::string_view name) -> std::uint64_t {
         return std::uint64_t{7} << 32 | (name.size() % 3);
       }},
  };
  std::mt19937 random(77);
  for (const auto& [what, hash] : hashes) {
    for (int round = 0; round < 300; ++round) {
      const auto rows = RandomDrive(random, 0, 40, 12);
      ExpectSameAsLiteral(rows, std::string(what) + " round " + std::to_string(round), hash);
      if (HasFatalFailure()) return;
    }
  }
}

}  // namespace
}  // namespace vorlex::testing_analysis
