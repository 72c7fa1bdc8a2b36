// The four phases of AnalyzeDuplicates and what they hand to each other.
//
// The phases work on index arrays, never on the strings: the walk's names and
// lines stay where the walk put them, and the analysis keeps a few 32-bit
// integers per file (the slot order, a group number, the grouped members).
// Entry numbers and slots are 32-bit, so one scan holds at most 2^32 - 2
// files; at the walk's cost per file that is far beyond any memory.
#pragma once

#include <array>
#include <cstdint>
#include <string_view>
#include <vector>

#include "app/scan_display.h"
#include "app/scan_state.h"

namespace vorlex {

inline constexpr int kBucketCount = 28;

// Progress positions are handed to the display at most once per this many
// steps (and always the last position of a phase).
inline constexpr std::int64_t kProgressStep = 4096;

// Hash of a name's exact bytes, for finding equal names.
using NameHash = std::uint64_t (*)(std::string_view name);
std::uint64_t HashName(std::string_view name);

// What one run of the analysis passes from phase to phase.
struct AnalysisWork {
  // The grouping's hash; tests put in a poor one to show that the groups do
  // not depend on it.
  NameHash Hash = HashName;

  // Number of files analysed: slots 0..FileCount-1 of the entry tables.
  std::uint32_t FileCount = 0;

  // First letter sort: bucket b covers the slots BucketStart[b] to
  // BucketStart[b] + BucketCount[b] - 1, and SlotEntries[slot] is the entry
  // number of the file that stands in that slot.
  std::array<std::uint32_t, kBucketCount> BucketStart{};
  std::array<std::uint32_t, kBucketCount> BucketCount{};
  std::vector<std::uint32_t> SlotEntries;

  // Grouping: the groups in finding order. Group g's members are the entry
  // numbers GroupMembers[GroupStart[g] .. GroupStart[g+1]-1], in the order of
  // their group lines. GroupStart has GroupCount + 1 elements.
  std::vector<std::uint32_t> GroupMembers;
  std::vector<std::uint32_t> GroupStart;
  std::int64_t GroupCount = 0;
  std::int64_t GroupedFileCount = 0;
  std::int64_t GroupedSizeKB = 0;
};

// Bucket of a name by its first byte: 0 for an empty name and bytes below
// "A", 1..26 for a letter of either case, 27 for everything else.
int FirstLetterBucket(std::string_view name);

// Orders entries into buckets by following cycles through the slots, as an
// in-place exchange of entries would (so the order inside a bucket is not the
// input order). `buckets[e]` is the bucket of entry e (each below
// kBucketCount); returns, for each slot, the entry number that ends up there.
// `bucket_start` receives the first slot of each bucket.
std::vector<std::uint32_t> PermuteByBuckets(
    const std::vector<std::uint8_t>& buckets,
    std::array<std::uint32_t, kBucketCount>& bucket_start,
    std::array<std::uint32_t, kBucketCount>& bucket_count);

// Order of group names: the first byte counts a lower-case ASCII letter as
// its upper-case one, every other byte counts as it is; unsigned byte-wise,
// a name that begins another is the smaller.
bool FoldedNameLess(std::string_view a, std::string_view b);

// Byte-wise order of two texts as they are shown (control bytes as "?").
bool ShownLess(std::string_view a, std::string_view b);

// Phase 1: shows the file total, sets the progress maximum to it and orders
// the slots by the first letter of the names.
void SortEntriesByFirstLetter(const ScanState& state, ScanDisplay& display, AnalysisWork& work);

// Phase 2: finds every name that occurs at least twice, in the slot order of
// its first occurrence, and orders each group's members by their lines.
void GroupSameNames(const ScanState& state, ScanDisplay& display, AnalysisWork& work);

// Phase 3: writes the numbered report into ReportLines, sets EntryCount to
// the index of its last line and shows the summary.
void AssembleReport(ScanState& state, ScanDisplay& display, AnalysisWork& work);

// Phase 4: places the no-group line when the report is empty and hands the
// report to the display.
void ShowReport(ScanState& state, ScanDisplay& display);

}  // namespace vorlex
