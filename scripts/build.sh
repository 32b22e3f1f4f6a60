#!/usr/bin/env bash
# Builds the native toolkit (zrq-channel, the shell's decision code and their
# unit tests), the decision code's fuzz targets (clang, sanitizers), the 64-bit
# test build (the unit tests under Wine 8, and the shell for what only a 64-bit
# run shows), the 32-bit release shell, the 32-bit test build (the shell with
# its test seams and the 32-bit test tools, for the end-to-end tests), and in
# both 32-bit builds the version-3 shell the self-update tests update to.
set -euo pipefail
cd "$(dirname "$0")/.."
jobs=${ZRQ_JOBS:-2}
# Test discovery runs the unit tests under Wine; use the prefix the test run uses.
export WINEPREFIX="${ZRQ_UNIT_PREFIX:-$PWD/build/wine-unit}"

cmake --preset native >/dev/null
cmake --build --preset native -j"$jobs"

cmake --preset fuzz >/dev/null
cmake --build --preset fuzz -j"$jobs"

cmake --preset x64 >/dev/null
cmake --build --preset x64 -j"$jobs"

# Each with a version-3 shell beside the shell (src/zrq-setup-v3.exe): the same
# objects but the few that know the version code.
cmake --preset i686 -DZRQ_EXTRA_SHELL_VERSION_CODES=3 >/dev/null
cmake --build --preset i686 -j"$jobs"

cmake --preset i686-test -DZRQ_EXTRA_SHELL_VERSION_CODES=3 >/dev/null
cmake --build --preset i686-test -j"$jobs"
