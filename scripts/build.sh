#!/usr/bin/env bash
# Builds the native toolkit (zrq-channel, the shell's decision code and their
# unit tests), the decision code's fuzz targets (clang, sanitizers), the 64-bit
# test shell (with its unit tests and tools), the second test shell that
# announces itself as version 3, and the 32-bit release shell.
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

cmake --preset x64 -B build/x64-v3 -DBUILD_TESTING=OFF -DZRQ_SHELL_VERSION_CODE=3 >/dev/null
cmake --build build/x64-v3 --target zrq-setup -j"$jobs"

cmake --preset i686 >/dev/null
cmake --build --preset i686 -j"$jobs"
