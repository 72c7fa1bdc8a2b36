#include "walk/directory_lister.h"

#include <cstring>
#include <string>

#include "app/shown_text.h"
#include "walk/entry_annotation.h"

namespace vorlex {
namespace {

// Puts `text` in slot `slot` of `table`. A walk always appends; a caller
// that reuses tables without clearing them overwrites the old slot instead,
// and a gap is filled with empty texts, so the slot always matches
// EntryCount.
void StoreAt(TextTable& table, std::size_t slot, std::string_view text) {
  if (slot < table.size()) {
    table.set(slot, text);
    return;
  }
  while (table.size() < slot) table.push_back("");
  table.push_back(text);
}

// Appends the entry line: `dir_shown` (the shown drive prefix and directory
// with its closing "/"), the shown name, then the suffix.
void StoreEntryLine(TextTable& paths, std::size_t slot, std::string_view dir_shown,
                    std::string_view name, std::string_view suffix) {
  std::size_t length = dir_shown.size() + name.size() + suffix.size();
  if (slot == paths.size()) {
    char* out = paths.push_back_uninitialized(length);
    if (length == 0) return;
    std::memcpy(out, dir_shown.data(), dir_shown.size());
    out = CopyShown(out + dir_shown.size(), name);
    std::memcpy(out, suffix.data(), suffix.size());
    return;
  }
  std::string line(dir_shown);
  AppendShown(line, name);
  line.append(suffix);
  StoreAt(paths, slot, line);
}

}  // namespace

std::string_view SearchNameOf(const ScanState& state) {
  if (state.WalkLevel == 0) {
    return state.DrivePrefix.empty() ? std::string_view("/") : std::string_view(state.DrivePrefix);
  }
  std::string_view dir = state.CurrentDir;
  std::size_t slash = dir.rfind('/');
  return slash == std::string_view::npos ? dir : dir.substr(slash + 1);
}

void ListDirectory(ScanState& state, DirectorySearch& search) {
  state.DirCount = 0;
  if (state.WalkLevel < 0 || state.WalkLevel >= kWalkLevels || state.EntryCount < 0) return;
  std::vector<std::string>& level = state.LevelDirs[static_cast<std::size_t>(state.WalkLevel)];
  level.clear();

  SearchRecord& rec = state.SearchRec;
  int rc = search.FindFirst(static_cast<int>(state.WalkLevel), SearchNameOf(state), rec);
  if (rc != 0) {
    search.FindClose();
    return;
  }

  // The part of every entry line before the name, once per directory.
  std::string dir_shown;
  dir_shown.reserve(state.DrivePrefix.size() + state.CurrentDir.size() + 1);
  AppendShown(dir_shown, state.DrivePrefix);
  AppendShown(dir_shown, state.CurrentDir);
  dir_shown.push_back('/');

  for (; rc == 0; rc = search.FindNext(rec)) {
    state.EntryName.assign(rec.Name);
    // Only a plain directory is descended into; one with any further
    // attribute (hidden, mount point, ...) is recorded as a file.
    if (rec.Attr == kAttrDirectory) {
      level.push_back(state.EntryName);
      ++state.DirCount;
      continue;
    }
    FormatEntrySuffix(state);
    auto slot = static_cast<std::size_t>(state.EntryCount);
    if (slot == state.EntryNames.size()) {
      state.EntryNames.push_back(state.EntryName);
    } else {
      StoreAt(state.EntryNames, slot, state.EntryName);
    }
    StoreEntryLine(state.EntryPaths, slot, dir_shown, state.EntryName, state.EntrySuffix);
    ++state.EntryCount;
  }
  search.FindClose();
}

}  // namespace vorlex
