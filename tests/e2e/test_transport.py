"""What the shell puts on the wire, and how transport failures reach the user:
headers, request order, download URL rules, status codes, body limits, time-outs
and broken connections."""

import collections
import time

import pytest

from zrqtest import Gate, Response
from zrqtest.testhost import CHECK_TARGET, MANIFEST_PATH

from install_support import assert_only_part_kept, expect_failure
from zrqtest.vocabulary import limits, msg

CONFIG = "/pc/config/1234.json"
CHECK = CHECK_TARGET
INSTALLER = "/pc/installers/1234/setup-1234.exe"
EXTRA_HEADERS = {
    "User-Agent": "ZRQSetup/1.0",
    "Content-Type": "application/json",
    "Cache-Control": "no-cache",
    "Pragma": "no-cache",
}
LIMIT = limits.kJsonBodyLimit


@pytest.fixture
def connections(host):
    """Counts the TCP connections each listener accepts during the test, whether or
    not a request follows (a refused host must not even be connected to)."""
    counts = collections.Counter()
    servers = list(host._servers.items())
    for name, server in servers:
        def counting(request, address, _orig=server.finish_request, _name=name):
            counts[_name] += 1
            return _orig(request, address)
        server.finish_request = counting
    yield counts
    for _, server in servers:
        server.__dict__.pop("finish_request", None)


def header_values(req, name):
    return [v for k, v in req.headers if k.lower() == name.lower()]


def test_every_request_carries_the_agent_and_headers_in_order(shell, host, prefix,
                                                              installer_bytes):
    gate = Gate()
    config = host.publish_package(1234, installer_bytes=installer_bytes,
                                  installer_behaviour={"stall_headers": gate})
    proc = shell.start()
    host.wait_for_request("files", INSTALLER, timeout=30)
    # The caption names the game once the configuration has been authorized.
    st = proc.wait_for(lambda s: s.get("caption") == "正在安装《测试游戏》", timeout=10)
    assert st["button"] == msg.kCancelButton
    gate.release()
    assert proc.wait(60) == 0

    reqs = host.requests()
    assert [(r.listener, r.method, r.target) for r in reqs] == [
        ("files", "GET", MANIFEST_PATH),
        ("files", "GET", CONFIG),
        ("check", "POST", CHECK),
        ("files", "GET", INSTALLER),
    ]
    for r in reqs:
        for name, value in EXTRA_HEADERS.items():
            assert header_values(r, name) == [value], (r.target, name, r.headers)
    assert [r.body for r in reqs if r.method == "GET"] == [b"", b"", b""]
    assert reqs[2].body.startswith(b'{"appId":"game_1",')
    assert prefix.wait_installer_run() is not None
    assert prefix.channel_record(config["appId"]) == b'{"channelCode":"channel-01"}'


@pytest.mark.parametrize("url,listener,target", [
    pytest.param("https://files.zrq.test%s?sig=a%%2Fb&e=1" % INSTALLER, "files",
                 INSTALLER + "?sig=a%2Fb&e=1", id="query-kept"),
    pytest.param("https://FILES.Zrq.Test%s" % INSTALLER, "files", INSTALLER, id="host-letter-case"),
    pytest.param("https://files.zrq.test:8443%s" % INSTALLER, "files-alt", INSTALLER,
                 id="explicit-port"),
])
def test_download_url_accepted(shell, host, prefix, installer_bytes, url, listener, target):
    host.publish_package(1234, installer_bytes=installer_bytes, url=url)
    proc = shell.start()
    assert proc.wait(60) == 0
    downloads = [r for r in host.requests() if r.path == INSTALLER]
    assert [(r.listener, r.target) for r in downloads] == [(listener, target)]
    assert prefix.wait_installer_run() is not None
    assert [log["data"]["status"] for log in prefix.attempt_logs()] == ["handed-off"]


@pytest.mark.parametrize("url,message", [
    pytest.param("http://files.zrq.test" + INSTALLER, msg.kHttpsRequired, id="plain-http"),
    pytest.param("https://user:pw@files.zrq.test" + INSTALLER, msg.kBadUrl, id="user-info"),
    pytest.param("https://files.zrq.test" + INSTALLER + "#top", msg.kBadUrl, id="fragment"),
    pytest.param("https://other.zrq.test" + INSTALLER, msg.kUntrustedHost, id="other-host"),
    pytest.param("https://sub.files.zrq.test" + INSTALLER, msg.kUntrustedHost, id="subdomain"),
])
def test_download_url_refused_before_any_connection(shell, host, prefix, connections, url,
                                                    message):
    config = host.publish_package(1234, url=url)
    proc = shell.start()
    expect_failure(proc, prefix, message, -7)
    host.assert_no_request(path=INSTALLER)
    assert connections["other"] == 0 and connections["sub"] == 0
    # The manifest and the configuration; nothing for the download.
    assert connections["files"] + connections["files-alt"] == 2
    assert prefix.channel_record(config["appId"]) is None


def _status_response(status, body):
    return Response(status=status, body=body,
                    content_type="application/json" if body[:1] == b"{" else "application/octet-stream")


@pytest.mark.parametrize("where,status", [
    pytest.param("config", 204, id="config-204"),
    pytest.param("config", 301, id="config-301"),
    pytest.param("check", 500, id="check-500"),
    pytest.param("download", 206, id="download-206"),
    pytest.param("download", 302, id="download-302"),
])
def test_status_other_than_200_fails(shell, host, prefix, connections, installer_bytes, where,
                                     status):
    # Each answer carries a body that would have let the run go on, and a redirect
    # points at a host that would serve the same document.
    kw = {"installer_bytes": installer_bytes}
    if where == "download":
        kw["installer_response"] = _status_response(status, installer_bytes)
    config = host.publish_package(1234, **kw)
    if where == "config":
        host.set(CONFIG, Response.json(config, status=status), listener="files")
    elif where == "check":
        host.check_answer(Response.json({"code": 1, "data": {"packageId": "1234"}}, status=status))
        host.set(CHECK, {"code": 1, "data": {"packageId": "1234"}}, listener="other")
    proc = shell.start()
    expect_failure(proc, prefix, msg.kNotAvailable, -7)
    assert connections["other"] == 0
    host.assert_no_request(listener="other")
    if where != "download":
        host.assert_no_request(path=INSTALLER)
    if where == "config":
        assert host.check_requests() == []
    assert prefix.installer_run() is None
    assert prefix.channel_record(config["appId"]) is None


def _padded_manifest(size):
    body = b'{"schemaVersion":1,"versionCode":"2"}'
    return Response(body=body + b" " * (size - len(body)))


def test_json_body_of_exactly_the_limit_is_accepted(shell, host, prefix):
    host.publish_manifest("2", response=_padded_manifest(LIMIT))
    proc = shell.start()
    # No configuration is published: the run gets as far as asking for it.
    expect_failure(proc, prefix, msg.kNotAvailable, -7)
    assert [r.target for r in host.requests()] == [MANIFEST_PATH, CONFIG]


def test_json_body_one_byte_over_the_limit_is_refused(shell, host, prefix):
    host.publish_manifest("2", response=_padded_manifest(LIMIT + 1))
    host.publish_package(1234)
    proc = shell.start()
    expect_failure(proc, prefix, msg.kDocumentTooLarge, -7)
    assert [r.target for r in host.requests()] == [MANIFEST_PATH]


@pytest.mark.parametrize("where,body", [
    pytest.param("config", b'{"schemaVersion":1,"packageId":"1234",', id="config-truncated"),
    pytest.param("check", b"", id="check-empty"),
])
def test_body_that_is_not_json_is_a_general_failure(shell, host, prefix, where, body):
    host.publish_package(1234)
    if where == "config":
        host.set(CONFIG, Response(body=body))
    else:
        host.check_answer(Response(body=body))
    proc = shell.start()
    expect_failure(proc, prefix, msg.kUnexpectedFailure, -11)
    if where == "config":
        assert host.check_requests() == []
    host.assert_no_request(path=INSTALLER)


def test_server_silent_before_the_headers_times_out(shell, host, prefix):
    gate = Gate()
    host.publish_package(1234, config_behaviour={"stall_headers": gate})
    proc = shell.start()
    host.wait_for_request("files", CONFIG, timeout=30)
    asked = time.monotonic()
    expect_failure(proc, prefix, msg.kResponseFailed, -7, timeout=60)
    # The receive time-out is 10 s; a much earlier failure would be something else.
    assert time.monotonic() - asked > 8
    assert host.check_requests() == []


# A download whose every request is reset keeps at most the bytes it received,
# for the next run (a WinHTTP that hands over the 2000 bytes before the reset
# asks five times, after short pauses here).
@pytest.mark.parametrize("where", ["config", "download"])
def test_connection_reset_mid_body(shell, host, prefix, where):
    payload = b"MZ" + b"\0" * 300_000
    behaviour = {"reset_at": 2000, "reset_delay": 0.5}
    if where == "config":
        config = host.publish_package(1234, installer_bytes=payload, config_behaviour=behaviour)
        # Pad the document so that the reset comes well before its end.
        host.set(CONFIG, Response(body=Response.json(config).body + b" " * 8000, **behaviour))
    else:
        config = host.publish_package(1234, installer_bytes=payload, installer_behaviour=dict(
            behaviour, later=(2, {"reset_at": 0, "reset_delay": 0.1})))
    proc = shell.start(env={"ZRQ_TEST_RETRY_WAIT_MS": "50"})
    expect_failure(proc, prefix, msg.kDownloadBroken, -7)
    if where == "config":
        assert host.check_requests() == []
        assert prefix.staging_dirs() == []
    else:
        assert_only_part_kept(prefix, payload)
    assert prefix.channel_record(config["appId"]) is None
