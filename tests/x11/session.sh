# What the person's runs on a display share: the processes they start (ended when the script
# ends), their checks and steps, waiting, and the X server (in the output folder $out). Sourced
# by person_run.sh and wayland_run.sh.

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
