#!/usr/bin/env bash
# Runs terminal_demo in real terminals under tmux and reads the screen back:
# drawing and colours, keys, the 24-row view, the enlarge request, the
# terminal restored after each way out, failures without a terminal, and
# the CPU used while idle. Usage: terminal_tmux_test.sh path/to/terminal_demo
set -u
demo=$(realpath "$1")
command -v tmux >/dev/null || { echo "tmux is not installed"; exit 1; }

work=$(mktemp -d)

cleanup() { tm kill-server 2>/dev/null; rm -rf "$work"; }
trap cleanup EXIT
unset TMUX
source "$(dirname "$0")/tmux_checks.sh"

# A wrapper that notes tty modes, pid and exit code around the demo, then
# keeps the pane open so the screen after the end can be read.
cat >"$work/run.sh" <<EOF
#!/bin/sh
name=\$1; term=\$2; shift 2
trap : INT  # outlive a Ctrl+C meant for the demo (a caught signal is reset at exec)
stty -g >"$work/\$name.before"
env TERM="\$term" sh -c 'echo \$\$ >"\$0"; exec "\$@"' "$work/\$name.pid" "$demo" "\$@"
echo "exit=\$?"
stty -g >"$work/\$name.after"
exec sleep 600
EOF
chmod +x "$work/run.sh"

# start NAME WIDTH HEIGHT TERM [demo args]: a session with the demo in it.
start() {
  local name=$1 width=$2 height=$3 term=$4
  shift 4
  tm new-session -d -s "$name" -x "$width" -y "$height" "$work/run.sh $name $term $*"
}
pane_is() { [[ "$(pane "$1" "$2")" == "$3" ]]; }
wait_pane() { wait_until pane_is "$@"; }

# Title a pane has before any program sets one.
tm new-session -d -s plain -x 80 -y 25 "exec sleep 600"
default_title=$(pane plain '#{pane_title}')

# check_restored NAME EXIT: the demo ended with EXIT and left the terminal as found.
check_restored() {
  local name=$1 code=$2
  if wait_for "$name" "exit=$code"; then ok "$name: ended with exit code $code"; else not_ok "$name: no exit=$code"; fi
  wait_for "$name" "exit=" >/dev/null
  for _ in $(seq 50); do [[ -s "$work/$name.after" ]] && break; sleep 0.1; done
  expect_eq "$name: alternate screen left" "$(pane "$name" '#{alternate_on}')" 0
  expect_eq "$name: cursor shown" "$(pane "$name" '#{cursor_flag}')" 1
  expect_eq "$name: title restored" "$(pane "$name" '#{pane_title}')" "$default_title"
  expect_eq "$name: tty modes restored" "$(cat "$work/$name.after" 2>/dev/null)" "$(cat "$work/$name.before")"
}

echo "# without a terminal"
"$demo" </dev/null >"$work/out" 2>"$work/err"
expect_eq "no terminal: exit code" "$?" 1
expect_eq "no terminal: one line on stderr" "$(cat "$work/err")" "terminal_demo: standard input is not a terminal"
expect_eq "no terminal: nothing on stdout" "$(cat "$work/out")" ""
for case in "unset:env -u TERM" "unknown:env TERM=no-such-terminal"; do
  name=${case%%:*}
  tm new-session -d -s "$name" -x 80 -y 25 "${case#*:} $demo 2>$work/$name.err; echo \$? >$work/$name.rc; exec sleep 600"
  for _ in $(seq 50); do [[ -s "$work/$name.rc" ]] && break; sleep 0.1; done
  expect_eq "TERM $name: exit code" "$(cat "$work/$name.rc")" 1
  expect_eq "TERM $name: one line on stderr" "$(wc -l <"$work/$name.err")" 1
done
expect_has "TERM unset: says so" "$(cat "$work/unset.err")" "TERM is not set"
expect_has "TERM unknown: says so" "$(cat "$work/unknown.err")" "unknown terminal type 'no-such-terminal'"

echo "# drawing, 256 colours: the console's own, as entries of the cube"
start draw 80 25 tmux-256color
wait_for draw "Display" || not_ok "draw: menu never appeared"
expect_eq "draw: entry text at column 30 of row 10" "$(row_of draw 10 | cut -c31-46)" "    Display"
expect_eq "draw: top row shown at 25 rows" "$(row_of draw 0 | cut -c1-12)" "ROW 0 MARKER"
expect_eq "draw: help line on row 24" "$(row_of draw 24 | cut -c6-19)" "UP/DOWN=Select"
expect_has "draw: white on blue (31)" "$(row_colours draw 12)" $'\e[38;5;231m\e[48;5;19m'
expect_has "draw: selected bar is on red (79)" "$(row_colours draw 10)" $'\e[48;5;124m    Display     '
expect_has "draw: yellow on blue (30)" "$(row_colours draw 12)" $'\e[38;5;227m     Sound      '
expect_has "draw: banner on brown (111)" "$(row_colours draw 2)" $'\e[48;5;130m  Z O R V I K'
expect_eq "draw: control and high bytes shown as placeholders" "$(row_of draw 20 | cut -c1-14)" "ctl:?[31mX?|?|"
expect_eq "draw: alternate screen" "$(pane draw '#{alternate_on}')" 1
expect_eq "draw: title set" "$(pane draw '#{pane_title}')" "Zorvik Quelta Marundo Setup"
expect_eq "draw: cursor on the selected entry" "$(pane draw '#{cursor_flag} #{cursor_x},#{cursor_y}')" "1 30,10"

echo "# keys"
key_case() {  # description, tmux send-keys arguments..., expected hex
  local description=$1 want=${*: -1}
  tm send-keys -t draw "${@:2:$#-2}"
  if wait_for draw "key: $want"; then ok "key: $description"; else not_ok "key: $description: $(row_of draw 22)"; fi
  tm send-keys -t draw -H 61  # 'a' between cases, so a repeated result is seen afresh
  wait_for draw "key: 61 1e" >/dev/null
}
key_case "Down" Down "ff 50"
expect_has "key: Down moved the bar to row 12" "$(row_colours draw 12)" $'\e[48;5;124m     Sound      '
expect_eq "key: cursor follows the bar" "$(pane draw '#{cursor_x},#{cursor_y}')" "30,12"
key_case "Up" Up "ff 48"
key_case "Left" Left "ff 4b"
key_case "Right" Right "ff 4d"
key_case "Enter" Enter "0d 1c"
key_case "Esc, alone" Escape "1b 01"
key_case "y" y "79 15"
key_case "N" N "4e 31"
key_case "Down in application mode" -H 1b 4f 42 "ff 50"
key_case "keypad Enter in application mode" -H 1b 4f 4d "0d 1c"
key_case "unknown sequence, then a key" -H 1b 5b 39 39 7e 6e "6e 31"

echo "# idle CPU"
pid=$(cat "$work/draw.pid")
# Without a live demo the figures below would read as zero and pass.
[[ -n "$pid" && -r "/proc/$pid/stat" ]] || not_ok "idle CPU: no running demo to measure"
ticks() { awk '{ print $14 + $15 }' "/proc/$pid/stat"; }
before=$(ticks)
sleep 2
after=$(ticks)
hz=$(getconf CLK_TCK)
percent=$(awk -v t=$((after - before)) -v hz="$hz" 'BEGIN { printf "%.2f", 100 * t / hz / 2 }')
echo "# idle CPU over 2 s: ${percent}% of one core"
if awk -v p="$percent" 'BEGIN { exit !(p < 50) }'; then ok "idle CPU well below a busy loop"; else not_ok "idle CPU ${percent}%"; fi

echo "# normal end"
tm send-keys -t draw q
check_restored draw 0

echo "# 16, 8 and no colours"
start sixteen 80 25 xterm-16color
wait_for sixteen "Display" || not_ok "sixteen: menu never appeared"
expect_has "16 colours: yellow is bright ANSI yellow" "$(row_colours sixteen 12)" $'\e[93m     Sound      '
expect_has "16 colours: banner on ANSI yellow" "$(row_colours sixteen 2)" $'\e[43m  Z O R V I K'
start eight 80 25 screen
wait_for eight "Display" || not_ok "eight: menu never appeared"
expect_has "8 colours: bright foreground by bold" "$(row_colours eight 12)" $'\e[1m\e[37m\e[44m'
expect_has "8 colours: yellow is bold ANSI yellow" "$(row_colours eight 12)" $'\e[33m     Sound      '
start mono 80 25 vt100
wait_for mono "Display" || not_ok "mono: menu never appeared"
expect_has "no colours: selection in reverse video" "$(row_colours mono 10)" $'\e[7m    Display'
expect_has "no colours: banner in reverse video" "$(row_colours mono 2)" $'\e[7m  Z O R V I K'
start direct 80 25 xterm-direct
wait_for direct "Display" || not_ok "direct: menu never appeared"
expect_has "direct colour: the bar on the console's red, by value" "$(row_colours direct 10)" $'\e[48;2;170;0;0m    Display'
expect_has "direct colour: yellow by value" "$(row_colours direct 12)" $'\e[38;2;255;255;85m     Sound'
expect_has "direct colour: blue, a small value, not sent as a palette entry" "$(row_colours direct 12)" $'\e[48;2;1;0;170m'

echo "# 24 rows"
start short 80 24 tmux-256color
wait_for short "Display" || not_ok "short: menu never appeared"
expect_eq "80x24: buffer row 1 on the top row" "$(row_of short 0 | cut -c1-12)" "ROW 1 MARKER"
expect_eq "80x24: Display on row 9" "$(row_of short 9 | cut -c31-46)" "    Display"
expect_eq "80x24: help line on the last row" "$(row_of short 23 | cut -c6-19)" "UP/DOWN=Select"
expect_eq "80x24: cursor on the selected entry" "$(pane short '#{cursor_x},#{cursor_y}')" "30,9"

echo "# too small, then enlarged"
tm resize-window -t short -x 70 -y 20
if wait_for short "Please enlarge the terminal to at least 80x23"; then ok "small: enlarge request"; else not_ok "small: no request"; fi
expect_eq "small: nothing else on the screen" "$(screen_of short | grep -c 'Display')" 0
tm send-keys -t short Down
sleep 1  # time to read the key while still too small
tm resize-window -t short -x 80 -y 25
if wait_for short "Display"; then ok "small: screen back after enlarging"; else not_ok "small: screen not back"; fi
# A key typed now is handled after any held back; once it shows, the Down
# typed while too small would have moved the bar if it had been kept.
tm send-keys -t short -H 61
if wait_for short "key: 61 1e"; then ok "small: keys read after enlarging"; else not_ok "small: no key read after enlarging"; fi
expect_has "small: key pressed while hidden was not acted on" "$(row_colours short 10)" $'\e[48;5;124m    Display     '
expect_eq "small: top row shown again at 25 rows" "$(row_of short 0 | cut -c1-12)" "ROW 0 MARKER"

echo "# ways out"
tm send-keys -t short C-c
check_restored short 130
start term 80 25 tmux-256color
wait_for term "Display" >/dev/null
kill -TERM "$(cat "$work/term.pid")"
check_restored term 143
start hup 80 25 tmux-256color
wait_for hup "Display" >/dev/null
kill -HUP "$(cat "$work/hup.pid")"
check_restored hup 129
start throw 80 25 tmux-256color
wait_for throw "Display" >/dev/null
tm send-keys -t throw x
check_restored throw 134

echo "# terminal gone"
# With SIGHUP ignored the demo learns of the hang-up only from its input.
tm new-session -d -s gone -x 80 -y 25 \
  "sh -c 'trap \"\" HUP; echo \$\$ >$work/gone.pid; exec $demo'"
wait_for gone "Display" >/dev/null
pid=$(cat "$work/gone.pid")
tm kill-session -t gone
for _ in $(seq 30); do kill -0 "$pid" 2>/dev/null || break; sleep 0.1; done
if kill -0 "$pid" 2>/dev/null; then not_ok "gone: still running after the hang-up"; kill -KILL "$pid"; else ok "gone: ended after the hang-up"; fi

echo "# Ctrl+Z and fg"
if command -v bash >/dev/null; then
  tm new-session -d -s job -x 80 -y 25 "env PS1='job$ ' TERM=tmux-256color bash --norc --noprofile -i"
  wait_for job 'job$' >/dev/null
  job_title=$(pane job '#{pane_title}')  # the shell's, before the demo sets its own
  tm send-keys -t job "$demo" Enter
  wait_for job "Display" >/dev/null
  tm send-keys -t job Down
  wait_for job "key: ff 50" >/dev/null
  tm send-keys -t job C-z
  if wait_pane job '#{alternate_on}' 0; then ok "Ctrl+Z: alternate screen left"; else not_ok "Ctrl+Z: still on the alternate screen"; fi
  expect_eq "Ctrl+Z: cursor shown" "$(pane job '#{cursor_flag}')" 1
  expect_eq "Ctrl+Z: title restored" "$(pane job '#{pane_title}')" "$job_title"
  expect_eq "Ctrl+Z: mouse reporting off" "$(pane job '#{mouse_any_flag}')" 0
  tm send-keys -t job "fg" Enter
  if wait_pane job '#{alternate_on}' 1 && wait_for job "Display"; then ok "fg: screen back"; else not_ok "fg: screen not back"; fi
  expect_eq "fg: title set again" "$(pane job '#{pane_title}')" "Zorvik Quelta Marundo Setup"
  expect_eq "fg: mouse reporting on again" "$(pane job '#{mouse_any_flag}')" 1
  expect_has "fg: as it was" "$(row_colours job 12)" $'\e[48;5;124m     Sound      '
  tm send-keys -t job Up
  if wait_for job "key: ff 48"; then ok "fg: keys read again"; else not_ok "fg: keys lost"; fi
  tm send-keys -t job q
  if wait_pane job '#{alternate_on}' 0; then ok "fg: normal end afterwards"; else not_ok "fg: did not end"; fi
  expect_eq "fg: title restored at the end" "$(pane job '#{pane_title}')" "$job_title"
  expect_eq "fg: mouse reporting off at the end" "$(pane job '#{mouse_any_flag}')" 0
fi

finish
