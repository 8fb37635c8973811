#!/usr/bin/env bash
# `cmake --install` into a scratch DESTDIR: the exact files, a valid desktop
# entry, real PNG icons, the installed program editing the zorvikqm.ini of
# the directory it is started from, and an uninstall that takes away what
# the install added and nothing that was there before.
# Usage: install_test.sh BUILD_DIR SOURCE_DIR
set -u
build=$(cd "$1" && pwd)
source_dir=$(cd "$2" && pwd)
work=$(mktemp -d /tmp/zq-install-XXXXXX)
. "$(dirname "$0")/lib.sh"
trap 'stop_tmux; rm -rf "$work"' EXIT
needs cmake desktop-file-validate file tmux

dest="$work/dest"
prefix=/usr/local
root="$dest$prefix"
# Another program's desktop entry, there before the install: it and its
# folders must outlive the uninstall.
mkdir -p "$root/share/applications"
touch "$root/share/applications/other.desktop"
before=$(cd "$dest" && find . | sort)

DESTDIR="$dest" cmake --install "$build" --prefix "$prefix" >"$work/install.log" 2>&1
check "install succeeds" test $? = 0

files=$(cd "$root" && find . -type f -o -type l | sort)
check "installed files" same_text "$files" "./bin/zorvikqm-setup
./share/applications/other.desktop
./share/applications/zorvikqm-setup.desktop
./share/doc/zorvikqm-setup/LICENSE
./share/doc/zorvikqm-setup/README.md
./share/icons/hicolor/16x16/apps/zorvikqm-setup.png
./share/icons/hicolor/32x32/apps/zorvikqm-setup.png
./share/icons/hicolor/48x48/apps/zorvikqm-setup.png
./share/man/man1/zorvikqm-setup.1"
check "program is executable" test -x "$root/bin/zorvikqm-setup"

desktop="$root/share/applications/zorvikqm-setup.desktop"
check "desktop-file-validate: no complaint" same_text "$(desktop-file-validate "$desktop" 2>&1)" ""
for key in Terminal=true Exec=zorvikqm-setup Icon=zorvikqm-setup Type=Application; do
  check "desktop entry has $key" grep -qx "$key" "$desktop"
done
check "desktop entry is in Game" grep -qE '^Categories=(.*;)?Game;' "$desktop"

for size in 16 32 48; do
  icon="$root/share/icons/hicolor/${size}x$size/apps/zorvikqm-setup.png"
  check "$size px icon is a $size x $size RGBA PNG" \
    contains "$(file -b "$icon")" "PNG image data, $size x $size, 8-bit/color RGBA"
done

check "manual page has its version filled in" \
  bash -c "! grep -q '@[A-Z_]*@' '$root/share/man/man1/zorvikqm-setup.1'"

# The installed program, found on PATH and started in the game's directory,
# edits the file there: game speed up one step, comments kept.
game="$work/game"
mkdir -p "$game"
printf '; my settings\r\n[CONFIG]\r\nsyncrate=35\r\n' >"$game/zorvikqm.ini"
start "$game" env PATH="$root/bin:$PATH" zorvikqm-setup
check "installed program shows its menu" wait_for "ESC=Quit"
keys Down Down Enter
check "DIP screen" wait_for "Game Speed              :  < Normal (35 FPS) >"
keys Down Down Right
check "speed changed" wait_for "Game Speed              :  < Fast (40 FPS) >"
keys Escape
check "back on the menu" wait_for "  DIP Switches"
keys Down Down Enter
check "save prompt" wait_for "(Y/N)"
keys y
check "program ended" wait_exit "$game"
check "exit code 0" test "$(cat "$game.exit" 2>/dev/null)" = 0
kept=$'; my settings\r\n[CONFIG]\r\nsyncrate=40\r\n'
file_starts_with() { head -c "${#2}" "$1" | cmp -s - <(printf '%s' "$2"); }
check "comment kept, speed saved" file_starts_with "$game/zorvikqm.ini" "$kept"
check "no file written anywhere else" same_text "$(cd "$work" && find . -name zorvikqm.ini)" "./game/zorvikqm.ini"
screen=""

cmake -DZQ_BUILD_DIR="$build" -DZQ_ROOT="$root" -P "$source_dir/cmake/uninstall.cmake" >"$work/uninstall.log" 2>&1
check "uninstall succeeds" test $? = 0
check "uninstall leaves exactly what was there before" same_text "$(cd "$dest" && find . | sort)" "$before"
check "uninstall drops its record" bash -c "! grep -rqs '$root' '$build/install-records'"

finish
