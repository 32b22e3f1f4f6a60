#!/usr/bin/env bash
# Builds the 32-bit release shell twice, from two copies of the working tree at
# different paths, in clean build directories, under different time zones and
# umasks, and compares the SHA-256 of the two unsigned exes. Channels publish
# that digest in the shell manifest, so it must not depend on where or when the
# build ran.
#
#   scripts/check-reproducible.sh [-DNAME=VALUE...]   (passed to both configures)
#
# Prints "reproducible <sha256>" and exits 0, or shows where the exes differ and
# exits 1.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD
jobs=${ZRQ_JOBS:-2}

work=$(mktemp -d /tmp/zrq-repro.XXXXXX)
trap 'rm -rf "$work"' EXIT

build() {  # source dir, build dir, time zone, umask
  mkdir -p "$1"
  tar -C "$root" --exclude=./build --exclude=./.git -cf - . | tar -C "$1" -xf -
  (
    umask "$4"
    export TZ="$3"
    cmake -S "$1" --preset i686 -B "$2" "${@:5}" >/dev/null
    cmake --build "$2" --target zrq-setup -j"$jobs" >/dev/null
  )
}

build "$work/one/src" "$work/one/build" UTC 022 "$@"
build "$work/second-copy/tree" "$work/second-copy/tree/out/rel" Asia/Shanghai 077 "$@"

a="$work/one/build/src/zrq-setup.exe"
b="$work/second-copy/tree/out/rel/src/zrq-setup.exe"
sum_a=$(sha256sum "$a" | cut -d' ' -f1)
sum_b=$(sha256sum "$b" | cut -d' ' -f1)
echo "first  $sum_a $(stat -c %s "$a") bytes"
echo "second $sum_b $(stat -c %s "$b") bytes"
if [ "$sum_a" != "$sum_b" ]; then
  echo "not reproducible; first differing bytes (offset, octal values):" >&2
  cmp -l "$a" "$b" | head -20 >&2 || true
  exit 1
fi
echo "reproducible $sum_a"
