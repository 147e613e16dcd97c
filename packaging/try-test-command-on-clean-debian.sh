#!/usr/bin/env bash
# Runs the README's test command on a new Debian 12: a clean clone of the project, in a fresh copy
# of a minimal Debian 12 tree made with debootstrap (made on the first run and kept, untouched,
# as the base of every later copy), as root, as a new user would run it on a new machine. Every
# package is installed by the project's own scripts/setup.sh inside the tree. Reports each stage
# with its time. It is a release check, not part of the test command. Needs root, debootstrap,
# git, unshare and ip, and the Debian mirror.
#
# The tests run in a network namespace of their own with only a loopback: the tree shares this
# machine's network otherwise, and its X servers' abstract sockets and the demo's fixed port would
# meet those of the tests that run here at the same time. Only setup.sh, which runs first, uses
# the network (test.sh's own setup stage then finds everything installed).
#
# Usage: try-test-command-on-clean-debian.sh [--display-only N] [git ref or repository]
#   --display-only N   build only what the display runs need and run them (CTest labels x11 and
#                      wayland, side by side as the test command runs them) N times in a row
#   ref or repository  a commit, branch or tag of this repository (default HEAD), or a
#                      repository (folder or URL) whose default branch is cloned
# The tree is kept in $CINEVARTA_CLEAN_DIR (default /var/tmp/cinevarta-fresh): base/ is the
# debootstrap tree, tree/ the copy of the last run, with the clone in tree/root/cinevarta.
set -uo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
runs=0
if [ "${1:-}" = --display-only ]; then
  runs=${2:?--display-only needs a number of runs}
  shift 2
fi
source_arg=${1:-HEAD}
dir=${CINEVARTA_CLEAN_DIR:-/var/tmp/cinevarta-fresh}
base=$dir/base tree=$dir/tree clone=/root/cinevarta

[ "$(id -u)" -eq 0 ] || { echo "needs root (debootstrap, chroot and mounts)"; exit 1; }
for tool in debootstrap git unshare ip; do
  command -v "$tool" >/dev/null || { echo "needs $tool"; exit 1; }
done

names=() results=()
report() {
  local i failed=0
  echo "=== stages"
  for i in "${!names[@]}"; do
    printf '%-28s %s\n' "${names[$i]}" "${results[$i]}"
    [[ ${results[$i]} == failed* ]] && failed=1
  done
  return $failed
}
# Runs a stage; a failed one ends the check, as the later ones need it.
stage() {  # name command...
  local name=$1 start rc
  shift
  echo "=== $name"
  start=$SECONDS
  "$@"
  rc=$?
  names+=("$name")
  if [ $rc -eq 0 ]; then
    results+=("passed ($(minutes $((SECONDS - start))))")
  else
    results+=("failed with status $rc ($(minutes $((SECONDS - start))))")
    report
    exit 1
  fi
}
minutes() { printf '%d min %02d s' $(($1 / 60)) $(($1 % 60)); }

mounted=()
unmount_all() {
  local m
  for m in "${mounted[@]}"; do umount -l "$m" 2>/dev/null; done
  mounted=()
}
trap unmount_all EXIT
mount_in() {  # mount arguments... target-inside-the-tree
  local target=$tree${!#}
  mkdir -p "$target"
  mount "${@:1:$#-1}" "$target" && mounted=("$target" "${mounted[@]}")
}

make_base() {
  [ -x "$base/usr/bin/apt-get" ] && { echo "kept from an earlier run: $base"; return 0; }
  rm -rf "$base"
  debootstrap --variant=minbase bookworm "$base" http://deb.debian.org/debian
}
# A fresh copy of the base, with what a running machine has mounted: processes, devices, pseudo
# terminals, shared memory (Xvfb, Qt), and a /tmp of its own (X's sockets, the runs' files).
copy_tree() {
  unmount_all
  rm -rf --one-file-system "$tree" && cp -a "$base" "$tree" || return 1
  cp /etc/resolv.conf "$tree/etc/resolv.conf"
  mount_in -t proc proc /proc && mount_in -t sysfs -o ro sysfs /sys &&
    mount_in --bind /dev /dev && mount_in --bind /dev/pts /dev/pts &&
    mount_in -t tmpfs -o mode=1777 tmpfs /dev/shm && mount_in -t tmpfs -o mode=1777 tmpfs /tmp &&
    mount_in -t tmpfs -o mode=755 tmpfs /run
}
# The clone is made here (the tree has no git yet) and copied in: a clone, not the working
# folder, so that only what is committed is tried.
clone_project() {
  local from=$here ref=$source_arg
  if [ -d "$source_arg" ] || [[ $source_arg == *://* || $source_arg == *@*:* ]]; then
    from=$source_arg ref=
  fi
  git clone --quiet --no-local "$from" "$tree$clone" || return 1
  if [ -n "$ref" ]; then
    git -C "$tree$clone" checkout --quiet --detach "$(git -C "$here" rev-parse "$ref^{commit}")" ||
      return 1
  fi
  git -C "$tree$clone" log -1 --format='%h %s'
}
# A command in the tree, as root in a login-like environment.
in_tree() {  # command...
  chroot "$tree" env -i HOME=/root PATH=/usr/local/sbin:/usr/local/bin:/usr/sbin:/usr/bin:/sbin:/bin \
    LANG=C.UTF-8 TERM="${TERM:-dumb}" "$@"
}
# ...without the network: only a loopback of its own.
offline_in_tree() {  # command...
  unshare --net bash -c 'ip link set lo up && exec "$@"' _ \
    chroot "$tree" env -i HOME=/root PATH=/usr/local/sbin:/usr/local/bin:/usr/sbin:/usr/bin:/sbin:/bin \
    LANG=C.UTF-8 TERM="${TERM:-dumb}" "$@"
}
display_runs() {
  local i failed=0
  for ((i = 1; i <= runs; i++)); do
    echo "--- display runs, $i of $runs"
    offline_in_tree sh -c "cd $clone/build && ctest -L 'x11|wayland' --output-on-failure -j\$(nproc)" ||
      failed=$((failed + 1))
  done
  echo "display runs: $((runs - failed)) of $runs passed"
  [ $failed -eq 0 ]
}

stage "Debian 12 tree (debootstrap)" make_base
stage "fresh copy of the tree" copy_tree
stage "clean clone" clone_project
stage "setup.sh (with the network)" in_tree "$clone/scripts/setup.sh"
if [ "$runs" -gt 0 ]; then
  stage "build of the display runs" offline_in_tree sh -c \
    "cd $clone && cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null &&
     cmake --build build -j\$(nproc) --target display_runs"
  stage "display runs x $runs" display_runs
else
  stage "scripts/test.sh" offline_in_tree "$clone/scripts/test.sh"
fi
report
