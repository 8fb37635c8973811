#!/usr/bin/env python3
"""Measures the terminal path on a pseudo-terminal: bytes sent and time to the
first byte when Down moves the menu bar (row 10 to 12, attribute 79 vs 30),
and the CPU used while idle. Usage: bench/terminal_measure.py PROGRAM, where
PROGRAM is build/zorvikqm-setup (run it from a scratch directory) or
build/tests/terminal_demo.
"""
import os, pty, select, signal, statistics, struct, sys, termios, fcntl, time

demo = sys.argv[1]
term = os.environ.get("MEASURE_TERM", "xterm-256color")
pid, master = pty.fork()
if pid == 0:
    fcntl.ioctl(0, termios.TIOCSWINSZ, struct.pack("HHHH", 25, 80, 0, 0))
    os.execve(demo, [demo, "--quiet"], dict(os.environ, TERM=term))


def drain(quiet_s):
    """Reads until nothing has come for quiet_s; returns the bytes and read calls."""
    data, reads = b"", 0
    while select.select([master], [], [], quiet_s)[0]:
        try:
            chunk = os.read(master, 65536)
        except OSError:  # the demo has ended and closed the terminal
            break
        if not chunk:
            break
        data += chunk
        reads += 1
    return data, reads


drain(0.5)  # the first full screen
latencies, sizes = [], []
for i in range(40):
    key = b"\x1b[B" if i % 2 == 0 else b"\x1b[A"  # Down 10->12, Up back
    start = time.perf_counter_ns()
    os.write(master, key)
    select.select([master], [], [], 2)
    latencies.append((time.perf_counter_ns() - start) / 1e6)
    data, _ = drain(0.05)
    sizes.append(len(data))
print(f"TERM={term}")
print(f"bar move: bytes per redraw min {min(sizes)} max {max(sizes)}; one sample: {data!r}")
print(f"key to first byte: median {statistics.median(latencies):.3f} ms, max {max(latencies):.3f} ms over {len(latencies)} keys")

def ticks():
    with open(f"/proc/{pid}/stat") as f:
        fields = f.read().rsplit(")", 1)[1].split()
    return int(fields[11]) + int(fields[12])  # utime + stime

before = ticks()
time.sleep(5)
used = ticks() - before
hz = os.sysconf("SC_CLK_TCK")
print(f"idle CPU over 5 s: {used} ticks of 1/{hz} s = {100 * used / hz / 5:.2f}% of one core")
os.kill(pid, signal.SIGTERM)  # ends the demo and the real program alike
drain(0.3)
os.waitpid(pid, 0)
