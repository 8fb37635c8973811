# Shared by the packaging tests: counted checks, a skip for a missing tool,
# and the program driven in a private tmux server.
# Sourced after the caller has set `work` to its scratch folder.

passed=0
failed=0
screen=""
socket="zq-pkg-$$"

check() {  # name, then a command that must succeed
  local name=$1
  shift
  if "$@"; then
    passed=$((passed + 1))
  else
    failed=$((failed + 1))
    echo "FAIL: $name"
    if [ -n "$screen" ]; then printf '%s\n' "--- screen:" "$screen" "---"; fi
  fi
}

finish() {
  echo "$passed passed, $failed failed"
  [ "$failed" = 0 ]
}

# needs TOOL...: skip the whole test (ctest's SKIP_RETURN_CODE) when one is
# missing. scripts/install-deps installs them all, so CI never skips.
needs() {
  local tool
  for tool in "$@"; do
    if ! command -v "$tool" >/dev/null; then
      echo "SKIP: '$tool' is not installed (scripts/install-deps test installs it)"
      exit 77
    fi
  done
}

tmux_() { tmux -L "$socket" -f "$work/tmux.conf" "$@"; }
stop_tmux() { tmux_ kill-server >/dev/null 2>&1 || true; }

# start DIR COMMAND...: the command in DIR on an 80x25 terminal; its exit
# code lands in DIR.exit when it ends.
start() {
  local dir=$1
  shift
  printf 'set -g default-terminal tmux-256color\nset -g status off\n' >"$work/tmux.conf"
  printf 'cd %q || exit\n%s\necho $? > %q\n' "$dir" "$(printf '%q ' "$@")" "$dir.exit" >"$dir.sh"
  stop_tmux
  rm -f "$dir.exit"
  tmux_ new-session -d -s pkg -x 80 -y 25 "bash $(printf %q "$dir.sh")"
}

# wait_for TEXT: until the screen shows TEXT. Polls, with a bound generous
# enough for a loaded machine.
wait_for() {
  local i
  for i in $(seq 200); do
    screen=$(tmux_ capture-pane -t pkg -p 2>/dev/null)
    case "$screen" in *"$1"*) return 0 ;; esac
    sleep 0.1
  done
  return 1
}

wait_exit() {  # DIR
  local i
  for i in $(seq 200); do
    [ -s "$1.exit" ] && return 0
    sleep 0.1
  done
  return 1
}

keys() {  # one key at a time, so Esc is never read as part of the next key
  local k
  for k in "$@"; do
    tmux_ send-keys -t pkg "$k"
    sleep 0.15
  done
}

contains() { case "$1" in *"$2"*) return 0 ;; esac; return 1; }
same_text() { [ "$1" = "$2" ] || { diff <(echo "$2") <(echo "$1") | sed 's/^/  /'; return 1; }; }
