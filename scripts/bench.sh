#!/usr/bin/env bash
# Measures the shell under Wine and prints every figure with its goal: the
# shell's own part of the time to its window, per-byte throughput against a
# minimal reference client as nginx (the project's server block) sees it, the
# fixed cost of a session, peak memory, Cancel to exit, a download cut every
# tenth of the file against a clean one, exe sizes, all for the 64-bit test
# build under Wine 8; then the window, the throughput, the session's cost,
# memory and the cut download of the 32-bit shell under Wine 10's WoW64 mode
# (tools/wow64); for both, what checking a channel's signatures adds before the
# download. The 32-bit section is skipped with a line saying so on a machine
# that runs no 32-bit x86 code (tools/wow64/probe).
# Not part of the tests; takes ~15 minutes with the defaults (5 runs of each, a
# 1 GiB installer).
#
#   scripts/bench.sh [--runs N] [--size-mib M] [--only a,b,...]
#
# ZRQ_BUILD_DIR picks another 64-bit build directory (default build/x64),
# ZRQ_RELEASE_EXE another 32-bit exe (default build/i686/src/zrq-setup.exe).
set -euo pipefail
cd "$(dirname "$0")/.."
jobs=${ZRQ_JOBS:-2}
tools=(zrq-setup zrq-setup-keyed zrq-bench-client zrq-bench-window winctl ca-install test-installer)
# The shells built with the test channel keys beside the key-less ones.
test_keys="-DZRQ_TEST_CHANNEL_KEYS=$PWD/tests/keys/test-channel-1.pub.pem;$PWD/tests/keys/test-channel-2.pub.pem"

scripts/setup.sh
build=${ZRQ_BUILD_DIR:-build/x64}
cmake --preset x64 -B "$build" "$test_keys" >/dev/null
cmake --build "$build" -j"$jobs" --target "${tools[@]}"
if [ -z "${ZRQ_RELEASE_EXE:-}" ]; then
  cmake --preset i686 >/dev/null
  cmake --build --preset i686 -j"$jobs" --target zrq-setup
fi
cmake --preset i686-test "$test_keys" >/dev/null
cmake --build --preset i686-test -j"$jobs" --target "${tools[@]}"
root=$(tools/wow64/make-root | tail -n 1)

export ZRQ_BUILD_DIR="$PWD/$build"
[ "${build#/}" != "$build" ] && export ZRQ_BUILD_DIR="$build"
unset ZRQ_SHELL_EXE
echo "== the 64-bit test build under Wine 8"
tools/netns-run /usr/bin/python3 tools/bench/bench.py "$@"
status=0
machine=$(tools/wow64/probe "$root") || status=$?
if [ $status -ne 0 ]; then
  echo "== $machine: the bench skips its 32-bit section"
  exit 0
fi
echo "== the 32-bit shell under Wine 10's WoW64 mode"
ZRQ_BUILD_DIR="$PWD/build/i686-test" tools/wow64/run "$root" \
  tools/netns-run /usr/bin/python3 tools/bench/bench.py --only window,throughput,memory,resume,signing "$@"
