#!/usr/bin/env bash
# A local demo install: builds the 32-bit shell and a sample game installer,
# serves a sample package from the project's local HTTPS file host and runs
# Sample_Setup_pc1001.exe under Wine 10's WoW64 mode, as 64-bit Windows runs it
# (on your display, or on Xvfb without one). The first run makes the WoW64 root
# (tools/wow64/make-root, a few minutes); later runs reuse it.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh
cmake --preset i686-test >/dev/null
cmake --build --preset i686-test -j"${ZRQ_JOBS:-2}" --target zrq-setup winctl ca-install test-installer
root=$(tools/wow64/make-root | tail -n 1)
export ZRQ_BUILD_DIR="$PWD/build/i686-test"
exec tools/wow64/run "$root" tools/netns-run /usr/bin/python3 tools/demo/demo.py "$@"
