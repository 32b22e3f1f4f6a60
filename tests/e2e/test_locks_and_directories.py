"""The per-game setup lock and the directories under the SDK root: symbolic links
are refused, a log that cannot be written does not change the outcome."""

import pytest

from install_support import APP_ID, assert_log, failed_run, seed_record
from zrqtest.vocabulary import msg


def test_second_shell_for_the_game_is_refused_after_the_configuration(shell, host, prefix, driver,
                                                                      installer_bytes):
    config = host.publish_package(1234, installer_bytes=installer_bytes)
    with driver.hold_mutex("Local\\ZRQSetup-" + APP_ID, 120_000) as holder:
        assert holder.held
        failed_run(shell.start(), msg.kGameBusy)
    assert len(host.config_requests("1234")) == 1
    assert len(host.check_requests()) == 1
    host.assert_no_request("files", host.installer_target(config))
    assert prefix.channel_record(APP_ID) is None
    assert_log(prefix, sdkCode=-3, status="failed", testOnly=False)


@pytest.mark.parametrize("linked", [
    pytest.param(("apps", APP_ID), id="apps-directory"),
    pytest.param(("temp",), id="temp-directory"),
])
def test_symbolic_link_under_the_sdk_root_is_refused(shell, host, prefix, installer_bytes,
                                                     tmp_path, linked):
    elsewhere = tmp_path / "elsewhere"
    elsewhere.mkdir()
    link = prefix.sdk_root.joinpath(*linked)
    link.parent.mkdir(parents=True, exist_ok=True)
    link.symlink_to(elsewhere, target_is_directory=True)
    host.publish_package(1234, installer_bytes=installer_bytes)
    failed_run(shell.start(), msg.kReparseDirectoryRejected)
    assert list(elsewhere.iterdir()) == [], "the shell wrote through the link"
    assert prefix.installer_run() is None
    assert_log(prefix, sdkCode=-9, status="failed", testOnly=False)


def test_logs_directory_as_link_means_no_log_but_the_same_result(shell, host, prefix, tmp_path,
                                                                 installer_bytes):
    elsewhere = tmp_path / "elsewhere"
    elsewhere.mkdir()
    prefix.sdk_root.mkdir(parents=True, exist_ok=True)
    (prefix.sdk_root / "logs").symlink_to(elsewhere, target_is_directory=True)
    host.publish_package(1234, installer_bytes=installer_bytes, channel_code="c1")
    seed_record(prefix, None)
    assert shell.run(timeout=90) == 0
    assert prefix.wait_installer_run() is not None
    assert prefix.channel_record(APP_ID) == b'{"channelCode":"c1"}'
    assert list(elsewhere.iterdir()) == []
