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

// Makes the log directory unless an entry of that name (of any kind) exists.
// Returns 0 or the errno of the failed mkdir (EINVAL for a path with a NUL).
int EnsureLogDirectory(const ScanState& state);

// Writes ReportLines[0..EntryCount] to the log file, each line followed by
// CR, LF and one space. The file appears whole or not at all: the bytes go to
// a hidden temporary file in the log directory, which replaces the log's name
// (a file or a symbolic link there) only once it is written and flushed. On
// failure nothing is left behind, an earlier log of that name is unchanged,
// and the outcome holds saved=false, the log's path and the system's reason.
// A state that holds no report (EntryCount outside ReportLines) or whose
// name would hold "/" or NUL is not saved (reason: EINVAL's text).
SaveOutcome SaveLog(const ScanState& state);

}  // namespace vorlex
