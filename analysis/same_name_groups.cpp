// Second phase of the analysis: the groups of files with exactly equal names.
#include <algorithm>
#include <bit>
#include <cstdint>
#include <functional>
#include <string_view>
#include <vector>

#include "analysis/analysis_phases.h"
#include "app/shown_text.h"

namespace vorlex {
namespace {

constexpr std::uint32_t kNoGroup = 0xFFFFFFFF;

// For each slot, the first slot (in slot order) that holds the same name, by
// one pass through an open-addressing table of slots keyed by the exact name
// bytes. Empty names are never matched (they mark nothing to group) and get
// themselves. `repeated[s]` is set for each first slot whose name occurs again.
std::vector<std::uint32_t> FindFirstSlots(const ScanState& state, const AnalysisWork& work,
                                          ScanDisplay& display, std::vector<bool>& repeated) {
  const std::uint32_t count = work.FileCount;
  std::vector<std::uint32_t> first(count);
  repeated.assign(count, false);

  // Capacity: a power of two at least 1.5 times the files, so probe runs stay
  // short; a cell holds slot + 1, 0 is free.
  const std::size_t capacity = std::bit_ceil(std::size_t{count} + count / 2 + 1);
  const std::size_t mask = capacity - 1;
  std::vector<std::uint32_t> table(capacity, 0);
  const std::hash<std::string_view> hasher;
  auto name_of = [&](std::uint32_t slot) { return state.EntryNames[work.SlotEntries[slot]]; };

  // The progress bar counts the slots that could begin a group: every slot
  // but the last of its bucket.
  std::int64_t examined = 0;
  std::int64_t shown = -1;
  for (int b = 0; b < kBucketCount; ++b) {
    const std::uint32_t start = work.BucketStart[b];
    const std::uint32_t end = start + work.BucketCount[b];
    for (std::uint32_t slot = start; slot < end; ++slot) {
      first[slot] = slot;
      const std::string_view name = name_of(slot);
      if (!name.empty()) {
        std::size_t cell = hasher(name) & mask;
        while (true) {
          const std::uint32_t held = table[cell];
          if (held == 0) {
            table[cell] = slot + 1;
            break;
          }
          if (name_of(held - 1) == name) {
            first[slot] = held - 1;
            repeated[held - 1] = true;
            break;
          }
          cell = (cell + 1) & mask;
        }
      }
      if (slot + 1 < end) {
        ++examined;
        if (examined % kProgressStep == 0) {
          display.SetProgressPosition(examined);
          shown = examined;
        }
      }
    }
  }
  if (examined > 0 && shown != examined) display.SetProgressPosition(examined);
  return first;
}

}  // namespace

bool ShownLess(std::string_view a, std::string_view b) {
  const std::size_t common = std::min(a.size(), b.size());
  for (std::size_t i = 0; i < common; ++i) {
    auto shown = [](char c) {
      const auto byte = static_cast<unsigned char>(c);
      return IsControlByte(byte) ? static_cast<unsigned char>('?') : byte;
    };
    const unsigned char x = shown(a[i]);
    const unsigned char y = shown(b[i]);
    if (x != y) return x < y;
  }
  return a.size() < b.size();
}

void GroupSameNames(const ScanState& state, ScanDisplay& display, AnalysisWork& work) {
  std::vector<bool> repeated;
  std::vector<std::uint32_t> first = FindFirstSlots(state, work, display, repeated);

  // Number the groups by their first slot, which is the order in which a walk
  // through the slots meets them, and give every member its group's number
  // (first[] is reused: it becomes the group of each slot, or kNoGroup). A
  // later slot reads its group from its first slot, numbered before it.
  const std::uint32_t count = work.FileCount;
  std::vector<std::uint32_t> group_sizes;
  std::int64_t size_kb = 0;
  for (std::uint32_t slot = 0; slot < count; ++slot) {
    std::uint32_t group;
    if (first[slot] == slot) {
      if (!repeated[slot]) {
        first[slot] = kNoGroup;
        continue;
      }
      group = static_cast<std::uint32_t>(group_sizes.size());
      group_sizes.push_back(0);
    } else {
      group = first[first[slot]];
    }
    first[slot] = group;
    ++group_sizes[group];
    size_kb += state.EntrySizesKB[work.SlotEntries[slot]];
  }
  repeated = std::vector<bool>();

  // Place the members group by group (a counting sort by group number).
  const auto groups = static_cast<std::uint32_t>(group_sizes.size());
  work.GroupStart.assign(groups + 1, 0);
  for (std::uint32_t g = 0; g < groups; ++g) {
    work.GroupStart[g + 1] = work.GroupStart[g] + group_sizes[g];
  }
  group_sizes = std::vector<std::uint32_t>();
  const std::uint32_t members = work.GroupStart[groups];
  work.GroupMembers.assign(members, 0);
  {
    std::vector<std::uint32_t> fill(work.GroupStart.begin(), work.GroupStart.end() - 1);
    for (std::uint32_t slot = 0; slot < count; ++slot) {
      if (first[slot] != kNoGroup) work.GroupMembers[fill[first[slot]]++] = work.SlotEntries[slot];
    }
  }
  first = std::vector<std::uint32_t>();
  work.SlotEntries = std::vector<std::uint32_t>();

  // A group's lines share the name and the gap, so they sort by entry line.
  auto line_less = [&state](std::uint32_t a, std::uint32_t b) {
    return ShownLess(state.EntryPaths[a], state.EntryPaths[b]);
  };
  for (std::uint32_t g = 0; g < groups; ++g) {
    std::sort(work.GroupMembers.begin() + work.GroupStart[g],
              work.GroupMembers.begin() + work.GroupStart[g + 1], line_less);
  }

  work.GroupCount = groups;
  work.GroupedFileCount = members;
  work.GroupedSizeKB = size_kb;
}

}  // namespace vorlex
