// Third phase of the analysis: the numbered report and the summary.
#include <algorithm>
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "analysis/analysis_phases.h"
#include "analysis/prefetch.h"
#include "app/shown_text.h"
#include "app/texts.h"

namespace vorlex {
namespace {

unsigned char FoldFirst(unsigned char byte) {
  return (byte >= 'a' && byte <= 'z') ? static_cast<unsigned char>(byte - 0x20) : byte;
}

// Bytes `from` to `from` + 7 of the folded name as a big-endian number, zero
// filled. Two such numbers order names as FoldedNameLess does wherever they
// differ.
std::uint64_t FoldedPrefix(std::string_view name, std::size_t from) {
  std::uint64_t prefix = 0;
  for (std::size_t i = from; i < from + 8; ++i) {
    unsigned char byte = i < name.size() ? static_cast<unsigned char>(name[i]) : 0;
    if (i == 0) byte = FoldFirst(byte);
    prefix = (prefix << 8) | byte;
  }
  return prefix;
}

// Copies `text` to `out` with control bytes shown as "?"; returns the end.
// (A plain copy, then a pass over the copy that the compiler vectorises.)
char* CopyAsShown(char* out, std::string_view text) {
  if (text.empty()) return out;
  std::memcpy(out, text.data(), text.size());
  for (std::size_t i = 0; i < text.size(); ++i) {
    const auto byte = static_cast<unsigned char>(out[i]);
    out[i] = IsControlByte(byte) ? '?' : out[i];
  }
  return out + text.size();
}

// Appends one group line: the name as shown, the gap, the entry line as shown.
void AppendGroupLine(TextTable& lines, std::string_view name, std::string_view path) {
  const std::string_view gap = texts::kGroupLineGap;
  char* out = lines.push_back_uninitialized(name.size() + gap.size() + path.size());
  out = CopyAsShown(out, name);
  std::memcpy(out, gap.data(), gap.size());
  CopyAsShown(out + gap.size(), path);
}

// The groups in name order: by folded name, and in finding order where
// names differ only in the case of their first letter.
std::vector<std::uint32_t> OrderGroupsByName(const ScanState& state, const AnalysisWork& work) {
  const auto groups = static_cast<std::uint32_t>(work.GroupCount);
  const TextTable& names = state.EntryNames;
  auto entry_of = [&work](std::uint32_t g) { return work.GroupMembers[work.GroupStart[g]]; };

  // The first sixteen bytes decide most comparisons without reading names.
  struct Keyed {
    std::uint64_t head;
    std::uint64_t next;
    std::uint32_t group;
  };
  std::vector<Keyed> keyed(groups);
  for (std::uint32_t g = 0; g < groups; ++g) {
    if (g + kFetchAhead < groups) FetchIndexCell(names, entry_of(g + kFetchAhead));
    if (g + kFetchAhead / 2 < groups) FetchTextBytes(names, entry_of(g + kFetchAhead / 2));
    const std::string_view name = names[entry_of(g)];
    keyed[g] = {FoldedPrefix(name, 0), FoldedPrefix(name, 8), g};
  }
  // The group number breaks ties, which makes the sort keep finding order.
  std::sort(keyed.begin(), keyed.end(), [&](const Keyed& a, const Keyed& b) {
    if (a.head != b.head) return a.head < b.head;
    if (a.next != b.next) return a.next < b.next;
    const std::string_view x = names[entry_of(a.group)];
    const std::string_view y = names[entry_of(b.group)];
    if (FoldedNameLess(x, y)) return true;
    if (FoldedNameLess(y, x)) return false;
    return a.group < b.group;
  });
  std::vector<std::uint32_t> order(groups);
  for (std::uint32_t i = 0; i < groups; ++i) order[i] = keyed[i].group;
  return order;
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
  const std::vector<std::uint32_t> order = OrderGroupsByName(state, work);
  if (groups > 0) display.SetProgressPosition(groups - 1);

  // Each group: its number, its own member lines, an empty line. The names
  // and lines are scattered over the entry tables, so they are fetched a few
  // groups ahead.
  const TextTable& names = state.EntryNames;
  const TextTable& paths = state.EntryPaths;
  auto fetch = [&](std::uint32_t g, bool bytes) {
    const std::uint32_t* begin = work.GroupMembers.data() + work.GroupStart[g];
    const std::uint32_t* end = work.GroupMembers.data() + work.GroupStart[g + 1];
    if (bytes) FetchTextBytes(names, *begin);
    else FetchIndexCell(names, *begin);
    for (const std::uint32_t* m = begin; m != end; ++m) {
      if (bytes) FetchTextBytes(paths, *m);
      else FetchIndexCell(paths, *m);
    }
  };
  state.ReportLines.clear();
  for (std::uint32_t position = 0; position < groups; ++position) {
    if (position + 2 * kFetchAhead < groups) __builtin_prefetch(&work.GroupStart[order[position + 2 * kFetchAhead]]);
    if (position + 3 * kFetchAhead / 2 < groups) {
      __builtin_prefetch(&work.GroupMembers[work.GroupStart[order[position + 3 * kFetchAhead / 2]]]);
    }
    if (position + kFetchAhead < groups) fetch(order[position + kFetchAhead], false);
    if (position + kFetchAhead / 2 < groups) fetch(order[position + kFetchAhead / 2], true);
    const std::uint32_t g = order[position];
    state.ReportLines.push_back(std::to_string(std::uint64_t{position} + 1));
    const std::string_view name = names[work.GroupMembers[work.GroupStart[g]]];
    for (std::uint32_t m = work.GroupStart[g]; m < work.GroupStart[g + 1]; ++m) {
      AppendGroupLine(state.ReportLines, name, paths[work.GroupMembers[m]]);
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
