// The signals that would end the program, named once for the two places
// that care: the terminal, which gives itself back before any of them ends
// the program, and a save, which holds them until the file is whole.
#pragma once

#include <signal.h>

namespace zq {

// Every signal whose default action ends the process, real-time ones
// included, but SIGKILL and SIGXFSZ (which a save takes as "File too
// large"). SIGTSTP, SIGCONT and SIGWINCH stop, go on or resize, and are not
// in it.
sigset_t terminating_signals();

// A save holds them from its first write until the file is whole
// (FileCalls::hold_signals and release_signals), on the thread that saves:
// one that comes meanwhile acts at the release. All but the faults of a
// thread's own code (SIGSEGV, SIGBUS, SIGFPE, SIGILL, SIGTRAP, SIGSYS), which,
// held, would end the program at once without the handler that gives the
// terminal back. A save still running 3 seconds after the hold began (a
// network file system gone away) lets them act then, as the program would
// otherwise be stuck with it. 0 or the errno.
int hold_ending_signals();
int release_ending_signals();

}  // namespace zq
