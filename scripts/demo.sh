#!/usr/bin/env bash
# A local demo install: builds the shell and a sample game installer, serves a
# sample package from the project's local HTTPS file host and runs
# Sample_Setup_pc1001.exe under Wine (on your display, or on Xvfb without one).
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh
cmake --preset x64 >/dev/null
cmake --build --preset x64 -j"${ZRQ_JOBS:-2}" --target zrq-setup winctl ca-install test-installer
export ZRQ_BUILD_DIR="$PWD/build/x64"
exec tools/netns-run /usr/bin/python3 tools/demo/demo.py "$@"
