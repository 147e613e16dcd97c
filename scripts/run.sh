#!/usr/bin/env bash
# The README's first command: installs what is missing, builds, starts the local sample site and
# opens cinevarta-demo on it; the server stops when the program ends.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${CINEVARTA_BUILD_DIR:-$root/build}
"$root/scripts/setup.sh"
"$root/scripts/build.sh"
port=$(grep -E '^CINEVARTA_DEMO_PORT' "$build/CMakeCache.txt" | cut -d= -f2)
workdir=${CINEVARTA_DEMO_DIR:-$build/demo}
mkdir -p "$workdir"
"$build/tools/sample-server" "$root/sample-site" "$port" >"$workdir/requests.log" 2>&1 &
server=$!
trap 'kill $server 2>/dev/null || true' EXIT
cd "$workdir"
"$build/cinevarta-demo"
