# What the runs on a display share: the processes they start (ended when the script ends), their
# checks and steps, waiting, the X server and weston (in the output folder $out). Sourced by
# person_run.sh, wayland_run.sh and platform_run.sh.

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
# test when no X server can be started.
start_xvfb() {  # WxH
  local i xvfb
  exec 3>"$out/display"
  Xvfb -displayfd 3 -screen 0 "$1x24" -nolisten tcp >"$out/xvfb.log" 2>&1 &
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
  xdotool getdisplaygeometry >/dev/null 2>&1 || skip "the X server on $DISPLAY does not answer"
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
