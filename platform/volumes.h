// The mounted volumes a user can scan, and the volume that holds a path.
#pragma once

#include <string>
#include <vector>

namespace vorlex {

// The mount points of the real mounted volumes, in mount order: pseudo file
// systems (proc, sysfs, devtmpfs, tmpfs, overlay, squashfs, cgroup...) and
// mounts under /proc, /sys, /dev, /run and /snap are left out, and so are
// duplicates (the same mount point twice, or a device already listed).
std::vector<std::string> MountedVolumes();

// The mount point of the volume that holds `path` (an existing path), found
// by going up from its real absolute path until the device changes; "" when
// `path` cannot be resolved.
std::string VolumeOf(const std::string& path);

}  // namespace vorlex
