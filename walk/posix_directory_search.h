// The directory search on a POSIX file system.
#pragma once

#include <memory>

#include "walk/directory_search.h"

namespace vorlex {

// Attribute words follow the entry's lstat: a directory is kAttrDirectory,
// plus kAttrHidden when its name begins with "." and kAttrReparsePoint when
// it lies on another device than the drive root; "." and ".." are always
// exactly kAttrDirectory; every other entry, symbolic links included, is a
// file (kAttrArchive). An entry whose lstat fails is not delivered.
std::unique_ptr<DirectorySearch> MakePosixDirectorySearch();

}  // namespace vorlex
