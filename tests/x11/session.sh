# What the runs on a display share: the processes they start (ended when the script ends), their
# checks and steps, waiting, the X server and weston (in the output folder $out), the sample
# server, screenshots, and the main window's input and pixels. Sourced by person_run.sh,
# wayland_run.sh and platform_run.sh.

skip() { echo "SKIPPED: $*"; exit 77; }

pids=()
cleanup() {
  local p
  for p in "${pids[@]}"; do kill "$p" 2>/dev/null; done
  for p in "${pids[@]}"; do wait "$p" 2>/dev/null; done
}
trap cleanup EXIT

failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }
step() { echo "--- $*"; }

# Waits until a command succeeds, looking every tenth of a second. The bound only keeps a broken
# program from hanging the run; it is far above what any step takes, sanitizers included.
# A check that settles within moments (a window placed by the window manager) is given fewer
# looks: `tries=50 wait_for ...`.
wait_for() {
  local what=$1; shift
  local i
  for ((i = 0; i < ${tries:-900}; i++)); do
    "$@" >/dev/null 2>&1 && return 0
    sleep 0.1
  done
  fail "gave up waiting for $what"
  return 1
}

# Whether something listens on a local port.
answers() { (exec 9<>"/dev/tcp/127.0.0.1/$1") 2>/dev/null; }

# Starts Xvfb with a screen of the given size on a free display and exports DISPLAY; skips the
# test when no X server can be started. The pointer is parked in the screen's bottom-right corner,
# so no run depends on where the server puts it (the middle), under a window about to map.
#
# -noreset: by default an X server resets when its last client leaves, and a client that
# connects meanwhile (the window manager, right after the check below) is cut off ("Failed to
# open the display"); the wider the window, the busier the machine.
start_xvfb() {  # WxH
  local i xvfb
  exec 3>"$out/display"
  Xvfb -displayfd 3 -screen 0 "$1x24" -nolisten tcp -noreset >"$out/xvfb.log" 2>&1 &
  xvfb=$!
  pids+=($xvfb)
  exec 3>&-
  for ((i = 0; i < 100; i++)); do
    [ -s "$out/display" ] && break
    kill -0 "$xvfb" 2>/dev/null || break
    sleep 0.1
  done
  [ -s "$out/display" ] || skip "Xvfb could not start: $(tail -n 3 "$out/xvfb.log")"
  export DISPLAY=:$(cat "$out/display")
  read -r screen_w screen_h <<<"$(xdotool getdisplaygeometry 2>/dev/null)"
  [ -n "$screen_h" ] || skip "the X server on $DISPLAY does not answer"
  xdotool mousemove $((screen_w - 1)) $((screen_h - 1))
}

# Skips the test when Qt has no Wayland platform.
need_qt_wayland() {
  local plugins
  plugins=$(qtpaths6 --query QT_INSTALL_PLUGINS 2>/dev/null ||
    echo /usr/lib/x86_64-linux-gnu/qt6/plugins)
  [ -e "$plugins/platforms/libqwayland-generic.so" ] ||
    skip "Qt's Wayland platform is not installed (qt6-wayland, scripts/setup.sh installs it)"
}

# Starts weston with the given options on a socket of its own in $XDG_RUNTIME_DIR, which must
# exist, and exports WAYLAND_DISPLAY; skips the test when weston cannot start.
start_weston() {  # weston options...
  command -v weston >/dev/null || skip "weston is not installed (scripts/setup.sh installs it)"
  export WAYLAND_DISPLAY=cinevarta-test
  weston "$@" --socket="$WAYLAND_DISPLAY" --idle-time=0 >"$out/weston.log" 2>&1 &
  weston_pid=$!
  pids+=($weston_pid)
  weston_up() { [ -S "$XDG_RUNTIME_DIR/$WAYLAND_DISPLAY" ] && kill -0 "$weston_pid"; }
  tries=100 wait_for "weston" weston_up >/dev/null ||
    skip "weston could not start: $(tail -n 3 "$out/weston.log")"
}

# --- The sample server --------------------------------------------------------------------------
# A port nobody listens on, from a random start so that runs side by side do not meet.
free_port() {
  local candidate i
  for ((candidate = 20000 + RANDOM % 20000, i = 0; i < 50; candidate++, i++)); do
    answers "$candidate" || { echo "$candidate"; return 0; }
  done
  return 1
}
# Starts the sample server of <site> on <port>, its request log in $log; ends the run when the
# port is taken (the demo's port, by a running scripts/run.sh) or the server does not answer.
start_sample_server() {  # server site port
  if answers "$3"; then
    echo "FAIL: something already listens on port $3 (a running scripts/run.sh?)"
    exit 1
  fi
  "$1" "$2" "$3" >"$log" 2>&1 &
  pids+=($!)
  wait_for "the sample server on port $3" answers "$3" || exit 1
}

# --- The screen and the main window ---------------------------------------------------------------
# A screenshot of the whole screen, numbered in the order taken: $out/NN-name.png, in last_shot.
shot_no=0
shot() {  # name
  shot_no=$((shot_no + 1))
  last_shot=$(printf '%s/%02d-%s.png' "$out" "$shot_no" "$1")
  import -window root "$last_shot" 2>>"$out/import.log" || fail "screenshot $last_shot"
}
# The main window's client area on a screenshot, found by its cream background: "x y w h".
client_area() {  # png
  convert "$1" -alpha off -fill black +opaque 'rgb(255,245,206)' -fill white \
    -opaque 'rgb(255,245,206)' -trim -format '%X %Y %w %h' info: | tr -d +
}
# How many pixels of a part differ between two screenshots; each part is given by its top-left
# corner on the screen.
changed() {  # png x y png x y w h
  convert "$1" -crop "$7x$8+$2+$3" +repage "$out/part-a.png"
  convert "$4" -crop "$7x$8+$5+$6" +repage "$out/part-b.png"
  compare -metric AE "$out/part-a.png" "$out/part-b.png" null: 2>&1
  rm -f "$out/part-a.png" "$out/part-b.png"
}
# Real input, at places in the main window's client area, whose top-left corner on the screen is
# main_x, main_y.
click() {  # x y [button]
  xdotool mousemove $((main_x + $1)) $((main_y + $2)) && sleep 0.05 && xdotool click "${3:-1}"
  sleep 0.15
}
keys() { xdotool key --clearmodifiers "$@"; sleep 0.1; }
typed() { xdotool type --delay 40 --clearmodifiers "$1"; sleep 0.1; }
