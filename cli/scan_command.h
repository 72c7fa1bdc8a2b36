// vorlex-scan: the Start action without a window.
#pragma once

#include <cstdio>
#include <optional>
#include <string>

namespace vorlex {

struct ScanOptions {
  bool help = false;
  bool save = false;
  // The directory scanned as the drive root; the volume of the current
  // directory when absent.
  std::optional<std::string> root;
};

// Exit statuses of vorlex-scan.
inline constexpr int kExitScanned = 0;
inline constexpr int kExitFailed = 1;  // the save or the report output failed
inline constexpr int kExitUsage = 2;

// Parses argv; returns false with a message in `error` on a usage error.
bool ParseScanArguments(int argc, const char* const* argv, ScanOptions& options,
                        std::string& error);

// Runs one scan: the report on `out`, the file total, the summary and (with
// --save) the log's path on `err`. Returns the exit status.
int RunScanCommand(const ScanOptions& options, std::FILE* out, std::FILE* err);

// The text of --help.
const char* ScanUsage();

}  // namespace vorlex
