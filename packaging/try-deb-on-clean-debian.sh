#!/usr/bin/env bash
# Installs a Cinevarta .deb on a clean Debian 12 (a minimal debootstrap tree, made on the first
# run and reused after) with `apt install ./cinevarta_*.deb`, and starts the program the way the
# desktop menu does: the Exec line of the installed menu entry, run inside the clean system on an
# X server of this machine. It checks that apt pulled in everything the program needs (no
# library is missing, Qt's X11 plugin loads) and that the window titled "Cinevarta - v0.9.4.b"
# appears; a screenshot of it is left beside the package. Needs root, debootstrap, Xvfb, xdotool
# and import, and the Debian mirror; it is a release check, not part of the test command.
#
# Usage: try-deb-on-clean-debian.sh <cinevarta_*.deb> [clean tree folder]
set -euo pipefail
deb=$(realpath "${1:?usage: try-deb-on-clean-debian.sh <deb> [tree]}")
tree=${2:-/var/tmp/cinevarta-clean}
[ "$(id -u)" -eq 0 ] || { echo "needs root (debootstrap and chroot)"; exit 1; }
for tool in debootstrap Xvfb xdotool import; do
  command -v "$tool" >/dev/null || { echo "needs $tool (apt-get install debootstrap xvfb xdotool imagemagick)"; exit 1; }
done

if [ ! -x "$tree/usr/bin/apt-get" ]; then
  debootstrap --variant=minbase bookworm "$tree" http://deb.debian.org/debian
fi
mounted=()
cleanup() {
  local m
  for m in "${mounted[@]}"; do umount -l "$m" 2>/dev/null || true; done
  [ -n "${xvfb:-}" ] && kill "$xvfb" 2>/dev/null || true
}
trap cleanup EXIT
bind() { mkdir -p "$tree$1"; mount --bind "$1" "$tree$1"; mounted=("$tree$1" "${mounted[@]}"); }
mount -t proc proc "$tree/proc"; mounted=("$tree/proc")
bind /dev
# The X server's socket folder, made before it is bound so the clean system sees the socket that
# Xvfb puts there below.
mkdir -p /tmp/.X11-unix
chmod 1777 /tmp/.X11-unix
bind /tmp/.X11-unix

# A package left from an earlier try would hide a missing dependency.
chroot "$tree" sh -c 'dpkg -s cinevarta >/dev/null 2>&1 && apt-get purge -y -q cinevarta && apt-get autoremove -y -q --purge' || true
cp "$deb" "$tree/tmp/"
chroot "$tree" env DEBIAN_FRONTEND=noninteractive apt-get update -q
chroot "$tree" env DEBIAN_FRONTEND=noninteractive apt-get install -y -q "/tmp/$(basename "$deb")"

echo "--- libraries"
if chroot "$tree" ldd /usr/bin/cinevarta | grep 'not found'; then
  echo "FAIL: libraries missing after apt install"; exit 1
fi
entry=$tree/usr/share/applications/cinevarta.desktop
exec_line=$(sed -n 's/^Exec=//p' "$entry")
echo "--- menu entry runs: $exec_line"

exec 3>"$tree/tmp/display"
Xvfb -displayfd 3 -screen 0 1280x1024x24 -nolisten tcp >/dev/null 2>&1 &
xvfb=$!
exec 3>&-
for _ in $(seq 100); do [ -s "$tree/tmp/display" ] && break; sleep 0.1; done
display=:$(cat "$tree/tmp/display")
# A new user's session: a home folder, no data folder yet, the menu's working folder (home).
chroot "$tree" sh -c 'rm -rf /home/person && mkdir -p /home/person'
chroot "$tree" env -i HOME=/home/person DISPLAY="$display" PATH=/usr/bin:/bin \
  QT_DEBUG_PLUGINS=0 sh -c "cd /home/person && exec $exec_line" >"$tree/tmp/cinevarta.log" 2>&1 &
program=$!
found=
for _ in $(seq 300); do
  found=$(DISPLAY=$display xdotool search --onlyvisible --name '^Cinevarta - v0\.9\.4\.b$' 2>/dev/null | head -n1) || true
  [ -n "$found" ] && break
  kill -0 "$program" 2>/dev/null || break
  sleep 0.1
done
if [ -z "$found" ]; then
  echo "FAIL: no window appeared"; cat "$tree/tmp/cinevarta.log"; exit 1
fi
sleep 1
shot=${deb%.deb}-clean-debian.png
DISPLAY=$display import -window root "$shot"
[ -d "$tree/home/person/.local/share/cinevarta" ] ||
  { echo "FAIL: the launcher did not make ~/.local/share/cinevarta"; exit 1; }
# Leave by the exit button (client-area 165,510, 45 x 40), as a person does.
DISPLAY=$display xdotool mousemove --window "$found" 187 530 click 1
for _ in $(seq 100); do kill -0 "$program" 2>/dev/null || break; sleep 0.1; done
if kill -0 "$program" 2>/dev/null; then
  kill "$program"; echo "FAIL: the exit button did not end the program"; exit 1
fi
echo "the package installed and the program started from its menu entry; screenshot: $shot"
