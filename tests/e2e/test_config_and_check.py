"""The package configuration and the authorization check as the servers see them,
and what the user sees when either says no."""

import json

import pytest

from zrqtest import Response
from zrqtest.testhost import sha256_hex

from install_support import expect_failure
from zrqtest.vocabulary import msg

CONFIG = "/pc/config/1234.json"
INSTALLER = "/pc/installers/1234/setup-1234.exe"


@pytest.mark.parametrize("fields,mother_id,mother_text", [
    pytest.param({}, 7, "7", id="ascii-number-mother"),
    pytest.param({"channel_code": "渠道-一", "display_name": "《星海》远航"}, "母包-7", '"母包-7"',
                 id="chinese-string-mother"),
    pytest.param({"app_id": "A-z_9", "game_id": "g/\u00e9"}, {"b": 1, "a": [True, None]},
                 '{"a":[true,null],"b":1}', id="object-mother"),
])
def test_check_request_body(shell, host, prefix, installer_bytes, fields, mother_id,
                                        mother_text):
    config = host.publish_package(1234, installer_bytes=installer_bytes, mother_id=mother_id,
                                  **fields)
    proc = shell.start()
    assert proc.wait(60) == 0

    (check,) = host.check_requests()
    expected = ('{"appId":"%s","channelCode":"%s","gameId":"%s","motherId":%s,"packageId":"1234",'
                '"schemaVersion":1,"sha256":"%s"}' % (
                    config["appId"], config["channelCode"], config["gameId"], mother_text,
                    sha256_hex(installer_bytes))).encode("utf-8")
    assert check.body == expected
    assert prefix.wait_installer_run() is not None
    (log,) = [entry["data"] for entry in prefix.attempt_logs()]
    assert log["status"] == "handed-off"
    assert log["motherId"] == mother_id
    assert log["channelCode"] == config["channelCode"]


def test_longest_accepted_values_reach_the_check_and_the_caption(shell, host, prefix):
    name = "游" * 85  # 255 bytes
    config = host.publish_package(
        1234, schemaVersion=1.0, app_id="a" * 128, game_id="g" * 256,
        channel_code="渠" * 42 + "-1", display_name=name,
        installer_response=Response(status=404, body=b"gone", content_type="text/plain"))
    proc = shell.start()
    st = expect_failure(proc, prefix, msg.kNotAvailable, -7)
    assert st["caption"] == msg.kInstallingCaptionStart + name + msg.kInstallingCaptionEnd
    (check,) = host.check_requests()
    sent = json.loads(check.body.decode("utf-8"))
    assert (sent["appId"], sent["gameId"], sent["channelCode"]) == (
        config["appId"], config["gameId"], config["channelCode"])
    assert "渠渠" in check.body.decode("utf-8")  # raw UTF-8, not \u escapes


# One refusal of each code; every errorType of the rule is in tests/rules/check_answer.json.
@pytest.mark.parametrize("error_type,message,sdk_code", [
    pytest.param("CHANNEL_DISABLED", msg.kChannelDisabled, -1, id="channel-disabled"),
    pytest.param("STALE_TASK", msg.kResourcesUpdating, -7, id="stale-task"),
])
def test_refused_check(shell, host, prefix, error_type, message, sdk_code):
    config = host.publish_package(1234)
    host.refuse("1234", error_type)
    proc = shell.start()
    st = expect_failure(proc, prefix, message, sdk_code)
    assert st["caption"] == msg.kWindowCaption
    assert len(host.check_requests()) == 1
    host.assert_no_request(path=INSTALLER)
    assert prefix.channel_record(config["appId"]) is None


@pytest.mark.parametrize("answer,message,sdk_code", [
    pytest.param({"code": 1, "data": {"packageId": 1234}}, msg.kCheckMismatch, -5,
                 id="echo-as-number"),
    pytest.param({"code": 1}, msg.kUnexpectedFailure, -11, id="data-missing"),
])
def test_authorized_answer_that_does_not_fit(shell, host, prefix, answer, message, sdk_code):
    host.publish_package(1234)
    host.check_answer(answer)
    proc = shell.start()
    expect_failure(proc, prefix, message, sdk_code)
    host.assert_no_request(path=INSTALLER)


# A rule broken and a document the shell cannot read at all; every rule's
# cases are in tests/rules/game_config.json.
@pytest.mark.parametrize("overrides,message,sdk_code", [
    pytest.param({"installer": {"type": "EXE"}}, msg.kBadInstallerType, -5, id="type-upper-case"),
    pytest.param({"appId": 5}, msg.kUnexpectedFailure, -11, id="app-id-number"),
])
def test_invalid_configuration_is_never_checked(shell, host, prefix, overrides, message, sdk_code):
    host.publish_package(1234, **overrides)
    proc = shell.start()
    st = expect_failure(proc, prefix, message, sdk_code)
    assert st["caption"] == msg.kWindowCaption
    assert host.check_requests() == []
    host.assert_no_request(path=INSTALLER)


def test_cancel_while_the_configuration_trickles_in(shell, host, prefix):
    config = host.publish_package(1234)
    # Wine's WinHTTP hands out a read only once the 64 KiB buffer is full or the body
    # has ended, so the document spans two reads: the cancel is seen between them.
    body = Response.json(config).body + b" " * 126000
    host.set(CONFIG, Response(body=body, chunk_size=2048, chunk_delay=0.2))
    proc = shell.start()
    proc.wait_window(30)
    req = host.wait_for_request("files", CONFIG, timeout=30)
    proc.wait_for(lambda s: req.bytes_sent > 0, timeout=10)
    proc.click()
    st = proc.wait_for(lambda s: s["buttonEnabled"] is False, timeout=5)
    assert st["found"] and st["button"] == msg.kCancelButton
    assert proc.wait_gone(30)
    assert proc.wait(30) == 2
    logs = [log["data"] for log in prefix.attempt_logs()]
    assert [(log["status"], log["sdkCode"]) for log in logs] == [("cancelled", -10)]
    assert req.bytes_sent < len(body)
    assert host.check_requests() == []
