"""pytest fixtures of the channel toolkit's end-to-end tests (imported by their
conftest beside the harness's own fixtures).

Session: channel_tool (runs zrq-channel), release_exe (the 32-bit shell whose
version resource `zrq-channel shell` reads), check_host (the test host's check
listener alone: nginx is the file host).
Per test: check_endpoint (check_host reset), channel_shell (starts the shell
under test in the test's prefix, without the Python file host).
"""

import json
import os
import subprocess
from pathlib import Path

import pytest

from .nginx import NGINX, FileHostSite, NginxFileHost  # noqa: F401  (re-exported for tests)
from .fixtures import serving
from .paths import REPO_ROOT, exe_bits
from .shell import ShellLauncher
from .testhost import HOSTS, TestHost


class ChannelTool:
    """zrq-channel as an operator runs it. Where the tests run the 64-bit shells
    (a machine that runs no 32-bit x86 code), `shell` and `check` are told to
    accept them."""

    def __init__(self, exe, shell_bits=32):
        self.exe = Path(exe)
        self.shell_bits = shell_bits

    def run(self, *args, timeout=120):
        args = [str(a) for a in args]
        if self.shell_bits == 64 and args[:1] in (["shell"], ["check"]) and "--help" not in args:
            args.append("--allow-64-bit")
        return subprocess.run([str(self.exe), *args], stdin=subprocess.DEVNULL,
                              stdout=subprocess.PIPE, stderr=subprocess.PIPE, timeout=timeout)

    def ok(self, *args):
        """Runs a command that must succeed; its standard output as text."""
        result = self.run(*args)
        assert result.returncode == 0, (args, result.stdout.decode(), result.stderr.decode())
        return result.stdout.decode()

    def report(self, *args, expect=None):
        """Runs a command with --json; (exit code, report). expect checks the code."""
        result = self.run(*args, "--json")
        if expect is not None:
            assert result.returncode == expect, (args, result.stdout.decode(),
                                                 result.stderr.decode())
        return result.returncode, json.loads(result.stdout.decode())


@pytest.fixture(scope="session")
def channel_tool():
    exe = Path(os.environ.get("ZRQ_CHANNEL_EXE") or
               REPO_ROOT / "build" / "native" / "tools" / "channel" / "zrq-channel")
    if not os.access(str(exe), os.X_OK):
        pytest.fail("zrq-channel not built (%s): cmake --preset native && cmake --build "
                    "--preset native; ZRQ_CHANNEL_EXE names another" % exe, pytrace=False)
    if not os.access(NGINX, os.X_OK):
        pytest.fail("nginx is required (Debian package nginx)", pytrace=False)
    release = release_exe_path()
    return ChannelTool(exe, exe_bits(release) if release.is_file() else 32)


def built_path(variable, default):
    """A build's exe: the one the variable names, by default build/<default>."""
    return Path(os.environ.get(variable) or REPO_ROOT / "build" / default)


def built_exe(variable, default):
    exe = built_path(variable, default)
    if not exe.is_file():
        pytest.fail("%s is missing: scripts/build.sh builds it; %s names another" % (
            exe, variable), pytrace=False)
    return exe


def release_exe_path():
    """The release shell the tests publish: ZRQ_RELEASE_EXE, by default the 32-bit one."""
    return built_path("ZRQ_RELEASE_EXE", "i686/src/zrq-setup.exe")


@pytest.fixture(scope="session")
def release_exe():
    return built_exe("ZRQ_RELEASE_EXE", "i686/src/zrq-setup.exe")


@pytest.fixture(scope="session")
def check_host(namespace, tls):
    host = serving(TestHost(tls.server_cert, tls.server_key, listeners={"check": HOSTS["check"]}),
                   "the check address")
    yield host
    host.stop()


@pytest.fixture
def check_endpoint(check_host):
    """The check endpoint with every check authorized and an empty log."""
    check_host.reset()
    yield check_host
    check_host.reset()


@pytest.fixture
def channel_shell(prefix, build_paths):
    """channel_shell.start(name=..., exe=...): the shell under test in this prefix."""
    launcher = ShellLauncher(prefix, build_paths.shell_exe, build_paths.winctl)
    yield launcher
    launcher.cleanup()
