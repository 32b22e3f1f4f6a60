"""End-to-end tests of the channel toolkit: trees made by zrq-channel, served by
nginx with deploy/nginx/file-host.conf, installed from by the real shell under
Wine, checked and probed. Inside the private namespace of tools/netns-run:

    tools/netns-run /usr/bin/python3 -m pytest tests/channel

They run apart from tests/e2e, whose Python file host holds the file host's
address for its whole session.
"""

import sys
from pathlib import Path

sys.path.insert(0, str(Path(__file__).resolve().parents[2] / "tools"))

from zrqtest.fixtures import build_paths, installer_bytes, namespace, prefix, tls, wine_template, work_dir, xvfb  # noqa: E402,F401,E501
from zrqtest.channel_fixtures import channel_shell, channel_tool, check_endpoint, check_host, release_exe  # noqa: E402,F401,E501
from zrqtest.loader_fault import pytest_runtest_makereport, pytest_runtest_protocol  # noqa: E402,F401
