#pragma once
// Running the built orvalen-wqt as a user or a script runs it, its output caught in files.
#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "../core/temp_dir.h"

extern char** environ;

namespace wqt::test {

namespace fs = std::filesystem;

struct Outcome {
  int status = -1;
  std::string out;
  std::string err;
};

inline std::string text(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

// Starts orvalen-wqt (or a copy of it at `program`) with the arguments, stdout and stderr going to
// files of `dir`; the environment gets `env` ("NAME=value") on top of this process's.
inline pid_t start(const TempDir& dir, std::vector<std::string> args,
                   const std::string& program = WQT_CLI, std::vector<std::string> env = {}) {
  args.insert(args.begin(), program);
  std::vector<char*> argv;
  for (std::string& a : args) argv.push_back(a.data());
  argv.push_back(nullptr);
  std::vector<char*> envp;
  for (std::string& e : env) envp.push_back(e.data());
  for (char** e = environ; *e != nullptr; ++e) envp.push_back(*e);
  envp.push_back(nullptr);
  const fs::path out = dir / "stdout", err = dir / "stderr";
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, 1, out.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
  posix_spawn_file_actions_addopen(&actions, 2, err.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
  pid_t pid = -1;
  if (posix_spawn(&pid, program.c_str(), &actions, nullptr, argv.data(), envp.data()) != 0)
    pid = -1;
  posix_spawn_file_actions_destroy(&actions);
  return pid;
}

// Waits for the program `start` started; the status is 128 + the signal that ended it.
inline Outcome finish(const TempDir& dir, pid_t pid) {
  Outcome result;
  int wstatus = 0;
  if (pid > 0 && waitpid(pid, &wstatus, 0) == pid) {
    result.status = WIFEXITED(wstatus) ? WEXITSTATUS(wstatus) : 128 + WTERMSIG(wstatus);
  }
  result.out = text(dir / "stdout");
  result.err = text(dir / "stderr");
  return result;
}

// Runs orvalen-wqt with the arguments, stdout and stderr caught in files of `dir`.
inline Outcome run(const TempDir& dir, std::vector<std::string> args) {
  return finish(dir, start(dir, std::move(args)));
}

}  // namespace wqt::test
