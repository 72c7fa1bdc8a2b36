// A deliberately literal, slow model of the analysis, to compare the real one
// against: entries really move through the slots along cycles, names are
// tested pairwise and blanked when taken, both orders are exchange sorts with
// full passes, and each group's block is searched for from the first staged
// line. The block search follows the group a staged line was written for, so
// a block holds exactly its own group's lines.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "tests/analysis/analysis_fixture.h"

namespace vorlex::testing_analysis {

struct LiteralResult {
  std::vector<std::string> report;  // slots 0..entry_count
  std::int64_t entry_count = 0;
  std::string file_total;
  std::string summary;
  std::int64_t examined = 0;  // last progress position of the grouping
};

LiteralResult LiteralAnalysis(const std::vector<FileRow>& rows);

}  // namespace vorlex::testing_analysis
