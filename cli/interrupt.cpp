#include "cli/interrupt.h"

#include <signal.h>
#include <unistd.h>

#include <csignal>
#include <cstdio>

#include "cli/cli_support.h"

namespace wqtcli {

namespace {

volatile std::sig_atomic_t noted = 0;

void setHandler(void (*handler)(int)) {
  struct sigaction action {};
  action.sa_handler = handler;
  sigemptyset(&action.sa_mask);
  action.sa_flags = SA_RESTART;
  for (const int signal : {SIGINT, SIGTERM}) ::sigaction(signal, &action, nullptr);
}

}  // namespace

InterruptGuard::InterruptGuard() {
  setHandler([](int signal) { noted = signal; });
}

InterruptGuard::~InterruptGuard() {
  setHandler(SIG_DFL);
  if (noted != 0) ::raise(noted);
}

bool interruptNoted() {
  return noted != 0;
}

void stopIfInterrupted() {
  if (noted != 0) throw Failure(kExitUsage, "Прервано сигналом.");
}

LongRun::~LongRun() {
  if (shown_) std::fputs("\n", stderr);
}

wqt::RunHooks LongRun::hooks() {
  return {[this](std::size_t done, std::size_t total) {
            if (done <= 1) shown_ = total >= 100 && ::isatty(STDERR_FILENO) == 1;
            if (shown_ && (done % 16 == 0 || done == total))
              std::fprintf(stderr, "\r%s: %zu из %zu", verb_, done, total);
          },
          interruptNoted};
}

}  // namespace wqtcli
