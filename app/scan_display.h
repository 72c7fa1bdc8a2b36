// ScanDisplay: what a scan shows while it runs and when it ends.
//
// The core never touches a control. Where a scan sets a caption, moves the
// progress bar, shows or hides the labels or the Save button, or puts the
// report on the page, it calls this interface; the window implements it with
// its controls, the command line on stderr, and tests record the calls.
// Every method has an empty default, so an implementation overrides only what
// it shows.
#pragma once

#include <cstdint>
#include <string_view>

namespace vorlex {

struct ScanState;

class ScanDisplay {
 public:
  virtual ~ScanDisplay() = default;

  // Reset of a Start: both labels get the caption " " and are hidden.
  virtual void HideLabels() {}
  // Both labels become visible (Label1, then Label2).
  virtual void ShowLabels() {}
  // Caption of Label2: the file total.
  virtual void SetFileTotalCaption(std::string_view /*caption*/) {}
  // Caption of Label1: the summary of the groups.
  virtual void SetSummaryCaption(std::string_view /*caption*/) {}

  virtual void SetProgressMaximum(std::int64_t /*maximum*/) {}
  // Called at most every few thousand steps and always with the final value
  // of each phase, so a display may repaint on each call.
  virtual void SetProgressPosition(std::int64_t /*position*/) {}

  virtual void SetSaveButtonVisible(bool /*visible*/) {}

  // Called often while the drive is walked (after each directory listed), so
  // a window can keep repainting and a terminal can show a live count.
  virtual void WalkProgress(std::int64_t /*files*/, std::int64_t /*directories*/) {}

  // The report is complete in state.ReportLines[0..state.EntryCount]: put
  // the scroll bar at 0 of 0..EntryCount and draw the first page. When
  // EntryCount is 0 and no group was found, slot 0 holds the no-group line.
  virtual void ShowReport(const ScanState& /*state*/) {}
};

}  // namespace vorlex
