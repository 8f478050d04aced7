#include "cli/pending_temp.h"

#include <signal.h>
#include <unistd.h>

#include <climits>
#include <cstring>

namespace {

// A batch saved together has one temporary file for each map of its window
// where the file system cannot keep them unnamed; this many at most.
constexpr int most_pending = 64;
char pending_temp[most_pending][PATH_MAX + 1];
volatile sig_atomic_t pending_armed[most_pending] = {};

// The signals whose default action ends the process, bar those that the
// sanitizers and profilers handle (SEGV, BUS, FPE, ILL, ABRT, PROF) and
// SIGPIPE and SIGXFSZ, which the programs ignore from the start.
constexpr int cleanup_signals[] = {
    SIGHUP, SIGINT, SIGQUIT, SIGTERM, SIGUSR1, SIGUSR2, SIGALRM,
#ifdef SIGVTALRM
    SIGVTALRM,
#endif
#ifdef SIGXCPU
    SIGXCPU,
#endif
#ifdef SIGPOLL
    SIGPOLL,
#endif
#ifdef SIGPWR
    SIGPWR,
#endif
};

sigset_t cleanup_set() {
  sigset_t set;
  sigemptyset(&set);
  for (int sig : cleanup_signals) sigaddset(&set, sig);
  return set;
}

// Dies by the same signal once the file is gone, so the parent sees why.
extern "C" void remove_pending_temp(int sig) {
  for (int i = 0; i < most_pending; ++i)
    if (pending_armed[i]) unlink(pending_temp[i]);
  signal(sig, SIG_DFL);
  raise(sig);
}

void install_cleanup_handlers() {
  static bool installed = false;
  if (installed) return;
  installed = true;
  for (int sig : cleanup_signals) {
    struct sigaction old {};
    sigaction(sig, nullptr, &old);
    if (old.sa_handler == SIG_IGN) continue;  // e.g. started under nohup
    struct sigaction action {};
    action.sa_handler = remove_pending_temp;
    action.sa_mask = cleanup_set();
    sigaction(sig, &action, nullptr);
  }
}

// Blocks the signals the handlers catch while it lives, so that arming and
// disarming are never torn by one of them.
class signals_blocked {
 public:
  signals_blocked() {
    const sigset_t set = cleanup_set();
    sigprocmask(SIG_BLOCK, &set, &saved_);
  }
  ~signals_blocked() { sigprocmask(SIG_SETMASK, &saved_, nullptr); }
  signals_blocked(const signals_blocked&) = delete;
  signals_blocked& operator=(const signals_blocked&) = delete;

 private:
  sigset_t saved_;
};

void watch(const std::string& path, temp_step step) {
  if (step != temp_step::creating && step != temp_step::gone) return;
  signals_blocked blocked;
  for (int i = 0; i < most_pending; ++i) {
    if (step == temp_step::creating && !pending_armed[i]) {
      std::strncpy(pending_temp[i], path.c_str(), PATH_MAX);
      pending_temp[i][PATH_MAX] = '\0';
      pending_armed[i] = 1;
      return;
    }
    if (step == temp_step::gone && pending_armed[i] && path.compare(0, PATH_MAX, pending_temp[i]) == 0) {
      pending_armed[i] = 0;
      return;
    }
  }
}

}  // namespace

temp_watcher pending_temp_watcher() {
  install_cleanup_handlers();
  return watch;
}
