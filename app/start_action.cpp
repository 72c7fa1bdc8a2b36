#include "app/start_action.h"

#include "analysis/same_name_analysis.h"
#include "walk/entry_annotation.h"
#include "walk/tree_walk.h"

namespace vorlex {

std::string DrivePrefixOf(std::string_view mount_point) {
  while (!mount_point.empty() && mount_point.back() == '/') mount_point.remove_suffix(1);
  return std::string(mount_point);
}

void TakeStartTime(ScanState& state, const CivilTime& now) {
  // Date and time from the same reading, so a Start at midnight cannot name
  // its log after the wrong day.
  state.StartDate = FormatDateText(now);
  state.StartTime = FormatTimeText(now);
}

void ResetScan(ScanState& state, DirectorySearch& search, ScanDisplay& display,
               const CivilTime& now) {
  TakeStartTime(state, now);
  display.HideLabels();
  display.SetSaveButtonVisible(false);
  state.DrivePrefix = DrivePrefixOf(state.DriveLetter);
  state.EntryCount = 0;
  WalkDrive(state, search, display);
  display.SetSaveButtonVisible(true);
}

void RunStartAction(ScanState& state, DirectorySearch& search, ScanDisplay& display) {
  ResetScan(state, search, display, LocalNow());
  AnalyzeDuplicates(state, display);
}

}  // namespace vorlex
