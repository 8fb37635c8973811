#!/usr/bin/env bash
# The manual page renders without a single warning from groff (and from
# mandoc's linter), has the sections a manual page is expected to have, in
# order, and carries the project's version.
# Usage: man_page_test.sh BUILD/zorvikqm-setup.1 VERSION
set -u
page=$1
version=$2
work=$(mktemp -d /tmp/zq-man-XXXXXX)
trap 'rm -rf "$work"' EXIT
. "$(dirname "$0")/lib.sh"
needs groff man mandoc lexgrog col

groff -man -Tutf8 -ww -z "$page" 2>"$work/groff"
check "groff -ww: no warning" same_text "$(cat "$work/groff")" ""
mandoc -T lint -W warning "$page" >"$work/mandoc" 2>&1
check "mandoc -T lint: no warning" same_text "$(cat "$work/mandoc")" ""

text=$(MANWIDTH=80 MAN_KEEP_FORMATTING= man -l "$page" 2>"$work/man" | col -bx)
check "man -l: nothing on stderr" same_text "$(cat "$work/man")" ""
sections=$(grep -E '^[A-Z][A-Z ]+$' <<<"$text" | tr '\n' ',')
check "sections in order" same_text "$sections" \
  "NAME,SYNOPSIS,DESCRIPTION,OPTIONS,KEYS,FILES,ENVIRONMENT,EXIT STATUS,EXAMPLES,SEE ALSO,"
check "no line wider than 80" test "$(LC_ALL=C.UTF-8 wc -L <<<"$text")" -le 80
check "version in the footer" contains "$(tail -n 1 <<<"$text")" "zorvikqm-setup $version"
flat=$(tr -s ' \n' '  ' <<<"$text")
check "says arguments are ignored" contains "$flat" "Other arguments are ignored"
check "names --help and --version" contains "$flat" "zorvikqm-setup [--help | --version]"
check "tells of the too-small terminal" contains "$flat" "at least 80 columns and 23 rows"
check "tells of a failed save" contains "$flat" "If the file cannot be written"
check "names TERM" contains "$flat" "ENVIRONMENT TERM"
whatis=$(lexgrog "$page" 2>&1)
check "whatis entry parses" contains "$whatis" "zorvikqm-setup - change the options"

finish
