#pragma once
// SIGINT and SIGTERM while a command has temporary files on disk. The handler only notes the
// signal; the command sees it between files, stops, and its temporary files are removed by their
// owners as the stack unwinds. Then the signal is raised again with its default action, so the
// caller sees the program ended by it.
#include "ops/theme_folder.h"

namespace wqtcli {

// While one lives, SIGINT and SIGTERM are noted instead of ending the program. Declare it before
// the objects owning temporary files, so that they are gone when it re-raises the signal.
class InterruptGuard {
 public:
  InterruptGuard();
  ~InterruptGuard();
  InterruptGuard(const InterruptGuard&) = delete;
  InterruptGuard& operator=(const InterruptGuard&) = delete;
};

bool interruptNoted();

// Throws Failure when a signal was noted, to unwind the command.
void stopIfInterrupted();

// A long run's hooks: the files done counted on one stderr line, only when stderr is a terminal
// and there are many (fewer finish before a line would help), and the interrupt signals.
class LongRun {
 public:
  explicit LongRun(const char* verb) : verb_(verb) {}
  ~LongRun();
  wqt::RunHooks hooks();

 private:
  const char* verb_;
  bool shown_ = false;
};

}  // namespace wqtcli
