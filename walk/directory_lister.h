// ListDirectory: records the files of one directory and collects its
// subdirectory names.
#pragma once

#include "app/scan_state.h"
#include "walk/directory_search.h"

namespace vorlex {

// Lists the directory DrivePrefix + CurrentDir at depth WalkLevel: each file
// is appended to the entry tables (EntryCount grows), each plain
// subdirectory's name to LevelDirs[WalkLevel] (DirCount of them).
void ListDirectory(ScanState& state, DirectorySearch& search);

}  // namespace vorlex
