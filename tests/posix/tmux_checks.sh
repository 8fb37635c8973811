# What the tmux test scripts share: the checks and their count, a tmux server
# of the script's own in $work, and reading and waiting on its panes.
# Sourced after $work is set; a script ends with `finish`.

failures=0
ok() { echo "ok - $1"; }
not_ok() { echo "FAIL - $1"; failures=$((failures + 1)); }
# Messages go through cat -v so escape bytes show; not_ok itself must never
# run in a pipeline, where its count would be lost in a subshell.
expect_eq() { if [[ "$2" == "$3" ]]; then ok "$1"; else not_ok "$(printf '%s: got [%s], want [%s]' "$1" "$2" "$3" | cat -v)"; fi; }
expect_has() { if [[ "$2" == *"$3"* ]]; then ok "$1"; else not_ok "$(printf '%s: [%s] lacks [%s]' "$1" "$2" "$3" | cat -v)"; fi; }
expect_lacks() { if [[ "$2" != *"$3"* ]]; then ok "$1"; else not_ok "$(printf '%s: [%s] holds [%s]' "$1" "$2" "$3" | cat -v)"; fi; }

tm() { tmux -S "$work/tmux.socket" -f /dev/null "$@"; }
screen_of() { tm capture-pane -t "$1" -p; }
colours_of() { tm capture-pane -t "$1" -p -e -N; }
row_of() { screen_of "$1" | sed -n "$(($2 + 1))p"; }
# -N: coloured blanks at the ends of the row too.
row_colours() { tm capture-pane -t "$1" -p -e -N -S "$2" -E "$2"; }
pane() { tm display -p -t "$1" "$2"; }

# wait_until COMMAND...: up to 5 s for COMMAND to succeed.
wait_until() {
  for _ in $(seq 50); do
    "$@" && return 0
    sleep 0.1
  done
  return 1
}
shows() { screen_of "$1" | grep -qF -- "$2"; }
# wait_for NAME TEXT: up to 5 s for TEXT to appear on the screen.
wait_for() { wait_until shows "$1" "$2"; }

# The script's verdict, as its exit code.
finish() {
  if ((failures > 0)); then
    echo "$failures check(s) failed"
    exit 1
  fi
  echo "all checks passed"
  exit 0
}
