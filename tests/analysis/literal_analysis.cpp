#include "tests/analysis/literal_analysis.h"

#include <utility>

#include "app/shown_text.h"
#include "app/texts.h"

namespace vorlex::testing_analysis {
namespace {

struct Entry {
  std::string name;
  std::string path;
  std::int64_t size_kb = 0;
  int bucket = 0;
};

int BucketOf(const std::string& name) {
  if (name.empty()) return 0;
  const auto first = static_cast<unsigned char>(name[0]);
  if (first < 0x41) return 0;
  if (first <= 0x5A) return first - 64;
  if (first >= 0x61 && first <= 0x7A) return first - 96;
  return 27;
}

std::string Shown(const std::string& text) {
  std::string out;
  AppendShown(out, text);
  return out;
}

std::string FoldedKey(std::string name) {
  if (!name.empty() && name[0] >= 'a' && name[0] <= 'z') name[0] = static_cast<char>(name[0] - 0x20);
  return name;
}

}  // namespace

LiteralResult LiteralAnalysis(const std::vector<FileRow>& rows) {
  LiteralResult result;
  const int n = static_cast<int>(rows.size());
  std::vector<Entry> slots;
  for (const FileRow& row : rows) slots.push_back({row.name, row.path, row.size_kb, BucketOf(row.name)});
  result.file_total = std::string(texts::kFileTotal) + std::to_string(n);

  // Buckets: counts, starts, targets, then the cycles, moving whole entries.
  int count[28] = {};
  int start[28];
  int next[28];
  for (const Entry& e : slots) ++count[e.bucket];
  int sum = 0;
  for (int b = 0; b < 28; ++b) {
    start[b] = next[b] = sum;
    sum += count[b];
  }
  std::vector<int> target;
  for (int b = 0; b < 28; ++b) target.insert(target.end(), count[b], b);
  for (int i = 0; i < n; ++i) {
    if (slots[i].bucket == target[i]) continue;
    Entry carried = std::move(slots[i]);
    while (carried.bucket != target[i]) {
      int p = next[carried.bucket]++;
      std::swap(slots[p], carried);
    }
    slots[i] = std::move(carried);
  }

  // Grouping: pairwise tests inside each bucket; a taken name becomes "".
  std::vector<std::string> lines;
  std::vector<int> line_group;  // the group each line was written for
  std::vector<std::string> group_names;
  std::int64_t files = 0;
  std::int64_t size_kb = 0;
  for (int b = 0; b < 28; ++b) {
    const int s = start[b];
    const int e = start[b] + count[b];
    for (int r = s; r < e - 1; ++r) {
      ++result.examined;
      if (slots[r].name.empty()) continue;
      const int group = static_cast<int>(group_names.size());
      int found = 0;
      for (int j = r + 1; j < e; ++j) {
        if (slots[j].name != slots[r].name) continue;
        lines.push_back(Shown(slots[j].name) + "       " + Shown(slots[j].path));
        line_group.push_back(group);
        size_kb += slots[j].size_kb;
        slots[j].name.clear();
        ++found;
        ++files;
      }
      if (found == 0) continue;
      lines.push_back(Shown(slots[r].name) + "       " + Shown(slots[r].path));
      line_group.push_back(group);
      size_kb += slots[r].size_kb;
      ++files;
      const int last = static_cast<int>(lines.size()) - 1;
      for (int pass = 0; pass < found; ++pass) {
        for (int k = last - found; k < last; ++k) {
          if (lines[k] > lines[k + 1]) std::swap(lines[k], lines[k + 1]);
        }
      }
      group_names.push_back(slots[r].name);
      slots[r].name.clear();
    }
  }

  // Staging with an end mark, the name order, then one block per group.
  std::vector<std::string> staged = lines;
  std::vector<int> staged_group = line_group;
  staged.push_back("");
  staged_group.push_back(-1);
  const int groups = static_cast<int>(group_names.size());
  std::vector<int> order;
  for (int g = 0; g < groups; ++g) order.push_back(g);
  for (int pass = 0; pass < groups; ++pass) {
    for (int j = 0; j + 1 < groups; ++j) {
      if (FoldedKey(group_names[order[j]]) > FoldedKey(group_names[order[j + 1]])) {
        std::swap(order[j], order[j + 1]);
      }
    }
  }
  for (int g = 0; g < groups; ++g) {
    result.report.push_back(std::to_string(g + 1));
    int s = 0;
    while (staged_group[s] != order[g]) ++s;
    while (staged_group[s] == order[g]) result.report.push_back(staged[s++]);
    result.report.push_back("");
  }
  result.entry_count = groups > 0 ? static_cast<std::int64_t>(result.report.size()) - 1 : 0;
  if (groups == 0) result.report = {std::string(texts::kNoSameName)};

  result.summary = std::string(texts::kSummaryGroups) + std::to_string(groups) +
                   std::string(texts::kSummaryFiles) + std::to_string(files) +
                   std::string(texts::kSummarySize) + std::to_string(size_kb) +
                   std::string(texts::kSummaryUnit);
  return result;
}

}  // namespace vorlex::testing_analysis
