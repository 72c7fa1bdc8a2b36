// FixtureTree: a temporary directory tree built from a table of rows, removed
// when the fixture goes out of scope.
#pragma once

#include <sys/types.h>

#include <cstdint>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace vorlex::testing {

struct FixtureRow {
  // Rows are written as {path, size, mtime, link_to}, trailing ones left out.
  FixtureRow(std::string path_in, std::int64_t size_in = 0, std::int64_t mtime_in = 0,
             std::string link_to_in = {})
      : path(std::move(path_in)), size(size_in), mtime(mtime_in), link_to(std::move(link_to_in)) {}

  // Relative path, "/"-separated; a trailing "/" makes a directory. Missing
  // parents are made as directories.
  std::string path;
  // A file's size in bytes; the file is sparse, so 5 GiB costs nothing.
  std::int64_t size = 0;
  // Last-write time, seconds since 1970-01-01 UTC (negative before 1970).
  std::int64_t mtime = 0;
  // When not empty, the entry is a symbolic link to this target.
  std::string link_to;
};

// The bytes of a file; "" when there is no regular file at `path`.
std::string ReadFile(const std::string& path);

class FixtureTree {
 public:
  // Builds the rows in order, then sets every row's time (so adding entries
  // to a directory does not move its time afterwards). Throws
  // std::runtime_error naming the path when the system refuses a step.
  explicit FixtureTree(const std::vector<FixtureRow>& rows);
  ~FixtureTree();
  FixtureTree(const FixtureTree&) = delete;
  FixtureTree& operator=(const FixtureTree&) = delete;

  // The tree's root directory, without a trailing "/".
  const std::string& root() const { return root_; }
  // root() + "/" + relative.
  std::string Path(std::string_view relative) const;
  // Takes every permission from the entry; given back before removal.
  void MakeUnreadable(std::string_view relative);

 private:
  void Remove();

  std::string root_;
  std::vector<std::pair<std::string, mode_t>> restore_modes_;
};

}  // namespace vorlex::testing
