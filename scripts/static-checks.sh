#!/usr/bin/env bash
# cppcheck and clang-tidy on the project's own code (app, program, sources, card, favourites,
# services, tools), and the layers' direction; any finding fails the run. clang-tidy reads the compile commands of a configured build
# (build/ or $CINEVARTA_BUILD_DIR; configured here if it is missing) and the checks in .clang-tidy.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${CINEVARTA_BUILD_DIR:-$root/build}
dirs=(app program sources card favourites services tools)
jobs=$(nproc)

if [ ! -f "$build/compile_commands.json" ]; then
  cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
fi
# The generated host constants and Qt's moc output are part of the build, not of the project.
cmake --build "$build" --target cv_hosts_release >/dev/null

mapfile -t sources < <(cd "$root" && find "${dirs[@]}" -name '*.cpp' 2>/dev/null | sort)
[ ${#sources[@]} -gt 0 ] || { echo "static checks: no sources found"; exit 1; }

status=0
# The layers point down only: app/ is the top, and nothing below it includes one of its headers.
up=$(cd "$root" && grep -rnE '#include "app/' program sources card favourites services || true)
if [ -n "$up" ]; then
  printf '%s\n' "$up"
  echo "static checks: the lines above include the top of the program from below it"
  status=1
fi
echo "static checks: cppcheck on ${#sources[@]} files"
# missingIncludeSystem: the standard and Qt headers are not given to cppcheck, which would
# otherwise parse all of Qt; its qt library file describes Qt's macros instead.
if ! (cd "$root" && cppcheck --quiet --std=c++20 --language=c++ --library=qt \
        --enable=warning,performance,portability --inline-suppr --error-exitcode=1 \
        --suppress=missingIncludeSystem --suppress=unmatchedSuppression \
        -I "$root" -I "$build/generated" -j "$jobs" "${sources[@]}"); then
  echo "static checks: cppcheck found the problems above"
  status=1
fi

echo "static checks: clang-tidy on ${#sources[@]} files"
regex="^$root/($(IFS='|'; echo "${dirs[*]}"))/.*\\.cpp\$"
if ! run-clang-tidy -quiet -p "$build" -j "$jobs" "$regex" >"$build/clang-tidy.log" 2>&1; then
  sed 's/\x1b\[[0-9;]*m//g' "$build/clang-tidy.log" | grep -E '(warning|error):' | sort -u || true
  echo "static checks: clang-tidy found the problems above (whole log: $build/clang-tidy.log)"
  status=1
fi
[ $status -eq 0 ] && echo "static checks: clean"
exit $status
