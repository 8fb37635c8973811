#!/usr/bin/env bash
# End-to-end runs of the built program in a real terminal (tmux): keys typed
# with send-keys, the screen read with capture-pane, then the file and the
# exit code checked.
# Usage: e2e_tmux_test.sh PATH/TO/zorvikqm-setup
set -u
# The system's reasons in English and a UTF-8 terminal, whatever the user's
# locale; a run says where it wants another.
export LC_ALL=C.UTF-8

work=$(mktemp -d /tmp/zq-e2e-XXXXXX)
chmod 755 "$work"
# A copy in /tmp, so that an unprivileged user can run it too.
program="$work/zorvikqm-setup"
cp "$1" "$program" && chmod 755 "$program"
. "$(dirname "$0")/../e2e_checks.sh"
cleanup() { stop_tmux; rm -rf "$work"; }
trap cleanup EXIT

# start DIR COLUMNS ROWS RUNAS [ARGS...]: the program in DIR; its exit code
# lands in DIR.exit when it ends (130 when SIGINT ended it).
start() {
  local dir=$1 cols=$2 rows=$3 runas=$4
  shift 4
  {
    echo "trap : INT"  # so the exit code is recorded after Ctrl+C too
    echo "cd '$dir' || exit"
    echo "$runas '$program' $*"
    echo "echo \$? > '$dir.exit'"
  } >"$dir.sh"
  stop_tmux
  rm -f "$dir.exit"
  open_pane "$cols" "$rows" "$dir.sh"
}

defaults=$'[CONFIG]\r\nscreenmode=0\r\nscreendepth=16\r\nsyncrate=35\r\ngraphicdetail=0\r\nplaysound=10\r\nplaymusic=10\r\nattractsound=1\r\ngamemode=0\r\ngamelevel=1\r\nconsolecredits=3\r\narcadecredits=0\r\ncontinues=1\r\nextralives=2\r\nbonuslives=1\r\nfightstyle=0\r\nchangestyle=1\r\ncolorselect=1\r\nplayerhitplayer=1\r\ncharacterchange=1\r\nsavehiscores=1\r\nlanguage=0\r\n'

# 1. The typical run at 80x25: DIP switches, game speed up one, save.
dir="$work/typical"; mkdir -p "$dir"
start "$dir" 80 25 "env NO_COLOR="  # set but empty: colours as ever
check "main menu shown" wait_for "ESC=Quit"
check "banner on row 2" contains "$(line 2)" "Z O R V I K  Q U E L T A  M A R U N D O  S E T U P"
# capture-pane drops trailing blanks; the entries start at column 30.
check "Display entry on row 10" test "$(line 10)" = "$(printf '%30s' '')    Display"
check "Save entry on row 18" test "$(line 18)" = "$(printf '%30s' '')  Save &  Exit"
check "notice about the missing file" contains "$(line 6)" "No zorvikqm.ini here yet"
check "notice names the folder" grep -qx "  Folder: .*/typical" <<<"$(line 7)"
colours=$(capture_colours)
check "selected entry on red" grep -q $'\e\\[48;5;124m[^\e]*Display' <<<"$colours"
check "pane title" test "$(tmux_ display -p -t e2e '#{pane_title}')" = "Zorvik Quelta Marundo Setup"
# Ctrl+S, pressed to save, must not stop the terminal's output.
keys C-s Down
sleep 0.3
check "after Ctrl+S, Down moves the bar" grep -q $'\e\\[48;5;124m[^\e]*Sound' <<<"$(capture_colours)"
keys Down Enter
check "DIP screen shown" wait_for "Game Mode               :  < Console >"
keys Down Down Right
check "speed changed" wait_for "Game Speed              :  < Fast (40 FPS) >"
keys Escape
check "back on the menu" wait_for "  DIP Switches"
keys Down Down Enter
check "save prompt" wait_for "Do you want to save the setup and exit ? (Y/N)"
keys y
check "ended" wait_exit "$dir"
check "exit code 0" exit_code_is "$dir" 0
printf '%s' "${defaults/syncrate=35/syncrate=40}" >"$work/expected"
check "file holds the 21 keys with syncrate=40" file_is "$dir/zorvikqm.ini" "$work/expected"

# 2. At 80x24 the whole layout still shows: rows 1 to 24 of the screen.
dir="$work/short"; mkdir -p "$dir"
start "$dir" 80 24 ""
check "80x24 shows the help line last" wait_for "ESC=Quit"
check "80x24 banner on the second line" contains "$(line 1)" "Z O R V I K"
check "80x24 help on the last line" contains "$(line 23)" "UP/DOWN=Select"
keys Escape
check "80x24 quit prompt" wait_for "Are you sure you want to quit ? (Y/N)"
keys Enter Escape Up n
check "N returns to the menu" wait_for "    Display"
keys Up Up Enter Y
check "80x24 ended" wait_exit "$dir"
check "80x24 exit code 0" exit_code_is "$dir" 0
check "abandon creates no file" no_file "$dir/zorvikqm.ini"

# 3. Arguments are ignored; a value out of range keeps its row; quitting
# after changes leaves the file as it was.
dir="$work/args"; mkdir -p "$dir"
printf '; notes\n[CONFIG]\nscreenmode=1\ngamemode=7\n[OTHER]\nkey=value' >"$dir/zorvikqm.ini"
cp "$dir/zorvikqm.ini" "$work/before"
start "$dir" 80 25 "" --help -x zorvikqm.ini
check "args: screen shown" wait_for "Settings read from zorvikqm.ini"
keys Down Down Enter
check "gamemode=7 shows as read" wait_for "Game Mode               :  < 7 ? >"
check "gamemode=7 selected on red" grep -q $'\e\\[48;5;124m  Game Mode               :  < 7 ? >' <<<"$(capture_colours)"
keys Right
check "Right brings it into range" wait_for "Game Mode               :  < Console >"
keys Escape Escape y
check "args: ended" wait_exit "$dir"
check "args: exit code 0" exit_code_is "$dir" 0
check "quit leaves the file byte for byte" file_is "$dir/zorvikqm.ini" "$work/before"

# 4. Ctrl+C ends the program at once without writing.
dir="$work/interrupt"; mkdir -p "$dir"
cp "$work/before" "$dir/zorvikqm.ini"
start "$dir" 80 25 ""
check "ctrl-c: screen shown" wait_for "ESC=Quit"
keys Enter Right Escape Up Enter
check "ctrl-c: save prompt" wait_for "(Y/N)"
keys C-c
check "ctrl-c: ended" wait_exit "$dir"
check "ctrl-c: killed by SIGINT" exit_code_is "$dir" 130
check "ctrl-c leaves the file" file_is "$dir/zorvikqm.ini" "$work/before"

# 5. A save into a read-only directory is reported and can be abandoned.
# Root ignores permissions, so as root the program runs as nobody.
dir="$work/readonly"; mkdir -p "$dir"
runas=""
if [ "$(id -u)" = 0 ]; then
  chown nobody "$dir"
  runas="setpriv --reuid=65534 --regid=65534 --clear-groups"
fi
chmod 555 "$dir"
start "$dir" 80 25 "$runas"
check "read-only: screen shown" wait_for "ESC=Quit"
check "read-only: notice says why saving cannot work" \
  contains "$(line 6)" "No zorvikqm.ini yet, and it cannot be created: Permission denied"
keys Up Enter y
check "read-only: failure reported" wait_for "Could not save zorvikqm.ini: Permission denied"
keys x
check "read-only: back on the menu" wait_for "  Save &  Exit"
check "read-only: still running" no_file "$dir.exit"
keys Escape y
chmod 755 "$dir"
check "read-only: ended" wait_exit "$dir"
check "read-only: exit code 0" exit_code_is "$dir" 0
check "read-only: nothing written" no_file "$dir/zorvikqm.ini"

# 6. With NO_COLOR, as script(1) records what the terminal is sent: no
# colour, the bar in reverse video; and the alternate screen entered once
# and left once.
dir="$work/recorded"; mkdir -p "$dir"
start "$dir" 80 25 "env NO_COLOR=1 script -qefc" "'$dir.typescript'"
check "NO_COLOR: screen shown" wait_for "ESC=Quit"
check "NO_COLOR: the menu's bar in reverse video" contains "$(capture_colours)" $'\e[7m    Display'
keys Down Down Enter
check "NO_COLOR: DIP screen shown" wait_for "Game Mode"
check "NO_COLOR: the DIP screen's bar in reverse video" contains "$(capture_colours)" $'\e[7m  Game Mode'
keys Escape Escape y
check "NO_COLOR: ended" wait_exit "$dir"
check "NO_COLOR: not one colour sent" test -z \
  "$(grep -aoE $'\e\\[[0-9;]*m' "$dir.typescript" | grep -E '[[;](3[0-8]|4[0-8])[;m]')"
count() { grep -aoF -- "$2" "$1" | wc -l; }
check "start-up enters the alternate screen once" test "$(count "$dir.typescript" $'\e[?1049h')" = 1
check "the end leaves it once" test "$(count "$dir.typescript" $'\e[?1049l')" = 1

# 7. A folder named in other letters: as it is in a UTF-8 terminal, each
# Japanese letter two cells wide; a '?' for each letter beyond ASCII under
# LANG=C, as ever.
dir="$work/Jeux vid\xc3\xa9o/\xe3\x82\xb2\xe3\x83\xbc\xe3\x83\xa0 \xe3\x83\x95\xe3\x82\xa9\xe3\x83\xab\xe3\x83\x80"
dir=$(printf '%b' "$dir"); mkdir -p "$dir"
start "$dir" 80 25 ""
check "UTF-8: screen shown" wait_for "ESC=Quit"
check "UTF-8: the folder in its own letters" contains "$(line 7)" "${dir#"$work"}"
row=$(tmux_ capture-pane -t e2e -p -N -S 7 -E 7)
check "UTF-8: each Japanese letter two cells wide" test "${#row}" = 73
keys Escape y
check "UTF-8: ended" wait_exit "$dir"
start "$dir" 80 25 "env LC_ALL=C"
check "LANG=C: screen shown" wait_for "ESC=Quit"
check "LANG=C: a ? for each letter beyond ASCII" contains "$(line 7)" "/Jeux vid?o/??? ????"
keys Escape y
check "LANG=C: ended" wait_exit "$dir"

# 8. The mouse, where terminfo says the terminal reports it (SGR here):
# a click selects, a click on the selected entry opens it, a click on a
# row's > is Right, the wheel moves; clicks on the questions answer nothing.
click() {  # COLUMN ROW, 1-based, as the terminal reports them
  tmux_ send-keys -t e2e -l $'\e'"[<0;$1;$2M"$'\e'"[<0;$1;$2m"
  sleep "$key_pause"
}
red_on() { grep -q $'\e\\[48;5;124m[^\e]*'"$1" <<<"$(capture_colours)"; }
dir="$work/mouse"; mkdir -p "$dir"
start "$dir" 80 25 "env TERM=xterm-256color"
check "mouse: screen shown" wait_for "ESC=Quit"
check "mouse: reporting on, in SGR form" test "$(tmux_ display -p -t e2e '#{mouse_any_flag}#{mouse_sgr_flag}')" = 11
click 36 13
check "mouse: a click on Sound selects it" red_on Sound
click 40 13
check "mouse: a second click opens it" wait_for "Music Volume"
keys Escape
tmux_ send-keys -t e2e -l $'\e[<65;1;1M'
sleep "$key_pause"
check "mouse: the wheel moves the selection" red_on "DIP Switches"
keys Enter
click 56 11
check "mouse: a click on > changes the speed" wait_for "Game Speed              :  < Fast (40 FPS) >"
keys Escape Escape
check "mouse: quit prompt" wait_for "(Y/N)"
click 40 13
click 57 13
capture
check "mouse: clicks leave the quit prompt" contains "$screen" "Are you sure you want to quit ? (Y/N)"
keys n Down Down Enter
check "mouse: save prompt" wait_for "Do you want to save the setup and exit ? (Y/N)"
click 40 13
click 66 13
capture
check "mouse: clicks leave the save prompt" contains "$screen" "(Y/N)"
check "mouse: nothing saved" no_file "$dir/zorvikqm.ini"
keys n Escape
check "mouse: quit prompt again" wait_for "(Y/N)"
keys y
check "mouse: ended" wait_exit "$dir"

# 9. Without a terminal: one line on stderr and exit code 1.
err=$("$program" </dev/null 2>&1 >/dev/null)
code=$?
check "no terminal: exit code 1" test "$code" = 1
check "no terminal: one line" test "$(printf '%s\n' "$err" | wc -l)" = 1
# An empty stderr also counts as one line above.
check "no terminal: says why" contains "$err" "zorvikqm-setup: "
err=$("$program" foo </dev/null 2>&1 >/dev/null)
check "an argument other than --help or --version starts the program" contains "$err" "is not a terminal"

# 10. --help and --version alone print and end with 0, terminal or not, with
# no screen and the file untouched.
dir="$work/options"; mkdir -p "$dir"
cp "$work/before" "$dir/zorvikqm.ini"
for option in --help --version; do
  out=$(cd "$dir" && "$program" "$option" </dev/null 2>"$work/err")
  check "$option: exit code 0" test "$?" = 0
  check "$option: nothing on stderr" test ! -s "$work/err"
  check "$option: the file untouched" file_is "$dir/zorvikqm.ini" "$work/before"
  check "$option: nothing else in the folder" test "$(ls -A "$dir")" = zorvikqm.ini
  printf '%s\n' "$out" >"$work/out$option"
done
check "--help: says what it edits" contains "$(cat "$work/out--help")" "zorvikqm.ini in the current folder"
check "--help: names the keys" contains "$(cat "$work/out--help")" "Left and Right change the selected option"
check "--version: the name and the version" grep -qx \
  'zorvikqm-setup (Zorvik Quelta Marundo Setup) [0-9][0-9]*\.[0-9][0-9]*\.[0-9][0-9]*' "$work/out--version"

finish
