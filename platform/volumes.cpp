#include "platform/volumes.h"

#include <sys/stat.h>

#include <climits>
#include <cstdlib>
#include <fstream>
#include <set>
#include <sstream>
#include <string_view>

namespace vorlex {
namespace {

// File systems that hold no user files: kernel views, memory-backed scratch
// space and read-only package images.
bool IsPseudoFileSystem(std::string_view type) {
  static const std::set<std::string_view> kPseudo = {
      "autofs",    "binfmt_misc", "bpf",        "cgroup",   "cgroup2",  "configfs",
      "debugfs",   "devpts",      "devtmpfs",   "efivarfs", "fusectl",  "hugetlbfs",
      "mqueue",    "nsfs",        "overlay",    "proc",     "pstore",   "ramfs",
      "rpc_pipefs", "securityfs", "selinuxfs",  "squashfs", "sysfs",    "tmpfs",
      "tracefs",   "fuse.gvfsd-fuse", "fuse.portal", "fuse.snapfuse"};
  return kPseudo.count(type) != 0;
}

bool IsUnder(std::string_view path, std::string_view dir) {
  return path == dir ||
         (path.size() > dir.size() && path.substr(0, dir.size()) == dir && path[dir.size()] == '/');
}

bool IsSystemMountPoint(std::string_view mount_point) {
  for (std::string_view dir : {"/proc", "/sys", "/dev", "/run", "/snap"}) {
    if (IsUnder(mount_point, dir)) return true;
  }
  return false;
}

// mountinfo writes space, tab, newline and backslash as \ooo octal escapes.
std::string Unescape(std::string_view field) {
  std::string out;
  for (std::size_t i = 0; i < field.size(); ++i) {
    if (field[i] == '\\' && i + 3 < field.size()) {
      int value = 0;
      bool octal = true;
      for (std::size_t k = 1; k <= 3; ++k) {
        char c = field[i + k];
        if (c < '0' || c > '7') octal = false;
        value = value * 8 + (c - '0');
      }
      if (octal) {
        out.push_back(static_cast<char>(value));
        i += 3;
        continue;
      }
    }
    out.push_back(field[i]);
  }
  return out;
}

}  // namespace

std::vector<std::string> MountedVolumes() {
  struct Mount {
    std::string device;
    std::string point;
  };
  std::vector<Mount> mounts;
  std::ifstream in("/proc/self/mountinfo");
  std::string line;
  while (std::getline(in, line)) {
    // id parent major:minor root mount-point options [optional...] - type source ...
    std::istringstream fields(line);
    std::string id, parent, device, root, point, options, field;
    if (!(fields >> id >> parent >> device >> root >> point >> options)) continue;
    while (fields >> field && field != "-") {
    }
    std::string type;
    if (!(fields >> type)) continue;
    std::string mount_point = Unescape(point);
    if (IsPseudoFileSystem(type) || IsSystemMountPoint(mount_point)) continue;
    // A later mount on the same point hides the earlier one.
    std::erase_if(mounts, [&](const Mount& m) { return m.point == mount_point; });
    mounts.push_back({device, mount_point});
  }
  std::vector<std::string> volumes;
  std::set<std::string> devices;
  for (const Mount& m : mounts) {
    if (!devices.insert(m.device).second) continue;  // a bind mount of a listed volume
    volumes.push_back(m.point);
  }
  return volumes;
}

std::string VolumeOf(const std::string& path) {
  char resolved[PATH_MAX];
  if (realpath(path.c_str(), resolved) == nullptr) return "";
  std::string current = resolved;
  struct stat st;
  if (stat(current.c_str(), &st) != 0) return "";
  const dev_t device = st.st_dev;
  while (current != "/") {
    std::size_t slash = current.rfind('/');
    std::string parent = slash == 0 ? "/" : current.substr(0, slash);
    struct stat parent_st;
    if (stat(parent.c_str(), &parent_st) != 0 || parent_st.st_dev != device) break;
    current = parent;
  }
  return current;
}

}  // namespace vorlex
