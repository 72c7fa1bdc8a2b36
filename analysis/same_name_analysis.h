// AnalyzeDuplicates: from the walk's file records to the numbered report.
#pragma once

#include "app/scan_display.h"
#include "app/scan_state.h"

namespace vorlex {

// Runs the four phases: SortEntriesByFirstLetter, GroupSameNames,
// AssembleReport and ShowReport. Afterwards ReportLines[0..EntryCount] is the
// report, and the display has been given the file total, the summary and the
// report.
void AnalyzeDuplicates(ScanState& state, ScanDisplay& display);

}  // namespace vorlex
