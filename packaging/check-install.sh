#!/usr/bin/env bash
# Installs a built tree into a scratch prefix and checks what a desktop needs to show Cinevarta
# in its menu: the program and its launcher, a valid menu entry whose Exec and Icon resolve to
# installed files, the icon at every hicolor size with the pixel size its folder names, the
# manual page, and a launcher that starts the program in its own data folder.
# Usage: check-install.sh <build folder>
set -euo pipefail
build=${1:?usage: check-install.sh <build folder>}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }

prefix=$work/usr
cmake --install "$build" --prefix "$prefix" --component cinevarta >"$work/install.log" ||
  { cat "$work/install.log"; echo "FAIL: cmake --install"; exit 1; }

# The files, and nothing of the build's other programs.
for f in bin/cinevarta bin/cinevarta-launcher; do
  [ -x "$prefix/$f" ] || fail "$f missing or not executable"
done
for f in share/applications/cinevarta.desktop share/icons/hicolor/scalable/apps/cinevarta.svg \
         share/man/man1/cinevarta.1.gz share/man/man1/cinevarta-launcher.1.gz \
         share/metainfo/example.cinevarta.cinevarta.metainfo.xml \
         share/doc/cinevarta/copyright share/doc/cinevarta/changelog.gz; do
  [ -s "$prefix/$f" ] || fail "$f missing"
done
[ ! -e "$prefix/bin/cinevarta-demo" ] || fail "the demo must not be installed"
extra=$(find "$prefix" -type f | sed "s|^$prefix/||" |
        grep -vE '^(bin/cinevarta(-launcher)?|share/applications/cinevarta\.desktop|share/icons/hicolor/[^/]+/apps/cinevarta\.(png|svg)|share/man/man1/cinevarta(-launcher)?\.1\.gz|share/metainfo/example\.cinevarta\.cinevarta\.metainfo\.xml|share/doc/cinevarta/(copyright|changelog\.gz)|share/lintian/overrides/cinevarta)$' || true)
[ -z "$extra" ] || fail "unexpected files installed: $extra"

# Every library the program links is found.
if ldd "$prefix/bin/cinevarta" | grep -q 'not found'; then
  fail "unresolved libraries: $(ldd "$prefix/bin/cinevarta" | grep 'not found')"
fi

# The menu entry.
desktop=$prefix/share/applications/cinevarta.desktop
if command -v desktop-file-validate >/dev/null; then
  # It exits with success on some errors ("will be fatal in the future"): its output counts too.
  if ! dfv=$(desktop-file-validate "$desktop" 2>&1) || [ -n "$dfv" ]; then
    echo "$dfv"
    fail "desktop-file-validate reports the entry above"
  fi
else
  echo "note: desktop-file-validate not installed; checking the keys only"
fi
key() { sed -n "s/^$1=//p" "$desktop" | head -n1; }
[ "$(head -n1 "$desktop")" = "[Desktop Entry]" ] || fail "entry does not start with [Desktop Entry]"
[ "$(key Type)" = Application ] || fail "Type is not Application"
[ "$(key Name)" = Cinevarta ] || fail "Name is '$(key Name)'"
key Comment | grep -q 'películas' || fail "Comment is not the Spanish one: '$(key Comment)'"
key Categories | grep -qE '(^|;)(AudioVideo|Utility)(;|$)' || fail "no main category: '$(key Categories)'"
exec_name=$(key Exec | awk '{print $1}')
[ -x "$prefix/bin/$exec_name" ] || fail "Exec names '$exec_name', which is not in bin/"
[ -x "$prefix/bin/$(key TryExec)" ] || fail "TryExec names '$(key TryExec)', which is not in bin/"
[ "$(key Icon)" = cinevarta ] || fail "Icon is '$(key Icon)'"
file -b --mime-encoding "$desktop" | grep -qE 'utf-8|us-ascii' || fail "entry is not UTF-8"

# The icon: a PNG whose width and height match its folder.
for size in 16 22 24 32 48 64 128 256; do
  png=$prefix/share/icons/hicolor/${size}x${size}/apps/cinevarta.png
  if [ ! -s "$png" ]; then fail "icon $size missing"; continue; fi
  [ "$(head -c 8 "$png" | od -An -tx1 | tr -d ' \n')" = 89504e470d0a1a0a ] || fail "icon $size is not a PNG"
  w=$(od -An -tu1 -j16 -N4 "$png" | awk '{print $1*16777216+$2*65536+$3*256+$4}')
  h=$(od -An -tu1 -j20 -N4 "$png" | awk '{print $1*16777216+$2*65536+$3*256+$4}')
  [ "$w" = "$size" ] && [ "$h" = "$size" ] || fail "icon $size is ${w}x${h}"
done
grep -q '<svg' "$prefix/share/icons/hicolor/scalable/apps/cinevarta.svg" || fail "SVG icon is no SVG"
gzip -t "$prefix/share/man/man1/cinevarta.1.gz" || fail "manual page is not gzip"
gzip -t "$prefix/share/doc/cinevarta/changelog.gz" || fail "changelog is not gzip"

# The launcher, with a stand-in program beside it that tells where it was started.
mkdir -p "$work/fake" "$work/home" "$work/start"
cp "$prefix/bin/cinevarta-launcher" "$work/fake/"
printf '#!/bin/sh\npwd\n' >"$work/fake/cinevarta"
chmod +x "$work/fake/cinevarta"
run_launcher() { (cd "$work/start" && env -i PATH=/usr/bin:/bin HOME="$work/home" "$@" "$work/fake/cinevarta-launcher"); }
got=$(run_launcher XDG_DATA_HOME="$work/xdg")
[ "$got" = "$work/xdg/cinevarta" ] || fail "with XDG_DATA_HOME the launcher started in '$got'"
got=$(run_launcher)
[ "$got" = "$work/home/.local/share/cinevarta" ] || fail "without XDG_DATA_HOME the launcher started in '$got'"
touch "$work/notafolder"
got=$(run_launcher XDG_DATA_HOME="$work/notafolder")
[ "$got" = "$work/start" ] || fail "with an unusable data folder the launcher started in '$got', not where it was"

if [ "$failures" -ne 0 ]; then
  echo "$failures failure(s)"
  exit 1
fi
echo "install tree: all checks passed"
