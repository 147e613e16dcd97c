#!/usr/bin/env bash
# The person's run on Wayland: cinevarta-demo as a Wayland client of weston 10 against the sample
# server, driven with xdotool. It checks that the fixed-size main window tells the compositor
# its size (xdg_toplevel's minimum and maximum, 795 x 560), that a click on the maximise button of
# Qt's own title bar leaves the program running with its window at that size, that a search
# shows a card, and that the exit button ends the program with status 0.
#
# Weston's headless backend has no seat: nothing can type or click there. So weston runs with its
# X11 backend, as a window on Xvfb, where xdotool's keys and clicks reach it and it hands them to
# its clients as Wayland input. Weston takes pointer input only once X has told its window that
# the pointer entered; a window that maps under the pointer may never be told (whether it is
# depends on how soon weston asks X for those events, so on the machine). So the screen is larger
# than weston's window, the pointer waits outside it (start_xvfb parks it in the corner) until
# weston's window is up, and is then moved in; the keyboard focus is given to that window, not
# left to where X's focus happens to be. The screen is read from Xvfb; the main window is found by
# its cream client area. (platform_run.sh has the main window's test on the headless backend.)
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
start_xvfb 1280x1024
export XDG_RUNTIME_DIR=$out/runtime
weston_w=1024 weston_h=768
start_weston --backend=x11-backend.so --use-pixman --width=$weston_w --height=$weston_h
weston_window() { xdotool search --onlyvisible --class '^Weston Compositor$' | head -n1; }
tries=100 wait_for "weston's window on $DISPLAY" weston_window || exit 1
sleep 1  # its shell draws the desktop
kill -0 "$weston_pid" 2>/dev/null || skip "weston ended at start: $(tail -n 3 "$out/weston.log")"
weston_x=$(weston_window)
xdotool mousemove --window "$weston_x" $((weston_w / 2)) $((weston_h / 2)) &&
  xdotool windowfocus "$weston_x"
echo "weston $(weston --version | cut -d' ' -f2) on $DISPLAY, Wayland display $WAYLAND_DISPLAY"

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

# --- The sample server on the demo's port, and the program -------------------------------------
start_sample_server "$server" "$site" "$port"

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
typed colmena
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

echo "screenshots in $out"
if [ "$failures" -ne 0 ]; then
  echo "--- request log"; cat "$log"
  echo "--- program output"; grep -v '^\[' "$out/demo.log" | tail -n 20
  echo "$failures check(s) failed"
  exit 1
fi
echo "the Wayland run passed"
