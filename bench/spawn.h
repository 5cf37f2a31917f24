#pragma once
// Running a program in a fresh process for the benchmarks that time programs side by side.
#include <fcntl.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <string>
#include <vector>

extern char** environ;

namespace wqt::bench {

struct Ran {
  int status = -1;     // the exit status, -1 when it could not be started or did not exit
  long peakKiB = -1;   // the child's maximum resident set
  double seconds = 0;  // from spawning to its end
  bool ok() const { return status == 0; }
};

// Runs a program (found on PATH) with its output discarded; waits for it.
inline Ran spawn(std::vector<std::string> args) {
  std::vector<char*> argv;
  for (auto& a : args) argv.push_back(a.data());
  argv.push_back(nullptr);
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
  Ran ran;
  const auto start = std::chrono::steady_clock::now();
  pid_t pid = 0;
  if (posix_spawnp(&pid, argv[0], &actions, nullptr, argv.data(), environ) == 0) {
    int status = 0;
    rusage usage{};
    if (::wait4(pid, &status, 0, &usage) == pid && WIFEXITED(status)) {
      ran.status = WEXITSTATUS(status);
      ran.peakKiB = usage.ru_maxrss;
    }
  }
  ran.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  posix_spawn_file_actions_destroy(&actions);
  return ran;
}

}  // namespace wqt::bench
