"""The shell as Windows 7, 8.0 and Windows 10 before 1607 run it: the functions
those versions lack are looked up at run time and replaced by what they have,
and WinHTTP, which refuses the automatic proxy access type there, routes each
request by the user's Internet Options. The test build's seam (ZRQ_TEST_ABSENT)
makes the shell treat the named functions as missing."""

import pytest

from install_support import APP_ID, assert_log, expect_failure, failed_run
from window_support import check_first_window
from zrqtest import Gate
from zrqtest.internet_settings import set_user_proxy
from zrqtest.testhost import MANIFEST_PATH, sha256_hex
from zrqtest.vocabulary import msg

NO_DPI_FOR_SYSTEM = {"ZRQ_TEST_ABSENT": "GetDpiForSystem"}
LEGACY_WINHTTP = {"ZRQ_TEST_ABSENT": "WINHTTP_ACCESS_TYPE_AUTOMATIC_PROXY"}
WINDOWS_7 = {"ZRQ_TEST_ABSENT": "GetDpiForSystem;SetDefaultDllDirectories;"
                                "WINHTTP_ACCESS_TYPE_AUTOMATIC_PROXY"}
FILES = ("files.zrq.test", 443)
CHECK = ("check.zrq.test", 443)


@pytest.mark.parametrize("geometry", [
    pytest.param(((600, 205), (24, 26, 545, 46), (24, 80, 545, 20), (469, 120, 100, 30), 96),
                 id="96-dpi"),
    pytest.param(((900, 308), (36, 39, 818, 69), (36, 120, 818, 30), (704, 180, 150, 45), 144),
                 id="144-dpi", marks=pytest.mark.dpi(144)),
])
def test_window_has_the_same_geometry_without_get_dpi_for_system(shell, host, geometry):
    outer, status, progress, button, dpi = geometry
    st, gate = check_first_window(shell, host, outer, status, progress, button,
                                  env=NO_DPI_FOR_SYSTEM)
    assert st["systemDpi"] == dpi
    gate.release()


def install(shell, host, prefix, installer_bytes, env):
    """A whole install; returns after checking the record, the log and the start."""
    config = host.publish_package(1234, installer_bytes=installer_bytes)
    proc = shell.start(env=env)
    assert proc.wait(90) == 0
    assert prefix.wait_installer_run() is not None, "the installer was not started"
    assert prefix.channel_record(APP_ID) == b'{"channelCode":"channel-01"}'
    assert_log(prefix, appId=APP_ID, channelCode="channel-01", launchWin32Error=0, motherId=7,
               packageId="1234", sdkCode=0, sha256=sha256_hex(installer_bytes), shellVersion=2,
               status="handed-off", testOnly=False)
    # Every request arrived at its host, in the usual order.
    assert [(r.listener, r.method, r.path) for r in host.requests()] == [
        ("files", "GET", MANIFEST_PATH), ("files", "GET", "/pc/config/1234.json"),
        ("check", "POST", "/index.php"), ("files", "GET", host.installer_target(config))]
    return config


@pytest.mark.parametrize("settings,tunnels", [
    pytest.param({}, [], id="no-settings-direct"),
    pytest.param({"proxy": "PROXY"}, [FILES, FILES, CHECK, FILES], id="proxy-server"),
    pytest.param({"proxy": "PROXY", "bypass": "<local>;files.zrq.test"}, [CHECK],
                 id="proxy-server-with-exception"),
    pytest.param({"auto_config_url": "PAC"}, [FILES, FILES, CHECK, FILES], id="script"),
    pytest.param({"auto_detect": True, "proxy": "PROXY"}, [FILES, FILES, CHECK, FILES],
                 id="nothing-detected-then-proxy-server"),
])
def test_winhttp_without_automatic_proxy_installs_as_the_user_set_it(
        shell, host, prefix, proxy, installer_bytes, settings, tunnels):
    values = {key: {"PROXY": proxy.name, "PAC": proxy.pac_url}.get(value, value)
              for key, value in settings.items()}
    if values:
        set_user_proxy(prefix, **values)
    install(shell, host, prefix, installer_bytes, LEGACY_WINHTTP)
    assert proxy.tunnels() == tunnels
    if "auto_config_url" in settings:
        assert proxy.pac_requests >= 1


def test_windows_7_as_a_whole_installs_through_the_users_proxy(shell, host, prefix, proxy,
                                                               installer_bytes):
    set_user_proxy(prefix, proxy=proxy.name)
    install(shell, host, prefix, installer_bytes, WINDOWS_7)
    assert proxy.tunnels() == [FILES, FILES, CHECK, FILES]


def test_a_run_routes_each_host_as_it_first_found_it(shell, host, prefix, proxy, installer_bytes):
    # Wine downloads a script once per process whoever asks, so what shows that
    # the search ran once per host is this: the user's settings, changed while
    # the configuration is on its way (after the file host was routed, before
    # the check endpoint was), reroute nothing for the rest of the run.
    set_user_proxy(prefix, auto_config_url=proxy.pac_url)
    gate = Gate()
    host.publish_package(1234, installer_bytes=installer_bytes, config_behaviour={"stall_headers": gate})
    proc = shell.start(env=LEGACY_WINHTTP)
    assert gate.reached.wait(30)
    set_user_proxy(prefix)  # no proxy at all
    gate.release()
    assert proc.wait(90) == 0
    assert prefix.wait_installer_run() is not None, "the installer was not started"
    assert proxy.tunnels() == [FILES, FILES, CHECK, FILES]


def test_a_proxy_that_does_not_answer_fails_like_any_unreachable_server(shell, host, prefix,
                                                                        proxy):
    set_user_proxy(prefix, proxy="proxy.zrq.test:3999")  # nothing listens there
    host.publish_package(1234)
    proc = shell.start(env=LEGACY_WINHTTP)
    failed_run(proc, msg.kRequestFailed)
    assert host.requests() == []


def test_a_winhttp_that_cannot_offer_tls_1_2_fails_before_any_request(shell, host, prefix):
    # Refused by the older WinHTTP: it would offer the file host only TLS 1.0.
    host.publish_package(1234)
    proc = shell.start(env={"ZRQ_TEST_ABSENT": WINDOWS_7["ZRQ_TEST_ABSENT"] +
                            ";WINHTTP_FLAG_SECURE_PROTOCOL_TLS1_2"})
    expect_failure(proc, prefix, msg.kNetworkSetupFailed, -7)
    assert host.requests() == []
