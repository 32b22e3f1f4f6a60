"""The package id the shell reads from the name it was saved under."""

import pytest


@pytest.mark.parametrize("name,package_id", [
    pytest.param("Game_Setup_pc1234 (2).exe", "1234", id="browser-copy-suffix"),
    pytest.param("GAME_SETUP_PC4294967295.EXE", "4294967295", id="upper-case-highest-id"),
    pytest.param("a_Setup_pc1.exe_Setup_pc2.exe", "2", id="last-marker"),
])
def test_package_id_names_the_configuration(shell, host, prefix, name, package_id):
    host.refuse(package_id, "CHANNEL_DISABLED")
    host.publish_package(package_id)
    proc = shell.start(name=name)
    proc.wait_window(30)
    proc.wait_status("当前渠道暂不允许下载", 30)
    assert [r.target for r in host.requests("files")] == [
        "/pc/shell/latest.json", "/pc/config/%s.json" % package_id]
    assert host.check_requests()[0].json()["packageId"] == package_id
    proc.click()
    assert proc.wait(30) == 1


@pytest.mark.parametrize("name,message", [
    pytest.param("setup.exe", "安装文件名称不完整，请重新下载", id="no-marker"),
    pytest.param("Game_Setup_pc4294967296.exe", "安装文件标识无效，请重新下载", id="id-over-32-bits"),
])
def test_unusable_name_fails_before_any_request(shell, host, prefix, name, message):
    proc = shell.start(name=name)
    proc.wait_window(30)
    st = proc.wait_status(message, 30)
    assert (st["button"], st["buttonEnabled"]) == ("关闭", True)
    proc.click()
    assert proc.wait(30) == 1
    host.assert_no_request()
    (log,) = [entry["data"] for entry in prefix.attempt_logs()]
    assert (log["status"], log["sdkCode"]) == ("failed", -1)
    assert "packageId" not in log
