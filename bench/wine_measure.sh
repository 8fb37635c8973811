#!/usr/bin/env bash
# Measures the Windows program under Wine in an 80x25 tmux pane: the time
# from start to the first complete frame, the CPU time it and Wine's
# console use while it sits idle on the main menu, and, in a second run
# traced with WINEDEBUG=+console, the console output calls of one Down,
# of opening a screen and of Ctrl+L, and the input modes set.
# Usage: bench/wine_measure.sh [build-windows] [idle seconds]
set -eu
build=$(cd "${1:-build-windows}" && pwd)
idle_seconds=${2:-10}
here=$(cd "$(dirname "$0")/.." && pwd)
work=$(mktemp -d /tmp/zq-wine-measure-XXXXXX)
socket="zq-wine-measure-$$"
tmux_() { tmux -L "$socket" "$@"; }
trap 'tmux_ kill-server >/dev/null 2>&1 || true; rm -rf "$work"' EXIT

# Ticks of user plus system time of the given processes.
ticks_of() {
  local total=0 pid fields
  for pid in "$@"; do
    fields=$(sed 's/^.*) //' "/proc/$pid/stat" 2>/dev/null) || continue
    total=$((total + $(awk '{print $12 + $13}' <<<"$fields")))
  done
  echo "$total"
}

# Wine's server and services first, so the start is the program's own.
"$here/cmake/wine-run" "$build/wineprefix" cmd /c exit >/dev/null 2>&1 || true
start=$(date +%s%N)
tmux_ new-session -d -x 80 -y 25 \
  "cd '$work' && '$here/cmake/wine-run' '$build/wineprefix' '$build/zorvikqm-setup.exe'"
until tmux_ capture-pane -p 2>/dev/null | grep -q '  Save &  Exit'; do
  sleep 0.01
  (( $(date +%s%N) - start < 30000000000 )) || { echo "no frame after 30 s"; exit 1; }
done
first_frame_ms=$(( ($(date +%s%N) - start) / 1000000 ))
sleep 1
hz=$(getconf CLK_TCK)
program=$(pgrep -f 'zorvikqm-setup.exe' | tr '\n' ' ')
wine=$(pgrep -f 'conhost.exe|wineserver' | tr '\n' ' ')
program_before=$(ticks_of $program)
wine_before=$(ticks_of $wine)
sleep "$idle_seconds"
program_ticks=$(( $(ticks_of $program) - program_before ))
wine_ticks=$(( $(ticks_of $wine) - wine_before ))
tmux_ send-keys Escape
sleep 0.3  # apart, or the program takes Esc and y for a paste
tmux_ send-keys y
echo "first frame after ${first_frame_ms} ms"
awk -v t="$program_ticks" -v w="$wine_ticks" -v hz="$hz" -v s="$idle_seconds" 'BEGIN {
  printf "idle CPU over %d s: program %.2f %%, Wine console and server %.2f %%\n", s, 100 * t / hz / s, 100 * w / hz / s }'

# The program's own calls that draw or place the cursor. Wine traces an A
# call and the W call it makes; the W names count each once.
trace="$work/trace.log"
calls='trace:console:(SetConsoleCursorPosition|SetConsoleCursorInfo|FillConsoleOutputAttribute|FillConsoleOutputCharacterW|WriteConsoleOutputW|WriteConsoleOutputCharacterW|WriteConsoleOutputAttribute|ScrollConsoleScreenBufferW|SetConsoleTextAttribute|WriteConsoleW)\b'
count() { grep -cE "$calls" "$trace"; }
sleep 1
tmux_ kill-server >/dev/null 2>&1 || true  # gone already when the program ended
rm -f "$work/zorvikqm.ini"
tmux_ new-session -d -x 80 -y 25 "cd '$work' && WINEPREFIX='$build/wineprefix' WINEDEBUG=+console wine '$build/zorvikqm-setup.exe' 2>'$trace'"
until tmux_ capture-pane -p 2>/dev/null | grep -q '  Save &  Exit'; do sleep 0.05; done
sleep 1
for step in "Down:Down" "opening the Sound screen:Enter" "Ctrl+L:C-l" "back to the main menu:Escape"; do
  before=$(count)
  tmux_ send-keys "${step##*:}"
  sleep 1
  echo "console output calls for ${step%%:*}: $(( $(count) - before ))"
done
tmux_ send-keys Escape
sleep 0.3
tmux_ send-keys y
sleep 1
echo "input modes set: $(grep -oE 'SetConsoleMode \([0-9A-Fa-f]+,[0-9a-f]+\)' "$trace" | sed 's/.*,//; s/)//' | tr '\n' ' ')"
