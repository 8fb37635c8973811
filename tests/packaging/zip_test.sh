#!/usr/bin/env bash
# The Windows .zip that `make package` builds holds the program, its README
# and licence at its top, so that it unpacks into the game's folder itself.
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
README.md
zorvikqm-setup.exe"
finish
