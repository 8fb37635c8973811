#!/usr/bin/env python3
"""CPU time per key press and peak memory of a full-screen program on a
pseudo-terminal (80x25, TERM=xterm-256color unless MEASURE_TERM says
otherwise), so that menu programs can be compared driven the same way.

Usage: bench/press_cost.py [--presses N] [--runs R] [--start-s S] -- COMMAND [ARG...]

Each run starts COMMAND, waits until its first screen is drawn, sends N
presses of Down and Up in turn (as the terminal's description says they
come), each once the answer to the last has been drawn, and ends the
program with SIGTERM. The CPU time is the process's own (/proc/PID/schedstat,
in nanoseconds) between the first press and the last answer, divided by N;
the peak memory is its peak resident set (VmHWM) then. Prints one line per
run and their median.
"""
import argparse, curses, fcntl, os, pty, select, signal, statistics, struct, termios

parser = argparse.ArgumentParser()
parser.add_argument("--presses", type=int, default=20)
parser.add_argument("--runs", type=int, default=3)
parser.add_argument("--start-s", type=float, default=0.5, help="quiet time that ends the first screen")
parser.add_argument("command", nargs=argparse.REMAINDER)
args = parser.parse_args()
command = args.command[1:] if args.command[:1] == ["--"] else args.command
if not command:
    parser.error("no command")
term = os.environ.get("MEASURE_TERM", "xterm-256color")
curses.setupterm(term, 1)
keys = [curses.tigetstr("kcud1"), curses.tigetstr("kcuu1")]


def drain(master, quiet_s):
    """Reads until nothing has come for quiet_s."""
    while select.select([master], [], [], quiet_s)[0]:
        try:
            if not os.read(master, 65536):
                return
        except OSError:  # the program has ended and closed the terminal
            return


def cpu_ns(pid):
    with open(f"/proc/{pid}/schedstat") as f:
        return int(f.read().split()[0])


def peak_kib(pid):
    with open(f"/proc/{pid}/status") as f:
        return int(next(line for line in f if line.startswith("VmHWM:")).split()[1])


def run_once():
    pid, master = pty.fork()
    if pid == 0:
        fcntl.ioctl(0, termios.TIOCSWINSZ, struct.pack("HHHH", 25, 80, 0, 0))
        os.execvpe(command[0], command, dict(os.environ, TERM=term))
    drain(master, args.start_s)  # the first screen
    before = cpu_ns(pid)
    for i in range(args.presses):
        os.write(master, keys[i % 2])
        select.select([master], [], [], 2)
        drain(master, 0.05)
    used = cpu_ns(pid) - before
    peak = peak_kib(pid)
    if os.waitpid(pid, os.WNOHANG)[0] != 0:
        raise SystemExit(f"{command[0]} ended before the last press")
    os.kill(pid, signal.SIGTERM)
    drain(master, 0.3)
    os.waitpid(pid, 0)
    os.close(master)
    return used / args.presses / 1e6, peak


results = [run_once() for _ in range(args.runs)]
for ms, kib in results:
    print(f"  {ms:.3f} ms per press, peak {kib} KiB")
print(f"{os.path.basename(command[0])}: median {statistics.median(r[0] for r in results):.3f} ms per press, "
      f"peak {max(r[1] for r in results)} KiB ({args.runs} runs of {args.presses} presses, TERM={term})")
