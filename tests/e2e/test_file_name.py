"""The package id the shell reads from the name it was saved under."""

import pytest
from zrqtest.testhost import MANIFEST_PATH
from zrqtest.vocabulary import msg


# Every name the rule reads or refuses is in tests/unit/rules/setup_file_name_test.cpp.
@pytest.mark.parametrize("name,package_id", [
    pytest.param("GAME_SETUP_PC4294967295 (2).EXE", "4294967295", id="copy-suffix-upper-case-highest-id"),
])
def test_package_id_names_the_configuration(shell, host, prefix, name, package_id):
    host.refuse(package_id, "CHANNEL_DISABLED")
    host.publish_package(package_id)
    proc = shell.start(name=name)
    proc.wait_window(30)
    proc.wait_status(msg.kChannelDisabled, 30)
    assert [r.target for r in host.requests("files")] == [
        MANIFEST_PATH, "/pc/config/%s.json" % package_id]
    assert host.check_requests()[0].json()["packageId"] == package_id
    proc.click()
    assert proc.wait(30) == 1


@pytest.mark.parametrize("name,message", [
    pytest.param("Game_Setup_pc4294967296.exe", msg.kInvalidPackage, id="id-over-32-bits"),
])
def test_unusable_name_fails_before_any_request(shell, host, prefix, name, message):
    proc = shell.start(name=name)
    proc.wait_window(30)
    st = proc.wait_status(message, 30)
    assert (st["button"], st["buttonEnabled"]) == (msg.kCloseButton, True)
    proc.click()
    assert proc.wait(30) == 1
    host.assert_no_request()
    (log,) = [entry["data"] for entry in prefix.attempt_logs()]
    assert (log["status"], log["sdkCode"]) == ("failed", -1)
    assert "packageId" not in log
