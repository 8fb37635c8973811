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

// Those of them that a save holds: all but the faults of a thread's own code
// (SIGSEGV, SIGBUS, SIGFPE, SIGILL, SIGTRAP, SIGSYS), which, held, would end
// the program at once without the handler that gives the terminal back.
sigset_t signals_a_save_holds();

}  // namespace zq
