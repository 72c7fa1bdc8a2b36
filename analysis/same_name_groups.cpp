// Second phase of the analysis: the groups of files with exactly equal names.
#include <algorithm>
#include <bit>
#include <cstdint>
#include <functional>
#include <string_view>
#include <utility>
#include <vector>

#include "analysis/analysis_phases.h"
#include "analysis/prefetch.h"
#include "app/shown_text.h"

namespace vorlex {
namespace {

constexpr std::uint32_t kNoGroup = 0xFFFFFFFF;

// Each name's first entry in slot order, found in one pass through the slots
// with an open-addressing table keyed by the exact name bytes.
struct FirstEntries {
  // By slot: the entry of the first slot that holds the same name (the
  // slot's own entry for the first of a name, and for every empty name:
  // an empty name is never grouped).
  std::vector<std::uint32_t> first;
  // By entry: set for a first entry whose name occurs again.
  std::vector<bool> repeated;
};

FirstEntries FindFirstEntries(const ScanState& state, const AnalysisWork& work, ScanDisplay& display) {
  const std::uint32_t count = work.FileCount;
  const std::vector<std::uint32_t>& slots = work.SlotEntries;
  const TextTable& names = state.EntryNames;
  FirstEntries result;
  result.first.resize(count);
  result.repeated.assign(count, false);

  // A cell holds entry + 1 (0 is free) and, in its upper half, the upper half
  // of the name's hash, so most cells of other names are passed without
  // reading their names. At least 1.5 cells per file keep probe runs short.
  const std::size_t capacity = std::bit_ceil(std::size_t{count} + count / 2 + 1);
  const std::size_t mask = capacity - 1;
  std::vector<std::uint64_t> table(capacity, 0);
  const NameHash hasher = work.Hash;

  // Hashes are computed a few slots ahead so the table cell can be fetched
  // before it is probed.
  constexpr std::uint32_t kHashAhead = 4;
  std::uint64_t hashes[8];
  for (std::uint32_t s = 0; s < std::min(count, kHashAhead); ++s) hashes[s % 8] = hasher(names[slots[s]]);

  // The progress bar counts the slots that could begin a group: every slot
  // but the last of its bucket.
  std::int64_t examined = 0;
  std::int64_t shown = -1;
  int bucket = -1;
  std::uint32_t bucket_end = 0;
  for (std::uint32_t s = 0; s < count; ++s) {
    if (s + kFetchAhead < count) FetchIndexCell(names, slots[s + kFetchAhead]);
    if (s + kFetchAhead / 2 < count) FetchTextBytes(names, slots[s + kFetchAhead / 2]);
    if (s + kHashAhead < count) {
      const std::uint64_t ahead = hasher(names[slots[s + kHashAhead]]);
      hashes[(s + kHashAhead) % 8] = ahead;
      __builtin_prefetch(&table[ahead & mask]);
    }

    const std::uint32_t entry = slots[s];
    const std::string_view name = names[entry];
    result.first[s] = entry;
    if (!name.empty()) {
      const std::uint64_t hash = hashes[s % 8];
      const std::uint64_t tag = hash >> 32;
      std::size_t cell = hash & mask;
      while (true) {
        const std::uint64_t held = table[cell];
        if (held == 0) {
          table[cell] = (tag << 32) | (std::uint64_t{entry} + 1);
          break;
        }
        const auto held_entry = static_cast<std::uint32_t>(held) - 1;
        if ((held >> 32) == tag && names[held_entry] == name) {
          result.first[s] = held_entry;
          result.repeated[held_entry] = true;
          break;
        }
        cell = (cell + 1) & mask;
      }
    }

    while (s >= bucket_end) {
      ++bucket;
      bucket_end = work.BucketStart[bucket] + work.BucketCount[bucket];
    }
    if (s + 1 < bucket_end) {
      ++examined;
      if (examined % kProgressStep == 0) {
        display.SetProgressPosition(examined);
        shown = examined;
      }
    }
  }
  if (examined > 0 && shown != examined) display.SetProgressPosition(examined);
  return result;
}

}  // namespace

std::uint64_t HashName(std::string_view name) { return std::hash<std::string_view>()(name); }

bool ShownLess(std::string_view a, std::string_view b) {
  auto shown = [](char c) {
    const auto byte = static_cast<unsigned char>(c);
    return IsControlByte(byte) ? static_cast<unsigned char>('?') : byte;
  };
  const std::size_t common = std::min(a.size(), b.size());
  for (std::size_t i = 0; i < common; ++i) {
    if (a[i] == b[i]) continue;
    const unsigned char x = shown(a[i]);
    const unsigned char y = shown(b[i]);
    if (x != y) return x < y;
  }
  return a.size() < b.size();
}

void GroupSameNames(const ScanState& state, ScanDisplay& display, AnalysisWork& work) {
  const std::uint32_t count = work.FileCount;
  const std::vector<std::uint32_t>& slots = work.SlotEntries;
  FirstEntries found = FindFirstEntries(state, work, display);

  // Number the groups in slot order of their first entries, which is the
  // order in which a walk through the slots meets them, and turn first[]
  // into the group of each slot (kNoGroup outside any group).
  std::vector<std::uint32_t> group_of_first(count, kNoGroup);  // by entry
  std::vector<std::uint32_t> group_sizes;
  std::int64_t size_kb = 0;
  for (std::uint32_t s = 0; s < count; ++s) {
    const std::uint32_t entry = slots[s];
    const std::uint32_t first = found.first[s];
    if (!found.repeated[first]) {
      found.first[s] = kNoGroup;
      continue;
    }
    if (first == entry) {
      group_of_first[entry] = static_cast<std::uint32_t>(group_sizes.size());
      group_sizes.push_back(0);
    }
    const std::uint32_t group = group_of_first[first];
    found.first[s] = group;
    ++group_sizes[group];
    size_kb += state.EntrySizesKB[entry];
  }
  group_of_first = std::vector<std::uint32_t>();
  found.repeated = std::vector<bool>();

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
    for (std::uint32_t s = 0; s < count; ++s) {
      const std::uint32_t group = found.first[s];
      if (group != kNoGroup) work.GroupMembers[fill[group]++] = slots[s];
    }
  }
  found.first = std::vector<std::uint32_t>();
  work.SlotEntries = std::vector<std::uint32_t>();

  // A group's lines share the name and the gap, so they sort by entry line
  // as it is shown.
  const TextTable& paths = state.EntryPaths;
  auto line_less = [&paths](std::uint32_t a, std::uint32_t b) { return ShownLess(paths[a], paths[b]); };
  auto members_of = [&work](std::uint32_t g) {
    return std::pair(work.GroupMembers.begin() + work.GroupStart[g],
                     work.GroupMembers.begin() + work.GroupStart[g + 1]);
  };
  for (std::uint32_t g = 0; g < groups; ++g) {
    if (g + kFetchAhead < groups) {
      auto [begin, end] = members_of(g + kFetchAhead);
      for (auto m = begin; m != end; ++m) FetchIndexCell(paths, *m);
    }
    if (g + kFetchAhead / 2 < groups) {
      auto [begin, end] = members_of(g + kFetchAhead / 2);
      for (auto m = begin; m != end; ++m) FetchTextBytes(paths, *m);
    }
    auto [begin, end] = members_of(g);
    std::sort(begin, end, line_less);
  }

  work.GroupCount = groups;
  work.GroupedFileCount = members;
  work.GroupedSizeKB = size_kb;
}

}  // namespace vorlex
