#include "tests/support/fixture_tree.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <stdexcept>

namespace vorlex::testing {
namespace {

[[noreturn]] void Fail(std::string_view what, const std::string& path) {
  throw std::runtime_error(std::string(what) + " " + path + ": " + std::strerror(errno));
}

// mkdir -p for `path` and every parent below `root`.
void MakeDirectories(const std::string& root, std::string_view relative) {
  std::size_t pos = 0;
  while (pos < relative.size()) {
    std::size_t slash = relative.find('/', pos);
    if (slash == std::string_view::npos) slash = relative.size();
    std::string path = root + "/" + std::string(relative.substr(0, slash));
    if (mkdir(path.c_str(), 0755) != 0 && errno != EEXIST) Fail("mkdir", path);
    pos = slash + 1;
  }
}

std::string ParentOf(std::string_view relative) {
  std::size_t slash = relative.rfind('/');
  return slash == std::string_view::npos ? std::string() : std::string(relative.substr(0, slash));
}

}  // namespace

FixtureTree::FixtureTree(const std::vector<FixtureRow>& rows) {
  const char* tmp = std::getenv("TMPDIR");
  std::string pattern = std::string(tmp != nullptr && *tmp != '\0' ? tmp : "/tmp") +
                        "/vorlex-fixture-XXXXXX";
  if (mkdtemp(pattern.data()) == nullptr) Fail("mkdtemp", pattern);
  root_ = pattern;
  try {
    for (const FixtureRow& row : rows) {
      std::string_view relative = row.path;
      bool is_dir = !relative.empty() && relative.back() == '/';
      if (is_dir) relative.remove_suffix(1);
      std::string path = Path(relative);
      if (is_dir) {
        MakeDirectories(root_, relative);
        continue;
      }
      MakeDirectories(root_, ParentOf(relative));
      if (!row.link_to.empty()) {
        if (symlink(row.link_to.c_str(), path.c_str()) != 0) Fail("symlink", path);
        continue;
      }
      int fd = open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
      if (fd < 0) Fail("create", path);
      int rc = ftruncate(fd, row.size);
      close(fd);
      if (rc != 0) Fail("ftruncate", path);
    }
    for (const FixtureRow& row : rows) {
      std::string_view relative = row.path;
      if (!relative.empty() && relative.back() == '/') relative.remove_suffix(1);
      std::string path = Path(relative);
      timespec times[2] = {{row.mtime, 0}, {row.mtime, 0}};
      if (utimensat(AT_FDCWD, path.c_str(), times, AT_SYMLINK_NOFOLLOW) != 0) {
        Fail("utimensat", path);
      }
    }
  } catch (...) {
    Remove();
    throw;
  }
}

FixtureTree::~FixtureTree() { Remove(); }

std::string FixtureTree::Path(std::string_view relative) const {
  return relative.empty() ? root_ : root_ + "/" + std::string(relative);
}

void FixtureTree::MakeUnreadable(std::string_view relative) {
  std::string path = Path(relative);
  struct stat st;
  if (lstat(path.c_str(), &st) != 0) Fail("lstat", path);
  restore_modes_.emplace_back(path, st.st_mode & 07777);
  if (chmod(path.c_str(), 0) != 0) Fail("chmod", path);
}

std::string ReadFile(const std::string& path) {
  std::error_code error;
  if (!std::filesystem::is_regular_file(path, error)) return "";
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

void FixtureTree::Remove() {
  for (auto it = restore_modes_.rbegin(); it != restore_modes_.rend(); ++it) {
    chmod(it->first.c_str(), it->second);
  }
  restore_modes_.clear();
  std::error_code ignored;
  std::filesystem::remove_all(root_, ignored);
}

}  // namespace vorlex::testing
