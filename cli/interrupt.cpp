#include "cli/interrupt.h"

#include <signal.h>

#include <csignal>

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

}  // namespace wqtcli
