// AnalyzeDuplicates: runs the phases in order and shows the result.
#include "analysis/same_name_analysis.h"

#include "analysis/analysis_phases.h"
#include "app/texts.h"

namespace vorlex {

void ShowReport(ScanState& state, ScanDisplay& display) {
  // A report with groups ends in an empty line at index 3 or later, so
  // EntryCount 0 means no group was found.
  if (state.EntryCount == 0) {
    state.ReportLines.clear();
    state.ReportLines.push_back(texts::kNoSameName);
  }
  display.ShowReport(state);
}

void AnalyzeDuplicates(ScanState& state, ScanDisplay& display) {
  AnalysisWork work;
  SortEntriesByFirstLetter(state, display, work);
  GroupSameNames(state, display, work);
  AssembleReport(state, display, work);
  ShowReport(state, display);
}

}  // namespace vorlex
