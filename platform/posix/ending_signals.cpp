#include "platform/posix/ending_signals.h"

namespace zq {
namespace {

constexpr int kNamedTerminating[] = {
    SIGHUP,  SIGINT,  SIGQUIT, SIGILL,  SIGTRAP, SIGABRT, SIGBUS,    SIGFPE,  SIGUSR1,
    SIGSEGV, SIGUSR2, SIGPIPE, SIGALRM, SIGTERM, SIGXCPU, SIGVTALRM, SIGPROF, SIGSYS,
#ifdef SIGPOLL
    SIGPOLL,  // SIGIO on Linux; the BSDs' SIGIO is ignored by default
#endif
#ifdef SIGSTKFLT
    SIGSTKFLT,
#endif
#ifdef SIGPWR
    SIGPWR,
#endif
#ifdef SIGEMT
    SIGEMT,
#endif
#ifdef SIGLOST
    SIGLOST,
#endif
};

constexpr int kFaults[] = {SIGSEGV, SIGBUS, SIGFPE, SIGILL, SIGTRAP, SIGSYS};

}  // namespace

sigset_t terminating_signals() {
  sigset_t set;
  sigemptyset(&set);
  for (int sig : kNamedTerminating) sigaddset(&set, sig);
#ifdef SIGRTMIN
  for (int sig = SIGRTMIN; sig <= SIGRTMAX; ++sig) sigaddset(&set, sig);
#endif
  return set;
}

sigset_t signals_a_save_holds() {
  sigset_t set = terminating_signals();
  for (int sig : kFaults) sigdelset(&set, sig);
  return set;
}

}  // namespace zq
