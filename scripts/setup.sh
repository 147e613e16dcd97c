#!/usr/bin/env bash
# Installs, on Debian 12, every package that building, testing and running Cinevarta needs and
# that is not installed yet. Does nothing (not even `apt-get update`) when all are present.
set -euo pipefail

packages=(
  g++ cmake make pkg-config
  qt6-base-dev qt6-base-dev-tools qt6-base-private-dev qt6-qpa-plugins qt6-wayland
  qt6-translations-l10n
  # GNOME's look for Qt programs (the Adwaita-Dark style): the program's colours are tested
  # under a style that paints with its own palette.
  adwaita-qt6
  libjpeg62-turbo-dev zlib1g-dev
  libgtest-dev libgmock-dev libbenchmark-dev
  libcpp-httplib-dev
  fonts-liberation fontconfig
  clang libclang-rt-14-dev
  poppler-utils
  xvfb openbox x11-utils xdotool xclip imagemagick weston
  adwaita-qt6  # a desktop style with a dark palette of its own, for the X run's dark pass
  dbus-daemon dbus-bin at-spi2-core
  cppcheck clang-tidy dpkg-dev file desktop-file-utils lintian appstream
  strace
)

missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed'; then
    missing+=("$p")
  fi
done

if [ ${#missing[@]} -eq 0 ]; then
  exit 0
fi

echo "setup: installing ${missing[*]}"
sudo=()
if [ "$(id -u)" -ne 0 ]; then sudo=(sudo); fi
export DEBIAN_FRONTEND=noninteractive
"${sudo[@]}" apt-get update -q
"${sudo[@]}" apt-get install -y -q --no-install-recommends "${missing[@]}"
