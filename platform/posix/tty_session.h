// The terminal's tty side: the shell's modes saved and put back, the signals
// that concern a full-screen program (Ctrl+Z, continue, resize, and every
// signal that would end it), and one idempotent restore that every way out
// runs, signal handlers included.
// Process-wide: one session at a time.
#pragma once

#include <string>
#include <string_view>

namespace zq {

// The signals of ending_signals.h: once armed, each of them gives the
// terminal back, then ends the program by that same signal, so that its
// parent sees how it ended; one ignored, or handled by someone else in the
// process, is left so.

// Saves the shell's tty modes and signal actions, ignores Ctrl+Z until
// tty_arm, and opens the wake pipe; false with `error` set when standard
// output is no terminal or no pipe.
bool tty_begin(std::string& error);
// From now on every way out writes `restore_bytes` and puts the shell's modes
// back; installs the signal handlers.
void tty_arm(std::string_view restore_bytes);
// Restores the terminal if armed. Async-signal-safe and idempotent.
void tty_restore() noexcept;
// Restores, puts back the shell's signal actions and closes the wake pipe.
void tty_end();

// Keys that the tty would act on itself reach the program instead: Ctrl+S
// no longer stops all output until Ctrl+Q (IXON), nor do Ctrl+V and, on BSD,
// Ctrl+O quote or discard (IEXTEN). Ctrl+C and Ctrl+Z keep their signals.
// The shell's modes come back with tty_restore.
void tty_keys_to_program();

// Continued after a stop: the terminal is ours again and needs restoring on
// exit. True when it had been handed back (Ctrl+Z), false after a stop from
// outside, which left it as it was.
bool tty_rearm();
// What the handlers noted since the last call; each call clears its flag.
bool tty_take_resumed();
bool tty_take_resized();
// The read end of the pipe the handlers write to, to wake a poll; and its drain.
int tty_wake_fd();
void tty_drain_wake();

// Writes to the terminal at once, past any buffering.
void tty_write(std::string_view text);

}  // namespace zq
