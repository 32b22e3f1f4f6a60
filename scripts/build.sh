#!/usr/bin/env bash
# Builds the native toolkit (zrq-channel, the shell's decision code and their
# unit tests), the decision code's fuzz targets (clang, sanitizers), the 64-bit
# test build (the unit tests under Wine 8, the shell for what only a 64-bit run
# shows, and the end-to-end tests' shell where no 32-bit code runs), the 32-bit
# release shell, the 32-bit test build (the shell with its test seams and the
# 32-bit test tools, for the end-to-end tests), the 32-bit release build with
# a channel's keys (the test keys), and in every shell build the version-3
# shell the self-update tests update to.
#   scripts/build.sh              all of these
#   scripts/build.sh x64-release  only the 64-bit release builds, key-less and
#                                 keyed, with their v3s, which the tests run in
#                                 place of the 32-bit ones on a machine that runs
#                                 no 32-bit x86 code
set -euo pipefail
cd "$(dirname "$0")/.."
jobs=${ZRQ_JOBS:-2}
if [ "${1:-}" = x64-release ]; then
  for preset in x64-release x64-keyed; do
    cmake --preset $preset -DZRQ_EXTRA_SHELL_VERSION_CODES=3 >/dev/null
    cmake --build --preset $preset -j"$jobs"
  done
  exit 0
fi
# Test discovery runs the unit tests under Wine; use the prefix the test run uses.
export WINEPREFIX="${ZRQ_UNIT_PREFIX:-$PWD/build/wine-unit}"

cmake --preset native >/dev/null
cmake --build --preset native -j"$jobs"

cmake --preset fuzz >/dev/null
cmake --build --preset fuzz -j"$jobs"

# Each with a version-3 shell beside the shell (src/zrq-setup-v3.exe): the same
# objects but the few that know the version code.
# The test builds also make each shell's twin with the test channel keys
# (zrq-setup-keyed.exe, zrq-setup-keyed-v3.exe) for the signing tests.
test_keys="-DZRQ_TEST_CHANNEL_KEYS=$PWD/tests/keys/test-channel-1.pub.pem;$PWD/tests/keys/test-channel-2.pub.pem"
cmake --preset x64 -DZRQ_EXTRA_SHELL_VERSION_CODES=3 "$test_keys" >/dev/null
cmake --build --preset x64 -j"$jobs"

cmake --preset i686 -DZRQ_EXTRA_SHELL_VERSION_CODES=3 >/dev/null
cmake --build --preset i686 -j"$jobs"

cmake --preset i686-test -DZRQ_EXTRA_SHELL_VERSION_CODES=3 "$test_keys" >/dev/null
cmake --build --preset i686-test -j"$jobs"

# The release sources as a channel builds them with its keys (the test keys).
cmake --preset i686-keyed -DZRQ_EXTRA_SHELL_VERSION_CODES=3 >/dev/null
cmake --build --preset i686-keyed -j"$jobs"
