# What the end-to-end scripts share: counted checks, the program in a pane
# of a private tmux server, and waiting on its screen and on its end.
# Sourced once `work` (the scratch folder) is set. A script may set first:
#   socket       the tmux server's name (it may change it between runs)
#   wait_tenths  how long wait_for and wait_exit wait, in tenths of a second
#   key_pause    the pause after each key, so Esc is never read as part of
#                the next one
: "${socket:=zq-e2e-$$}" "${wait_tenths:=50}" "${key_pause:=0.15}"
passed=0
failed=0
screen=""

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

# The verdict, as the status of the script's last command.
finish() {
  echo "$passed passed, $failed failed"
  [ "$failed" = 0 ]
}

printf 'set -g default-terminal tmux-256color\nset -g status off\n' >"$work/tmux.conf"
tmux_() { tmux -L "$socket" -f "$work/tmux.conf" "$@"; }
stop_tmux() { tmux_ kill-server >/dev/null 2>&1 || true; }
# open_pane COLUMNS ROWS SCRIPT: the session "e2e", running the script.
open_pane() { tmux_ new-session -d -s e2e -x "$1" -y "$2" "bash $(printf %q "$3")"; }

capture() { screen=$(tmux_ capture-pane -t e2e -p 2>/dev/null); }
capture_colours() { tmux_ capture-pane -t e2e -p -e 2>/dev/null; }

# wait_for TEXT: until the screen shows TEXT.
wait_for() {
  local i
  for i in $(seq "$wait_tenths"); do
    capture
    case "$screen" in *"$1"*) return 0 ;; esac
    sleep 0.1
  done
  return 1
}

# wait_exit DIR: until the program has ended and left its code in DIR.exit.
wait_exit() {
  local i
  for i in $(seq "$wait_tenths"); do
    [ -s "$1.exit" ] && return 0
    sleep 0.1
  done
  return 1
}

keys() {  # one key at a time
  local k
  for k in "$@"; do
    tmux_ send-keys -t e2e "$k"
    sleep "$key_pause"
  done
}

line() { sed -n "$(($1 + 1))p" <<<"$screen"; }
exit_code_is() { [ "$(cat "$1.exit" 2>/dev/null)" = "$2" ]; }
file_is() { cmp -s "$1" "$2"; }
no_file() { [ ! -e "$1" ]; }
contains() { case "$1" in *"$2"*) return 0 ;; esac; return 1; }
lacks() { ! contains "$1" "$2"; }
