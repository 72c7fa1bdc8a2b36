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
#include <utility>

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
// More threads than this add little: the threads share one directory at a
// time, and a typical directory is a handful of slices.
constexpr unsigned kMostSearchThreads = 4;

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

// Examines the entries [begin, end) of a listing read from `dir_fd`.
struct StatSlices {
  int dir_fd = -1;
  dev_t root_device = 0;
  DirectoryListing* listing = nullptr;

  void operator()(std::size_t begin, std::size_t end) const {
    for (std::size_t i = begin; i < end; ++i) {
      StatEntry(dir_fd, root_device, listing->names.data(), listing->entries[i]);
    }
  }
};

// Drops the entries that vanished or cannot be examined, and puts the rest
// in byte-wise order (string_view compares as unsigned bytes, a prefix
// first), so results do not depend on the order the file system keeps.
void CompleteListing(DirectoryListing& out) {
  std::erase_if(out.entries, [](const ListedEntry& entry) { return entry.attr == kNotDelivered; });
  const char* names = out.names.data();
  std::sort(out.entries.begin(), out.entries.end(),
            [names](const ListedEntry& a, const ListedEntry& b) {
              return std::string_view(names + a.name_offset, a.name_length) <
                     std::string_view(names + b.name_offset, b.name_length);
            });
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
  // The lstat calls are independent, so a large directory shares them with
  // the pool; each entry is written by exactly one thread.
  StatSlices stat{dir_fd, root_device, &out};
  if (pool != nullptr && out.entries.size() >= kParallelEntries) {
    pool->ForEachSlice(out.entries.size(), kStatSlice, stat);
  } else {
    stat(0, out.entries.size());
  }
  CompleteListing(out);
  return 0;
}

namespace {

// Keeps the directory it last started at each depth open, so the directory
// at depth d is opened relative to the one at depth d - 1.
//
// With worker threads, the search also reads one directory ahead: a walk
// goes depth first through the plain subdirectories in listing order, so
// once a directory is listed, the next one the walk starts is known (its
// first plain subdirectory, or else the next plain sibling of it or of one
// of its parents). That directory is opened and its names read at once,
// and the workers examine its entries while the walk records the current
// listing. A walk that starts another directory finds the guess dropped and
// the directory listed as usual, so the guess never changes what is
// delivered.
class PosixDirectorySearch final : public DirectorySearch {
 public:
  explicit PosixDirectorySearch(unsigned threads) {
    if (threads > 1) pool_ = std::make_unique<WorkerPool>(threads - 1);
  }
  PosixDirectorySearch(const PosixDirectorySearch&) = delete;
  PosixDirectorySearch& operator=(const PosixDirectorySearch&) = delete;
  ~PosixDirectorySearch() override {
    DropAhead();
    CloseFrom(0);
  }

  int FindFirst(int depth, std::string_view name, SearchRecord& rec) override {
    const bool foreseen = ahead_.active && ahead_.depth == depth && ahead_.name == name;
    if (!foreseen) DropAhead();
    listing_.clear();
    next_ = 0;
    if (depth < 0) return EINVAL;
    auto level = static_cast<std::size_t>(depth);
    int rc = foreseen ? TakeAhead(level) : List(level, name);
    NoteListed(level, name, rc == 0);
    if (pool_ != nullptr) ReadAhead(level);
    if (rc != 0) return rc;
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
  // A directory opened and read ahead of the walk.
  struct Ahead {
    bool active = false;
    int depth = 0;
    std::string name;
    int fd = -1;
    int open_error = 0;  // errno of a failed open (fd is then -1)
    int read_error = 0;  // errno of a failed read (fd stays open)
    DirectoryListing listing;
    StatSlices stat;
    WorkerPool::Loop loop;
  };

  // Opens and lists `name` at `level` on this thread (the pool may help
  // with a large directory).
  int List(std::size_t level, std::string_view name) {
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
    return 0;
  }

  // Takes the directory read ahead for `level` as List would have found it.
  // Its parent is still the one it was opened in: only FindFirst changes
  // the open directories, and it drops a guess it does not take.
  int TakeAhead(std::size_t level) {
    pool_->Finish(ahead_.loop);
    ahead_.active = false;
    CloseFrom(level);
    if (ahead_.open_error != 0) return ahead_.open_error;
    fds_.push_back(std::exchange(ahead_.fd, -1));
    if (ahead_.read_error != 0) {
      CloseKeepingErrno(fds_.back());
      fds_.back() = -1;
      return ahead_.read_error;
    }
    std::swap(listing_, ahead_.listing);  // both keep their buffers
    CompleteListing(listing_);
    return 0;
  }

  // Waits for the workers to leave the directory read ahead, then forgets
  // it.
  void DropAhead() {
    if (!ahead_.active) return;
    pool_->Finish(ahead_.loop);
    if (ahead_.fd >= 0) close(ahead_.fd);
    ahead_.fd = -1;
    ahead_.listing.clear();
    ahead_.active = false;
  }

  // Notes the plain subdirectories of the directory just started at `level`
  // (none when it failed) and its place among those of its parent.
  void NoteListed(std::size_t level, std::string_view name, bool listed) {
    // Nothing was listed above `level`, so the start failed and tells
    // nothing about the walk.
    if (level > subdirs_.size()) return;
    subdirs_.resize(level + 1);
    places_.resize(level + 1, kNowhere);
    subdirs_[level].clear();
    if (listed) {
      for (const ListedEntry& entry : listing_.entries) {
        std::string_view entry_name = listing_.NameOf(entry);
        if (entry.attr == kAttrDirectory && !IsDotOrDotDot(entry_name)) {
          subdirs_[level].emplace_back(entry_name);
        }
      }
    }
    places_[level] = kNowhere;
    if (level > 0) {
      const std::vector<std::string>& siblings = subdirs_[level - 1];
      auto it = std::lower_bound(siblings.begin(), siblings.end(), name);
      if (it != siblings.end() && *it == name) {
        places_[level] = static_cast<std::size_t>(it - siblings.begin());
      }
    }
  }

  // Opens and reads the directory a depth-first walk starts next, and hands
  // its entries to the workers.
  void ReadAhead(std::size_t level) {
    if (level >= subdirs_.size()) return;
    std::size_t depth = 0;
    const std::string* name = nullptr;
    if (level + 1 < static_cast<std::size_t>(kWalkLevels) && !subdirs_[level].empty()) {
      depth = level + 1;
      name = &subdirs_[level].front();
    } else {
      for (std::size_t up = level; up >= 1 && name == nullptr; --up) {
        if (places_[up] == kNowhere) return;
        if (places_[up] + 1 < subdirs_[up - 1].size()) {
          depth = up;
          name = &subdirs_[up - 1][places_[up] + 1];
        }
      }
    }
    if (name == nullptr || depth > fds_.size() || fds_[depth - 1] < 0) return;

    ahead_.active = true;
    ahead_.depth = static_cast<int>(depth);
    ahead_.name = *name;
    ahead_.open_error = 0;
    ahead_.read_error = 0;
    ahead_.listing.clear();
    int fd = OpenChildDirectory(fds_[depth - 1], *name);
    if (fd < 0) {
      ahead_.open_error = -fd;
      return;
    }
    ahead_.fd = fd;
    if (int rc = ReadNames(fd, ahead_.listing); rc != 0) {
      ahead_.read_error = rc;
      ahead_.listing.clear();
      return;
    }
    ahead_.stat = StatSlices{fd, root_device_, &ahead_.listing};
    pool_->Start(ahead_.loop, ahead_.listing.entries.size(), kStatSlice, ahead_.stat);
  }

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

  static constexpr std::size_t kNowhere = static_cast<std::size_t>(-1);

  std::vector<int> fds_;
  dev_t root_device_ = 0;
  DirectoryListing listing_;
  std::size_t next_ = 0;
  // Per depth: the plain subdirectories of the directory last started there,
  // in listing order, and that directory's place among its parent's (or
  // kNowhere).
  std::vector<std::vector<std::string>> subdirs_;
  std::vector<std::size_t> places_;
  std::unique_ptr<WorkerPool> pool_;  // null: everything on the walking thread
  Ahead ahead_;
};

}  // namespace

std::unique_ptr<DirectorySearch> MakePosixDirectorySearch(unsigned threads) {
  return std::make_unique<PosixDirectorySearch>(threads);
}

}  // namespace vorlex
