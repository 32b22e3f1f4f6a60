"""The harness pieces against each other: test host, TLS trust in the prefix,
winctl's fetch, mutex and event commands, BMP to PNG."""

import http.client
import json
import ssl
import struct
import threading
import time
import zlib

import pytest

from zrqtest import Gate, Response
from zrqtest.png import bmp_to_png
from zrqtest.testhost import CHECK_TARGET

CHECK_URL = "https://check.zrq.test" + CHECK_TARGET


def test_every_listener_is_trusted_and_logs_requests(host, driver):
    host.set("/x.bin", b"abc")
    for url, listener in (("https://files.zrq.test/x.bin?q=1", "files"),
                          ("https://files.zrq.test:8443/x.bin", "files-alt"),
                          ("https://other.zrq.test/x.bin", "other"),
                          ("https://sub.files.zrq.test/x.bin", "sub")):
        got = driver.fetch(url)
        assert got.get("status") == 200 and got.get("body") == "abc", (url, got)
        req = host.requests(listener)[-1]
        assert req.method == "GET" and req.path == "/x.bin"
        assert req.header("Host").split(":")[0] in url
    assert host.requests("files")[-1].target == "/x.bin?q=1"
    host.assert_no_request("check")
    with pytest.raises(AssertionError):
        host.assert_no_request("files", "/x.bin")


def test_default_manifest_and_unknown_paths(host, driver):
    got = driver.fetch("https://files.zrq.test/pc/shell/latest.json")
    assert got["status"] == 200
    assert json.loads(got["body"]) == {"schemaVersion": 1, "versionCode": "2"}
    assert driver.fetch("https://files.zrq.test/nothing")["status"] == 404


def test_check_endpoint_policy(host, driver):
    body = '{"packageId":"1234","x":1}'
    got = driver.fetch(CHECK_URL, body)
    assert json.loads(got["body"]) == {"code": 1, "data": {"packageId": "1234"}}
    req = host.check_requests()[-1]
    assert req.body == body.encode() and req.header("Content-Type") == "application/json"

    host.refuse("1234", "CHANNEL_DISABLED")
    host.refuse("99")
    assert json.loads(driver.fetch(CHECK_URL, body)["body"]) == {
        "code": 0, "errorType": "CHANNEL_DISABLED"}
    assert json.loads(driver.fetch(CHECK_URL, '{"packageId":"99"}')["body"]) == {"code": 0}

    host.check_answer(b"not json")
    assert driver.fetch(CHECK_URL, body)["body"] == "not json"
    host.reset()
    assert json.loads(driver.fetch(CHECK_URL, body)["body"])["code"] == 1


def test_publish_package_serves_a_matching_installer(host, driver):
    config = host.publish_package(1234, installer_bytes=b"x" * 70000, installer={"extra": 1},
                                  displayName="游戏")
    assert config["packageId"] == "1234" and config["displayName"] == "游戏"
    assert config["installer"]["sizeBytes"] == "70000" and config["installer"]["extra"] == 1
    got = driver.fetch("https://files.zrq.test/pc/config/1234.json")
    assert json.loads(got["body"]) == config
    got = driver.fetch(config["installer"]["url"])
    assert got["status"] == 200 and got["bytes"] == 70000 and got["complete"]


@pytest.mark.parametrize("resp,expect", [
    (Response(status=302, body=b"moved"), {"status": 302}),
    (Response(status=204, body=b"ignored"), {"status": 204, "bytes": 0}),
    (Response(status=206, body=b"part"), {"status": 206}),
    (Response(status=500, body=b"err"), {"status": 500}),
    (Response(body=b"a" * 1000, cut_at=100), {"status": 200, "bytes": 100, "complete": True}),
    (Response(body=b"a" * 300000, reset_at=1000), {"status": 200, "complete": False}),
    (Response(body=b"a" * 131073), {"bytes": 131073, "complete": True}),
    (Response(body=b"a" * 5000, chunk_size=1000, chunk_delay=0.05), {"bytes": 5000}),
])
def test_response_behaviours_as_winhttp_sees_them(host, driver, resp, expect):
    host.set("/b", resp)
    got = driver.fetch("https://files.zrq.test/b")
    assert {k: got.get(k) for k in expect} == expect, got
    if resp.status == 302:
        host.assert_no_request("other")


def fetch_range(tls, path, range_header=None):
    """(status, Content-Range, body) of a GET from the file host, as far as it came."""
    context = ssl.create_default_context(cafile=str(tls.ca_cert))
    connection = http.client.HTTPSConnection("files.zrq.test", 443, context=context, timeout=10)
    try:
        connection.request("GET", path, headers={"Range": range_header} if range_header else {})
        answer = connection.getresponse()
        try:
            body = answer.read()
        except http.client.IncompleteRead as cut:
            body = cut.partial
        return answer.status, answer.getheader("Content-Range"), body
    finally:
        connection.close()


BODY = bytes(range(250)) * 4  # 1000 bytes


@pytest.mark.parametrize("range_header,status,content_range,part", [
    (None, 200, None, slice(0, 1000)),
    ("bytes=400-", 206, "bytes 400-999/1000", slice(400, 1000)),
    ("bytes=999-", 206, "bytes 999-999/1000", slice(999, 1000)),
    ("bytes=5-9", 206, "bytes 5-9/1000", slice(5, 10)),
    ("bytes=900-5000", 206, "bytes 900-999/1000", slice(900, 1000)),
    ("bytes=-100", 206, "bytes 900-999/1000", slice(900, 1000)),
    ("bytes=1000-", 416, "bytes */1000", slice(0, 0)),
    ("bytes=9-5", 200, None, slice(0, 1000)),
    ("items=1-", 200, None, slice(0, 1000)),
])
def test_files_answer_ranges_like_a_static_server(host, tls, range_header, status, content_range,
                                                  part):
    host.set("/r.bin", BODY)
    assert fetch_range(tls, "/r.bin", range_header) == (status, content_range, BODY[part])
    assert host.requests("files", "/r.bin")[-1].range == range_header


def test_ranges_ignored_or_misnamed_and_one_reply_misbehaving(host, tls):
    host.set("/ignore", Response(body=BODY, ranges="ignore"))
    assert fetch_range(tls, "/ignore", "bytes=400-") == (200, None, BODY)
    host.set("/shift", Response(body=BODY, range_shift=100))
    assert fetch_range(tls, "/shift", "bytes=400-") == (206, "bytes 300-999/1000", BODY[300:])

    host.set("/n", Response(body=BODY, per_reply={2: {"cut_at": 10}}, later=(4, {"status": 503})))
    got = [fetch_range(tls, "/n", "bytes=400-") for _ in range(5)]
    assert [status for status, _, _ in got] == [206, 206, 206, 503, 503]
    assert [len(body) for _, _, body in got[:3]] == [600, 10, 600]
    assert [r.bytes_sent for r in host.requests("files", "/n")][:3] == [600, 10, 600]


def test_stall_before_headers_until_released(host, driver):
    gate = Gate()
    host.set("/slow", Response(body=b"late", stall_headers=gate))
    threading.Timer(1.0, gate.release).start()
    started = time.monotonic()
    got = driver.fetch("https://files.zrq.test/slow")
    assert got["body"] == "late" and time.monotonic() - started >= 1.0
    assert gate.reached.is_set()


def test_responses_in_turn_and_limited_times(host, driver):
    host.set("/seq", [Response(body=b"one"), Response(body=b"two")])
    assert [driver.fetch("https://files.zrq.test/seq")["body"] for _ in range(3)] == [
        "one", "two", "two"]
    host.set("/once", Response(body=b"special", times=1), listener="files")
    host.set("/once", b"plain")
    assert [driver.fetch("https://files.zrq.test/once")["body"] for _ in range(2)] == [
        "special", "plain"]


def test_mutex_holder_excludes_until_it_ends(driver):
    first = driver.hold_mutex("Local\\ZRQSetup-game_1", 60000)
    assert first.held
    second = driver.hold_mutex("Local\\ZRQSetup-game_1", 0)
    assert not second.held and second.first["existed"]
    assert driver.hold_mutex("Local\\ZRQSetup-other", 0).held
    first.kill()
    third = driver.hold_mutex("Local\\ZRQSetup-game_1", 0)
    assert third.held
    assert third.wait()[-1] == {"released": True}


def test_bmp_to_png_keeps_pixels():
    width, height = 3, 2
    stride = (width * 3 + 3) & ~3
    rows = [bytes([0, 0, 255] * width).ljust(stride, b"\0"),  # bottom row: red (BGR)
            bytes([255, 0, 0] * width).ljust(stride, b"\0")]  # top row: blue
    pixels = b"".join(rows)
    bmp = (b"BM" + struct.pack("<IHHI", 54 + len(pixels), 0, 0, 54) +
           struct.pack("<IiiHHIIiiII", 40, width, height, 1, 24, 0, len(pixels), 0, 0, 0, 0) + pixels)
    png = bmp_to_png(bmp)
    assert png.startswith(b"\x89PNG")
    idat = png[png.index(b"IDAT") + 4:png.index(b"IEND") - 8]
    raw = zlib.decompress(idat)
    assert raw[:1 + width * 3] == b"\0" + bytes([0, 0, 255] * width)  # top row blue (RGB)
    assert raw[1 + width * 3:] == b"\0" + bytes([255, 0, 0] * width)


def test_shell_launcher_passes_name_and_arguments_verbatim(prefix, build_paths):
    from zrqtest import ShellLauncher
    launcher = ShellLauncher(prefix, build_paths.test_installer, build_paths.winctl)
    args = ["--update-target", "", "1 ", "a\"b", "Local\\ZRQUpdate-X"]
    proc = launcher.start(args, name="Game_Setup_pc1234 (2).exe")
    assert proc.wait(30) == 0
    run = prefix.wait_installer_run()
    assert run["arguments"] == args
    assert run["modulePath"] == "C:\\dl\\Game_Setup_pc1234 (2).exe"
