// TextTable: an append-only table of byte strings, stored in chunked arenas.
//
// A scan keeps a line and a name for every file of a drive. One heap block per
// line would cost an allocation and its bookkeeping for each, and a single
// growing buffer would need up to three times its size while it reallocates.
// Here the bytes live in 1 MiB chunks and each text's place is one packed
// 64-bit word, itself kept in fixed blocks: a table of millions of short
// lines costs its bytes plus 8 per line, and nothing ever moves, so the views
// handed out stay valid until clear().
#pragma once

#include <cstddef>
#include <cstdint>
#include <initializer_list>
#include <iterator>
#include <memory>
#include <string_view>
#include <vector>

namespace vorlex {

class TextTable {
 public:
  class const_iterator;

  TextTable() = default;
  TextTable(const TextTable&) = delete;
  TextTable& operator=(const TextTable&) = delete;
  TextTable(TextTable&&) noexcept = default;
  TextTable& operator=(TextTable&&) noexcept = default;

  std::size_t size() const { return size_; }
  bool empty() const { return size_ == 0; }
  std::string_view operator[](std::size_t i) const { return Decode(Cell(i)); }
  const_iterator begin() const;
  const_iterator end() const;

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
  // Drops every text and returns the memory.
  void clear();

  // The address of slot i's index word, for prefetching ahead of a read.
  const void* cell_address(std::size_t i) const { return &Cell(i); }

  // Bytes held by the arenas and the index, for memory accounting.
  std::size_t allocated_bytes() const;

 private:
  // An index word: the low kLengthBits bits hold the length, the rest the
  // place: chunk number and offset for a text in a shared chunk, or the
  // number of its own allocation when the length field is kOwnAllocation.
  static constexpr unsigned kLengthBits = 24;
  static constexpr std::uint64_t kOwnAllocation = (std::uint64_t{1} << kLengthBits) - 1;
  static constexpr unsigned kChunkBits = 20;
  static constexpr std::size_t kChunkSize = std::size_t{1} << kChunkBits;
  // Texts longer than this get an allocation of their own.
  static constexpr std::size_t kLargestShared = kChunkSize / 4;
  static constexpr unsigned kBlockBits = 13;
  static constexpr std::size_t kBlockSize = std::size_t{1} << kBlockBits;

  struct OwnText {
    std::unique_ptr<char[]> bytes;
    std::size_t length;
  };

  const std::uint64_t& Cell(std::size_t i) const {
    return blocks_[i >> kBlockBits][i & (kBlockSize - 1)];
  }
  std::string_view Decode(std::uint64_t cell) const {
    const std::size_t length = cell & kOwnAllocation;
    const std::uint64_t place = cell >> kLengthBits;
    if (length == kOwnAllocation) {
      const OwnText& own = own_texts_[place];
      return {own.bytes.get(), own.length};
    }
    if (length == 0) return {kEmpty, 0};
    return {chunks_[place >> kChunkBits].get() + (place & (kChunkSize - 1)), length};
  }
  // Reserves `length` bytes; returns where they go and sets `cell`.
  char* Allocate(std::size_t length, std::uint64_t& cell);
  void AppendCell(std::uint64_t cell);

  static constexpr char kEmpty[1] = "";
  std::vector<std::unique_ptr<char[]>> chunks_;
  std::size_t chunk_used_ = kChunkSize;  // bytes used in chunks_.back()
  std::vector<OwnText> own_texts_;
  std::size_t own_bytes_ = 0;
  std::vector<std::unique_ptr<std::uint64_t[]>> blocks_;
  std::size_t size_ = 0;
};

// Reads the texts of a table in slot order.
class TextTable::const_iterator {
 public:
  using iterator_category = std::forward_iterator_tag;
  using value_type = std::string_view;
  using difference_type = std::ptrdiff_t;
  using pointer = void;
  using reference = std::string_view;

  const_iterator() = default;
  const_iterator(const TextTable* table, std::size_t i) : table_(table), i_(i) {}
  std::string_view operator*() const { return (*table_)[i_]; }
  const_iterator& operator++() {
    ++i_;
    return *this;
  }
  const_iterator operator++(int) {
    const_iterator before = *this;
    ++i_;
    return before;
  }
  bool operator==(const const_iterator& other) const { return i_ == other.i_; }

 private:
  const TextTable* table_ = nullptr;
  std::size_t i_ = 0;
};

inline TextTable::const_iterator TextTable::begin() const { return {this, 0}; }
inline TextTable::const_iterator TextTable::end() const { return {this, size_}; }

}  // namespace vorlex
