// Asking for the memory of scattered texts ahead of their use.
//
// The analysis visits the walk's names and lines in bucket or group order,
// which scatters its reads over the whole of the entry tables; nearly every
// read would otherwise wait for main memory. Loops over such orders ask for
// the index cell of a text a few steps ahead and for its bytes half as far
// ahead, once the cell has arrived.
#pragma once

#include <cstdint>
#include <string_view>

#include "app/text_table.h"

namespace vorlex {

// Steps ahead at which a loop asks for a text's index cell; its bytes are
// asked for kFetchAhead / 2 steps ahead.
inline constexpr std::uint32_t kFetchAhead = 16;

inline void FetchIndexCell(const TextTable& table, std::uint32_t i) {
  __builtin_prefetch(table.cell_address(i));
}

// The first and the last byte of text i (a line may cross a cache line).
inline void FetchTextBytes(const TextTable& table, std::uint32_t i) {
  const std::string_view text = table[i];
  if (text.empty()) return;
  __builtin_prefetch(text.data());
  __builtin_prefetch(text.data() + text.size() - 1);
}

}  // namespace vorlex
