#!/usr/bin/env bash
# Runs every test: installs what is missing, builds (scripts/build.sh) while the
# WoW64 root is made or found (tools/wow64/make-root), then runs the native unit
# tests, a short fuzzing of every decision rule (seeds replayed first), the unit
# tests under Wine 8, the checks of the built exes, the end-to-end tests of the
# 32-bit shell under Wine 10's WoW64 mode (real shell, Xvfb, local HTTPS
# servers; the channel toolkit against nginx; the exact release exe; a soak),
# and what only the 64-bit test shell shows under Wine 8. Everything that
# reaches a network runs in a private network namespace.
#
# On a machine that runs no 32-bit x86 code (tools/wow64/probe says which; so
# does ZRQ_FORCE_64BIT=1 on any machine) every test that starts the shell runs
# the 64-bit builds in the same root instead: the test build, its v3 and a
# 64-bit release build. The checks of the 32-bit exe's file run on both paths.
set -uo pipefail
cd "$(dirname "$0")/.."
repo=$PWD

scripts/setup.sh || exit 1
started=$(date +%s)
mkdir -p build
# Mostly downloading and unpacking: it runs beside the compilers.
tools/wow64/make-root >build/wow64-root.path 2>build/wow64-root.log &
root_job=$!
scripts/build.sh || exit 1
echo "== build took $(( $(date +%s) - started )) s"

failed=0
ctest --preset native -j2 || failed=1
# Every seed replayed, then 15 s of fuzzing per target, two at a time (about 2 min).
fuzz_started=$(date +%s)
scripts/fuzz.sh --no-build --seconds 15 --jobs 2 || failed=1
echo "== fuzzing took $(( $(date +%s) - fuzz_started )) s"

export WINEPREFIX="${ZRQ_UNIT_PREFIX:-$repo/build/wine-unit}"
ctest --preset x64 -j2 || failed=1
/usr/lib/wine/wineserver -k 2>/dev/null || true
unset WINEPREFIX

export ZRQ_RELEASE_EXE="$repo/build/i686/src/zrq-setup.exe"
export ZRQ_RELEASE_V3_EXE="$repo/build/i686/src/zrq-setup-v3.exe"
export ZRQ_CHANNEL_EXE="$repo/build/native/tools/channel/zrq-channel"
ZRQ_SHELL_EXE="$repo/build/x64/src/zrq-setup.exe" \
  /usr/bin/python3 -m pytest tests/release -p no:cacheprovider || failed=1

if ! wait "$root_job"; then
  cat build/wow64-root.log >&2
  echo "== the WoW64 root could not be made: the 32-bit end-to-end tests did not run" >&2
  exit 1
fi
root=$(tail -n 1 build/wow64-root.path)
echo "== WoW64 root: $root ($(tail -n 1 build/wow64-root.log))"
machine=$(tools/wow64/probe "$root")
case $? in
  0) bits=32 shell_build=i686-test release_build=i686 keyed_build=i686-keyed ;;
  1) bits=64 shell_build=x64 release_build=x64-release keyed_build=x64-keyed ;;
  *) echo "== $machine" >&2; exit 1 ;;
esac
bits_line="$machine: the end-to-end tests ran the $bits-bit build"
echo "== $bits_line"
if [ $bits = 64 ]; then
  scripts/build.sh x64-release || exit 1
fi

# The 32-bit shell players get, in its test build, under Wine 10's WoW64 mode
# (or the 64-bit one, see above): every end-to-end test, in two halves side by
# side. Beside them, the two lighter suites. Each runs in a network namespace of
# its own (so their servers never meet) and writes its own log; the logs
# follow, in this order.
e2e_started=$(date +%s)
export ZRQ_BUILD_DIR="$repo/build/$shell_build"
export ZRQ_SHELL_EXE="$repo/build/$shell_build/src/zrq-setup.exe"
export ZRQ_SHELL_V3_EXE="$repo/build/$shell_build/src/zrq-setup-v3.exe"
export ZRQ_RELEASE_EXE="$repo/build/$release_build/src/zrq-setup.exe"
export ZRQ_RELEASE_V3_EXE="$repo/build/$release_build/src/zrq-setup-v3.exe"
export ZRQ_KEYED_RELEASE_EXE="$repo/build/$keyed_build/src/zrq-setup.exe"
export ZRQ_KEYED_RELEASE_V3_EXE="$repo/build/$keyed_build/src/zrq-setup-v3.exe"
# The first half: most of the files that run the shell many times per test;
# the halves take about 340 and 380 s on a 2-core machine.
first_half=(test_hostile_host.py test_self_update.py test_killed.py test_many_at_once.py
            test_dll_planting.py test_locks_and_directories.py)
first=() second=()
for file in tests/e2e/test_*.py; do
  case " ${first_half[*]} " in
    *" ${file##*/} "*) first+=("$file") ;;
    *) second+=("$file") ;;
  esac
done
jobs_=() logs=() titles=()
suite() {  # suite TITLE LOG COMMAND...
  titles+=("$1") logs+=("build/$2")
  shift 2
  "$@" >"${logs[-1]}" 2>&1 &
  jobs_+=($!)
}
suite "tests/e2e, first half ($bits-bit shell, Wine 10 WoW64)" e2e-first.log \
  tools/wow64/run "$root" tools/netns-run /usr/bin/python3 -m pytest "${first[@]}" \
  -p no:cacheprovider "$@"
suite "tests/e2e, second half ($bits-bit shell, Wine 10 WoW64)" e2e-second.log \
  tools/wow64/run "$root" tools/netns-run /usr/bin/python3 -m pytest "${second[@]}" \
  -p no:cacheprovider "$@"
# The channel toolkit's: nginx is the file host there. The exact release exe
# installs from it too. Then the harness's own tests, and what only the 64-bit
# test shell under Wine 8 shows: the error Windows gives for starting a file
# that is no program (Wine 10 gives another), and installs by the 64-bit build
# of the same sources.
lighter() {
  local rc=0
  echo "== tests/channel ($bits-bit shell and release exe, nginx, Wine 10 WoW64)"
  tools/wow64/run "$root" tools/netns-run /usr/bin/python3 -m pytest tests/channel \
    -p no:cacheprovider || rc=1
  echo "== tools/zrqtest/tests (the harness's own: the test host's answers, loader faults)"
  tools/wow64/run "$root" tools/netns-run /usr/bin/python3 -m pytest tools/zrqtest/tests \
    -p no:cacheprovider || rc=1
  echo "== the 64-bit test shell under Wine 8"
  ZRQ_BUILD_DIR="$repo/build/x64" ZRQ_SHELL_EXE="$repo/build/x64/src/zrq-setup.exe" \
    tools/netns-run /usr/bin/python3 -m pytest -p no:cacheprovider \
    tests/e2e/test_channel_record.py::test_installer_that_cannot_start_restores_the_record \
    tests/e2e/test_install.py || rc=1
  return $rc
}
suite "the lighter suites" lighter.log lighter
for i in "${!jobs_[@]}"; do
  wait "${jobs_[$i]}" || failed=1
  echo "== ${titles[$i]}"
  cat "${logs[$i]}"
done
echo "== the suites side by side took $(( $(date +%s) - e2e_started )) s"
# 100 installs in a row in one prefix, alone: prints time per run and peak memory.
tools/wow64/run "$root" tools/netns-run /usr/bin/python3 tools/soak/soak.py --runs 100 || failed=1
echo "== end-to-end tests took $(( $(date +%s) - e2e_started )) s"

echo "== tests took $(( $(date +%s) - started )) s in all"
echo "== $bits_line"
exit $failed
