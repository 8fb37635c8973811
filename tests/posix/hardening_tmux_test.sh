#!/usr/bin/env bash
# What a new user runs into outside the usual path, in real terminals under
# tmux: pastes, Alt+key, Ctrl+L, a stop and continue from outside, every
# signal that ends the program, terminals without an alternate screen or
# with padding, 80x23, large and enlarged windows, a narrow enlarge request,
# and a save under a file-size limit.
# Usage: hardening_tmux_test.sh path/to/terminal_demo path/to/zorvikqm-setup
# (KEEP=1 keeps the scratch directory for a look after a failure.)
set -u
demo=$(realpath "$1")
program=$(realpath "$2")
command -v tmux >/dev/null || { echo "tmux is not installed"; exit 1; }

work=$(mktemp -d /tmp/zq-hardening-XXXXXX)
cleanup() { tm kill-server 2>/dev/null; [[ -n "${KEEP:-}" ]] || rm -rf "$work"; }
trap cleanup EXIT
unset TMUX
source "$(dirname "$0")/tmux_checks.sh"

# run.sh NAME TERM DIR COMMAND...: runs COMMAND in DIR with TERM, notes its pid,
# exit code and the tty modes around it, then stands in for the shell: what
# reaches the terminal's input afterwards lands in NAME.typed.
cat >"$work/run.sh" <<EOF
#!/bin/sh
name=\$1; term=\$2; dir=\$3; shift 3
trap : INT
ulimit -c 0
cd "\$dir" || exit 1
stty -g >"$work/\$name.before"
env TERM="\$term" sh -c 'echo \$\$ >"\$0"; exec "\$@"' "$work/\$name.pid" "\$@"
echo "exit=\$?"
stty -g >"$work/\$name.after"
exec cat -v >"$work/\$name.typed"
EOF
chmod +x "$work/run.sh"

# start NAME WIDTH HEIGHT TERM COMMAND...: a session running COMMAND in $work/NAME.
start() {
  local name=$1 width=$2 height=$3 term=$4
  shift 4
  mkdir -p "$work/$name"
  tm new-session -d -s "$name" -x "$width" -y "$height" "$work/run.sh $name $term $work/$name $*"
}
pid_of() { cat "$work/$1.pid"; }
# wait_gone NAME TEXT: up to 5 s for TEXT to go.
hides() { ! shows "$1" "$2"; }
wait_gone() { wait_until hides "$1" "$2"; }
# wait_state PID STATE: up to 5 s for the process to reach STATE (T: stopped).
in_state() { [[ "$(awk '{ print $3 }' "/proc/$1/stat" 2>/dev/null)" == "$2" ]]; }
wait_state() { wait_until in_state "$@"; }
# wait_colours NAME ROW TEXT: up to 5 s for TEXT (with its colour codes) on ROW.
row_has_colours() { [[ "$(row_colours "$1" "$2")" == *"$3"* ]]; }
wait_colours() { wait_until row_has_colours "$@"; }
# wait_queued NAME COUNT: up to 5 s for COUNT bytes to wait in the pane's tty input.
wait_queued() {
  local tty
  tty=$(pane "$1" '#{pane_tty}')
  for _ in $(seq 50); do
    [[ "$(python3 -c 'import fcntl, os, struct, sys, termios
fd = os.open(sys.argv[1], os.O_RDONLY | os.O_NOCTTY | os.O_NONBLOCK)
print(struct.unpack("i", fcntl.ioctl(fd, termios.FIONREAD, b"\0" * 4))[0])' "$tty")" -ge "$2" ]] && return 0
    sleep 0.1
  done
  return 1
}
# wait_typed NAME TEXT: up to 5 s for TEXT to reach the shell after the program.
typed() { grep -qF -- "$2" "$work/$1.typed" 2>/dev/null; }
wait_typed() { wait_until typed "$@"; }
ended_with() {
  if wait_for "$1" "exit=$2"; then ok "$1: ended with exit code $2"; else not_ok "$1: no exit=$2: $(screen_of "$1" | grep exit=)"; fi
}
# The shell's tty modes back, and the program's screen gone.
check_modes_back() {
  for _ in $(seq 20); do [[ -s "$work/$1.after" ]] && break; sleep 0.1; done
  expect_eq "$1: tty modes restored" "$(cat "$work/$1.after" 2>/dev/null)" "$(cat "$work/$1.before")"
  expect_eq "$1: alternate screen left" "$(pane "$1" '#{alternate_on}')" 0
  expect_eq "$1: cursor shown" "$(pane "$1" '#{cursor_flag}')" 1
  expect_eq "$1: mouse reporting off" "$(pane "$1" '#{mouse_any_flag}')" 0
}

echo "# a paste is not key presses"
start paste 80 25 tmux-256color "$demo"
wait_for paste "Display" || not_ok "paste: demo never appeared"
tm send-keys -t paste Down
wait_for paste "key: ff 50" >/dev/null
tm set-buffer -b clip $'\r\ry\rq\rx'
tm paste-buffer -p -b clip -t paste
tm send-keys -t paste -H 61
if wait_for paste "key: 61 1e"; then ok "paste: keys read after the paste"; else not_ok "paste: $(row_of paste 22)"; fi
expect_lacks "paste: demo still running (no q, no x taken from the paste)" "$(screen_of paste)" "exit="
expect_has "paste: selection not moved by the paste" "$(row_colours paste 12)" $'\e[48;5;124m     Sound      '
tm send-keys -t paste q
ended_with paste 0
check_modes_back paste
tm paste-buffer -p -b clip -t paste
tm send-keys -t paste -l "end"
tm send-keys -t paste Enter
wait_typed paste "end" || not_ok "paste: the shell read nothing"
expect_lacks "paste: bracketed paste off after the end" "$(cat "$work/paste.typed")" "^[[200~"

echo "# Ctrl+L repaints"
start repaint 80 25 tmux-256color "$demo"
wait_for repaint "Display" || not_ok "repaint: demo never appeared"
printf 'SCRIBBLED' >"$(pane repaint '#{pane_tty}')"
wait_for repaint "SCRIBBLED" >/dev/null
tm send-keys -t repaint C-l
if wait_gone repaint "SCRIBBLED"; then ok "Ctrl+L: what was written over the screen is gone"; else not_ok "Ctrl+L: no repaint"; fi
expect_eq "Ctrl+L: entry shown again" "$(row_of repaint 10 | cut -c31-46)" "    Display"
expect_lacks "Ctrl+L: no key for the program" "$(row_of repaint 22)" "key:"

echo "# stopped and continued from outside"
pid=$(pid_of repaint)
kill -STOP "$pid"
wait_state "$pid" T || not_ok "stop: the demo did not stop"
# What a job-control wrapper or debugger does while it has the terminal.
stty -F "$(pane repaint '#{pane_tty}')" sane
printf '\033[0mSCRIBBLED' >"$(pane repaint '#{pane_tty}')"
kill -CONT "$pid"
if wait_gone repaint "SCRIBBLED"; then ok "continue: full repaint"; else not_ok "continue: no repaint"; fi
tm send-keys -t repaint Down
if wait_for repaint "key: ff 50"; then ok "continue: a key acts at once (our tty modes)"; else not_ok "continue: key not read: $(row_of repaint 22)"; fi
tm send-keys -t repaint q
ended_with repaint 0
check_modes_back repaint

echo "# input not read when the program ends does not reach the shell"
start flush 80 25 tmux-256color "$demo"
wait_for flush "Display" || not_ok "flush: demo never appeared"
pid=$(pid_of flush)
kill -STOP "$pid"
wait_state "$pid" T || not_ok "flush: the demo did not stop"
tm send-keys -t flush "echo typed at the program" Enter
wait_queued flush 26 || not_ok "flush: typed text never reached the terminal"
kill -TERM "$pid"
kill -CONT "$pid"
ended_with flush 143
check_modes_back flush
tm send-keys -t flush "after" Enter
wait_typed flush "after" || not_ok "flush: the shell read nothing"
expect_eq "flush: only what was typed afterwards reached the shell" "$(cat "$work/flush.typed")" "after"

echo "# every signal that ends the program restores the terminal first, then ends it by that signal"
# A sanitizer build catches faults itself; here the program's own handler is under test.
asan_options=${ASAN_OPTIONS:+$ASAN_OPTIONS:}handle_segv=0:handle_sigbus=0:handle_sigfpe=0:handle_abort=0
signals="ABRT SEGV BUS FPE ILL TRAP SYS QUIT USR1 USR2 ALRM XCPU PROF VTALRM PIPE IO STKFLT PWR RTMIN RTMIN+7 RTMAX"
for sig in $signals; do
  start "sig$sig" 80 25 tmux-256color env "ASAN_OPTIONS=$asan_options" "$demo"
done
for sig in $signals; do
  wait_for "sig$sig" "Display" >/dev/null || not_ok "sig$sig: demo never appeared"
  kill "-$sig" "$(pid_of "sig$sig")"
done
for sig in $signals; do
  ended_with "sig$sig" $((128 + $(kill -l "$sig")))
  check_modes_back "sig$sig"
done

echo "# leaving terminals without an alternate screen, and padding"
for term in linux vt100 vt220 ansi xterm-256color; do
  name="out_${term//-/_}"
  start "$name" 80 25 "$term" "$demo"
  wait_for "$name" "Display" >/dev/null || not_ok "$name: demo never appeared"
  tm send-keys -t "$name" q
  ended_with "$name" 0
  check_modes_back "$name"
  expect_eq "$name: the program's screen is gone, the shell's next line at the top" "$(screen_of "$name" | grep -v '^$')" "exit=0"
  expect_lacks "$name: no background colour left" "$(colours_of "$name")" $'\e[4'
  expect_lacks "$name: no padding shown as text" "$(screen_of "$name")" '$<'
done

echo "# 80x23"
start short 80 23 tmux-256color "$demo"
wait_for short "Display" || not_ok "80x23: no menu (enlarge request?)"
expect_eq "80x23: buffer row 1 on the top row" "$(row_of short 0 | cut -c1-12)" "ROW 1 MARKER"
expect_has "80x23: banner on row 1" "$(row_of short 1)" "Z O R V I K"
expect_eq "80x23: Display on row 8" "$(row_of short 8 | cut -c31-46)" "    Display"
expect_eq "80x23: help line on the last row" "$(row_of short 22 | cut -c6-19)" "UP/DOWN=Select"
expect_eq "80x23: cursor on the selected entry" "$(pane short '#{cursor_x},#{cursor_y}')" "30,8"
tm resize-window -t short -x 80 -y 22
if wait_for short "Please enlarge"; then ok "80x22: enlarge request"; else not_ok "80x22: no request"; fi

echo "# the terminal's own size wins over LINES and COLUMNS"
start plain 80 25 tmux-256color "$demo"
wait_for plain "Display" || not_ok "plain: demo never appeared"
for size in 10x40 300x300; do
  name="env$size"
  start "$name" 80 25 tmux-256color env "LINES=${size%x*}" "COLUMNS=${size#*x}" "$demo"
  wait_for "$name" "Display" || not_ok "$name: no menu"
  expect_eq "LINES and COLUMNS $size: as without them" "$(colours_of "$name")" "$(colours_of plain)"
  tm resize-window -t "$name" -x 90 -y 30
  wait_for "$name" "ROW 0 MARKER" >/dev/null
  tm resize-window -t "$name" -x 80 -y 25
  kill -STOP "$(pid_of "$name")"
  wait_state "$(pid_of "$name")" T || not_ok "$name: did not stop"
  kill -CONT "$(pid_of "$name")"
  for _ in $(seq 50); do [[ "$(colours_of "$name")" == "$(colours_of plain)" ]] && break; sleep 0.1; done
  expect_eq "LINES and COLUMNS $size: as without them after a resize, a stop and a continue" \
    "$(colours_of "$name")" "$(colours_of plain)"
done
# A terminal that reports no size: then LINES and COLUMNS give it.
start nosize 80 25 tmux-256color sh -c "'stty rows 0 cols 0; exec env LINES=23 COLUMNS=80 \"\$0\"'" "$demo"
wait_for nosize "Display" || not_ok "nosize: no menu"
expect_eq "no size reported: LINES=23 taken, Display on row 8" "$(row_of nosize 8 | cut -c31-46)" "    Display"

echo "# the enlarge request on a narrow terminal"
start narrow 40 20 tmux-256color "$demo"
wait_for narrow "Please" || not_ok "narrow: no request"
request=$(screen_of narrow | tr -s ' \n' ' ')
expect_has "narrow: the whole size is there" "$request" "80x23 (now 40x20)"
expect_has "narrow: says how to leave" "$request" "Ctrl+C leaves the program"

echo "# larger terminals: centred, the same at start and after enlarging"
start big 120 40 tmux-256color "$demo"
start grown 80 25 tmux-256color "$demo"
wait_for big "Display" || not_ok "big: demo never appeared"
wait_for grown "Display" >/dev/null
tm resize-window -t grown -x 120 -y 40
for _ in $(seq 50); do [[ "$(row_of grown 7 | cut -c21-32)" == "ROW 0 MARKER" ]] && break; sleep 0.1; done
expect_eq "big: layout row 0 on row 7 from column 20" "$(row_of big 7 | cut -c21-32)" "ROW 0 MARKER"
expect_eq "big: Display centred" "$(row_of big 17 | cut -c51-66)" "    Display"
expect_eq "big: cursor on the selected entry" "$(pane big '#{cursor_x},#{cursor_y}')" "50,17"
expect_has "big: blue above the layout" "$(row_colours big 0)" $'\e[48;5;19m'
expect_has "big: blue left of the layout" "$(row_colours big 20)" $'\e[48;5;19m'
expect_has "big: blue below the layout" "$(row_colours big 39)" $'\e[48;5;19m'
expect_eq "grown: looks as the large start does" "$(colours_of grown)" "$(colours_of big)"
expect_eq "grown: cursor as at the large start" "$(pane grown '#{cursor_x},#{cursor_y}')" "50,17"

echo "# the program: pastes, Alt+Y, 80x23, a save under a file-size limit"
start prog_paste 80 25 tmux-256color "$program"
wait_for prog_paste "ESC=Quit" || not_ok "prog_paste: menu never appeared"
tm send-keys -t prog_paste Up
tm set-buffer -b cmd $'\ry\recho pasted command ran\r'
tm paste-buffer -p -b cmd -t prog_paste
tm send-keys -t prog_paste Down  # read after the paste: once it acts, the paste was read too
wait_colours prog_paste 10 $'\e[48;5;124m    Display' || not_ok "program paste: Down after the paste not acted on"
expect_lacks "program paste: no save prompt, still running" "$(screen_of prog_paste)" "exit="
expect_has "program paste: still on the menu" "$(screen_of prog_paste)" "Save &  Exit"
tm send-keys -t prog_paste M-y Up
wait_colours prog_paste 18 $'\e[48;5;124m  Save &  Exit' || not_ok "program Alt+Y: Up after it not acted on"
expect_lacks "program Alt+Y: no quit prompt answered" "$(screen_of prog_paste)" "exit="
expect_lacks "program Alt+Y: no quit prompt opened" "$(screen_of prog_paste)" "(Y/N)"
tm send-keys -t prog_paste Escape
wait_for prog_paste "(Y/N)" >/dev/null
tm send-keys -t prog_paste y
ended_with prog_paste 0
[[ -e "$work/prog_paste/zorvikqm.ini" ]] && not_ok "program paste: a file was saved" || ok "program paste: nothing saved"
tm send-keys -t prog_paste "after" Enter
wait_typed prog_paste "after" || not_ok "program paste: the shell read nothing"
expect_eq "program paste: nothing of the paste reached the shell" "$(cat "$work/prog_paste.typed")" "after"

start prog_short 80 23 tmux-256color "$program"
wait_for prog_short "ESC=Quit" || not_ok "program 80x23: no menu"
expect_has "program 80x23: banner on row 1" "$(row_of prog_short 1)" "Z O R V I K"
expect_has "program 80x23: notice on row 4" "$(row_of prog_short 4)" "No zorvikqm.ini here yet"
expect_has "program 80x23: its folder on row 5" "$(row_of prog_short 5)" "/prog_short"
expect_has "program 80x23: help on the last row" "$(row_of prog_short 22)" "UP/DOWN=Select"

mkdir -p "$work/fsize"
printf '[CONFIG]\r\nsyncrate=35\r\n' >"$work/fsize/zorvikqm.ini"
cp "$work/fsize/zorvikqm.ini" "$work/fsize.ini.orig"
start fsize 80 25 tmux-256color sh -c "'ulimit -f 0; exec \"\$0\"'" "$program"
wait_for fsize "ESC=Quit" || not_ok "fsize: menu never appeared"
tm send-keys -t fsize Up Enter
wait_for fsize "(Y/N)" >/dev/null
tm send-keys -t fsize y
if wait_for fsize "Could not save zorvikqm.ini: File too large"; then ok "fsize: failed-save box gives the reason"; else not_ok "fsize: $(screen_of fsize | grep -v '^$' | head -3)"; fi
expect_lacks "fsize: program still running" "$(screen_of fsize)" "exit="
if cmp -s "$work/fsize/zorvikqm.ini" "$work/fsize.ini.orig"; then ok "fsize: old file intact"; else not_ok "fsize: old file changed"; fi
expect_eq "fsize: no temporary file left" "$(ls -A "$work/fsize")" "zorvikqm.ini"
tm send-keys -t fsize x
wait_for fsize "Save &  Exit" >/dev/null
tm send-keys -t fsize Escape
wait_for fsize "(Y/N)" >/dev/null
tm send-keys -t fsize y
ended_with fsize 0
check_modes_back fsize

finish
