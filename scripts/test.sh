#!/usr/bin/env bash
# The README's test command: installs what is missing, builds, and runs every test headless.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${CINEVARTA_BUILD_DIR:-$root/build}
"$root/scripts/setup.sh"
"$root/scripts/build.sh"
export QT_QPA_PLATFORM=offscreen
cd "$build"
ctest --output-on-failure -j"$(nproc)"
# When run as root: the permission-bound tests again as an unprivileged user.
"$root/scripts/test-as-user.sh"
# Static checks of the project's own code, then the whole suite again under ASan and UBSan.
"$root/scripts/static-checks.sh"
"$root/scripts/sanitize.sh"
# A short run of every fuzz target, with sanitizers.
"$root/scripts/fuzz.sh" "${CINEVARTA_FUZZ_SECONDS:-15}"
