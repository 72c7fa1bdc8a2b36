// The Start action: one whole scan, from the reset to the first page.
#pragma once

#include <string>
#include <string_view>

#include "app/scan_display.h"
#include "app/scan_state.h"
#include "platform/clock.h"
#include "walk/directory_search.h"

namespace vorlex {

// The drive prefix for a chosen mount point: the path without trailing "/"
// ("" for "/", "/media/usb" for "/media/usb/").
std::string DrivePrefixOf(std::string_view mount_point);

// Takes StartDate and StartTime from `now`.
void TakeStartTime(ScanState& state, const CivilTime& now);

// Resets the per-scan values, walks the drive and shows the Save button.
void ResetScan(ScanState& state, DirectorySearch& search, ScanDisplay& display,
               const CivilTime& now);

// ResetScan at the current time, then AnalyzeDuplicates.
void RunStartAction(ScanState& state, DirectorySearch& search, ScanDisplay& display);

}  // namespace vorlex
