// The log writer: saves the report of the last scan in the log directory at
// the root of the scanned drive.
#pragma once

#include <string>
#include <string_view>

#include "app/scan_state.h"

namespace vorlex {

struct SaveOutcome {
  bool saved = false;
  // The log file's path, also when the save failed (the path it tried).
  std::string path;
  // Why the save failed, as the system says it (strerror text); empty on
  // success.
  std::string reason;
};

// DrivePrefix + "/Vorlex".
std::string LogDirectoryPath(const ScanState& state);

// "VX" + yy mm dd + hour (one digit before 10) mm ss + ".log", cut from a
// date text yy/mm/dd and a time text H:mm:ss.
std::string LogFileName(std::string_view start_date, std::string_view start_time);

// Makes the log directory unless an entry of that name exists. Returns 0 or
// the errno of the failed mkdir.
int EnsureLogDirectory(const ScanState& state);

// Writes ReportLines[0..EntryCount] to the log file, each line followed by
// CR, LF and one space. The file appears whole or not at all.
SaveOutcome SaveLog(const ScanState& state);

}  // namespace vorlex
