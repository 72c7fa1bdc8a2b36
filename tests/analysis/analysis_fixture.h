// Helpers of the analysis tests: a scan state filled as a walk would leave it,
// and a display that records what the analysis shows.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "app/scan_display.h"
#include "app/scan_state.h"

namespace vorlex::testing_analysis {

// One file as the walk records it.
struct FileRow {
  std::string name;  // bare name, exact bytes
  std::string path;  // entry line
  std::int64_t size_kb = 1;
};

// Fills the entry tables with `rows` in walk order and sets EntryCount.
inline void FillState(ScanState& state, const std::vector<FileRow>& rows) {
  state.EntryNames.clear();
  state.EntryPaths.clear();
  state.EntrySizesKB.clear();
  for (const FileRow& row : rows) {
    state.EntryNames.push_back(row.name);
    state.EntryPaths.push_back(row.path);
    state.EntrySizesKB.push_back(row.size_kb);
  }
  state.EntryCount = static_cast<std::int64_t>(rows.size());
}

inline std::vector<std::string> ReportOf(const ScanState& state) {
  std::vector<std::string> lines;
  for (std::int64_t i = 0; i <= state.EntryCount && i < static_cast<std::int64_t>(state.ReportLines.size()); ++i) {
    lines.emplace_back(state.ReportLines[static_cast<std::size_t>(i)]);
  }
  return lines;
}

// Records every call as one text ("max:5", "pos:3", "total:...", ...).
class RecordingDisplay : public ScanDisplay {
 public:
  void HideLabels() override { calls.push_back("hide"); }
  void ShowLabels() override { calls.push_back("labels"); }
  void SetFileTotalCaption(std::string_view caption) override {
    file_total = caption;
    calls.push_back("total:" + file_total);
  }
  void SetSummaryCaption(std::string_view caption) override {
    summary = caption;
    calls.push_back("summary:" + summary);
  }
  void SetProgressMaximum(std::int64_t maximum) override {
    calls.push_back("max:" + std::to_string(maximum));
  }
  void SetProgressPosition(std::int64_t position) override {
    calls.push_back("pos:" + std::to_string(position));
  }
  void SetSaveButtonVisible(bool visible) override {
    calls.push_back(visible ? "save:shown" : "save:hidden");
  }
  void ShowReport(const ScanState& state) override {
    calls.push_back("report:" + std::to_string(state.EntryCount));
    shown_report = ReportOf(state);
  }

  // The positions given after the n-th (0-based) SetProgressMaximum call.
  std::vector<std::int64_t> PositionsAfterMaximum(int n) const {
    std::vector<std::int64_t> positions;
    int seen = -1;
    for (const std::string& call : calls) {
      if (call.starts_with("max:")) ++seen;
      else if (seen == n && call.starts_with("pos:")) positions.push_back(std::stoll(call.substr(4)));
    }
    return positions;
  }

  std::vector<std::string> calls;
  std::string file_total;
  std::string summary;
  std::vector<std::string> shown_report;
};

}  // namespace vorlex::testing_analysis
