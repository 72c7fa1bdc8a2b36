#include "tests/support/memory_directory_search.h"

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <utility>

namespace vorlex::testing {

struct MemoryDirectorySearch::Node {
  SearchRecord rec;
  int open_error = 0;
  std::size_t stop_after = SIZE_MAX;
  // std::map keeps the children in byte-wise order of their names.
  std::map<std::string, std::unique_ptr<Node>, std::less<>> children;
};

MemoryDirectorySearch::MemoryDirectorySearch(std::string root_path)
    : root_path_(std::move(root_path)), root_(std::make_unique<Node>()) {
  root_->rec.Attr = kAttrDirectory;
}

MemoryDirectorySearch::~MemoryDirectorySearch() = default;

MemoryDirectorySearch::Node* MemoryDirectorySearch::Find(std::string_view path,
                                                         bool create_parents) {
  Node* node = root_.get();
  while (!path.empty()) {
    std::size_t slash = path.find('/');
    std::string_view name = path.substr(0, slash);
    path = slash == std::string_view::npos ? std::string_view() : path.substr(slash + 1);
    auto it = node->children.find(name);
    if (it == node->children.end()) {
      if (!create_parents) return nullptr;
      auto child = std::make_unique<Node>();
      child->rec.Name = std::string(name);
      child->rec.Attr = kAttrDirectory;
      it = node->children.emplace(std::string(name), std::move(child)).first;
    }
    node = it->second.get();
  }
  return node;
}

MemoryDirectorySearch::Node* MemoryDirectorySearch::Put(std::string_view path,
                                                        std::int32_t attr, std::int64_t size,
                                                        std::int64_t time) {
  Node* node = Find(path, true);
  node->rec.Attr = attr;
  node->rec.Size = size;
  node->rec.Time = time;
  return node;
}

void MemoryDirectorySearch::AddDirectory(std::string_view path, std::int32_t attr,
                                         std::int64_t size, std::int64_t time) {
  Put(path, attr, size, time);
}

void MemoryDirectorySearch::AddFile(std::string_view path, std::int64_t size,
                                    std::int64_t time, std::int32_t attr) {
  Put(path, attr, size, time)->children.clear();
}

void MemoryDirectorySearch::FailOpen(std::string_view path, int error) {
  Find(path, true)->open_error = error;
}

void MemoryDirectorySearch::StopAfter(std::string_view path, std::size_t count) {
  Find(path, true)->stop_after = count;
}

int MemoryDirectorySearch::FindFirst(int depth, std::string_view name, SearchRecord& rec) {
  current_.clear();
  next_ = 0;
  if (depth < 0) return EINVAL;
  auto level = static_cast<std::size_t>(depth);
  const Node* node = nullptr;
  std::string path;
  if (level == 0) {
    path = "/";
    open_.clear();
    open_paths_.clear();
    if (name == root_path_) node = root_.get();
  } else {
    // The same rule as the POSIX search: depth d opens a name inside the
    // directory last started at depth d - 1.
    if (level > open_.size() || open_[level - 1] == nullptr) return EBADF;
    open_.resize(level);
    open_paths_.resize(level);
    const std::string& parent = open_paths_[level - 1];
    path = (parent == "/" ? "" : parent) + "/" + std::string(name);
    auto it = open_[level - 1]->children.find(name);
    if (it != open_[level - 1]->children.end()) node = it->second.get();
  }
  attempted_.push_back(path);
  open_.push_back(nullptr);
  open_paths_.push_back(path);
  if (node == nullptr) return ENOENT;
  if ((node->rec.Attr & kAttrDirectory) == 0) return ENOTDIR;
  if (node->open_error != 0) return node->open_error;
  open_.back() = node;
  listed_.push_back(path);

  SearchRecord dot;
  dot.Attr = kAttrDirectory;
  dot.Name = ".";
  current_.push_back(dot);
  dot.Name = "..";
  current_.push_back(dot);
  for (const auto& [child_name, child] : node->children) current_.push_back(child->rec);
  std::stable_sort(current_.begin(), current_.end(),
                   [](const SearchRecord& a, const SearchRecord& b) { return a.Name < b.Name; });
  if (current_.size() > node->stop_after) current_.resize(node->stop_after);
  return FindNext(rec);
}

int MemoryDirectorySearch::FindNext(SearchRecord& rec) {
  if (next_ >= current_.size()) return ENOENT;
  rec = current_[next_++];
  return 0;
}

void MemoryDirectorySearch::FindClose() { next_ = current_.size(); }

}  // namespace vorlex::testing
