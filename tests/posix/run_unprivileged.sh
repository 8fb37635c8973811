#!/usr/bin/env bash
# Root ignores file modes, so the *Permission* tests skip under root; this
# runs them again as user nobody. The binaries are copied to /tmp first, as
# the build folder may be closed to that user. Exits 77 (skipped) when not
# root or without setpriv. Usage: run_unprivileged.sh TEST_BINARY...
set -u
[[ $(id -u) -eq 0 ]] || { echo "not root: the permission tests ran in the suite itself"; exit 77; }
command -v setpriv >/dev/null || { echo "setpriv is missing"; exit 77; }

work=$(mktemp -d /tmp/zq-unprivileged-XXXXXX)
trap 'rm -rf "$work"' EXIT
chmod 755 "$work"
failed=0
for binary in "$@"; do
  copy="$work/$(basename "$binary")"
  cp "$binary" "$copy" && chmod 755 "$copy"
  output=$(cd /tmp && setpriv --reuid=65534 --regid=65534 --clear-groups \
    "$copy" --gtest_filter='*Permission*' 2>&1)
  code=$?
  printf '%s\n' "$output"
  # A run in which every test skipped proves nothing.
  if ((code != 0)) || grep -q '^\[  SKIPPED \]' <<<"$output" || ! grep -q '^\[  PASSED  \] [1-9]' <<<"$output"; then
    echo "FAIL: $(basename "$binary") as nobody"
    failed=1
  fi
done
exit "$failed"
