"""End-to-end tests: the real shell under Wine and Xvfb against the local HTTPS
host, inside the private namespace made by tools/netns-run:

    tools/netns-run /usr/bin/python3 -m pytest tests/e2e

The fixtures (prefix, host, shell, driver, ...) live in tools/zrqtest/fixtures.py.
"""

import sys
from pathlib import Path

import pytest

sys.path.insert(0, str(Path(__file__).resolve().parents[2] / "tools"))

from zrqtest.fixtures import *  # noqa: E402,F401,F403
from zrqtest.loader_fault import pytest_runtest_makereport, pytest_runtest_protocol  # noqa: E402,F401


def pytest_configure(config):
    config.addinivalue_line("markers", "dpi(value): run the shell at this system DPI")


@pytest.fixture(scope="session")
def v3_shell_bytes(build_paths):
    path = build_paths.shell_v3_exe
    if path is None or not Path(path).is_file():
        pytest.fail("the version-3 shell is missing: build it with "
                    "-DZRQ_EXTRA_SHELL_VERSION_CODES=3 (scripts/build.sh makes "
                    "build/i686-test/src/zrq-setup-v3.exe) and name it in ZRQ_SHELL_V3_EXE "
                    "(now %r)" % (str(path) if path else None), pytrace=False)
    return Path(path).read_bytes()


@pytest.fixture(scope="session")
def v2_shell_bytes(build_paths):
    return build_paths.shell_exe.read_bytes()
