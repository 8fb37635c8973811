#!/usr/bin/env bash
# The Windows .zip that `make package` builds holds the program, the
# players' README as plain text and the licence at its top, so that it
# unpacks into the game's folder itself.
# Usage: zip_test.sh BUILD_DIR VERSION
set -u
build=$(cd "$1" && pwd)
work=$(mktemp -d /tmp/zq-zip-XXXXXX)
trap 'rm -rf "$work"' EXIT
. "$(dirname "$0")/lib.sh"

cpack --config "$build/CPackConfig.cmake" -B "$work" >"$work/cpack.log" 2>&1
check "cpack succeeds" test $? = 0
zip="$work/zorvikqm-setup-$2-win64.zip"
check "the .zip is named for its version" test -f "$zip"
[ -f "$zip" ] || cat "$work/cpack.log"
check "the .zip holds three files at its top" same_text "$(cmake -E tar tf "$zip" | sort)" "LICENSE
README.txt
zorvikqm-setup.exe"

# README.txt: the players' part of the README, plain text for Notepad.
(cd "$work" && cmake -E tar xf "$zip" README.txt)
readme="$work/README.txt"
check "README.txt: every line ends in CRLF" test "$(grep -c $'\r$' "$readme")" = "$(wc -l <"$readme")"
text=$(tr -d '\r' <"$readme")
for part in "Where to put it and how to start it" "The screens and the keys" "The notice line" \
            "When a save fails" "What it does to zorvikqm.ini"; do
  check "README.txt: $part" grep -qx -- "$part" <<<"$text"
done
check "README.txt: the keys' table as columns" grep -qx 'Esc  *the quit question  *back to the main menu  *ignored' <<<"$text"
check "README.txt: nothing for developers" lacks "$text" "Building and testing"
for mark in '**' '![' '|---' '`'; do
  check "README.txt: no Markdown $mark" lacks "$text" "$mark"
done
check "README.txt: no line wider than 79" test "$(awk '{ if (length($0) > w) w = length($0) } END { print w + 0 }' <<<"$text")" -le 79
finish
