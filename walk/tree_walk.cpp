#include "walk/tree_walk.h"

#include <algorithm>
#include <array>
#include <cstddef>
#include <string_view>

#include "platform/clock.h"
#include "walk/directory_lister.h"

namespace vorlex {
namespace {

// The deepest directory whose files are recorded; its subdirectories are
// stored by its listing but never visited.
constexpr std::size_t kDeepestLevel = kWalkLevels - 1;

constexpr std::string_view kProgramFiles = "Program Files";

bool IsDotOrDotDot(std::string_view name) { return name == "." || name == ".."; }

}  // namespace

void WalkDrive(ScanState& state, DirectorySearch& search, ScanDisplay& display) {
  // Every file's time is shown in the zone TZ names now.
  RefreshLocalZone();
  state.EntryNames.clear();
  state.EntryPaths.clear();
  state.EntrySizesKB.clear();
  state.EntryCount = 0;
  state.WalkLevel = 0;
  state.RootIndex = 0;
  state.CurrentDir.clear();
  std::int64_t directories = 0;

  ListDirectory(state, search);
  display.WalkProgress(state.EntryCount, ++directories);

  // "Program Files" is always visited, but only once: it is added only when
  // the root listing did not already take it as a subdirectory.
  std::vector<std::string>& root_dirs = state.LevelDirs[0];
  if (std::find(root_dirs.begin(), root_dirs.end(), kProgramFiles) == root_dirs.end()) {
    root_dirs.emplace_back(kProgramFiles);
    ++state.DirCount;
  }

  // The levels of LevelDirs are the stack: the loop at depth L runs over the
  // names that the listing at depth L - 1 stored, with its index in index[L]
  // and its bound in bound[L - 1]. dir_length[L] is the length of CurrentDir
  // for the directory at depth L, so going up one level is a resize.
  std::array<std::size_t, kWalkLevels> index{};
  std::array<std::size_t, kWalkLevels> bound{};
  std::array<std::size_t, kWalkLevels> dir_length{};
  bound[0] = root_dirs.size();
  std::size_t depth = 1;
  index[1] = 0;
  while (depth >= 1) {
    if (index[depth] >= bound[depth - 1]) {
      // This level is done: continue with the next name one level up.
      --depth;
      if (depth >= 1) ++index[depth];
      continue;
    }
    state.RootIndex = static_cast<std::int64_t>(index[1]);
    const std::string& name = state.LevelDirs[depth - 1][index[depth]];
    if (IsDotOrDotDot(name)) {
      ++index[depth];
      continue;
    }
    state.CurrentDir.resize(dir_length[depth - 1]);
    state.CurrentDir.push_back('/');
    state.CurrentDir.append(name);
    dir_length[depth] = state.CurrentDir.size();
    state.WalkLevel = static_cast<std::int64_t>(depth);

    ListDirectory(state, search);
    display.WalkProgress(state.EntryCount, ++directories);

    if (depth < kDeepestLevel) {
      bound[depth] = state.LevelDirs[depth].size();
      ++depth;
      index[depth] = 0;
    } else {
      ++index[depth];
    }
  }
}

}  // namespace vorlex
