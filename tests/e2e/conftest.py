"""End-to-end tests: the real shell under Wine and Xvfb against the local HTTPS
host, inside the private namespace made by tools/netns-run:

    tools/netns-run /usr/bin/python3 -m pytest tests/e2e

The fixtures (prefix, host, shell, driver, ...) live in tools/zrqtest/fixtures.py.
"""

import sys
from pathlib import Path

sys.path.insert(0, str(Path(__file__).resolve().parents[2] / "tools"))

from zrqtest.fixtures import *  # noqa: E402,F401,F403
from zrqtest.loader_fault import pytest_runtest_makereport, pytest_runtest_protocol  # noqa: E402,F401


def pytest_configure(config):
    config.addinivalue_line("markers", "dpi(value): run the shell at this system DPI")
