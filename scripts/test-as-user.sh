#!/usr/bin/env bash
# The tests whose outcome hangs on permissions, run again as an unprivileged user (nobody). Root,
# who runs the suite here and in CI, passes every permission check, so a read-only or unreadable
# favourites file means nothing to it. Run as another user, this does nothing: the suite has just
# run unprivileged.
#
# The user may not reach the build or the source tree (a clone in a private folder), nor write
# there: the test programs and their data are copied into a folder of the user's own, and the
# tests are told where through CINEVARTA_TEST_DATA_DIR, CINEVARTA_TEST_OUTPUT_DIR and TMPDIR.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${CINEVARTA_BUILD_DIR:-$root/build}
if [ "$(id -u)" -ne 0 ]; then
  echo "test-as-user: the suite already ran as $(id -un); nothing more to run"
  exit 0
fi
user=nobody
group=$(id -gn "$user")
stage=$(mktemp -d /tmp/cinevarta-user-XXXXXX)
trap 'rm -rf "$stage"' EXIT
mkdir -p "$stage/bin" "$stage/data" "$stage/work" "$stage/output" "$stage/runtime"
cp "$build/tests/test_favourites" "$build/tests/test_whole" "$stage/bin/"
cp -r "$root/tests/data/e2e" "$stage/data/"
chown -R "$user:$group" "$stage"
chmod 755 "$stage"
chmod 700 "$stage/runtime"

as_user() {
  (cd "$stage/work" && setpriv --reuid="$user" --regid="$group" --clear-groups \
    env HOME="$stage" TMPDIR="$stage/work" XDG_RUNTIME_DIR="$stage/runtime" \
    CINEVARTA_TEST_DATA_DIR="$stage/data" CINEVARTA_TEST_OUTPUT_DIR="$stage/output" \
    QT_QPA_PLATFORM=offscreen "$@")
}

echo "test-as-user: the favourites tests and the favourites' fault tests as $user"
# The bad-input tests read odd files, which permissions do not change; they are left to root's run.
# The crash test runs its unprivileged row itself, as nobody under strace, from root's run.
as_user "$stage/bin/test_favourites" --gtest_filter='-FavouritesBadInput.*:FavouritesCutShort.*' |
  tee "$stage/favourites.log"
as_user "$stage/bin/test_whole" \
  --gtest_filter='WholeFaults.*Salvar*:WholeFaults.AFavourites*:WholeFaults.ADiskThatFillsUp*'
# A run that was not really unprivileged would skip these rows instead of passing them.
for row in Unreadable WritableInAReadOnlyFolder; do
  if ! grep -q "^\[       OK \] .*/$row " "$stage/favourites.log"; then
    echo "test-as-user: the condition $row did not run as $user" >&2
    exit 1
  fi
done
