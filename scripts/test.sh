#!/usr/bin/env bash
# The README's test command: installs what is missing, builds, and runs every test headless.
# Each stage runs even when an earlier one failed, so one run shows everything that is broken;
# a stage that needs an earlier one's result (the build) is skipped with that reason instead.
# It ends with one line per stage and fails when any stage failed. The table comes after the
# stages' own output, and a stage that ran CTest repeats CTest's closing line in its row, so that
# line is still among the last ones CI reads.
set -uo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${CINEVARTA_BUILD_DIR:-$root/build}
output=$(mktemp)
trap 'rm -f "$output"' EXIT

names=() results=()
# Runs one stage, or skips it with a reason when the stage it needs did not pass.
stage() {  # name needed-stage-or-"" command...
  local name=$1 needs=$2 start rc summary
  shift 2
  if [ -n "$needs" ] && [ "$(result_of "$needs")" != passed ]; then
    names+=("$name"); results+=("skipped: '$needs' did not pass")
    return
  fi
  echo "=== $name"
  start=$SECONDS
  "$@" 2>&1 | tee "$output"
  rc=${PIPESTATUS[0]}
  summary=$(grep -E '^[0-9]+% tests passed' "$output" | tail -n1)
  names+=("$name")
  if [ $rc -eq 0 ]; then
    results+=("passed ($((SECONDS - start)) s)${summary:+: $summary}")
  else
    results+=("failed with status $rc ($((SECONDS - start)) s)${summary:+: $summary}")
  fi
}
result_of() {  # name
  local i
  for i in "${!names[@]}"; do
    [ "${names[$i]}" = "$1" ] && { echo "${results[$i]%% *}"; return; }
  done
}
suite() { (cd "$build" && QT_QPA_PLATFORM=offscreen ctest --output-on-failure -j"$(nproc)"); }

stage setup "" "$root/scripts/setup.sh"
stage build setup "$root/scripts/build.sh"
stage "test suite" build suite
# When run as root: the permission-bound tests again as an unprivileged user.
stage "unprivileged tests" build "$root/scripts/test-as-user.sh"
# Static checks of the project's own code, then the whole suite again under ASan and UBSan.
stage "static checks" setup "$root/scripts/static-checks.sh"
stage sanitizers setup "$root/scripts/sanitize.sh"
# A short run of every fuzz target, with sanitizers.
stage fuzzing setup "$root/scripts/fuzz.sh" "${CINEVARTA_FUZZ_SECONDS:-15}"

echo "=== stages"
passed=0 failed=0
for i in "${!names[@]}"; do
  printf '%-20s %s\n' "${names[$i]}" "${results[$i]}"
  case ${results[$i]} in
    passed*) passed=$((passed + 1)) ;;
    failed*) failed=$((failed + 1)) ;;
  esac
done
echo "$passed passed, $failed failed, $((${#names[@]} - passed - failed)) skipped"
[ $failed -eq 0 ]
