#!/usr/bin/env bash
# Trials of the Windows program's save under Wine, in tmux panes, as a
# player would meet them: kill -9 at random moments of a save (the file must
# be the old one or the new one, never absent), a reader polling the file
# during repeated saves (never missing, never torn), a stray temporary file
# of a dead writer, a hard link and a symbolic link. Prints the counts.
# Usage: bench/wine_save_trials.sh [build-windows] [kill trials] [saves read]
set -u
build=$(cd "${1:-build-windows}" && pwd)
kills=${2:-25}
saves=${3:-10}
here=$(cd "$(dirname "$0")/.." && pwd)
program="$build/zorvikqm-setup.exe"
work=$(mktemp -d /tmp/zq-save-trials-XXXXXX)
runs=0
socket="zq-save-trials-$$-$runs"
tmux_() { tmux -L "$socket" "$@"; }
cleanup() {
  tmux_ kill-server >/dev/null 2>&1
  rm -rf "$work" "${TMUX_TMPDIR:-/tmp}/tmux-$(id -u)/zq-save-trials-$$-"*
}
trap cleanup EXIT

# The file with Screen Mode at its nth value, after the old comment line.
variant() {
  printf '; old\r\n[CONFIG]\r\nscreenmode=%s\r\nscreendepth=16\r\nsyncrate=35\r\ngraphicdetail=0\r\nplaysound=10\r\nplaymusic=10\r\nattractsound=1\r\ngamemode=0\r\ngamelevel=1\r\nconsolecredits=3\r\narcadecredits=0\r\ncontinues=1\r\nextralives=2\r\nbonuslives=1\r\nfightstyle=0\r\nchangestyle=1\r\ncolorselect=1\r\nplayerhitplayer=1\r\ncharacterchange=1\r\nsavehiscores=1\r\nlanguage=0\r\n' "$1"
}
for n in 0 1 2; do variant "$n" >"$work/variant$n"; done

screen() { tmux_ capture-pane -t trial -p 2>/dev/null; }
wait_for() {  # TEXT: up to 30 s
  local i
  for i in $(seq 300); do
    screen | grep -qF "$1" && return 0
    sleep 0.1
  done
  echo "not shown: $1" >&2
  return 1
}
keys() { local k; for k in "$@"; do tmux_ send-keys -t trial "$k"; sleep 0.3; done; }

# start DIR: the program in DIR on an 80x25 pane, up to its save prompt with
# Screen Mode one further. DIR.done appears when it has ended.
start() {
  local dir=$1
  rm -f "$dir.done"
  # A new server per run: one just told to stop may still be going away.
  tmux_ kill-server >/dev/null 2>&1
  runs=$((runs + 1))
  socket="zq-save-trials-$$-$runs"
  tmux_ new-session -d -s trial -x 80 -y 25 \
    "cd '$dir' && '$here/cmake/wine-run' '$build/wineprefix' '$program'; touch '$dir.done'; sleep 30"
  wait_for "  Save &  Exit" || return 1
  keys Enter Right Escape Up Enter
  wait_for "Do you want to save the setup and exit ? (Y/N)"
}
wait_done() { local i; for i in $(seq 300); do [ -e "$1.done" ] && return 0; sleep 0.1; done; return 1; }

# What the file at $1 is: old, new, absent or torn.
state() {
  if [ ! -e "$1" ]; then echo absent
  elif cmp -s "$1" "$work/variant0"; then echo old
  elif cmp -s "$1" "$work/variant1"; then echo new
  else echo torn
  fi
}

# Wine's server started once, so that every trial's start is the program's own.
"$here/cmake/wine-run" "$build/wineprefix" cmd /c exit >/dev/null 2>&1

# 1. kill -9 at a random moment of the save: a watcher started before "y"
# sees the temporary file appear (the save's first write) and kills the
# program 0-4 ms later.
cat >"$work/killer.py" <<'PY'
import os, random, signal, sys, time
pid, folder = int(sys.argv[1]), sys.argv[2]
end = time.monotonic() + 10
while time.monotonic() < end:
    if any(name.startswith(".zq-save-") for name in os.listdir(folder)):
        break
delay = random.uniform(0, 0.004)
time.sleep(delay)
try:
    os.kill(pid, signal.SIGKILL)
    print(f"{delay * 1000:.2f}")
except ProcessLookupError:
    print("late")  # the program had saved and ended

PY
declare -A seen=([old]=0 [new]=0 [absent]=0 [torn]=0)
late=0
left=0
for trial in $(seq "$kills"); do
  dir="$work/kill$trial"; mkdir -p "$dir"
  cp "$work/variant0" "$dir/zorvikqm.ini"
  start "$dir" || continue
  # Wine names the process by the program's path; tmux and the shell that
  # started it have that path later on their command lines.
  pid=$(pgrep -f "^$program" | head -1)
  python3 "$work/killer.py" "$pid" "$dir" >"$work/delay" &
  killer=$!
  sleep 0.2
  tmux_ send-keys -t trial y
  wait "$killer"
  wait_done "$dir"
  s=$(state "$dir/zorvikqm.ini")
  if [ "$(cat "$work/delay")" = late ]; then late=$((late + 1)); else seen[$s]=$((seen[$s] + 1)); fi
  left=$((left + $(find "$dir" -name '.zq-save-*' | wc -l)))
  printf 'kill %2d, %s ms after the temporary file appeared: %s\n' "$trial" "$(cat "$work/delay")" "$s"
done
echo "kill -9 during a save: ${seen[old]} old, ${seen[new]} new, ${seen[absent]} absent, ${seen[torn]} torn" \
     "($late more ended before the kill); temporary files left by the kills: $left"

# 2. A reader polls the file while the program saves it again and again.
dir="$work/reader"; mkdir -p "$dir"
cp "$work/variant0" "$dir/zorvikqm.ini"
python3 - "$dir/zorvikqm.ini" "$work" >"$work/reader.out" <<'PY' &
import os, sys, time
path, work = sys.argv[1], sys.argv[2]
valid = {open(f"{work}/variant{n}", "rb").read() for n in range(3)}
reads = missing = torn = 0
while not os.path.exists(f"{work}/reader.stop"):
    try:
        with open(path, "rb") as f:
            data = f.read()
    except FileNotFoundError:
        missing += 1
        continue
    reads += 1
    torn += data not in valid
print(f"{reads} {missing} {torn}")
PY
reader=$!
done_saves=0
for i in $(seq "$saves"); do
  start "$dir" && tmux_ send-keys -t trial y && wait_done "$dir" && done_saves=$((done_saves + 1))
done
touch "$work/reader.stop"
wait "$reader"
read -r reads missing torn <"$work/reader.out"
echo "reader during $done_saves saves: $reads reads, $missing missing, $torn torn"

# 3. A dead writer's temporary file, a hard link, a symbolic link, a mode
# (Wine turns a copied access list into Unix modes: 0640 must stay 0640).
dir="$work/links"; mkdir -p "$dir"
cp "$work/variant0" "$dir/real.ini"
ln -s real.ini "$dir/zorvikqm.ini"
printf 'stale' >"$dir/.zq-save-99999-0-1.tmp"
start "$dir" && tmux_ send-keys -t trial y && wait_done "$dir"
[ -L "$dir/zorvikqm.ini" ] && link=link || link="plain file"
echo "symbolic link: zorvikqm.ini is a $link; its target is $(state "$dir/real.ini")"
[ -e "$dir/.zq-save-99999-0-1.tmp" ] && stale=kept || stale=removed
echo "dead writer's temporary file: $stale"
rm "$dir/zorvikqm.ini"
cp "$work/variant0" "$dir/zorvikqm.ini"
chmod 640 "$dir/zorvikqm.ini"
start "$dir" && tmux_ send-keys -t trial y && wait_done "$dir"
echo "mode 640: after a save $(stat -c %a "$dir/zorvikqm.ini"), the file $(state "$dir/zorvikqm.ini")"
cp "$work/variant0" "$dir/zorvikqm.ini"
ln "$dir/zorvikqm.ini" "$dir/other.ini"
start "$dir" && tmux_ send-keys -t trial y && wait_done "$dir"
echo "hard link: $(stat -c %h "$dir/zorvikqm.ini") names; zorvikqm.ini $(state "$dir/zorvikqm.ini")," \
     "other.ini $(state "$dir/other.ini")"
