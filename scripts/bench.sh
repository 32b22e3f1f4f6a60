#!/usr/bin/env bash
# Measures the shell under Wine and prints every figure with its goal: download
# throughput against a minimal reference client, peak memory, time to a visible
# window, Cancel to exit, exe sizes. Not part of the tests; takes ~10 minutes
# with the defaults (5 runs of each, a 1 GiB installer).
#
#   scripts/bench.sh [--runs N] [--size-mib M]
#
# ZRQ_BUILD_DIR picks another 64-bit build directory (default build/x64),
# ZRQ_RELEASE_EXE another 32-bit exe (default build/i686/src/zrq-setup.exe).
set -euo pipefail
cd "$(dirname "$0")/.."
jobs=${ZRQ_JOBS:-2}

scripts/setup.sh
build=${ZRQ_BUILD_DIR:-build/x64}
if [ ! -f "$build/CMakeCache.txt" ]; then
  cmake --preset x64 -B "$build" >/dev/null
fi
cmake --build "$build" -j"$jobs" --target zrq-setup zrq-bench-client zrq-bench-window winctl ca-install test-installer
if [ -z "${ZRQ_RELEASE_EXE:-}" ]; then
  cmake --preset i686 >/dev/null
  cmake --build --preset i686 -j"$jobs" --target zrq-setup
fi

export ZRQ_BUILD_DIR="$PWD/$build"
[ "${build#/}" != "$build" ] && export ZRQ_BUILD_DIR="$build"
unset ZRQ_SHELL_EXE
exec tools/netns-run /usr/bin/python3 tools/bench/bench.py "$@"
