#!/usr/bin/env bash
# The person's run on Wayland: cinevarta-demo as a Wayland client of weston 10 against the sample
# server, driven with xdotool. It checks that the fixed-size main window tells the compositor
# its size (xdg_toplevel's minimum and maximum, 795 x 560), that a click on the maximise button of
# Qt's own title bar leaves the program running with its window at that size, that a search
# shows a card, and that the exit button ends the program with status 0 and no cover left.
#
# Weston's headless backend has no seat: nothing can type or click there. So weston runs with its
# X11 backend, as a window on Xvfb, where xdotool's keys and clicks reach it and it hands them to
# its clients as Wayland input. The screen is read from Xvfb; the main window is found by its
# cream client area. (platform_run.sh has the main window's test on the headless backend.)
#
# Usage: wayland_run.sh <cinevarta-demo> <sample-server> <sample-site> <port> <output folder>
# Exits 77 (the test is skipped) when weston, Xvfb, xdotool or ImageMagick is missing, Qt has no
# Wayland platform, or weston cannot start; 1 on any failed check.
set -uo pipefail
demo=${1:?demo}; server=${2:?server}; site=${3:?site}; port=${4:?port}; out=${5:?output}
mkdir -p "$out"
demo=$(realpath "$demo"); server=$(realpath "$server"); site=$(realpath "$site")
out=$(realpath "$out")

source "$(dirname "$0")/session.sh"
for tool in weston Xvfb xdotool import convert compare; do
  command -v "$tool" >/dev/null || skip "$tool is not installed (scripts/setup.sh installs it)"
done
need_qt_wayland

rm -rf "$out"
mkdir -p "$out/work" "$out/runtime"
chmod 700 "$out/runtime"
work=$out/work
log=$out/requests.log
# --- Xvfb, and weston on it ----------------------------------------------------------------------
start_xvfb 1024x768
export XDG_RUNTIME_DIR=$out/runtime
start_weston --backend=x11-backend.so --use-pixman --width=1024 --height=768
sleep 1  # its shell draws the desktop
kill -0 "$weston_pid" 2>/dev/null || skip "weston ended at start: $(tail -n 3 "$out/weston.log")"
echo "weston $(weston --version | cut -d' ' -f2) on $DISPLAY, Wayland display $WAYLAND_DISPLAY"

shot_no=0
shot() {
  shot_no=$((shot_no + 1))
  last_shot=$(printf '%s/%02d-%s.png' "$out" "$shot_no" "$1")
  import -window root "$last_shot" 2>>"$out/import.log" || fail "screenshot $last_shot"
}
# The main window's client area on the screen, found by its cream background: "x y w h".
client_area() {  # png
  convert "$1" -alpha off -fill black +opaque 'rgb(255,245,206)' -fill white \
    -opaque 'rgb(255,245,206)' -trim -format '%X %Y %w %h' info: | tr -d +
}
# Whether the main window shows whole, from a look at the screen (screen.png); also true once the
# program has ended, so that waiting for it stops there.
main_shown_or_gone() {
  demo_alive || return 0
  import -window root "$out/screen.png" 2>>"$out/import.log" || return 1
  read -r main_x main_y main_w main_h <<<"$(client_area "$out/screen.png")"
  [ "$main_w" = 795 ] && [ "$main_h" = 560 ]
}
wait_main() {  # what
  wait_for "$1" main_shown_or_gone && demo_alive && return 0
  demo_alive || fail "the program ended: $(grep -v '^\[' "$out/demo.log" | tail -n 3)"
  return 1
}
# How many pixels of a part (client coordinates) differ between two screenshots.
changed() {  # png x0 y0 png x1 y1 w h: the part at x0,y0 of the first against x1,y1 of the second
  convert "$1" -crop "$7x$8+$2+$3" +repage "$out/part-a.png"
  convert "$4" -crop "$7x$8+$5+$6" +repage "$out/part-b.png"
  compare -metric AE "$out/part-a.png" "$out/part-b.png" null: 2>&1
  rm -f "$out/part-a.png" "$out/part-b.png"
}
click() {  # x y, in the client area
  xdotool mousemove $((main_x + $1)) $((main_y + $2)) && sleep 0.1 && xdotool click 1
  sleep 0.2
}
keys() { xdotool key --clearmodifiers "$@"; sleep 0.1; }

# --- The sample server on the demo's port, and the program -------------------------------------
if answers "$port"; then
  echo "FAIL: something already listens on port $port (a running scripts/run.sh?)"
  exit 1
fi
"$server" "$site" "$port" >"$log" 2>&1 &
pids+=($!)
wait_for "the sample server on port $port" answers "$port" || exit 1

step "start on Wayland"
# The protocol log (WAYLAND_DEBUG) shows what the program asks of the compositor.
(cd "$work" && QT_QPA_PLATFORM=wayland WAYLAND_DEBUG=1 exec "$demo" >"$out/demo.log" 2>&1) &
demo_pid=$!
pids+=($demo_pid)
demo_alive() { kill -0 "$demo_pid" 2>/dev/null; }
wait_main "the main window's 795 x 560 cream client area" || exit 1
shot start
start_shot=$last_shot start_x=$main_x start_y=$main_y
echo "main window: client area at $main_x,$main_y"
for request in "set_min_size(795, 560)" "set_max_size(795, 560)"; do
  grep -F "xdg_toplevel@" "$out/demo.log" | grep -qF "$request" || fail "the program did not ask xdg_toplevel.$request"
done

# --- The maximise button of Qt's title bar --------------------------------------------------------
# Weston maximises on request whatever the window's sizes, and ends the connection of a client
# whose next frame is not the size it gave. Qt's title bar draws the button 36 pixels left of the
# client area's right edge and 15 above its top.
step "click the title bar's maximise button"
click 759 -15
sleep 2
shot after-maximise
grep -q 'set_maximized()' "$out/demo.log" || fail "the click did not ask to maximise (not on the button?)"
wait_main "the window back at 795 x 560 after the maximise button" || exit 1

# --- A search that shows a card --------------------------------------------------------------------
step "search for 'colmena'"
click 110 44
keys ctrl+a
xdotool type --delay 40 colmena
keys Return
wait_for "the cover asked for" grep -q "/imatges/articulos/espiritu_colmena_1187.jpg" "$log"
sleep 1
wait_main "the window after the search" || exit 1
shot card
# The title field and the cover box no longer show what they showed at the start.
for part in "236 51 120 13" "575 250 200 275"; do
  read -r x y w h <<<"$part"
  diff=$(changed "$start_shot" $((start_x + x)) $((start_y + y)) "$last_shot" $((main_x + x)) \
    $((main_y + y)) "$w" "$h")
  [ "$diff" -gt 20 ] || fail "the card's part at $part is as at the start ($diff pixels differ)"
done

# --- The exit button ------------------------------------------------------------------------------
step "leave by the exit button"
click 187 530
demo_gone() { ! demo_alive; }
if wait_for "the program to end after the exit button" demo_gone; then
  wait "$demo_pid"; rc=$?
  [ "$rc" = 0 ] || fail "the program ended with exit code $rc"
fi
[ ! -e "$work/portada.jpg" ] || fail "portada.jpg is still there after the program ended"

echo "screenshots in $out"
if [ "$failures" -ne 0 ]; then
  echo "--- request log"; cat "$log"
  echo "--- program output"; grep -v '^\[' "$out/demo.log" | tail -n 20
  echo "$failures check(s) failed"
  exit 1
fi
echo "the Wayland run passed"
