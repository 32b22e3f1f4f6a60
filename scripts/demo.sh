#!/usr/bin/env bash
# A local demo install: builds the 32-bit shell and a sample game installer,
# serves a sample package from the project's local HTTPS file host and runs
# Sample_Setup_pc1001.exe under Wine 10's WoW64 mode, as 64-bit Windows runs it
# (on your display, or on Xvfb without one). The first run makes the WoW64 root
# (tools/wow64/make-root, a few minutes); later runs reuse it. On a machine
# that runs no 32-bit x86 code (tools/wow64/probe; ZRQ_FORCE_64BIT=1 anywhere)
# the demo runs the 64-bit build of the same shell in the same root.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh
root=$(tools/wow64/make-root | tail -n 1)
status=0
machine=$(tools/wow64/probe "$root") || status=$?
case $status in
  0) preset=i686-test; bits=32 ;;
  1) preset=x64; bits=64 ;;
  *) echo "demo: $machine" >&2; exit 1 ;;
esac
echo "$machine: the demo runs the $bits-bit build"
cmake --preset $preset >/dev/null
cmake --build --preset $preset -j"${ZRQ_JOBS:-2}" --target zrq-setup winctl ca-install test-installer
export ZRQ_BUILD_DIR="$PWD/build/$preset"
exec tools/wow64/run "$root" tools/netns-run /usr/bin/python3 tools/demo/demo.py "$@"
