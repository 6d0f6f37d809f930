#include "base/System.h"

#include <signal.h>
#include <unistd.h>

#include <cstdlib>

namespace quarnel {

namespace {
volatile sig_atomic_t stopSignal = 0;
struct sigaction previousInt {};
struct sigaction previousTerm {};
bool catching = false;

extern "C" void OnStopSignal(int) { stopSignal = 1; }
}  // namespace

std::string GetAppDataFolder() {
  // The XDG rule: a relative XDG_DATA_HOME is invalid and ignored.
  const char* data = std::getenv("XDG_DATA_HOME");
  std::string folder;
  if (data && data[0] == '/') {
    folder = data;
  } else if (const char* home = std::getenv("HOME"); home && *home) {
    folder = std::string(home) + "/.local/share";
  }
  while (folder.size() > 1 && folder.back() == '/') folder.pop_back();
  return folder;
}

void CatchStopSignals(bool on) {
  if (on == catching) return;
  if (on) {
    stopSignal = 0;
    struct sigaction action {};
    action.sa_handler = OnStopSignal;
    sigemptyset(&action.sa_mask);
    sigaction(SIGINT, &action, &previousInt);
    sigaction(SIGTERM, &action, &previousTerm);
  } else {
    sigaction(SIGINT, &previousInt, nullptr);
    sigaction(SIGTERM, &previousTerm, nullptr);
  }
  catching = on;
}

bool TakeStopSignal() {
  if (stopSignal == 0) return false;
  stopSignal = 0;
  return true;
}

bool StdInIsTerminal() { return ::isatty(STDIN_FILENO) == 1; }
bool StdErrIsTerminal() { return ::isatty(STDERR_FILENO) == 1; }

}  // namespace quarnel
