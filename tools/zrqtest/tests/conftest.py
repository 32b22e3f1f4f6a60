"""Checks of the harness itself (run: tools/netns-run /usr/bin/python3 -m pytest tools/zrqtest/tests)."""

import sys
from pathlib import Path

sys.path.insert(0, str(Path(__file__).resolve().parents[2]))

from zrqtest.fixtures import *  # noqa: E402,F401,F403
