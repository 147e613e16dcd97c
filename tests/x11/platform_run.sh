#!/usr/bin/env bash
# Cases of an in-process test program (test_app) on a real display instead of Qt's offscreen
# platform, in a desktop session with its accessibility bus, so that Qt's bridge for screen
# readers (AT-SPI) is on as when a reader runs:
#   x11      on Xvfb, without a window manager (the cases need none);
#   wayland  as a client of weston's headless backend, on a socket of its own. It has no seat, so
#            nothing outside can type or click there: the cases put their clicks and keys into
#            Qt with QTest. (wayland_run.sh clicks Qt's real title bar, on weston's X11 backend.)
#            Qt's Wayland input method is left out: Qt 6.4's asks the seat's text input of
#            every key a line edit takes, and crashes when there is no seat.
# The cases' pictures go to the output folder.
#
# Usage: platform_run.sh <x11|wayland> <output folder> <test program> <gtest filter>
# Exits 77 (the test is skipped) when the display or the session's buses cannot be had; 1 when a
# case fails or is skipped.
set -uo pipefail
platform=${1:?platform}; out=${2:?output}; tests=${3:?test program}; filter=${4:?filter}
mkdir -p "$out"
out=$(realpath "$out"); tests=$(realpath "$tests")

source "$(dirname "$0")/session.sh"
for tool in dbus-run-session dbus-send; do
  command -v "$tool" >/dev/null || skip "$tool is not installed (scripts/setup.sh installs it)"
done
[ -e /usr/share/dbus-1/services/org.a11y.Bus.service ] ||
  skip "no accessibility bus to start (at-spi2-core, scripts/setup.sh installs it)"

rm -rf "$out"
mkdir -p "$out/runtime"
chmod 700 "$out/runtime"
export XDG_RUNTIME_DIR=$out/runtime CINEVARTA_TEST_OUTPUT_DIR=$out
case $platform in
  x11)
    command -v Xvfb >/dev/null || skip "Xvfb is not installed (scripts/setup.sh installs it)"
    start_xvfb 1024x768
    export QT_QPA_PLATFORM=xcb
    ;;
  wayland)
    need_qt_wayland
    start_weston --backend=headless-backend.so --width=1024 --height=768
    export QT_QPA_PLATFORM=wayland QT_IM_MODULE=none
    ;;
  *) echo "unknown platform '$platform'"; exit 2 ;;
esac

# The session bus, on which the accessibility bus is started (by asking for its address) as a
# desktop session starts it for a screen reader; Qt's bridge then joins it at start-up.
dbus-run-session -- bash -c '
  dbus-send --session --print-reply --dest=org.a11y.Bus /org/a11y/bus org.a11y.Bus.GetAddress \
    >/dev/null || { echo "SKIPPED: the accessibility bus did not start"; exit 77; }
  QT_LINUX_ACCESSIBILITY_ALWAYS_ON=1 exec "$1" --gtest_filter="$2"' _ "$tests" "$filter" \
  >"$out/tests.log" 2>&1
rc=$?
grep -E '^\[ *(OK|FAILED|SKIPPED) *\]|SKIPPED:|Failure|Which is|error' "$out/tests.log"
[ "$rc" = 77 ] && exit 77
if [ "$rc" != 0 ] || grep -q '^\[  SKIPPED \]' "$out/tests.log"; then
  echo "FAIL: the cases did not all pass on $platform (whole log: $out/tests.log)"
  exit 1
fi
echo "the cases passed on $platform; their log and pictures are in $out"
