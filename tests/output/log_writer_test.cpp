#include "output/log_writer.h"

#include <gtest/gtest.h>
#include <stdlib.h>
#include <sys/mount.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "app/texts.h"
#include "tests/support/fixture_tree.h"
#include "tests/support/own_mounts.h"

namespace vorlex {
namespace {

namespace fs = std::filesystem;
using testing::ReadFile;

// A fresh directory under the system's temporary directory, removed with
// everything in it at the end of the test.
class TempDir {
 public:
  TempDir() {
    std::string pattern = (fs::temp_directory_path() / "vorlex-log-XXXXXX").string();
    if (::mkdtemp(pattern.data()) == nullptr) {
      ADD_FAILURE() << "mkdtemp: " << std::strerror(errno);
    }
    path_ = pattern;
  }
  ~TempDir() {
    std::error_code ignored;
    fs::remove_all(path_, ignored);
  }
  const std::string& path() const { return path_; }

 private:
  std::string path_;
};

void WriteFile(const std::string& path, std::string_view bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

// The names in a directory, sorted; empty when it cannot be read.
std::vector<std::string> ListDir(const std::string& path) {
  std::vector<std::string> names;
  std::error_code error;
  for (const auto& entry : fs::directory_iterator(path, error)) {
    names.push_back(entry.path().filename().string());
  }
  std::sort(names.begin(), names.end());
  return names;
}

std::string CurrentDir() {
  std::error_code ignored;
  return fs::current_path(ignored).string();
}

// A scan state holding only what the log writer reads: a finished report.
void FillState(ScanState& state, const std::string& prefix, const std::vector<std::string>& lines,
               std::string date = "99/12/31", std::string time = "9:05:07") {
  state.DrivePrefix = prefix;
  state.StartDate = std::move(date);
  state.StartTime = std::move(time);
  state.ReportLines.clear();
  for (const auto& line : lines) state.ReportLines.push_back(line);
  state.EntryCount = static_cast<std::int64_t>(lines.size()) - 1;
}

// The bytes a log of `lines` must hold.
std::string LogBytes(const std::vector<std::string>& lines) {
  std::string bytes;
  for (const auto& line : lines) bytes.append(line).append("\r\n ");
  return bytes;
}

const std::vector<std::string> kOneGroup = {
    "1", "a.txt       /d/x/a.txt . . . 3 KB 1999/12/31 9:05:07",
    "a.txt       /d/y/a.txt . . . 1 KB 2000/01/01", ""};

// --- Naming ---------------------------------------------------------------

TEST(LogFileName, CutsSixPiecesByTheHourShift) {
  struct Case {
    const char* date;
    const char* time;
    const char* name;
  };
  const Case cases[] = {
      {"99/12/31", "9:05:07", "VX99123190507.log"},   // one-digit hour
      {"99/12/31", "12:34:56", "VX991231123456.log"},
      {"99/12/31", "10:05:07", "VX991231100507.log"},  // hour 10 keeps its 0
      {"99/12/31", "0:00:00", "VX99123100000.log"},
      {"24/02/29", "23:59:59", "VX240229235959.log"},
      // Texts of other forms are cut to what is there, never read past.
      {"99/1", "9:0", "VX99190.log"},
      {"", "", "VX.log"},
      {"99/12/31", "9", "VX9912319.log"},
      {"99/12/31", "123", "VX99123112.log"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(LogFileName(c.date, c.time), c.name) << c.date << " " << c.time;
  }
}

TEST(LogDirectoryPath, IsVorlexAtTheDriveRoot) {
  ScanState state;
  state.DrivePrefix = "/media/usb";
  EXPECT_EQ(LogDirectoryPath(state), "/media/usb/Vorlex");
  state.DrivePrefix = "";
  EXPECT_EQ(LogDirectoryPath(state), "/Vorlex");
}

// --- Bytes of the log -----------------------------------------------------

TEST(SaveLog, WritesEachLineWithCrLfAndASpace) {
  TempDir root;
  const std::string name_bytes = "\xff\xfe bad\x81 utf8 ファイル";
  struct Case {
    const char* what;
    std::vector<std::string> lines;
    std::string bytes;
  };
  const Case cases[] = {
      {"one group of two files", kOneGroup,
       "1\r\n " + kOneGroup[1] + "\r\n " + kOneGroup[2] + "\r\n \r\n "},
      {"no group", {std::string(texts::kNoSameName)}, std::string(texts::kNoSameName) + "\r\n "},
      {"bytes unchanged", {name_bytes, ""}, name_bytes + "\r\n \r\n "},
  };
  for (const auto& c : cases) {
    ScanState state;
    FillState(state, root.path(), c.lines);
    // A slot past EntryCount is not part of the report.
    state.ReportLines.push_back("stale line");
    SaveOutcome outcome = SaveLog(state);
    ASSERT_TRUE(outcome.saved) << c.what << ": " << outcome.reason;
    EXPECT_EQ(outcome.reason, "");
    EXPECT_EQ(outcome.path, root.path() + "/Vorlex/VX99123190507.log");
    EXPECT_EQ(ReadFile(outcome.path), c.bytes) << c.what;
  }
}

TEST(SaveLog, WritesALargeReportWhole) {
  // Many lines across many buffer loads, and one line bigger than any buffer.
  TempDir root;
  std::vector<std::string> lines;
  for (int i = 0; i < 300000; ++i) {
    lines.push_back(std::string(static_cast<std::size_t>(i % 53), 'a' + i % 26) +
                    std::to_string(i));
    if (i == 150000) lines.push_back(std::string(3 << 20, 'x'));
  }
  ScanState state;
  FillState(state, root.path(), lines);
  SaveOutcome outcome = SaveLog(state);
  ASSERT_TRUE(outcome.saved) << outcome.reason;
  const std::string expected = LogBytes(lines);
  const std::string actual = ReadFile(outcome.path);
  ASSERT_EQ(actual.size(), expected.size());
  EXPECT_TRUE(actual == expected);
}

// --- The log directory and the file ---------------------------------------

TEST(SaveLog, MakesTheLogDirectoryWhenAbsent) {
  TempDir root;
  const std::string cwd = CurrentDir();
  const mode_t old_mask = ::umask(027);
  ScanState state;
  FillState(state, root.path(), kOneGroup);
  SaveOutcome outcome = SaveLog(state);
  ::umask(old_mask);

  ASSERT_TRUE(outcome.saved) << outcome.reason;
  EXPECT_EQ(ListDir(root.path()), std::vector<std::string>{"Vorlex"});
  EXPECT_EQ(ListDir(root.path() + "/Vorlex"), std::vector<std::string>{"VX99123190507.log"});
  EXPECT_EQ(ReadFile(outcome.path), LogBytes(kOneGroup));
  // The modes of any ordinary new directory and file under that umask.
  struct stat info;
  ASSERT_EQ(::stat((root.path() + "/Vorlex").c_str(), &info), 0);
  EXPECT_TRUE(S_ISDIR(info.st_mode));
  EXPECT_EQ(info.st_mode & 07777, 0750u);
  ASSERT_EQ(::lstat(outcome.path.c_str(), &info), 0);
  EXPECT_TRUE(S_ISREG(info.st_mode));
  EXPECT_EQ(info.st_mode & 07777, 0640u);
  EXPECT_EQ(CurrentDir(), cwd);
}

TEST(SaveLog, UsesThePresentLogDirectoryAndKeepsItsFiles) {
  TempDir root;
  const std::string dir = root.path() + "/Vorlex";
  ASSERT_EQ(::mkdir(dir.c_str(), 0700), 0);
  WriteFile(dir + "/VX990101120000.log", "older log");
  struct stat before;
  ASSERT_EQ(::stat(dir.c_str(), &before), 0);
  const std::string cwd = CurrentDir();

  ScanState state;
  FillState(state, root.path(), kOneGroup, "99/12/31", "12:34:56");
  EXPECT_EQ(EnsureLogDirectory(state), 0);
  SaveOutcome outcome = SaveLog(state);

  ASSERT_TRUE(outcome.saved) << outcome.reason;
  struct stat after;
  ASSERT_EQ(::stat(dir.c_str(), &after), 0);
  EXPECT_EQ(after.st_ino, before.st_ino);
  EXPECT_EQ(after.st_mode, before.st_mode);
  EXPECT_EQ(ListDir(root.path()), std::vector<std::string>{"Vorlex"});
  EXPECT_EQ(ListDir(dir), (std::vector<std::string>{"VX990101120000.log", "VX991231123456.log"}));
  EXPECT_EQ(ReadFile(dir + "/VX990101120000.log"), "older log");
  EXPECT_EQ(CurrentDir(), cwd);
}

TEST(SaveLog, SecondScanOfTheSameSecondReplacesTheFirst) {
  TempDir root;
  ScanState first;
  FillState(first, root.path(), kOneGroup);
  ASSERT_TRUE(SaveLog(first).saved);
  ScanState second;
  FillState(second, root.path(), {std::string(texts::kNoSameName)});
  SaveOutcome outcome = SaveLog(second);
  ASSERT_TRUE(outcome.saved) << outcome.reason;
  EXPECT_EQ(ListDir(root.path() + "/Vorlex"), std::vector<std::string>{"VX99123190507.log"});
  EXPECT_EQ(ReadFile(outcome.path), std::string(texts::kNoSameName) + "\r\n ");
}

TEST(SaveLog, ReplacesASymbolicLinkInsteadOfWritingThroughIt) {
  TempDir root;
  const std::string dir = root.path() + "/Vorlex";
  const std::string target = root.path() + "/elsewhere.txt";
  ASSERT_EQ(::mkdir(dir.c_str(), 0755), 0);
  WriteFile(target, "precious");
  ASSERT_EQ(::symlink(target.c_str(), (dir + "/VX99123190507.log").c_str()), 0);

  ScanState state;
  FillState(state, root.path(), kOneGroup);
  SaveOutcome outcome = SaveLog(state);

  ASSERT_TRUE(outcome.saved) << outcome.reason;
  struct stat info;
  ASSERT_EQ(::lstat(outcome.path.c_str(), &info), 0);
  EXPECT_TRUE(S_ISREG(info.st_mode));
  EXPECT_EQ(ReadFile(outcome.path), LogBytes(kOneGroup));
  EXPECT_EQ(ReadFile(target), "precious");
  EXPECT_EQ(ListDir(dir), std::vector<std::string>{"VX99123190507.log"});
}

// --- Failures: nothing lost, the truth told -------------------------------

TEST(SaveLog, FailsWithTheReasonWhenTheLogCannotBePlaced) {
  struct Case {
    const char* what;
    std::function<void(const std::string& root)> setup;
    std::string drive;  // below the temporary root
    int error;
  };
  const std::string log = "/Vorlex/VX99123190507.log";
  const Case cases[] = {
      {"Vorlex is a plain file",
       [](const std::string& root) { WriteFile(root + "/Vorlex", "not a directory"); }, "",
       ENOTDIR},
      {"Vorlex is a dangling link",
       [](const std::string& root) {
         ASSERT_EQ(::symlink((root + "/nowhere").c_str(), (root + "/Vorlex").c_str()), 0);
       },
       "", ENOENT},
      {"the drive root is missing", [](const std::string&) {}, "/missing", ENOENT},
      {"a directory holds the log's name",
       [&log](const std::string& root) {
         ASSERT_EQ(::mkdir((root + "/Vorlex").c_str(), 0755), 0);
         ASSERT_EQ(::mkdir((root + log).c_str(), 0755), 0);
       },
       "", EISDIR},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    TempDir root;
    c.setup(root.path());
    const std::vector<std::string> top_before = ListDir(root.path());
    const std::vector<std::string> log_dir_before = ListDir(root.path() + "/Vorlex");
    const std::string vorlex_before = ReadFile(root.path() + "/Vorlex");

    ScanState state;
    FillState(state, root.path() + c.drive, kOneGroup);
    SaveOutcome outcome = SaveLog(state);

    EXPECT_FALSE(outcome.saved);
    EXPECT_EQ(outcome.path, root.path() + c.drive + log);
    EXPECT_EQ(outcome.reason, std::strerror(c.error));
    EXPECT_EQ(ListDir(root.path()), top_before);
    EXPECT_EQ(ListDir(root.path() + "/Vorlex"), log_dir_before);
    EXPECT_EQ(ReadFile(root.path() + "/Vorlex"), vorlex_before);
  }
}

TEST(SaveLog, RefusesAStateThatIsNoReport) {
  struct Case {
    const char* what;
    std::function<void(ScanState&)> spoil;
  };
  const Case cases[] = {
      {"no line at all", [](ScanState& s) { s.EntryCount = -1; }},
      {"line count past the table",
       [](ScanState& s) { s.EntryCount = static_cast<std::int64_t>(s.ReportLines.size()); }},
      {"a slash in the start date", [](ScanState& s) { s.StartDate = "9/12/31"; }},
      {"a NUL in the drive prefix", [](ScanState& s) { s.DrivePrefix += std::string("\0x", 2); }},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    TempDir root;
    ScanState state;
    FillState(state, root.path(), kOneGroup);
    c.spoil(state);
    SaveOutcome outcome = SaveLog(state);
    EXPECT_FALSE(outcome.saved);
    EXPECT_EQ(outcome.reason, std::strerror(EINVAL));
    EXPECT_EQ(ListDir(root.path()), std::vector<std::string>{});
  }
}

// Runs `body` in a child process with mounts of its own. `body` returns ""
// when all is well, otherwise what went wrong. Skips the test when the system
// does not permit the namespace.
void ExpectWithOwnMounts(const std::function<std::string()>& body) {
  std::optional<std::string> failures = testing::RunWithOwnMounts(body);
  if (!failures) GTEST_SKIP() << "mount namespaces not permitted";
  EXPECT_EQ(*failures, "") << "in the child";
}

// Collects the failed checks of a child for its exit report.
struct ChildChecks {
  std::string failures;
  void Expect(bool ok, const std::string& what) {
    if (!ok) failures += what + "; ";
  }
};

std::string MountTmpfs(const std::string& where, const char* options) {
  if (::mount("none", where.c_str(), "tmpfs", 0, options) != 0) {
    return std::string("mount tmpfs: ") + std::strerror(errno);
  }
  return "";
}

TEST(SaveLog, FullDriveKeepsTheEarlierLog) {
  TempDir root;
  const std::string drive = root.path() + "/drive";
  ASSERT_EQ(::mkdir(drive.c_str(), 0755), 0);
  ExpectWithOwnMounts([&]() -> std::string {
    if (std::string error = MountTmpfs(drive, "size=64k"); !error.empty()) return error;
    ChildChecks check;
    ScanState earlier;
    FillState(earlier, drive, kOneGroup);
    SaveOutcome first = SaveLog(earlier);
    check.Expect(first.saved, "the earlier small log was not saved: " + first.reason);

    // Far more than the 64 KB the drive holds.
    std::vector<std::string> big(4000, std::string(100, 'z'));
    ScanState later;
    FillState(later, drive, big);
    SaveOutcome outcome = SaveLog(later);
    check.Expect(!outcome.saved, "a save onto a full drive said it saved");
    check.Expect(outcome.reason == std::strerror(ENOSPC), "reason was '" + outcome.reason + "'");
    check.Expect(outcome.path == first.path, "path was '" + outcome.path + "'");
    check.Expect(ListDir(drive + "/Vorlex") == std::vector<std::string>{"VX99123190507.log"},
                 "the log directory holds more or less than the earlier log");
    check.Expect(ReadFile(first.path) == LogBytes(kOneGroup), "the earlier log was changed");
    return check.failures;
  });
}

TEST(SaveLog, ReadOnlyDriveKeepsTheEarlierLog) {
  TempDir root;
  const std::string drive = root.path() + "/drive";
  ASSERT_EQ(::mkdir(drive.c_str(), 0755), 0);
  ExpectWithOwnMounts([&]() -> std::string {
    if (std::string error = MountTmpfs(drive, "size=1m"); !error.empty()) return error;
    ChildChecks check;
    ScanState earlier;
    FillState(earlier, drive, kOneGroup);
    SaveOutcome first = SaveLog(earlier);
    check.Expect(first.saved, "the earlier log was not saved: " + first.reason);
    // A second drive root on the same volume, without a log directory.
    const std::string bare = drive + "/bare";
    check.Expect(::mkdir(bare.c_str(), 0755) == 0, "mkdir bare");
    if (::mount(nullptr, drive.c_str(), nullptr, MS_REMOUNT | MS_RDONLY, nullptr) != 0) {
      return std::string("remount read-only: ") + std::strerror(errno);
    }

    ScanState later;
    FillState(later, drive, {std::string(texts::kNoSameName)});
    SaveOutcome outcome = SaveLog(later);
    check.Expect(!outcome.saved, "a save onto a read-only drive said it saved");
    check.Expect(outcome.reason == std::strerror(EROFS), "reason was '" + outcome.reason + "'");
    check.Expect(ReadFile(first.path) == LogBytes(kOneGroup), "the earlier log was changed");

    ScanState other;
    FillState(other, bare, kOneGroup);
    SaveOutcome no_dir = SaveLog(other);
    check.Expect(!no_dir.saved, "a save needing a new directory on a read-only drive said it saved");
    check.Expect(no_dir.reason == std::strerror(EROFS), "reason was '" + no_dir.reason + "'");
    check.Expect(no_dir.path == bare + "/Vorlex/VX99123190507.log", "path was '" + no_dir.path + "'");
    check.Expect(ListDir(bare).empty(), "something appeared in the bare root");
    return check.failures;
  });
}

}  // namespace
}  // namespace vorlex
