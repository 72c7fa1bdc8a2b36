#include "tests/support/own_mounts.h"

#include <sched.h>
#include <sys/mount.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <cerrno>
#include <cstdio>
#include <cstring>

namespace vorlex::testing {

std::optional<std::string> RunWithOwnMounts(const std::function<std::string()>& body) {
  constexpr int kNotPermitted = 77;
  int pipe_fds[2];
  if (pipe(pipe_fds) != 0) {
    ADD_FAILURE() << "pipe: " << std::strerror(errno);
    return "";
  }
  std::fflush(nullptr);
  pid_t child = fork();
  if (child < 0) {
    ADD_FAILURE() << "fork: " << std::strerror(errno);
    close(pipe_fds[0]);
    close(pipe_fds[1]);
    return "";
  }
  if (child == 0) {
    close(pipe_fds[0]);
    if (unshare(CLONE_NEWNS) != 0 ||
        mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) != 0) {
      _exit(kNotPermitted);
    }
    const std::string out = body();
    for (std::size_t done = 0; done < out.size();) {
      ssize_t n = write(pipe_fds[1], out.data() + done, out.size() - done);
      if (n <= 0) break;
      done += static_cast<std::size_t>(n);
    }
    std::fflush(nullptr);
    _exit(0);
  }
  close(pipe_fds[1]);
  std::string out;
  char buffer[4096];
  for (ssize_t n; (n = read(pipe_fds[0], buffer, sizeof buffer)) > 0;) {
    out.append(buffer, static_cast<std::size_t>(n));
  }
  close(pipe_fds[0]);
  int status = 0;
  if (waitpid(child, &status, 0) != child || !WIFEXITED(status)) {
    ADD_FAILURE() << "the child with its own mounts did not end normally; it said: " << out;
    return out;
  }
  if (WEXITSTATUS(status) == kNotPermitted) return std::nullopt;
  return out;
}

}  // namespace vorlex::testing
