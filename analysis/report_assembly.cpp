// Third phase of the analysis: the numbered report and the summary.
#include <algorithm>
#include <cstdint>
#include <cstring>
#include <numeric>
#include <string>
#include <vector>

#include "analysis/analysis_phases.h"
#include "app/shown_text.h"
#include "app/texts.h"

namespace vorlex {
namespace {

unsigned char FoldFirst(unsigned char byte) {
  return (byte >= 'a' && byte <= 'z') ? static_cast<unsigned char>(byte - 0x20) : byte;
}

// Appends one group line: the name as shown, the gap, the entry line as shown.
void AppendGroupLine(TextTable& lines, std::string_view name, std::string_view path) {
  const std::string_view gap = texts::kGroupLineGap;
  char* out = lines.push_back_uninitialized(name.size() + gap.size() + path.size());
  out = CopyShown(out, name);
  std::memcpy(out, gap.data(), gap.size());
  CopyShown(out + gap.size(), path);
}

}  // namespace

bool FoldedNameLess(std::string_view a, std::string_view b) {
  if (a.empty() || b.empty()) return a.empty() && !b.empty();
  const unsigned char x = FoldFirst(static_cast<unsigned char>(a.front()));
  const unsigned char y = FoldFirst(static_cast<unsigned char>(b.front()));
  if (x != y) return x < y;
  // std::string_view compares char_traits<char>, which is unsigned byte-wise.
  return a.substr(1) < b.substr(1);
}

void AssembleReport(ScanState& state, ScanDisplay& display, AnalysisWork& work) {
  const auto groups = static_cast<std::uint32_t>(work.GroupCount);
  display.SetProgressMaximum(groups);

  // Groups by folded name; equal keys (names differing only in the case of
  // their first letter) keep their finding order.
  std::vector<std::uint32_t> order(groups);
  std::iota(order.begin(), order.end(), 0u);
  auto name_of = [&](std::uint32_t g) {
    return state.EntryNames[work.GroupMembers[work.GroupStart[g]]];
  };
  std::stable_sort(order.begin(), order.end(), [&](std::uint32_t a, std::uint32_t b) {
    return FoldedNameLess(name_of(a), name_of(b));
  });
  if (groups > 0) display.SetProgressPosition(groups - 1);

  // Each group: its number, its own member lines, an empty line.
  state.ReportLines.clear();
  state.ReportLines.reserve(static_cast<std::size_t>(work.GroupedFileCount) + 2 * std::size_t{groups});
  for (std::uint32_t position = 0; position < groups; ++position) {
    const std::uint32_t g = order[position];
    state.ReportLines.push_back(std::to_string(std::uint64_t{position} + 1));
    const std::string_view name = name_of(g);
    for (std::uint32_t m = work.GroupStart[g]; m < work.GroupStart[g + 1]; ++m) {
      AppendGroupLine(state.ReportLines, name, state.EntryPaths[work.GroupMembers[m]]);
    }
    state.ReportLines.push_back("");
    if (position % kProgressStep == 0 || position + 1 == groups) {
      display.SetProgressPosition(position);
    }
  }
  state.EntryCount = groups > 0 ? static_cast<std::int64_t>(state.ReportLines.size()) - 1 : 0;

  display.ShowLabels();
  std::string summary(texts::kSummaryGroups);
  summary += std::to_string(work.GroupCount);
  summary += texts::kSummaryFiles;
  summary += std::to_string(work.GroupedFileCount);
  summary += texts::kSummarySize;
  summary += std::to_string(work.GroupedSizeKB);
  summary += texts::kSummaryUnit;
  display.SetSummaryCaption(summary);
}

}  // namespace vorlex
