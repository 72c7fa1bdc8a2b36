// make_tree DIR [FILES] [SEED]: builds a deterministic tree of FILES empty or
// sparse files (300000 by default) under DIR, for benchmarking the scan.
//
// The shape resembles a real drive: directories from one to seven levels
// deep with 5 to 40 subdirectories and 20 to 300 files each, names that
// repeat often enough to give tens of thousands of same-name groups (some
// names a thousand times), a spread of sizes and last-write times. The same
// arguments always give the same tree.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

namespace {

struct Random {
  std::uint64_t state;
  std::uint64_t Next() {  // splitmix64
    std::uint64_t z = (state += 0x9E3779B97F4A7C15ull);
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
    return z ^ (z >> 31);
  }
  std::uint64_t Below(std::uint64_t n) { return Next() % n; }
};

const char* const kExtensions[] = {".txt", ".jpg", ".dll", ".log", ".dat", ".h", ".cpp", ""};
const char* const kStems[] = {"readme", "Readme", "index", "setup", "photo", "data", "file",
                              "notes", "config", "module", "image", "report", "_build", "~tmp",
                              "01-track", "設定", "Makefile", "main"};

std::string FileName(Random& random) {
  std::string name = kStems[random.Below(sizeof kStems / sizeof *kStems)];
  // Names repeat: most come from a pool of 4000 numbers, a few are common.
  std::uint64_t roll = random.Below(100);
  if (roll < 3) {
    // a handful of names found all over a drive
  } else if (roll < 93) {
    name += "_" + std::to_string(random.Below(4000));
  } else {
    name += "_" + std::to_string(random.Next() % 100000000);  // nearly unique
  }
  name += kExtensions[random.Below(sizeof kExtensions / sizeof *kExtensions)];
  return name;
}

struct Builder {
  Random random;
  long files_left;
  long files_made = 0;
  long directories_made = 0;

  void Fail(const char* what, const std::string& name) {
    std::fprintf(stderr, "make_tree: %s '%s': %s\n", what, name.c_str(), std::strerror(errno));
    std::exit(1);
  }

  void MakeFile(int dir_fd, const std::string& name) {
    int fd = openat(dir_fd, name.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0644);
    if (fd < 0) {
      if (errno == EEXIST || errno == EISDIR) return;
      Fail("cannot create", name);
    }
    // Sparse: the size shows in the report without writing data.
    std::uint64_t roll = random.Below(100);
    off_t size = roll < 20 ? 0 : roll < 90 ? static_cast<off_t>(random.Below(64 * 1024))
                                           : static_cast<off_t>(random.Below(64 * 1024 * 1024));
    if (size > 0 && ftruncate(fd, size) != 0) Fail("cannot size", name);
    // 1995 to 2025, whole seconds.
    struct timespec times[2];
    times[0].tv_sec = times[1].tv_sec = 788918400 + static_cast<time_t>(random.Below(946080000));
    times[0].tv_nsec = times[1].tv_nsec = 0;
    futimens(fd, times);
    close(fd);
    ++files_made;
    --files_left;
  }

  void Fill(int dir_fd, int depth) {
    long files = 20 + static_cast<long>(random.Below(280));
    for (long i = 0; i < files && files_left > 0; ++i) MakeFile(dir_fd, FileName(random));
    if (depth >= 7) return;
    // Wide near the top, narrow below: about 1300 directories per top tree.
    long subdirectories = static_cast<long>(depth == 1   ? 10 + random.Below(11)
                                            : depth == 2 ? 5 + random.Below(6)
                                            : depth == 3 ? 2 + random.Below(4)
                                                         : random.Below(4));
    for (long i = 0; i < subdirectories && files_left > 0; ++i) {
      std::string name = "dir" + std::to_string(depth) + "_" + std::to_string(i);
      if (i % 17 == 3) name = "Program Files";
      if (mkdirat(dir_fd, name.c_str(), 0755) != 0 && errno != EEXIST) Fail("cannot make", name);
      int child = openat(dir_fd, name.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
      if (child < 0) Fail("cannot open", name);
      ++directories_made;
      Fill(child, depth + 1);
      close(child);
    }
  }
};

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2 || argc > 4) {
    std::fprintf(stderr, "usage: make_tree DIR [FILES] [SEED]\n");
    return 2;
  }
  long files = argc > 2 ? std::atol(argv[2]) : 300000;
  std::uint64_t seed = argc > 3 ? std::strtoull(argv[3], nullptr, 10) : 1;
  if (mkdir(argv[1], 0755) != 0 && errno != EEXIST) {
    std::perror("make_tree: mkdir");
    return 1;
  }
  int root = open(argv[1], O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (root < 0) {
    std::perror("make_tree: open");
    return 1;
  }
  Builder builder{Random{seed}, files};
  // Keep adding top-level trees until the requested number of files exists.
  for (int round = 0; builder.files_left > 0; ++round) {
    std::string name = "top" + std::to_string(round);
    if (mkdirat(root, name.c_str(), 0755) != 0 && errno != EEXIST) builder.Fail("cannot make", name);
    int dir = openat(root, name.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dir < 0) builder.Fail("cannot open", name);
    builder.Fill(dir, 1);
    close(dir);
  }
  close(root);
  std::printf("%ld files in %ld directories\n", builder.files_made, builder.directories_made);
  return 0;
}
