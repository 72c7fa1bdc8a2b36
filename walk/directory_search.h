// DirectorySearch: lists the entries of one directory, one at a time.
//
// A walk goes down one path at a time, so a search keeps open the directory
// it last started at each depth, and opens a directory at depth d relative to
// the one at depth d - 1: no full path is built or resolved per system call.
#pragma once

#include <string_view>

#include "app/scan_state.h"

namespace vorlex {

class DirectorySearch {
 public:
  virtual ~DirectorySearch() = default;

  // Starts listing a directory. At depth 0, `name` is the path of the drive
  // root ("/" for the root of the file system); at depth d > 0 it is one name
  // inside the directory last started at depth d - 1. Entries come in
  // byte-wise order of their names, "." and ".." included. Returns 0 with the
  // first entry in `rec`, or a non-zero errno value when the directory cannot
  // be opened or read (a symbolic link at `name` is not followed).
  virtual int FindFirst(int depth, std::string_view name, SearchRecord& rec) = 0;
  // Returns 0 with the next entry in `rec`, or non-zero when none is left.
  virtual int FindNext(SearchRecord& rec) = 0;
  // Ends the listing; harmless when none was started. The directory stays
  // open as the parent of later searches at the next depth.
  virtual void FindClose() = 0;
};

}  // namespace vorlex
