#!/usr/bin/env bash
# Runs every test: installs what is missing, builds the native toolkit, the fuzz
# targets and both Windows architectures, runs the native unit tests, a short
# fuzzing of every decision rule (seeds replayed first), the unit tests under Wine,
# the end-to-end tests (real shell, Wine, Xvfb, local HTTPS servers) and the
# channel toolkit's end-to-end tests (nginx) inside private network namespaces.
set -uo pipefail
cd "$(dirname "$0")/.."
root=$PWD

scripts/setup.sh || exit 1
started=$(date +%s)
scripts/build.sh || exit 1
echo "== build took $(( $(date +%s) - started )) s"

failed=0
ctest --preset native -j2 || failed=1
# Every seed replayed, then 15 s of fuzzing per target, two at a time (about 2 min).
fuzz_started=$(date +%s)
scripts/fuzz.sh --no-build --seconds 15 --jobs 2 || failed=1
echo "== fuzzing took $(( $(date +%s) - fuzz_started )) s"

export WINEPREFIX="${ZRQ_UNIT_PREFIX:-$root/build/wine-unit}"
ctest --preset x64 -j2 || failed=1
/usr/lib/wine/wineserver -k 2>/dev/null || true
unset WINEPREFIX

export ZRQ_BUILD_DIR="$root/build/x64"
export ZRQ_SHELL_EXE="$root/build/x64/src/zrq-setup.exe"
export ZRQ_SHELL_V3_EXE="$root/build/x64-v3/src/zrq-setup.exe"
export ZRQ_RELEASE_EXE="$root/build/i686/src/zrq-setup.exe"
export ZRQ_CHANNEL_EXE="$root/build/native/tools/channel/zrq-channel"
tools/netns-run /usr/bin/python3 -m pytest tests/e2e tests/release -p no:cacheprovider "$@" || failed=1
# Apart, in a namespace of its own: there nginx is the file host, whose address
# the Python host of tests/e2e holds for its whole run.
tools/netns-run /usr/bin/python3 -m pytest tests/channel -p no:cacheprovider || failed=1
# 100 installs in a row in one prefix; prints time per run and peak memory.
tools/netns-run /usr/bin/python3 tools/soak/soak.py --runs 100 || failed=1

echo "== tests took $(( $(date +%s) - started )) s in all"
exit $failed
