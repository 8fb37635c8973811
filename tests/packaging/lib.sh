# Shared by the packaging tests: the end-to-end checks, a skip for a missing
# tool, and how the program is started in its pane.
# Sourced after the caller has set `work` to its scratch folder.

socket="zq-pkg-$$"
# A package is unpacked and started on a machine that may be busy.
wait_tenths=200
. "$(dirname "${BASH_SOURCE[0]}")/../e2e_checks.sh"

# needs TOOL...: skip the whole test (ctest's SKIP_RETURN_CODE) when one is
# missing. scripts/install-deps installs them all, so CI never skips.
needs() {
  local tool
  for tool in "$@"; do
    if ! command -v "$tool" >/dev/null; then
      echo "SKIP: '$tool' is not installed (scripts/install-deps test installs it)"
      exit 77
    fi
  done
}

# start DIR COMMAND...: the command in DIR on an 80x25 terminal; its exit
# code lands in DIR.exit when it ends.
start() {
  local dir=$1
  shift
  printf 'cd %q || exit\n%s\necho $? > %q\n' "$dir" "$(printf '%q ' "$@")" "$dir.exit" >"$dir.sh"
  stop_tmux
  rm -f "$dir.exit"
  open_pane 80 25 "$dir.sh"
}

same_text() { [ "$1" = "$2" ] || { diff <(echo "$2") <(echo "$1") | sed 's/^/  /'; return 1; }; }
