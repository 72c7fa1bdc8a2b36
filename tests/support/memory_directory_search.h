// MemoryDirectorySearch: a directory search over a tree held in memory.
//
// Tests use it for what a real file system cannot easily show: any attribute
// word on any entry (17, 18, 20, 48, 0x410, ...), directories that fail to
// open or stop part-way, and a record of which directories were listed.
// It follows the same protocol as the POSIX search: entries in byte-wise
// order with "." and ".." (both exactly kAttrDirectory) in every directory,
// depth 0 opened by the root path, depth d by one name inside the directory
// last started at depth d - 1.
#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "app/scan_state.h"
#include "walk/directory_search.h"

namespace vorlex::testing {

class MemoryDirectorySearch : public DirectorySearch {
 public:
  // `root_path` is what FindFirst must be given at depth 0.
  explicit MemoryDirectorySearch(std::string root_path = "/");
  ~MemoryDirectorySearch() override;

  // Paths are relative to the root, "/"-separated ("Data/Photos"); missing
  // parents are made as plain directories. An entry added twice is replaced.
  // Any entry whose attribute word has the directory bit can be opened.
  void AddDirectory(std::string_view path, std::int32_t attr = kAttrDirectory,
                    std::int64_t size = 0, std::int64_t time = 0);
  void AddFile(std::string_view path, std::int64_t size = 0, std::int64_t time = 0,
               std::int32_t attr = kAttrArchive);
  // Opening the directory at `path` ("" for the root) fails with `error`.
  void FailOpen(std::string_view path, int error);
  // The listing of `path` stops with an error after `count` entries.
  void StopAfter(std::string_view path, std::size_t count);

  // Paths of the directories whose listing started, in order, as the walk
  // names them: "/" for the root, "/a/b" below it.
  const std::vector<std::string>& listed() const { return listed_; }
  // Every FindFirst, also those that failed, named the same way.
  const std::vector<std::string>& attempted() const { return attempted_; }

  int FindFirst(int depth, std::string_view name, SearchRecord& rec) override;
  int FindNext(SearchRecord& rec) override;
  void FindClose() override;

 private:
  struct Node;
  Node* Find(std::string_view path, bool create_parents);
  // The node at `path` (made with its parents when missing) with this record.
  Node* Put(std::string_view path, std::int32_t attr, std::int64_t size, std::int64_t time);

  std::string root_path_;
  std::unique_ptr<Node> root_;
  // The directory started at each depth and its path; null after a failure.
  std::vector<const Node*> open_;
  std::vector<std::string> open_paths_;
  std::vector<SearchRecord> current_;
  std::size_t next_ = 0;
  std::vector<std::string> listed_;
  std::vector<std::string> attempted_;
};

}  // namespace vorlex::testing
