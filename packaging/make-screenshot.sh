#!/usr/bin/env bash
# Takes the screenshot that the AppStream metainfo shows software centres: cinevarta-demo on the
# local sample site, on a private X server (Xvfb, with openbox managing the window), after a
# search on Culturalia has brought up a film card with its cover. The window alone is kept, as
# packaging/screenshots/cinevarta-ficha.png; it is published at the address the metainfo names,
# and kept here so building does not need this script.
# Usage: make-screenshot.sh <build folder>    (needs Xvfb, openbox, xdotool and ImageMagick's import)
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
root=$(cd "$here/.." && pwd)
build=$(cd "${1:?usage: make-screenshot.sh <build folder>}" && pwd)
out=$here/screenshots/cinevarta-ficha.png
for tool in Xvfb openbox xdotool import; do
  command -v "$tool" >/dev/null || { echo "needs $tool (apt-get install xvfb openbox xdotool imagemagick)"; exit 1; }
done
port=$(sed -n 's/^CINEVARTA_DEMO_PORT:[A-Z]*=//p' "$build/CMakeCache.txt")
[ -n "$port" ] && [ -x "$build/cinevarta-demo" ] && [ -x "$build/tools/sample-server" ] ||
  { echo "build cinevarta-demo and sample-server in $build first"; exit 1; }

work=$(mktemp -d)
pids=()
cleanup() {
  local p
  for p in "${pids[@]}"; do kill "$p" 2>/dev/null || true; done
  for p in "${pids[@]}"; do wait "$p" 2>/dev/null || true; done
  rm -rf "$work"
}
trap cleanup EXIT
wait_for() {  # what command...: looks every tenth of a second, gives up after a minute
  local what=$1 i; shift
  for ((i = 0; i < 600; i++)); do "$@" >/dev/null 2>&1 && return 0; sleep 0.1; done
  echo "gave up waiting for $what"; exit 1
}
answers() { (exec 9<>"/dev/tcp/127.0.0.1/$1") 2>/dev/null; }
if answers "$port"; then echo "something already listens on the demo's port $port"; exit 1; fi

exec 3>"$work/display"
Xvfb -displayfd 3 -screen 0 1280x1024x24 -nolisten tcp -noreset >"$work/xvfb.log" 2>&1 &
pids+=($!)
exec 3>&-
wait_for "Xvfb" test -s "$work/display"
export DISPLAY=:$(cat "$work/display")
unset QT_QPA_PLATFORM
openbox >"$work/openbox.log" 2>&1 &
pids+=($!)
"$build/tools/sample-server" "$root/sample-site" "$port" >"$work/requests.log" 2>&1 &
pids+=($!)
wait_for "the sample server" answers "$port"

mkdir "$work/run"
(cd "$work/run" && exec "$build/cinevarta-demo" >"$work/demo.log" 2>&1) &
pids+=($!)
main_window() { xdotool search --onlyvisible --name '^Cinevarta - v' | head -n1; }
main_window_shown() { [ -n "$(main_window)" ]; }
wait_for "the main window" main_window_shown
sleep 1
wid=$(main_window)

# The title field starts selected, on Culturalia: typing replaces it.
xdotool type --delay 40 --clearmodifiers colmena
xdotool key --clearmodifiers Return
wait_for "the cover" test -s "$work/run/portada.jpg"
busy_gone() { ! xdotool search --onlyvisible --name '^Procesando' >/dev/null 2>&1; }
wait_for "the busy window to go" busy_gone
sleep 1
mkdir -p "$(dirname "$out")"
import -window "$wid" "$out"
echo "screenshot: $out ($(identify -format '%wx%h' "$out"))"
