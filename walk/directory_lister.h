// ListDirectory: records the files of one directory and collects its
// subdirectory names.
#pragma once

#include <string_view>

#include "app/scan_state.h"
#include "walk/directory_search.h"

namespace vorlex {

// Lists the directory DrivePrefix + CurrentDir at depth WalkLevel: each file
// is appended to the entry tables at slot EntryCount (EntryCount grows), each
// plain subdirectory's name (attribute word exactly kAttrDirectory) to
// LevelDirs[WalkLevel], which is emptied first (DirCount names). A directory
// that cannot be listed adds nothing. The search is started at depth
// WalkLevel with the root path (DrivePrefix, or "/" when it is empty) at
// depth 0 and with the last name of CurrentDir below it, so the directory at
// depth WalkLevel - 1 must be the one last listed there.
void ListDirectory(ScanState& state, DirectorySearch& search);

// The name ListDirectory hands to the search for the current directory.
std::string_view SearchNameOf(const ScanState& state);

}  // namespace vorlex
