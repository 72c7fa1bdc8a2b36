#include "output/log_writer.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstdint>
#include <cstring>
#include <memory>
#include <string>
#include <utility>

#include "app/texts.h"

namespace vorlex {
namespace {

// What follows every report line in a log: CR, LF and one space.
constexpr std::string_view kLineEnd = "\r\n ";

// Bytes gathered before one write(); a report can have millions of lines.
constexpr std::size_t kWriteBufferSize = std::size_t{1} << 20;

// Attempts at finding an unused temporary name before giving up.
constexpr int kTempNameAttempts = 100;

// The substring of `text` at 1-based position `first` with at most `length`
// bytes, cut to the text: a position past the end gives "".
std::string_view CutText(std::string_view text, std::size_t first, std::size_t length) {
  if (first < 1 || first > text.size()) return {};
  return text.substr(first - 1, length);
}

std::string ErrorText(int error) { return std::strerror(error); }

// write() until every byte is out; returns 0 or the errno of the failure.
int WriteAll(int fd, const char* data, std::size_t size) {
  while (size > 0) {
    ssize_t written = ::write(fd, data, size);
    if (written < 0) {
      if (errno == EINTR) continue;
      return errno;
    }
    if (written == 0) return EIO;  // no progress and no reason: do not spin
    data += written;
    size -= static_cast<std::size_t>(written);
  }
  return 0;
}

// Gathers the log's bytes in one large buffer and hands them to the file in
// big writes. The first failure sticks: later calls do nothing.
class BufferedWriter {
 public:
  explicit BufferedWriter(int fd)
      : fd_(fd), buffer_(std::make_unique<char[]>(kWriteBufferSize)) {}

  void Append(std::string_view bytes) {
    // An empty view may have no data at all, which memcpy must not get.
    if (error_ != 0 || bytes.empty()) return;
    if (bytes.size() > kWriteBufferSize - used_) {
      Flush();
      // A line longer than the whole buffer goes straight to the file.
      if (bytes.size() > kWriteBufferSize) {
        if (error_ == 0) error_ = WriteAll(fd_, bytes.data(), bytes.size());
        return;
      }
    }
    if (error_ != 0) return;
    std::memcpy(buffer_.get() + used_, bytes.data(), bytes.size());
    used_ += bytes.size();
  }

  // Writes out what is gathered; returns 0 or the errno of the first failure.
  int Flush() {
    if (error_ == 0 && used_ > 0) error_ = WriteAll(fd_, buffer_.get(), used_);
    used_ = 0;
    return error_;
  }

 private:
  int fd_;
  std::unique_ptr<char[]> buffer_;
  std::size_t used_ = 0;
  int error_ = 0;
};

// Creates a new hidden file next to the log, named after it, with O_EXCL so it
// never opens anything that was already there. The mode 0666 lets the umask
// give it the permissions of any ordinary new file. Returns the descriptor,
// or -1 with errno set.
int CreateTempFile(const std::string& directory, std::string_view file_name,
                   std::string& temp_path) {
  static std::atomic<std::uint64_t> counter{0};
  std::uint64_t seed =
      static_cast<std::uint64_t>(
          std::chrono::steady_clock::now().time_since_epoch().count()) ^
      (static_cast<std::uint64_t>(::getpid()) << 32);
  static constexpr char kDigits[] = "0123456789abcdefghijklmnopqrstuvwxyz";
  for (int attempt = 0; attempt < kTempNameAttempts; ++attempt) {
    // A 64-bit mix of time, process and a counter: unique enough that a clash
    // with another writer is rare, and O_EXCL catches the rare one.
    std::uint64_t x = seed + 0x9E3779B97F4A7C15ull * ++counter;
    x = (x ^ (x >> 30)) * 0xBF58476D1CE4E5B9ull;
    x = (x ^ (x >> 27)) * 0x94D049BB133111EBull;
    x ^= x >> 31;
    std::string suffix;
    for (int i = 0; i < 8; ++i, x /= 36) suffix.push_back(kDigits[x % 36]);
    temp_path = directory;
    temp_path.append("/.").append(file_name).append(".").append(suffix);
    int fd = ::open(temp_path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (fd >= 0 || errno != EEXIST) return fd;
  }
  errno = EEXIST;
  return -1;
}

// Writes the report lines to `fd`, then flushes them to the drive and closes
// it. Returns 0 or the errno of the first failure; `fd` is closed either way.
int WriteReport(int fd, const ScanState& state) {
  int error = 0;
  {
    BufferedWriter writer(fd);
    for (std::int64_t i = 0; i <= state.EntryCount; ++i) {
      writer.Append(state.ReportLines[static_cast<std::size_t>(i)]);
      writer.Append(kLineEnd);
    }
    error = writer.Flush();
  }
  // Errors of a full drive or a failing device may show only here.
  if (error == 0 && ::fdatasync(fd) != 0) error = errno;
  // close() is not retried on EINTR: on Linux the descriptor is gone anyway.
  if (::close(fd) != 0 && error == 0) error = errno;
  return error;
}

// Makes the rename of a new log lasting. Its failure is not reported: the
// log is in place and readable, only its survival of a power cut is not sure.
void SyncDirectory(const std::string& directory) {
  int fd = ::open(directory.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd < 0) return;
  ::fsync(fd);
  ::close(fd);
}

SaveOutcome Failed(std::string path, int error) {
  SaveOutcome outcome;
  outcome.path = std::move(path);
  outcome.reason = ErrorText(error);
  return outcome;
}

}  // namespace

std::string LogDirectoryPath(const ScanState& state) {
  std::string path = state.DrivePrefix;
  path.append(texts::kLogDirectory);
  return path;
}

std::string LogFileName(std::string_view start_date, std::string_view start_time) {
  // A one-digit hour moves the minutes and seconds one place to the left.
  const std::size_t shift = (start_time.size() >= 2 && start_time[1] == ':') ? 1 : 0;
  std::string name(texts::kLogFilePrefix);
  name.append(CutText(start_date, 1, 2));
  name.append(CutText(start_date, 4, 2));
  name.append(CutText(start_date, 7, 2));
  name.append(CutText(start_time, 1, 2 - shift));
  name.append(CutText(start_time, 4 - shift, 2));
  name.append(CutText(start_time, 7 - shift, 2));
  name.append(texts::kLogFileSuffix);
  return name;
}

int EnsureLogDirectory(const ScanState& state) {
  const std::string directory = LogDirectoryPath(state);
  if (directory.find('\0') != std::string::npos) return EINVAL;
  // Any entry of that name will do, whatever its kind; a plain file there
  // then makes the save fail when it opens the log, and says why.
  struct stat info;
  if (::lstat(directory.c_str(), &info) == 0) return 0;
  if (::mkdir(directory.c_str(), 0777) == 0) return 0;
  // Made by someone else in the meantime: present as well.
  if (errno == EEXIST) return 0;
  return errno;
}

SaveOutcome SaveLog(const ScanState& state) {
  const std::string directory = LogDirectoryPath(state);
  const std::string file_name = LogFileName(state.StartDate, state.StartTime);
  std::string path = directory;
  path.append("/").append(file_name);

  // A NUL would cut the path short, and a "/" in the name would put the log
  // somewhere else; a report line count outside the table would read past it.
  // None of these comes from a real scan, and none is saved.
  if (path.find('\0') != std::string::npos ||
      file_name.find('/') != std::string::npos || state.EntryCount < 0 ||
      static_cast<std::uint64_t>(state.EntryCount) >= state.ReportLines.size()) {
    return Failed(std::move(path), EINVAL);
  }

  if (int error = EnsureLogDirectory(state); error != 0) {
    return Failed(std::move(path), error);
  }

  // The report goes to a hidden temporary file first and takes the log's
  // name only when every byte is on the drive, so a failed save leaves an
  // earlier log of that name as it was, and rename() replaces a symbolic link
  // at the name instead of writing through it.
  std::string temp_path;
  int fd = CreateTempFile(directory, file_name, temp_path);
  if (fd < 0) {
    const int error = errno;
    return Failed(std::move(path), error);
  }

  int error = WriteReport(fd, state);
  if (error == 0 && ::rename(temp_path.c_str(), path.c_str()) != 0) error = errno;
  if (error != 0) {
    ::unlink(temp_path.c_str());
    return Failed(std::move(path), error);
  }
  SyncDirectory(directory);

  SaveOutcome outcome;
  outcome.saved = true;
  outcome.path = std::move(path);
  return outcome;
}

}  // namespace vorlex
