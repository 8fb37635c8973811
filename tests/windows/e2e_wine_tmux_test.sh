#!/usr/bin/env bash
# End-to-end runs of the Windows program under Wine in a real terminal
# (tmux): Wine's console draws into the pane, keys are typed with send-keys,
# then the file and the exit code are checked.
# Usage: e2e_wine_tmux_test.sh PATH/TO/wine-run WINEPREFIX PATH/TO/zorvikqm-setup.exe
#
# Wine's gaps, left as they are: it sends no resize events (the resize path
# is covered by console_test with injected records), has no Ctrl+Z, reports
# Esc with character 0 where Windows gives 27 (the program goes by the scan
# code), and starts in C:\windows from a directory longer than 256 characters.
set -u
# A UTF-8 terminal whatever the user's locale; a run says where it wants another.
export LC_ALL=C.UTF-8

wine_run=$1
prefix=$2
program=$3
work=$(mktemp -d /tmp/zq-wine-e2e-XXXXXX)
runs=0
socket="zq-wine-e2e-$$-$runs"
# Wine starts slowly on a loaded machine, and takes a key at a time.
wait_tenths=200
key_pause=0.3
. "$(dirname "$0")/../e2e_checks.sh"
in_prefix=()  # what the VirtualStore runs make in the prefix's C:\
cleanup() {
  stop_tmux; rm -rf "$work"
  for made in ${in_prefix[@]+"${in_prefix[@]}"}; do chattr -R -i "$made" 2>/dev/null; rm -rf "$made"; done
}
trap cleanup EXIT

# start DIR [COLUMNS ROWS]: the program under Wine in DIR, in a pane of
# that size (80x25 unless given), with the environment run_env adds; its exit
# code lands in DIR.exit when it ends.
start() {
  local dir=$1
  {
    echo "trap : INT"
    echo "cd '$dir' || exit"
    echo "${run_env:-} '$wine_run' '$prefix' '$program'"
    echo "echo \$? > '$dir.exit'"
    echo "sleep 60"  # keeps the pane, to see what the program left on it
  } >"$dir.sh"
  # A new server per run: one just told to stop may still be going away.
  stop_tmux
  runs=$((runs + 1))
  socket="zq-wine-e2e-$$-$runs"
  rm -f "$dir.exit"
  open_pane "${2:-80}" "${3:-25}" "$dir.sh"
}

exit_code_not() { [ -s "$1.exit" ] && [ "$(cat "$1.exit")" != "$2" ]; }

defaults=$'[CONFIG]\r\nscreenmode=0\r\nscreendepth=16\r\nsyncrate=35\r\ngraphicdetail=0\r\nplaysound=10\r\nplaymusic=10\r\nattractsound=1\r\ngamemode=0\r\ngamelevel=1\r\nconsolecredits=3\r\narcadecredits=0\r\ncontinues=1\r\nextralives=2\r\nbonuslives=1\r\nfightstyle=0\r\nchangestyle=1\r\ncolorselect=1\r\nplayerhitplayer=1\r\ncharacterchange=1\r\nsavehiscores=1\r\nlanguage=0\r\n'

# 1. The typical run: DIP switches, game speed up one, save. The arrows reach
# the program as scan codes, or it would not move.
dir="$work/typical"; mkdir -p "$dir"
start "$dir"
check "main menu shown" wait_for "ESC=Quit"
check "last menu entry drawn" wait_for "  Save &  Exit"
check "banner on row 2" contains "$(line 2)" "Z O R V I K  Q U E L T A  M A R U N D O  S E T U P"
check "Display entry on row 10" test "$(line 10)" = "$(printf '%30s' '')    Display"
check "notice about the missing file" contains "$(line 6)" "No zorvikqm.ini here yet"
check "notice names the folder" grep -qx '  Folder: Z:.*\\typical' <<<"$(line 7)"
colours=$(capture_colours)
check "selected entry white on red" grep -q $'\e\\[[0-9;]*41m[^\e]*Display' <<<"$colours"
check "pane title" test "$(tmux_ display -p -t e2e '#{pane_title}')" = "Zorvik Quelta Marundo Setup"
tmux_ send-keys -t e2e Down Down Enter  # at once: each acts, in order
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
capture
check "the layout is gone after the end" lacks "$screen" "ESC=Quit"

# 2. Down, then Enter 200 ms later, right after the menu appears: Wine
# hands the first key over late, in one read with the next, and both act.
# Then Esc, then y: nothing written.
dir="$work/quit"; mkdir -p "$dir"
start "$dir"
check "quit: screen shown" wait_for "ESC=Quit"
tmux_ send-keys -t e2e Down; sleep 0.2; tmux_ send-keys -t e2e Enter
check "quit: Down, Enter 200 ms later opened Sound" wait_for "Music Volume"
keys Escape Escape
check "quit: prompt" wait_for "Are you sure you want to quit ? (Y/N)"
keys y
check "quit: ended" wait_exit "$dir"
check "quit: exit code 0" exit_code_is "$dir" 0
check "quit: no file" no_file "$dir/zorvikqm.ini"

# 3. A save onto a read-only file fails with the system's reason; any key
# returns to the menu with Save & Exit selected; the file stays as it was.
dir="$work/readonly"; mkdir -p "$dir"
printf '[CONFIG]\r\nsyncrate=0\r\n' >"$dir/zorvikqm.ini"
chmod 444 "$dir/zorvikqm.ini"  # Wine's read-only attribute
cp "$dir/zorvikqm.ini" "$work/before"
start "$dir"
check "read-only: the notice says it cannot be saved" wait_for "Settings read, but zorvikqm.ini cannot be saved: "
tmux_ send-keys -t e2e Down; sleep 0.2; tmux_ send-keys -t e2e Right
sleep 0.5
check "read-only: Down, then Right, left Sound selected" grep -q $'\e\\[[0-9;]*41m[^\e]*Sound' <<<"$(capture_colours)"
keys Up Up Enter y
check "read-only: failure reported" wait_for "Could not save zorvikqm.ini: "
check "read-only: press any key" contains "$(line 13)" "Press any key to return to the menu."
keys x
check "read-only: back on the menu" wait_for "ESC=Quit"
colours=$(capture_colours)
check "read-only: Save & Exit selected" grep -q $'\e\\[[0-9;]*41m[^\e]*Save &  Exit' <<<"$colours"
check "read-only: still running" no_file "$dir.exit"
keys Escape y
check "read-only: ended" wait_exit "$dir"
check "read-only: exit code 0" exit_code_is "$dir" 0
check "read-only: file unchanged" file_is "$dir/zorvikqm.ini" "$work/before"

# 4. Ctrl+C at the save prompt ends the program at once without writing.
dir="$work/interrupt"; mkdir -p "$dir"
printf '[CONFIG]\r\nsyncrate=0\r\n' >"$dir/zorvikqm.ini"
cp "$dir/zorvikqm.ini" "$work/before"
start "$dir"
check "ctrl-c: screen shown" wait_for "ESC=Quit"
keys Enter Right Escape Up Enter
check "ctrl-c: save prompt" wait_for "(Y/N)"
keys C-c
check "ctrl-c: ended" wait_exit "$dir"
check "ctrl-c: not a normal exit" exit_code_not "$dir" 0
check "ctrl-c leaves the file" file_is "$dir/zorvikqm.ini" "$work/before"
capture
check "ctrl-c: the layout is gone" lacks "$screen" "(Y/N)"

# 5. A paste of y, Enter and Esc is no key presses, on the main menu and on
# the save prompt: a console types it as a burst of keys, faster than anyone.
dir="$work/paste"; mkdir -p "$dir"
start "$dir"
check "paste: screen shown" wait_for "ESC=Quit"
tmux_ set-buffer $'y\r\x1byes\rn\x1b'
tmux_ paste-buffer -t e2e
sleep 1
keys Down  # typed after the paste: acted on once the paste was read
capture
colours=$(capture_colours)
check "paste: Down after it moved the bar" grep -q $'\e\\[[0-9;]*41m[^\e]*Sound' <<<"$colours"
check "paste: no prompt opened" lacks "$screen" "(Y/N)"
keys Down Down Down Enter
check "paste: save prompt" wait_for "Do you want to save the setup and exit ? (Y/N)"
tmux_ paste-buffer -t e2e
sleep 1
capture
check "paste: the save prompt stays" contains "$screen" "(Y/N)"
check "paste: still running" no_file "$dir.exit"
check "paste: nothing saved" no_file "$dir/zorvikqm.ini"
# Each read in one go: two letters, a letter and Enter.
for text in yy $'y\r' $'yes\r' Yy; do
  tmux_ send-keys -t e2e -l "$text"
  sleep 0.5
  capture
  check "paste: $(printf %q "$text") leaves the save prompt" contains "$screen" "(Y/N)"
done
check "paste: still nothing saved" no_file "$dir/zorvikqm.ini"
keys n Escape y
check "paste: ended by the keys typed" wait_exit "$dir"

# 6. A 120x40 window: the layout in its middle, the frame's blue around it.
dir="$work/large"; mkdir -p "$dir"
start "$dir" 120 40
check "120x40: screen shown" wait_for "ESC=Quit"
check "120x40: banner centred" test "$(line 9 | cut -c34-51)" = "Z O R V I K  Q U E"
check "120x40: Display centred" test "$(line 17 | cut -c51-66)" = "    Display"
check "120x40: help line centred" test "$(line 31 | cut -c26-39)" = "UP/DOWN=Select"
check "120x40: blue above the layout" contains "$(capture_colours | head -1)" "44m"
keys Escape
check "120x40: quit prompt" wait_for "(Y/N)"
keys y
check "120x40: ended" wait_exit "$dir"

# 7. An 80x23 window: the top row and the row under the banner left out,
# everything else in place.
dir="$work/short"; mkdir -p "$dir"
start "$dir" 80 23
check "80x23: main menu" wait_for "ESC=Quit"
check "80x23: banner on row 1" contains "$(line 1)" "Z O R V I K"
check "80x23: help line last" contains "$(line 22)" "UP/DOWN=Select"
tmux_ send-keys -t e2e Down Down Enter  # read together: each acts, in order
check "80x23: DIP screen, its last row on row 20" wait_for "Language                :  < English >"
check "80x23: its first row on row 6" contains "$(line 6)" "Game Mode"
keys Escape Escape
check "80x23: quit prompt" wait_for "(Y/N)"
keys y
check "80x23: ended" wait_exit "$dir"

# 8. Without any console: one line on stderr, exit code 1, no file; the same
# with an argument other than --help or --version.
dir="$work/noconsole"; mkdir -p "$dir"
err=$(cd "$dir" && "$wine_run" "$prefix" "$program" </dev/null 2>&1 >/dev/null)
code=$?
check "no console: exit code 1" test "$code" = 1
check "no console: one line" test "$(printf '%s\n' "$err" | wc -l)" = 1
check "no console: says so" contains "$err" "no console"
check "no console: no file" no_file "$dir/zorvikqm.ini"
err=$(cd "$dir" && "$wine_run" "$prefix" "$program" foo </dev/null 2>&1 >/dev/null)
check "foo: the program starts (and finds no console)" contains "$err" "no console"

# 9. --help and --version alone print and end with 0, with no console and
# no file touched.
for option in --help --version; do
  out=$(cd "$dir" && "$wine_run" "$prefix" "$program" "$option" </dev/null 2>"$work/err")
  check "$option: exit code 0" test "$?" = 0
  check "$option: nothing on stderr" test ! -s "$work/err"
  check "$option: no file" test -z "$(ls -A "$dir")"
  printf '%s\n' "$out" | tr -d '\r' >"$work/out$option"
done
check "--help: says what it edits" contains "$(cat "$work/out--help")" "zorvikqm.ini in the current folder"
check "--help: Ctrl+L" grep -q '^Ctrl+L repaints' "$work/out--help"
check "--help: the mouse" grep -q '^Mouse: click' "$work/out--help"
check "--version: the name and the version" grep -qx \
  'zorvikqm-setup (Zorvik Quelta Marundo Setup) [0-9][0-9]*\.[0-9][0-9]*\.[0-9][0-9]*' "$work/out--version"

# 10. A folder named in Japanese, in a Japanese locale (a Japanese code
# page; the locale is made here when the system lacks it): shown in full,
# each letter two cells wide. Wine's console holds a wide letter's second
# cell as a zero-width space, which tmux keeps with the letter.
dir="$work/$(printf '\xe3\x82\xb2\xe3\x83\xbc\xe3\x83\xa0 \xe3\x83\x95\xe3\x82\xa9\xe3\x83\xab\xe3\x83\x80')"
mkdir -p "$dir" "$work/locale"
japanese="LC_ALL=ja_JP.UTF-8"
if ! locale -a 2>/dev/null | grep -qix 'ja_JP.utf-\?8'; then
  if localedef -i ja_JP -f UTF-8 "$work/locale/ja_JP.UTF-8" >/dev/null 2>&1; then
    japanese="$japanese LOCPATH=$work/locale"
  else
    echo "# no ja_JP locale here: the Japanese folder under C.UTF-8 instead"
    japanese="LC_ALL=C.UTF-8"
  fi
fi
run_env="env $japanese" start "$dir"
check "Japanese: screen shown" wait_for "ESC=Quit"
row=$(tmux_ capture-pane -t e2e -p -N -S 7 -E 7)
row=${row//$'\u200b'/}
check "Japanese: the folder in full" contains "$row" "\\${dir##*/}"
check "Japanese: each letter two cells wide" test "${#row}" = 73
keys Escape
check "Japanese: quit prompt" wait_for "(Y/N)"
keys y
check "Japanese: ended" wait_exit "$dir"

# 11. Under Program Files, the copy Windows keeps for this user in
# VirtualStore (in the known folder LocalAppData) is read, saved and named;
# the game folder's file stays. Wine redirects nothing: the test makes it.
game="zq-e2e-$$"
dir="$prefix/drive_c/Program Files/$game"
appdata=$("$wine_run" "$prefix" cmd /c 'echo %LOCALAPPDATA%' </dev/null | tr -d '\r')
copy="$prefix/drive_c/$(printf '%s' "${appdata#?:\\}" | tr '\\' '/')/VirtualStore/Program Files/$game"
in_prefix+=("$dir" "$copy" "$dir-locked" "$dir.sh" "$dir.exit" "$dir-locked.sh" "$dir-locked.exit")
mkdir -p "$dir" "$copy" "$dir-locked"
for made in "$dir" "$dir-locked"; do printf '[CONFIG]\r\nplaymusic=3\r\n' >"$made/zorvikqm.ini"; done
printf '[CONFIG]\r\nplaymusic=7\r\n' >"$copy/zorvikqm.ini"
cp "$dir/zorvikqm.ini" "$work/before"
start "$dir"
check "VirtualStore: notice shown" wait_for "Program Files\\$game"
check "VirtualStore: it names the copy" grep -qx "  VirtualStore copy: .*\\\\VirtualStore\\\\Program Files\\\\$game" <<<"$(line 7)"
keys Down Enter
check "VirtualStore: the copy's Music Volume" wait_for "Music Volume        :  < 7 >"
keys Right Escape Down Down Down Enter y
check "VirtualStore: ended" wait_exit "$dir"
check "VirtualStore: the copy saved" contains "$(cat "$copy/zorvikqm.ini")" "playmusic=8"
check "VirtualStore: the game folder's file as it was" file_is "$dir/zorvikqm.ini" "$work/before"

# 12. No copy, and a folder and file not writable (immutable: Wine run by
# root writes through permissions): the notice and the box say what to do.
dir="$dir-locked"
if chattr +i "$dir/zorvikqm.ini" "$dir" 2>/dev/null; then
  way_out="To save, run as administrator or make the folder writable."
  start "$dir"
  check "locked: the notice says what to do" wait_for "  Settings read. $way_out"
  check "locked: main menu" wait_for "ESC=Quit"
  keys Up Enter y
  check "locked: the failed-save box" wait_for "Could not save zorvikqm.ini: "
  check "locked: says what to do" contains "$(line 13)" "  $way_out"
  keys x Escape y
  check "locked: ended" wait_exit "$dir"
  check "locked: file unchanged" file_is "$dir/zorvikqm.ini" "$work/before"
else
  echo "# chattr +i refused here: no locked folder under Program Files"
fi

finish
