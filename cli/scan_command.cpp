#include "cli/scan_command.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <string_view>

#include "app/scan_display.h"
#include "app/scan_state.h"
#include "app/start_action.h"
#include "output/log_writer.h"
#include "platform/volumes.h"
#include "walk/posix_directory_search.h"

namespace vorlex {
namespace {

// Keeps the two label texts for the end of the run, and shows a live count
// while walking when stderr is a terminal.
class TerminalDisplay : public ScanDisplay {
 public:
  explicit TerminalDisplay(std::FILE* err) : err_(err), live_(isatty(fileno(err)) == 1) {}

  void SetFileTotalCaption(std::string_view caption) override { file_total_ = caption; }
  void SetSummaryCaption(std::string_view caption) override { summary_ = caption; }

  void WalkProgress(std::int64_t files, std::int64_t directories) override {
    if (!live_) return;
    auto now = std::chrono::steady_clock::now();
    if (now - last_shown_ < std::chrono::milliseconds(100)) return;
    last_shown_ = now;
    std::fprintf(err_, "\r%lld files in %lld directories...", static_cast<long long>(files),
                 static_cast<long long>(directories));
    std::fflush(err_);
    shown_ = true;
  }

  // Wipes the live count so the summary lines start on a clean line.
  void EndLiveLine() {
    if (shown_) std::fputs("\r\033[K", err_);
    shown_ = false;
  }

  const std::string& file_total() const { return file_total_; }
  const std::string& summary() const { return summary_; }

 private:
  std::FILE* err_;
  bool live_;
  bool shown_ = false;
  std::chrono::steady_clock::time_point last_shown_{};
  std::string file_total_;
  std::string summary_;
};

// The real absolute path of a directory that can be listed, or "" with the
// reason in `reason`.
std::string ResolveRoot(const std::string& root, std::string& reason) {
  char resolved[PATH_MAX];
  if (realpath(root.c_str(), resolved) == nullptr) {
    reason = std::strerror(errno);
    return "";
  }
  struct stat st;
  if (stat(resolved, &st) != 0) {
    reason = std::strerror(errno);
    return "";
  }
  if (!S_ISDIR(st.st_mode)) {
    reason = std::strerror(ENOTDIR);
    return "";
  }
  if (access(resolved, R_OK | X_OK) != 0) {
    reason = std::strerror(errno);
    return "";
  }
  return resolved;
}

}  // namespace

const char* ScanUsage() {
  return "Usage: vorlex-scan [--save] [ROOT]\n"
         "Finds the files that share exactly the same name, from ROOT down to nine\n"
         "levels below it (ROOT defaults to the mounted volume that holds the current\n"
         "directory), and prints the numbered groups on stdout.\n"
         "\n"
         "stderr gets the file total and the summary of the groups; with --save, the\n"
         "report is also saved as ROOT/Vorlex/VX<date><time>.log and its path follows.\n"
         "\n"
         "  --save   save the report as a log file at ROOT\n"
         "  --help   show this text\n"
         "\n"
         "Exit status: 0 after a scan, 1 when the save failed (the report is still\n"
         "printed), 2 for a usage error or a ROOT that is not a readable directory.\n";
}

bool ParseScanArguments(int argc, const char* const* argv, ScanOptions& options,
                        std::string& error) {
  bool options_ended = false;
  for (int i = 1; i < argc; ++i) {
    std::string_view arg = argv[i];
    if (!options_ended && arg == "--") {
      options_ended = true;
    } else if (!options_ended && (arg == "--help" || arg == "-h")) {
      options.help = true;
    } else if (!options_ended && arg == "--save") {
      options.save = true;
    } else if (!options_ended && arg.size() > 1 && arg[0] == '-') {
      error = "unknown option '" + std::string(arg) + "'";
      return false;
    } else if (options.root) {
      error = "more than one ROOT given";
      return false;
    } else {
      options.root = std::string(arg);
    }
  }
  return true;
}

int RunScanCommand(const ScanOptions& options, std::FILE* out, std::FILE* err) {
  std::string root;
  if (options.root) {
    std::string reason;
    root = ResolveRoot(*options.root, reason);
    if (root.empty()) {
      std::fprintf(err, "vorlex-scan: cannot scan '%s': %s\n", options.root->c_str(),
                   reason.c_str());
      return kExitUsage;
    }
  } else {
    root = VolumeOf(".");
    if (root.empty()) {
      std::fprintf(err, "vorlex-scan: cannot find the volume of the current directory: %s\n",
                   std::strerror(errno));
      return kExitUsage;
    }
  }

  ScanState state;
  state.DriveLetter = root;
  TerminalDisplay display(err);
  auto search = MakePosixDirectorySearch();
  RunStartAction(state, *search, display);
  display.EndLiveLine();

  // One large buffer: a report can have millions of lines.
  static char buffer[1 << 16];
  std::setvbuf(out, buffer, _IOFBF, sizeof buffer);
  for (std::int64_t i = 0; i <= state.EntryCount && i < static_cast<std::int64_t>(state.ReportLines.size()); ++i) {
    std::string_view line = state.ReportLines[static_cast<std::size_t>(i)];
    if (!line.empty()) std::fwrite(line.data(), 1, line.size(), out);
    std::fputc('\n', out);
  }
  bool printed = std::fflush(out) == 0 && !std::ferror(out);
  std::fprintf(err, "%s\n%s\n", display.file_total().c_str(), display.summary().c_str());
  if (!printed) {
    std::fprintf(err, "vorlex-scan: cannot write the report: %s\n", std::strerror(errno));
  }

  int status = printed ? kExitScanned : kExitFailed;
  if (options.save) {
    SaveOutcome outcome = SaveLog(state);
    if (outcome.saved) {
      std::fprintf(err, "%s\n", outcome.path.c_str());
    } else {
      std::fprintf(err, "vorlex-scan: cannot save the log '%s': %s\n", outcome.path.c_str(),
                   outcome.reason.c_str());
      status = kExitFailed;
    }
  }
  std::fflush(err);
  return status;
}

}  // namespace vorlex
