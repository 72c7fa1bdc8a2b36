#include "walk/posix_directory_search.h"

#include <fcntl.h>
#include <limits.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <thread>

namespace vorlex {
namespace {

// One getdents64 call fills this much; large enough that most directories
// are read in one or two system calls.
constexpr std::size_t kDirentBufferSize = 256 * 1024;

// Layout of struct linux_dirent64: d_ino (8), d_off (8), d_reclen (2),
// d_type (1), then the NUL-terminated name.
constexpr std::size_t kDirentReclenOffset = 16;
constexpr std::size_t kDirentNameOffset = 19;

// Below this many entries a directory is examined by the walking thread
// alone: waking a worker would cost more than it saves.
constexpr std::size_t kParallelEntries = 64;
// Entries per slice handed to one thread at a time.
constexpr std::size_t kStatSlice = 16;
// More threads than this add little: the lstat calls of one directory share
// its locks in the kernel.
constexpr unsigned kMostSearchThreads = 8;

// The attribute word of an entry whose lstat failed, until it is dropped.
constexpr std::int32_t kNotDelivered = -1;

bool IsDotOrDotDot(std::string_view name) { return name == "." || name == ".."; }

int CloseKeepingErrno(int fd) {
  int saved = errno;
  int rc = close(fd);
  errno = saved;
  return rc;
}

// Appends the names of every entry of `dir_fd` to `out`, each followed by a
// NUL so it can be handed to fstatat as it is.
int ReadNames(int dir_fd, DirectoryListing& out) {
  thread_local std::unique_ptr<char[]> buffer;
  if (!buffer) buffer = std::make_unique_for_overwrite<char[]>(kDirentBufferSize);
  if (lseek(dir_fd, 0, SEEK_SET) < 0) return errno;
  for (;;) {
    long got = syscall(SYS_getdents64, dir_fd, buffer.get(), kDirentBufferSize);
    if (got < 0) {
      if (errno == EINTR) continue;
      return errno;
    }
    if (got == 0) return 0;
    const char* record = buffer.get();
    const char* end = record + got;
    while (record < end) {
      unsigned short reclen = 0;
      std::memcpy(&reclen, record + kDirentReclenOffset, sizeof reclen);
      if (reclen <= kDirentNameOffset || record + reclen > end) return EIO;
      const char* name = record + kDirentNameOffset;
      std::size_t length = strnlen(name, reclen - kDirentNameOffset);
      ListedEntry entry;
      entry.name_offset = out.names.size();
      entry.name_length = static_cast<std::uint32_t>(length);
      out.names.append(name, length);
      out.names.push_back('\0');
      out.entries.push_back(entry);
      record += reclen;
    }
  }
}

// Fills in the type, size and time of `entry` (whose NUL-terminated name
// lies in `names`), or marks it kNotDelivered when its lstat fails.
void StatEntry(int dir_fd, dev_t root_device, const char* names, ListedEntry& entry) {
  const char* name = names + entry.name_offset;
  if (IsDotOrDotDot(std::string_view(name, entry.name_length))) {
    entry.attr = kAttrDirectory;
    return;
  }
  struct stat st;
  if (fstatat(dir_fd, name, &st, AT_SYMLINK_NOFOLLOW) != 0) {
    entry.attr = kNotDelivered;
    return;
  }
  entry.size = st.st_size;
  entry.time = st.st_mtim.tv_sec;
  if (S_ISDIR(st.st_mode)) {
    entry.attr = kAttrDirectory;
    if (name[0] == '.') entry.attr |= kAttrHidden;
    if (st.st_dev != root_device) entry.attr |= kAttrReparsePoint;
  } else {
    entry.attr = kAttrArchive;
  }
}

}  // namespace

int OpenChildDirectory(int parent_fd, std::string_view name) {
  if (name.empty() || IsDotOrDotDot(name) || name.find('/') != std::string_view::npos ||
      name.find('\0') != std::string_view::npos) {
    return -EINVAL;
  }
  if (name.size() > NAME_MAX) return -ENAMETOOLONG;
  char path[NAME_MAX + 1];
  std::memcpy(path, name.data(), name.size());
  path[name.size()] = '\0';
  int fd = openat(parent_fd, path, O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
  return fd < 0 ? -errno : fd;
}

unsigned DefaultSearchThreads() {
  return std::clamp(std::thread::hardware_concurrency(), 1u, kMostSearchThreads);
}

int ReadDirectoryListing(int dir_fd, dev_t root_device, DirectoryListing& out,
                         WorkerPool* pool) {
  out.clear();
  if (int rc = ReadNames(dir_fd, out); rc != 0) {
    out.clear();
    return rc;
  }
  // Type, size and time of each entry from lstat, relative to the open
  // directory. The calls are independent, so a large directory shares them
  // with the pool; each entry is written by exactly one thread.
  auto stat_slice = [dir_fd, root_device, &out](std::size_t begin, std::size_t end) {
    for (std::size_t i = begin; i < end; ++i) {
      StatEntry(dir_fd, root_device, out.names.data(), out.entries[i]);
    }
  };
  if (pool != nullptr && out.entries.size() >= kParallelEntries) {
    pool->ForEachSlice(out.entries.size(), kStatSlice, stat_slice);
  } else {
    stat_slice(0, out.entries.size());
  }
  // Entries that vanished or cannot be examined are dropped.
  std::erase_if(out.entries, [](const ListedEntry& entry) { return entry.attr == kNotDelivered; });
  // Byte-wise order (string_view compares as unsigned bytes, a prefix first),
  // so results do not depend on the order the file system keeps.
  const char* names = out.names.data();
  std::sort(out.entries.begin(), out.entries.end(),
            [names](const ListedEntry& a, const ListedEntry& b) {
              return std::string_view(names + a.name_offset, a.name_length) <
                     std::string_view(names + b.name_offset, b.name_length);
            });
  return 0;
}

namespace {

// Keeps the directory it last started at each depth open, so the directory
// at depth d is opened relative to the one at depth d - 1.
class PosixDirectorySearch final : public DirectorySearch {
 public:
  explicit PosixDirectorySearch(unsigned threads) {
    if (threads > 1) pool_ = std::make_unique<WorkerPool>(threads - 1);
  }
  PosixDirectorySearch(const PosixDirectorySearch&) = delete;
  PosixDirectorySearch& operator=(const PosixDirectorySearch&) = delete;
  ~PosixDirectorySearch() override { CloseFrom(0); }

  int FindFirst(int depth, std::string_view name, SearchRecord& rec) override {
    listing_.clear();
    next_ = 0;
    if (depth < 0) return EINVAL;
    auto level = static_cast<std::size_t>(depth);
    int fd = -1;
    if (level == 0) {
      CloseFrom(0);
      if (int rc = OpenRoot(name, fd); rc != 0) return rc;
    } else {
      // The parent must be the directory last started at depth - 1.
      if (level > fds_.size() || fds_[level - 1] < 0) return EBADF;
      CloseFrom(level);
      fd = OpenChildDirectory(fds_[level - 1], name);
      if (fd < 0) return -fd;
    }
    fds_.push_back(fd);
    if (int rc = ReadDirectoryListing(fd, root_device_, listing_, pool_.get()); rc != 0) {
      CloseKeepingErrno(fd);
      fds_.back() = -1;
      return rc;
    }
    return FindNext(rec);
  }

  int FindNext(SearchRecord& rec) override {
    if (next_ >= listing_.entries.size()) return ENOENT;
    const ListedEntry& entry = listing_.entries[next_++];
    rec.Name.assign(listing_.NameOf(entry));
    rec.Size = entry.size;
    rec.Time = entry.time;
    rec.Attr = entry.attr;
    return 0;
  }

  // The listing is dropped; the directory stays open as the parent of the
  // next depth.
  void FindClose() override { next_ = listing_.entries.size(); }

 private:
  // Opens the drive root, following a link there (the user chose that path),
  // and notes its device: entries on another device are mount points.
  int OpenRoot(std::string_view path, int& fd) {
    if (path.find('\0') != std::string_view::npos) return EINVAL;
    std::string terminated(path);
    fd = open(terminated.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) return errno;
    struct stat st;
    if (fstat(fd, &st) != 0) {
      int rc = errno;
      close(fd);
      return rc;
    }
    root_device_ = st.st_dev;
    return 0;
  }

  // Closes the directories kept at `depth` and deeper.
  void CloseFrom(std::size_t depth) {
    while (fds_.size() > depth) {
      if (fds_.back() >= 0) close(fds_.back());
      fds_.pop_back();
    }
  }

  std::vector<int> fds_;
  dev_t root_device_ = 0;
  DirectoryListing listing_;
  std::size_t next_ = 0;
  std::unique_ptr<WorkerPool> pool_;  // null: every lstat on the walking thread
};

}  // namespace

std::unique_ptr<DirectorySearch> MakePosixDirectorySearch(unsigned threads) {
  return std::make_unique<PosixDirectorySearch>(threads);
}

}  // namespace vorlex
