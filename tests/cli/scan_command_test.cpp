// vorlex-scan as a user runs it: the real program on fixture trees, its
// stdout, stderr and exit status compared whole.
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <cstdlib>
#include <sstream>
#include <string>
#include <vector>

#include "tests/support/fixture_tree.h"

namespace vorlex {
namespace {

using testing::FixtureRow;
using testing::FixtureTree;
using testing::ReadFile;

// 2017-10-29 19:04:38 UTC; the tests run in UTC.
constexpr std::int64_t kOctober2017 = 1509303878;

struct ScanRun {
  int status = -1;
  std::string out;
  std::string err;
};

// Runs vorlex-scan with `args`, stdout and stderr captured in files.
ScanRun RunScan(const std::vector<std::string>& args, const std::string& work_dir = "") {
  char out_path[] = "/tmp/vorlex-cli-out-XXXXXX";
  char err_path[] = "/tmp/vorlex-cli-err-XXXXXX";
  int out_fd = mkstemp(out_path);
  int err_fd = mkstemp(err_path);
  pid_t pid = fork();
  if (pid == 0) {
    dup2(out_fd, 1);
    dup2(err_fd, 2);
    if (!work_dir.empty() && chdir(work_dir.c_str()) != 0) _exit(127);
    std::vector<char*> argv{const_cast<char*>(VORLEX_SCAN_PATH)};
    for (const std::string& arg : args) argv.push_back(const_cast<char*>(arg.c_str()));
    argv.push_back(nullptr);
    setenv("TZ", "UTC", 1);
    execv(VORLEX_SCAN_PATH, argv.data());
    _exit(127);
  }
  ScanRun run;
  int wait_status = 0;
  waitpid(pid, &wait_status, 0);
  run.status = WIFEXITED(wait_status) ? WEXITSTATUS(wait_status) : -1;
  close(out_fd);
  close(err_fd);
  run.out = ReadFile(out_path);
  run.err = ReadFile(err_path);
  unlink(out_path);
  unlink(err_path);
  return run;
}

TEST(VorlexScan, WholeScanOfOneGroup) {
  FixtureTree tree({{"a.txt", 0, kOctober2017}, {"Data/a.txt", 2048, kOctober2017}});
  const std::string& r = tree.root();
  ScanRun run = RunScan({r});
  EXPECT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(run.out, "1\n"
                     "a.txt       " + r + "/Data/a.txt . . . . . 3 KB 2017/10/29 19:04:38\n"
                     "a.txt       " + r + "/a.txt . . . . . 1 KB 2017/10/29 19:04:38\n"
                     "\n");
  EXPECT_EQ(run.err, "総ファイル数＝2\n"
                     "同名ファイル＝1組　　そのファイル数＝2    その合計サイズ＝4 KB\n");
}

TEST(VorlexScan, NoGroupPrintsTheNoSameNameLine) {
  FixtureTree tree({{"a.txt", 10, kOctober2017}, {"sub/b.txt", 10, kOctober2017}});
  ScanRun run = RunScan({tree.root()});
  EXPECT_EQ(run.status, 0);
  EXPECT_EQ(run.out, "同名のファイルはありません。\n");
  EXPECT_EQ(run.err, "総ファイル数＝2\n"
                     "同名ファイル＝0組　　そのファイル数＝0    その合計サイズ＝0 KB\n");
}

TEST(VorlexScan, RootIsTakenAsItsRealAbsolutePath) {
  // A relative ROOT through a symbolic link still prints real paths.
  FixtureTree tree({{"real/x", 0, kOctober2017},
                    {"real/d/x", 0, kOctober2017},
                    {"link", 0, 0, "real"}});
  ScanRun run = RunScan({"link/"}, tree.root());
  ASSERT_EQ(run.status, 0) << run.err;
  EXPECT_NE(run.out.find("       " + tree.root() + "/real/d/x . . "), std::string::npos)
      << run.out;
}

TEST(VorlexScan, UsageErrorsPrintNothingOnStdout) {
  FixtureTree tree({{"file.txt", 1, kOctober2017}});
  struct Case {
    std::vector<std::string> args;
    std::string message;
  };
  const std::vector<Case> cases = {
      {{"--frobnicate"}, "unknown option '--frobnicate'"},
      {{tree.root(), tree.root()}, "more than one ROOT"},
      {{tree.Path("file.txt")}, "Not a directory"},
      {{tree.Path("missing")}, "No such file or directory"},
  };
  for (const Case& c : cases) {
    ScanRun run = RunScan(c.args);
    EXPECT_EQ(run.status, 2) << c.message;
    EXPECT_EQ(run.out, "") << c.message;
    EXPECT_NE(run.err.find(c.message), std::string::npos) << run.err;
  }
}

TEST(VorlexScan, HelpExplainsItself) {
  ScanRun run = RunScan({"--help"});
  EXPECT_EQ(run.status, 0);
  EXPECT_NE(run.out.find("Usage: vorlex-scan [--save] [ROOT]"), std::string::npos);
  EXPECT_NE(run.out.find("Exit status"), std::string::npos);
}

TEST(VorlexScan, SaveWritesTheLogAndNamesIt) {
  FixtureTree tree({{"a.txt", 0, kOctober2017}, {"Data/a.txt", 2048, kOctober2017}});
  ScanRun run = RunScan({"--save", tree.root()});
  ASSERT_EQ(run.status, 0) << run.err;
  std::istringstream lines(run.err);
  std::string total, summary, path;
  std::getline(lines, total);
  std::getline(lines, summary);
  std::getline(lines, path);
  ASSERT_EQ(path.rfind(tree.root() + "/Vorlex/VX", 0), 0u) << run.err;
  const std::string& r = tree.root();
  EXPECT_EQ(ReadFile(path), "1\r\n a.txt       " + r +
                                "/Data/a.txt . . . . . 3 KB 2017/10/29 19:04:38\r\n a.txt       " +
                                r + "/a.txt . . . . . 1 KB 2017/10/29 19:04:38\r\n \r\n ");
}

TEST(VorlexScan, FailedSaveStillPrintsTheReportAndExitsOne) {
  // An entry named Vorlex that is a plain file: the log cannot be written.
  FixtureTree tree({{"Vorlex", 5, kOctober2017}, {"d/Vorlex", 5, kOctober2017}});
  ScanRun run = RunScan({"--save", tree.root()});
  EXPECT_EQ(run.status, 1);
  EXPECT_EQ(run.out.substr(0, 2), "1\n");
  EXPECT_NE(run.err.find("vorlex-scan: cannot save the log '" + tree.root() + "/Vorlex/VX"),
            std::string::npos)
      << run.err;
  EXPECT_NE(run.err.find("Not a directory"), std::string::npos) << run.err;
  EXPECT_EQ(ReadFile(tree.Path("Vorlex")).size(), 5u);
}

}  // namespace
}  // namespace vorlex
