#!/usr/bin/env bash
# Packs a built tree as the Debian package (`cpack -G DEB`, as a release is made) and checks it
# with Debian's and freedesktop's own tools: lintian reports no error and no warning, the
# AppStream metainfo passes `appstreamcli validate` (and, with the files around it, names a menu
# entry that is in the package), the menu entry passes desktop-file-validate, and the changelog's
# latest entry and the metainfo's latest release both name the package's version.
# Usage: check-deb.sh <build folder>    ($CPACK names the cpack to use; CTest gives its own)
set -euo pipefail
build=$(cd "${1:?usage: check-deb.sh <build folder>}" && pwd)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }

cpack=${CPACK:-cpack}
for tool in "$cpack" dpkg-deb dpkg-parsechangelog lintian appstreamcli desktop-file-validate; do
  command -v "$tool" >/dev/null || { echo "FAIL: $tool is not installed (scripts/setup.sh installs it)"; exit 1; }
done

# The package, made in a scratch folder so the build folder keeps no stale one.
"$cpack" --config "$build/CPackConfig.cmake" -G DEB -B "$work/out" >"$work/cpack.log" 2>&1 ||
  { cat "$work/cpack.log"; echo "FAIL: cpack"; exit 1; }
debs=("$work"/out/*.deb)
[ ${#debs[@]} -eq 1 ] && [ -s "${debs[0]}" ] || { cat "$work/cpack.log"; echo "FAIL: cpack made no single .deb"; exit 1; }
deb=${debs[0]}
echo "package: $(basename "$deb")"
root=$work/root
dpkg-deb -x "$deb" "$root"
version=$(dpkg-deb -f "$deb" Version)

# lintian: every tag is shown, information ones (I:) too, each with its explanation; errors
# (E:) and warnings (W:) fail. Its note that it runs as root goes to standard error and is no
# finding.
lintian_status=0
lintian --fail-on none --display-info --info --no-tag-display-limit "$deb" >"$work/lintian.log" 2>"$work/lintian.err" ||
  lintian_status=$?
cat "$work/lintian.log"
[ $lintian_status -eq 0 ] || { cat "$work/lintian.err"; fail "lintian itself failed ($lintian_status)"; }
if grep -qE '^[EW]: ' "$work/lintian.log"; then
  fail "lintian reports the errors or warnings above"
fi

# The AppStream metainfo: the file alone, then with the installed tree (the menu entry it names
# must be there). Information notes (I:) are shown; errors and warnings fail.
metainfo=("$root"/usr/share/metainfo/*.metainfo.xml)
if [ ! -s "${metainfo[0]}" ]; then
  fail "no metainfo file in /usr/share/metainfo"
else
  appstreamcli validate --no-net "${metainfo[@]}" || fail "appstreamcli validate reports the metainfo above"
  appstreamcli validate-tree --no-net "$root" || fail "appstreamcli validate-tree reports the tree above"
  first_release=$(grep -o '<release [^>]*version="[^"]*"' "${metainfo[0]}" | head -n1 |
                  sed 's/.*version="\([^"]*\)".*/\1/')
  [ "$first_release" = "$version" ] || fail "metainfo's latest release is '$first_release', the package is '$version'"
  grep -q '<launchable type="desktop-id">cinevarta.desktop</launchable>' "${metainfo[0]}" ||
    fail "metainfo does not launch cinevarta.desktop"
fi

# The menu entry. desktop-file-validate exits with success on some errors ("will be fatal in
# the future"), so anything it prints counts too.
if ! dfv=$(desktop-file-validate "$root/usr/share/applications/cinevarta.desktop" 2>&1) || [ -n "$dfv" ]; then
  echo "$dfv"
  fail "desktop-file-validate reports the menu entry above"
fi

# The changelog's latest entry is this version.
changelog=$root/usr/share/doc/cinevarta/changelog.gz
if [ -s "$changelog" ]; then
  zcat "$changelog" >"$work/changelog"
  top=$(dpkg-parsechangelog -l "$work/changelog" -S Version)
  [ "$top" = "$version" ] || fail "changelog's latest entry is '$top', the package is '$version'"
else
  fail "no changelog.gz in /usr/share/doc/cinevarta"
fi

if [ "$failures" -ne 0 ]; then
  echo "$failures failure(s)"
  exit 1
fi
echo "package: lintian, appstreamcli and desktop-file-validate are clean"
