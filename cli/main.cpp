// vorlex-scan [--save] [ROOT]: one scan without a window.
#include <cstdio>
#include <string>

#include "cli/scan_command.h"

int main(int argc, char** argv) {
  vorlex::ScanOptions options;
  std::string error;
  if (!vorlex::ParseScanArguments(argc, argv, options, error)) {
    std::fprintf(stderr, "vorlex-scan: %s\n%s", error.c_str(), vorlex::ScanUsage());
    return vorlex::kExitUsage;
  }
  if (options.help) {
    std::fputs(vorlex::ScanUsage(), stdout);
    return vorlex::kExitScanned;
  }
  return vorlex::RunScanCommand(options, stdout, stderr);
}
