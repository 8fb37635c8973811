#!/usr/bin/env bash
# scripts/install-deps against stand-ins for dpkg-query, apt-get, id and
# sudo: a PATH of its own holds them and the few tools the script uses.
# Usage: install_deps_test.sh SCRIPTS/install-deps
set -u
script=$1
work=$(mktemp -d /tmp/zq-deps-XXXXXX)
trap 'rm -rf "$work"' EXIT
. "$(dirname "$0")/lib.sh"

bin=$work/bin
mkdir -p "$bin"
for tool in sed tr grep env sh cat; do ln -s "$(command -v "$tool")" "$bin/$tool"; done
# dpkg-query -W as the real one answers: a line per package it knows, and
# exit 1 after "no packages found" for any it has never seen.
cat >"$bin/dpkg-query" <<'EOF'
#!/bin/sh
shift 2; status=0
for p; do
  if grep -qx "$p" "$FAKE/installed"; then echo "$p=install ok installed"
  else echo "dpkg-query: no packages found matching $p" >&2; status=1; fi
done
exit $status
EOF
# apt-get logs its arguments; "install" installs unless told to fail.
cat >"$bin/apt-get" <<'EOF'
#!/bin/sh
echo "$*" >>"$FAKE/apt.log"
[ "$1" = install ] || exit 0
[ -e "$FAKE/apt-fails" ] && { echo "E: Unable to locate package"; exit 100; }
shift 2; printf '%s\n' "$@" >>"$FAKE/installed"
EOF
printf '#!/bin/sh\necho "$FAKE_UID"\n' >"$bin/id"
chmod +x "$bin"/*

build="cmake make g++ pkg-config libncurses-dev ncurses-term"
# name | installed | uid | apt fails | arguments | exit | output holds | apt-get ran
cases=(
  "never seen, check|||no|--check build|1|missing $build|"
  "never seen, root|||no|build|0|installing $build|update;install -y $build"
  "some installed|cmake make g++|0|no|build|0|installing pkg-config libncurses-dev ncurses-term|update;install -y pkg-config libncurses-dev ncurses-term"
  "none missing|$build|0|no|build|0||"
  "not root, no sudo|cmake|1000|no|build|1|As root, run: apt-get update && apt-get install -y make g++ pkg-config libncurses-dev ncurses-term|"
  "install fails|cmake|0|yes|build|1|FAILED to install: make g++ pkg-config libncurses-dev ncurses-term.*The command run: apt-get update && apt-get install -y make|update;install -y make g++ pkg-config libncurses-dev ncurses-term"
  "unknown group||0|no|build nosuch|2|no group 'nosuch'|"
)
for row in "${cases[@]}"; do
  IFS='|' read -r name installed uid fails args code expected apt <<<"$row"
  export FAKE=$work/case$((passed + failed)) FAKE_UID=${uid:-0}
  mkdir -p "$FAKE" && touch "$FAKE/apt.log"
  before=$failed
  tr ' ' '\n' <<<"$installed" >"$FAKE/installed"
  [ "$fails" = yes ] && touch "$FAKE/apt-fails"
  # shellcheck disable=SC2086
  output=$(PATH=$bin "$BASH" "$script" $args 2>&1)
  check "$name: exit $code" test $? = "$code"
  check "$name: says '$expected'" grep -qz -- "$expected" <<<"$output"
  check "$name: apt-get ran '$apt'" same_text "$(tr '\n' ';' <"$FAKE/apt.log" | sed 's/;$//')" "$apt"
  [ "$failed" = "$before" ] || printf '%s\n' "--- output:" "$output" "---"
done

finish
