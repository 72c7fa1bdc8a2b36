#include "walk/posix_directory_search.h"

#include <fcntl.h>
#include <limits.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

namespace vorlex {
namespace {

// One getdents64 call fills this much; large enough that most directories
// are read in one or two system calls.
constexpr std::size_t kDirentBufferSize = 256 * 1024;

// Layout of struct linux_dirent64: d_ino (8), d_off (8), d_reclen (2),
// d_type (1), then the NUL-terminated name.
constexpr std::size_t kDirentReclenOffset = 16;
constexpr std::size_t kDirentNameOffset = 19;

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

int ReadDirectoryListing(int dir_fd, dev_t root_device, DirectoryListing& out) {
  out.clear();
  if (int rc = ReadNames(dir_fd, out); rc != 0) {
    out.clear();
    return rc;
  }
  // Type, size and time of each entry from lstat, relative to the open
  // directory; entries that vanished or cannot be examined are dropped.
  std::size_t kept = 0;
  for (ListedEntry entry : out.entries) {
    std::string_view name = out.NameOf(entry);
    if (IsDotOrDotDot(name)) {
      entry.attr = kAttrDirectory;
    } else {
      struct stat st;
      if (fstatat(dir_fd, name.data(), &st, AT_SYMLINK_NOFOLLOW) != 0) continue;
      entry.size = st.st_size;
      entry.time = st.st_mtim.tv_sec;
      if (S_ISDIR(st.st_mode)) {
        entry.attr = kAttrDirectory;
        if (name.front() == '.') entry.attr |= kAttrHidden;
        if (st.st_dev != root_device) entry.attr |= kAttrReparsePoint;
      } else {
        entry.attr = kAttrArchive;
      }
    }
    out.entries[kept++] = entry;
  }
  out.entries.resize(kept);
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
  PosixDirectorySearch() = default;
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
    if (int rc = ReadDirectoryListing(fd, root_device_, listing_); rc != 0) {
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
};

}  // namespace

std::unique_ptr<DirectorySearch> MakePosixDirectorySearch() {
  return std::make_unique<PosixDirectorySearch>();
}

}  // namespace vorlex
