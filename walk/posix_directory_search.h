// The directory search on a POSIX file system.
//
// Listing one directory is split from the search itself: OpenChildDirectory
// and ReadDirectoryListing depend on nothing but the directory they are
// given, so several directories can be listed at once while a walk records
// them in its own order.
#pragma once

#include <sys/types.h>

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "walk/directory_search.h"
#include "walk/worker_pool.h"

namespace vorlex {

// One entry of a listing; its name lives in the listing's name buffer.
struct ListedEntry {
  std::int64_t size = 0;
  std::int64_t time = 0;  // last-write time, seconds since 1970 UTC
  std::size_t name_offset = 0;
  std::uint32_t name_length = 0;
  std::int32_t attr = 0;
};

// Every entry of one directory, in byte-wise order of the names. The names
// share one buffer, so a listing of many entries costs a few allocations.
struct DirectoryListing {
  std::string names;
  std::vector<ListedEntry> entries;

  std::string_view NameOf(const ListedEntry& entry) const {
    return std::string_view(names).substr(entry.name_offset, entry.name_length);
  }
  void clear() {
    names.clear();
    entries.clear();
  }
};

// Opens `name` inside the directory `parent_fd` for listing, without
// following a symbolic link at `name`. Returns the new descriptor, or minus
// the errno value. A name that is not a single entry name ("", ".", "..",
// or one holding "/" or a NUL byte) is refused with -EINVAL.
int OpenChildDirectory(int parent_fd, std::string_view name);

// Replaces `out` with every entry of the open directory `dir_fd`, "." and
// ".." included, sorted byte-wise, with attribute words as described at
// MakePosixDirectorySearch (`root_device` is the st_dev of the drive root).
// Entries whose lstat fails are left out. A large directory shares its lstat
// calls with `pool` when one is given; the result is the same either way.
// Returns 0, or the errno value of a failed read (`out` then holds nothing).
int ReadDirectoryListing(int dir_fd, dev_t root_device, DirectoryListing& out,
                         WorkerPool* pool = nullptr);

// The threads a search uses by default: one per core, within reason.
unsigned DefaultSearchThreads();

// Attribute words follow the entry's lstat: a directory is kAttrDirectory,
// plus kAttrHidden when its name begins with "." and kAttrReparsePoint when
// it lies on another device than the drive root; "." and ".." are always
// exactly kAttrDirectory; every other entry, symbolic links included, is a
// file (kAttrArchive). An entry whose lstat fails is not delivered.
// `threads` counts the walking thread: 1 does everything on it alone; with
// more, the search reads the directory a depth-first walk starts next ahead
// and lets the other threads examine its entries while the walk records the
// current one. The entries delivered are the same for every count.
std::unique_ptr<DirectorySearch> MakePosixDirectorySearch(
    unsigned threads = DefaultSearchThreads());

}  // namespace vorlex
