// First phase of the analysis: the file total and the 28 first-letter buckets.
#include <algorithm>
#include <cstdint>
#include <limits>
#include <string>
#include <utility>

#include "analysis/analysis_phases.h"
#include "app/texts.h"

namespace vorlex {

int FirstLetterBucket(std::string_view name) {
  if (name.empty()) return 0;
  const auto first = static_cast<unsigned char>(name.front());
  if (first < 'A') return 0;
  if (first <= 'Z') return first - 'A' + 1;
  if (first >= 'a' && first <= 'z') return first - 'a' + 1;
  return 27;
}

std::vector<std::uint32_t> PermuteByBuckets(
    const std::vector<std::uint8_t>& buckets,
    std::array<std::uint32_t, kBucketCount>& bucket_start,
    std::array<std::uint32_t, kBucketCount>& bucket_count) {
  const auto count = static_cast<std::uint32_t>(buckets.size());
  bucket_count.fill(0);
  for (std::uint8_t b : buckets) ++bucket_count[b];
  std::array<std::uint32_t, kBucketCount> next{};
  std::uint32_t sum = 0;
  for (int b = 0; b < kBucketCount; ++b) {
    bucket_start[b] = sum;
    next[b] = sum;
    sum += bucket_count[b];
  }

  // slots[i] is the entry standing in slot i. Walking the slots upward, an
  // entry that stands in a foreign bucket is lifted and carried to the next
  // free slot of its own bucket, whose entry is carried on in turn, until the
  // carried entry belongs where the cycle began. Every exchange advances one
  // bucket's next free slot, so there are at most `count` of them. Which
  // entry lands in which slot of its bucket follows from this exact order of
  // exchanges, and the later phases rely on that order.
  std::vector<std::uint32_t> slots(count);
  for (std::uint32_t i = 0; i < count; ++i) slots[i] = i;
  int target = 0;  // bucket of slot i
  for (std::uint32_t i = 0; i < count; ++i) {
    while (i >= bucket_start[target] + bucket_count[target]) ++target;
    std::uint32_t carried = slots[i];
    while (buckets[carried] != target) {
      const std::uint32_t p = next[buckets[carried]]++;
      std::swap(slots[p], carried);
    }
    slots[i] = carried;
  }
  return slots;
}

void SortEntriesByFirstLetter(const ScanState& state, ScanDisplay& display, AnalysisWork& work) {
  // The tables should agree with EntryCount; read only what all of them hold.
  std::int64_t files = std::max<std::int64_t>(state.EntryCount, 0);
  files = std::min<std::int64_t>(files, static_cast<std::int64_t>(state.EntryNames.size()));
  files = std::min<std::int64_t>(files, static_cast<std::int64_t>(state.EntryPaths.size()));
  files = std::min<std::int64_t>(files, static_cast<std::int64_t>(state.EntrySizesKB.size()));
  files = std::min<std::int64_t>(files, std::numeric_limits<std::uint32_t>::max() - 1);
  work.FileCount = static_cast<std::uint32_t>(files);

  std::string caption(texts::kFileTotal);
  caption += std::to_string(files);
  display.SetFileTotalCaption(caption);
  display.SetProgressMaximum(files);

  std::vector<std::uint8_t> buckets(work.FileCount);
  for (std::uint32_t e = 0; e < work.FileCount; ++e) {
    buckets[e] = static_cast<std::uint8_t>(FirstLetterBucket(state.EntryNames[e]));
  }
  work.SlotEntries = PermuteByBuckets(buckets, work.BucketStart, work.BucketCount);
}

}  // namespace vorlex
