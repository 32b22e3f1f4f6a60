"""pytest fixtures of the end-to-end harness (imported by the test suites' conftest).

Session: build_paths, namespace, tls, xvfb, wine_template, test_host, connect_proxy.
Per test: prefix (fresh copy of the template with its own wineserver), host (the
test host, reset), proxy (the web proxy, reset), shell (starts the shell under
test), driver (winctl).
Mark a test with @pytest.mark.dpi(144) to run it at 144 DPI.
"""

import shutil
import socket
import tempfile
import time
from pathlib import Path

import pytest

from . import BuildPaths, Driver, ShellLauncher, TestHost, Xvfb, build_template, make_tls_material
from .proxy import ConnectProxy
from .testhost import HOSTS

EXPECTED_ADDRESSES = {hostname: addr for addr, _, hostname in HOSTS.values()}


@pytest.fixture(scope="session")
def build_paths():
    paths = BuildPaths.from_env()
    missing = paths.missing()
    if missing:
        _missing(missing)
    return paths


def _missing(missing):
    pytest.fail("end-to-end prerequisites missing (build the x64 preset's zrq-setup, winctl, "
                "ca-install and test-installer; ZRQ_BUILD_DIR names the build directory, "
                "ZRQ_SHELL_EXE the shell under test):\n  " + "\n  ".join(missing), pytrace=False)


@pytest.fixture(scope="session")
def namespace():
    """Fails at once unless the test names resolve to their loopback addresses."""
    for name, addr in EXPECTED_ADDRESSES.items():
        try:
            got = socket.gethostbyname(name)
        except OSError:
            got = None
        if got != addr:
            pytest.fail("%s resolves to %s, not %s: run the tests inside tools/netns-run "
                        "(tools/netns-run /usr/bin/python3 -m pytest tests/e2e)" % (name, got, addr),
                        pytrace=False)


@pytest.fixture(scope="session")
def work_dir():
    d = Path(tempfile.mkdtemp(prefix="zrq-e2e-"))
    yield d
    shutil.rmtree(d, ignore_errors=True)


@pytest.fixture(scope="session")
def tls(work_dir):
    if not shutil.which("openssl"):
        pytest.fail("openssl (CLI) is required", pytrace=False)
    return make_tls_material(work_dir / "tls")


@pytest.fixture(scope="session")
def xvfb(work_dir):
    if not shutil.which("Xvfb"):
        pytest.fail("Xvfb is required (package xvfb)", pytrace=False)
    server = Xvfb(work_dir / "xvfb.log")
    server.start()
    yield server
    server.stop()


@pytest.fixture(scope="session")
def wine_template(build_paths, namespace, tls, xvfb, work_dir):
    return build_template(work_dir / "template", xvfb.display, build_paths.ca_install, tls.ca_cert)


def serving(server, what):
    """Starts a server of the harness; a test failure when its address is taken or
    missing, as it is outside tools/netns-run."""
    try:
        server.start()
    except OSError as e:
        pytest.fail("cannot listen on %s (%s): run inside tools/netns-run" % (what, e),
                    pytrace=False)
    return server


@pytest.fixture(scope="session")
def test_host(namespace, tls):
    host = serving(TestHost(tls.server_cert, tls.server_key), "the test addresses")
    yield host
    host.stop()


@pytest.fixture(scope="session")
def connect_proxy(namespace):
    proxy = serving(ConnectProxy(), "the proxy address")
    yield proxy
    proxy.stop()


@pytest.fixture
def proxy(connect_proxy):
    """The web proxy (tools/zrqtest/proxy.py), its log cleared."""
    connect_proxy.reset()
    return connect_proxy


@pytest.fixture
def host(test_host):
    """The test host with defaults restored: manifest "no update", checks authorized."""
    test_host.reset()
    yield test_host
    test_host.reset()  # ends stalls a test left waiting


@pytest.fixture
def prefix(request, wine_template, work_dir):
    """A fresh copy of the template prefix with a running wineserver. Killed (with
    everything started in it) and removed after the test."""
    name = "p-%d-%s" % (time.monotonic_ns(), request.node.name[:40].replace("/", "_"))
    wp = wine_template.clone(work_dir / name)
    marker = request.node.get_closest_marker("dpi")
    wp.start_server()
    try:
        if marker:
            wp.set_dpi(marker.args[0])
        # Wine starts its own services with the first program of a prefix (~2 s);
        # done here, the shell's start-up is timed without it.
        wp.run(["reg", "query", r"HKCU\Control Panel\Desktop", "/v", "LogPixels"],
               stem="warm-up", check=False)
        yield wp
    finally:
        wp.discard()


@pytest.fixture
def driver(prefix, build_paths):
    return Driver(prefix, build_paths.winctl)


@pytest.fixture
def shell(prefix, host, build_paths):
    """shell.start(args=(), name="Game_Setup_pc1234.exe", exe=None) -> ShellProcess."""
    missing = build_paths.missing(("shell_exe",))
    if missing:
        _missing(missing)
    launcher = ShellLauncher(prefix, build_paths.shell_exe, build_paths.winctl)
    yield launcher
    launcher.cleanup()


@pytest.fixture(scope="session")
def installer_bytes(build_paths):
    """Bytes of the stand-in installer that records how it was started (read it back
    with prefix.installer_run())."""
    missing = build_paths.missing(("test_installer",))
    if missing:
        _missing(missing)
    return build_paths.test_installer.read_bytes()
