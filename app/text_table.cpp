#include "app/text_table.h"

#include <cstring>

namespace vorlex {

char* TextTable::Allocate(std::size_t length, std::uint64_t& cell) {
  if (length == 0) {
    cell = 0;
    return nullptr;
  }
  if (length > kLargestShared) {
    own_texts_.push_back({std::make_unique_for_overwrite<char[]>(length), length});
    own_bytes_ += length;
    cell = ((own_texts_.size() - 1) << kLengthBits) | kOwnAllocation;
    return own_texts_.back().bytes.get();
  }
  if (chunks_.empty() || kChunkSize - chunk_used_ < length) {
    chunks_.push_back(std::make_unique_for_overwrite<char[]>(kChunkSize));
    chunk_used_ = 0;
  }
  const std::uint64_t place = ((chunks_.size() - 1) << kChunkBits) | chunk_used_;
  cell = (place << kLengthBits) | length;
  char* out = chunks_.back().get() + chunk_used_;
  chunk_used_ += length;
  return out;
}

void TextTable::AppendCell(std::uint64_t cell) {
  if ((size_ & (kBlockSize - 1)) == 0 && (size_ >> kBlockBits) == blocks_.size()) {
    blocks_.push_back(std::make_unique_for_overwrite<std::uint64_t[]>(kBlockSize));
  }
  blocks_[size_ >> kBlockBits][size_ & (kBlockSize - 1)] = cell;
  ++size_;
}

char* TextTable::push_back_uninitialized(std::size_t length) {
  std::uint64_t cell;
  char* out = Allocate(length, cell);
  AppendCell(cell);
  // An empty text still gets a valid address to write nothing to.
  return out != nullptr ? out : const_cast<char*>(kEmpty);
}

void TextTable::push_back(std::string_view text) {
  char* out = push_back_uninitialized(text.size());
  if (!text.empty()) std::memcpy(out, text.data(), text.size());
}

void TextTable::push_back_joined(std::initializer_list<std::string_view> parts) {
  std::size_t length = 0;
  for (std::string_view part : parts) length += part.size();
  char* out = push_back_uninitialized(length);
  for (std::string_view part : parts) {
    if (part.empty()) continue;
    std::memcpy(out, part.data(), part.size());
    out += part.size();
  }
}

void TextTable::set(std::size_t i, std::string_view text) {
  std::uint64_t cell;
  char* out = Allocate(text.size(), cell);
  if (!text.empty()) std::memcpy(out, text.data(), text.size());
  blocks_[i >> kBlockBits][i & (kBlockSize - 1)] = cell;
}

void TextTable::clear() {
  chunks_.clear();
  chunks_.shrink_to_fit();
  chunk_used_ = kChunkSize;
  own_texts_.clear();
  own_texts_.shrink_to_fit();
  own_bytes_ = 0;
  blocks_.clear();
  blocks_.shrink_to_fit();
  size_ = 0;
}

std::size_t TextTable::allocated_bytes() const {
  return chunks_.size() * kChunkSize + own_bytes_ + blocks_.size() * kBlockSize * sizeof(std::uint64_t);
}

}  // namespace vorlex
