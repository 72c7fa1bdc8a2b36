// WalkDrive: visits the drive from its root down to nine levels below it.
#pragma once

#include "app/scan_display.h"
#include "app/scan_state.h"
#include "walk/directory_search.h"

namespace vorlex {

// Records every file of the drive at state.DrivePrefix in the entry tables,
// depth first, each directory's files before its subdirectories.
void WalkDrive(ScanState& state, DirectorySearch& search, ScanDisplay& display);

}  // namespace vorlex
