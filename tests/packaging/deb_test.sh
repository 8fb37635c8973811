#!/usr/bin/env bash
# The packages `make package` builds: the .deb unpacked into a scratch root
# (its files, its control fields, dependencies found by dpkg-shlibdeps, no
# lintian error or warning, and the unpacked program reaching its menu),
# and the .tar.gz holding the installed tree.
# Usage: deb_test.sh BUILD_DIR VERSION
set -u
build=$(cd "$1" && pwd)
version=$2
work=$(mktemp -d /tmp/zq-deb-XXXXXX)
. "$(dirname "$0")/lib.sh"
trap 'stop_tmux; rm -rf "$work"' EXIT
needs cpack dpkg-deb dpkg-shlibdeps lintian file tmux

arch=$(dpkg --print-architecture)
cpack --config "$build/CPackConfig.cmake" -G "DEB;TGZ" -B "$work/out" >"$work/cpack.log" 2>&1
check "cpack succeeds" test $? = 0
deb="$work/out/zorvikqm-setup_${version}_$arch.deb"
tgz="$work/out/zorvikqm-setup-$version-Linux.tar.gz"
check ".deb named for its version and architecture" test -f "$deb"
check ".tar.gz named for its version" test -f "$tgz"
if [ ! -f "$deb" ] || [ ! -f "$tgz" ]; then cat "$work/cpack.log"; finish; exit; fi

root="$work/root"
dpkg-deb -x "$deb" "$root"
check ".deb files" same_text "$(cd "$root" && find . -type f -o -type l | sort)" "./usr/bin/zorvikqm-setup
./usr/share/applications/zorvikqm-setup.desktop
./usr/share/doc/zorvikqm-setup/README.md
./usr/share/doc/zorvikqm-setup/changelog.gz
./usr/share/doc/zorvikqm-setup/copyright
./usr/share/icons/hicolor/16x16/apps/zorvikqm-setup.png
./usr/share/icons/hicolor/32x32/apps/zorvikqm-setup.png
./usr/share/icons/hicolor/48x48/apps/zorvikqm-setup.png
./usr/share/man/man1/zorvikqm-setup.1.gz"
check "program is stripped" contains "$(file -b "$root/usr/bin/zorvikqm-setup")" ", stripped"
check "copyright names the MIT (Expat) licence" grep -q '^License: Expat' "$root/usr/share/doc/zorvikqm-setup/copyright"
check "changelog is of this version" \
  contains "$(zcat "$root/usr/share/doc/zorvikqm-setup/changelog.gz" | head -n 1)" "zorvikqm-setup ($version)"
check "manual page of this version" contains "$(zcat "$root/usr/share/man/man1/zorvikqm-setup.1.gz")" "zorvikqm\\-setup $version"

field() { dpkg-deb -f "$deb" "$1"; }
check "Package" same_text "$(field Package)" "zorvikqm-setup"
check "Version" same_text "$(field Version)" "$version"
check "Architecture" same_text "$(field Architecture)" "$arch"
check "Section" same_text "$(field Section)" "utils"
check "Maintainer is a name and address" bash -c "[[ '$(field Maintainer)' =~ ^[^\<]+\ \<[^@\>]+@[^\>]+\>$ ]]"
check "Description has a synopsis and a body" test "$(field Description | wc -l)" -ge 3
# dpkg-shlibdeps versions every library it finds; a hand-written list
# would hardly name libtinfo6, which only the linked binary reveals.
depends=$(field Depends)
for lib in libc6 libncurses libtinfo; do
  check "Depends names $lib with a version" grep -qE "(^|, )${lib}[0-9a-z-]* \(>= " <<<"$depends"
done
# The C++ runtime is linked in, so neither the program nor the package needs it.
check "no libstdc++ needed" same_text "$(objdump -p "$root/usr/bin/zorvikqm-setup" | grep -E 'NEEDED.*lib(stdc\+\+|gcc_s)')$(grep -o 'libstdc++6' <<<"$depends")" ""

lintian --no-cfg "$deb" >"$work/lintian" 2>/dev/null
check "lintian: no error or warning" same_text "$(grep -E '^[EW]: ' "$work/lintian")" ""
cat "$work/lintian"

check ".tar.gz holds the installed tree" same_text "$(tar -tzf "$tgz" | grep -v '/$' | sort)" \
"zorvikqm-setup-$version-Linux/bin/zorvikqm-setup
zorvikqm-setup-$version-Linux/share/applications/zorvikqm-setup.desktop
zorvikqm-setup-$version-Linux/share/doc/zorvikqm-setup/LICENSE
zorvikqm-setup-$version-Linux/share/doc/zorvikqm-setup/README.md
zorvikqm-setup-$version-Linux/share/icons/hicolor/16x16/apps/zorvikqm-setup.png
zorvikqm-setup-$version-Linux/share/icons/hicolor/32x32/apps/zorvikqm-setup.png
zorvikqm-setup-$version-Linux/share/icons/hicolor/48x48/apps/zorvikqm-setup.png
zorvikqm-setup-$version-Linux/share/man/man1/zorvikqm-setup.1"

# The unpacked program runs as far as its main menu, and quits cleanly.
run="$work/run"
mkdir -p "$run"
start "$run" "$root/usr/bin/zorvikqm-setup"
check "unpacked program shows its main menu" wait_for "Save &  Exit"
keys Escape y
check "unpacked program ends" wait_exit "$run"
check "exit code 0" test "$(cat "$run.exit" 2>/dev/null)" = 0
check "quitting writes nothing" test ! -e "$run/zorvikqm.ini"

finish
