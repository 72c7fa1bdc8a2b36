// Tests that need a file system of their own (a small or read-only tmpfs, a
// mount point inside a tree) mount it in a child process with a private
// mount namespace, so nothing outside the test ever sees it.
#pragma once

#include <functional>
#include <optional>
#include <string>

namespace vorlex::testing {

// Runs `body` in a forked child whose mounts are all private to it, and
// returns what `body` returned. Returns nullopt when the system does not
// permit such a namespace. The child ends without running destructors, so
// whatever the parent owns (temporary trees) stays the parent's.
std::optional<std::string> RunWithOwnMounts(const std::function<std::string()>& body);

}  // namespace vorlex::testing
