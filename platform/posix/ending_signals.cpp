#include "platform/posix/ending_signals.h"

#include <pthread.h>

#include <chrono>
#include <condition_variable>
#include <mutex>
#include <system_error>
#include <thread>

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

// Longer than any save takes on a disk that answers; a save stuck past it
// (a network file system gone away) lets the signals act, as the program
// would otherwise be stuck with it.
constexpr auto kLongestHold = std::chrono::seconds(3);

// While a save holds the signals, a watcher thread holds them too until the
// time is up, then lets them act on itself. Saves on two threads at once
// share the watcher.
struct SignalHold {
  std::mutex lock;
  std::condition_variable released;
  int holders = 0;
  std::thread watcher;
};
SignalHold g_hold;
thread_local sigset_t t_before;
thread_local bool t_holding = false;

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

int hold_ending_signals() {
  sigset_t ending = terminating_signals();
  for (int sig : kFaults) sigdelset(&ending, sig);
  if (const int code = pthread_sigmask(SIG_BLOCK, &ending, &t_before); code != 0) return code;
  t_holding = true;
  const std::lock_guard lock(g_hold.lock);
  if (g_hold.holders++ > 0) return 0;
  try {
    // Started with the signals held, as threads take their maker's mask.
    g_hold.watcher = std::thread([ending] {
      std::unique_lock waiting(g_hold.lock);
      if (g_hold.released.wait_for(waiting, kLongestHold, [] { return g_hold.holders == 0; })) return;
      pthread_sigmask(SIG_UNBLOCK, &ending, nullptr);
      g_hold.released.wait(waiting, [] { return g_hold.holders == 0; });
    });
  } catch (const std::system_error& failed) {
    // No watcher, no hold: the signals act at once, as outside a save.
    --g_hold.holders;
    t_holding = false;
    pthread_sigmask(SIG_SETMASK, &t_before, nullptr);
    return failed.code().value();
  }
  return 0;
}

int release_ending_signals() {
  if (!t_holding) return 0;
  t_holding = false;
  std::thread watcher;
  {
    const std::lock_guard lock(g_hold.lock);
    if (--g_hold.holders == 0) watcher = std::move(g_hold.watcher);
  }
  if (watcher.joinable()) {
    g_hold.released.notify_all();
    watcher.join();
  }
  // The signals that came meanwhile act here.
  return pthread_sigmask(SIG_SETMASK, &t_before, nullptr);
}

}  // namespace zq
