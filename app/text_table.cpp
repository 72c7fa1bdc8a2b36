#include "app/text_table.h"

#include <cstring>

namespace vorlex {

char* TextTable::Allocate(std::size_t length) {
  // An empty text still gets a valid address, so callers may hand its data()
  // to memcpy or fwrite.
  static char empty_text[1];
  if (length == 0) return empty_text;
  if (length > kChunkSize / 4) {
    // A text this large gets a chunk of its own, placed before the current
    // one so the current chunk's free space is not wasted.
    auto chunk = std::make_unique<char[]>(length);
    char* out = chunk.get();
    if (chunks_.empty()) {
      chunks_.push_back(std::move(chunk));
      chunk_used_ = kChunkSize;  // no shared chunk yet
    } else {
      chunks_.insert(chunks_.end() - 1, std::move(chunk));
    }
    big_bytes_ += length;
    ++big_chunks_;
    return out;
  }
  if (chunks_.empty() || kChunkSize - chunk_used_ < length) {
    chunks_.push_back(std::make_unique_for_overwrite<char[]>(kChunkSize));
    chunk_used_ = 0;
  }
  char* out = chunks_.back().get() + chunk_used_;
  chunk_used_ += length;
  return out;
}

char* TextTable::push_back_uninitialized(std::size_t length) {
  char* out = Allocate(length);
  index_.emplace_back(out, length);
  return out;
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
  char* out = Allocate(text.size());
  if (!text.empty()) std::memcpy(out, text.data(), text.size());
  index_[i] = std::string_view(out, text.size());
}

void TextTable::clear() {
  chunks_.clear();
  chunk_used_ = kChunkSize;
  big_bytes_ = 0;
  big_chunks_ = 0;
  index_.clear();
  index_.shrink_to_fit();
}

std::size_t TextTable::allocated_bytes() const {
  std::size_t regular = (chunks_.size() - big_chunks_) * kChunkSize;
  return regular + big_bytes_ + index_.capacity() * sizeof(std::string_view);
}

}  // namespace vorlex
