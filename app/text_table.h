// TextTable: an append-only table of byte strings, stored in one chunked arena.
//
// A scan keeps a line and a name for every file of a drive. One heap block per
// line would cost an allocation and its bookkeeping for each, and a single
// growing buffer would need twice its size while it reallocates; fixed-size
// chunks keep the bytes of millions of lines densely packed and never move
// them, so the views handed out stay valid until clear().
#pragma once

#include <cstddef>
#include <initializer_list>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace vorlex {

class TextTable {
 public:
  TextTable() = default;
  TextTable(const TextTable&) = delete;
  TextTable& operator=(const TextTable&) = delete;
  TextTable(TextTable&&) noexcept = default;
  TextTable& operator=(TextTable&&) noexcept = default;

  std::size_t size() const { return index_.size(); }
  bool empty() const { return index_.empty(); }
  std::string_view operator[](std::size_t i) const { return index_[i]; }
  auto begin() const { return index_.begin(); }
  auto end() const { return index_.end(); }

  // Appends a copy of `text`.
  void push_back(std::string_view text);
  // Appends the concatenation of `parts`, without building a temporary string.
  void push_back_joined(std::initializer_list<std::string_view> parts);
  // Appends a text of `length` bytes and returns where to write them; the bytes
  // must be written before the table is read again.
  char* push_back_uninitialized(std::size_t length);
  // Replaces slot `i` with a copy of `text` (the old bytes stay in the arena
  // until clear()).
  void set(std::size_t i, std::string_view text);
  // Drops every text and returns the arena's memory.
  void clear();
  void reserve(std::size_t count) { index_.reserve(count); }

  // Bytes held by the arena and the index, for memory accounting.
  std::size_t allocated_bytes() const;

 private:
  char* Allocate(std::size_t length);

  static constexpr std::size_t kChunkSize = std::size_t{1} << 20;
  std::vector<std::unique_ptr<char[]>> chunks_;
  std::size_t chunk_used_ = kChunkSize;  // bytes used in chunks_.back()
  std::size_t big_bytes_ = 0;            // bytes in chunks made for oversized texts
  std::size_t big_chunks_ = 0;
  std::vector<std::string_view> index_;
};

}  // namespace vorlex
