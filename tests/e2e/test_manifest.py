"""The latest-shell question asked at the start of every run: when the answer lets
the session go on, and how a bad answer ends it before the game is looked at."""

import pytest

from zrqtest import Response

from install_support import expect_failure

MANIFEST = "/pc/shell/latest.json"
CONFIG = "/pc/config/1234.json"
SHA = "ab" * 32


def shell_descriptor(type_="exe"):
    return {"type": type_, "url": "https://files.zrq.test/pc/shell/3/Game_Setup_pc1.exe",
            "sha256": SHA, "sizeBytes": "100"}


@pytest.mark.parametrize("doc", [
    pytest.param({"schemaVersion": 1, "versionCode": "2"}, id="same-version"),
    # 1.0 equals 1; an older version is no update, whatever its shell member holds.
    pytest.param({"schemaVersion": 1.0, "versionCode": "1", "shell": shell_descriptor("msi")},
                 id="older-version-shell-ignored"),
])
def test_no_update_goes_on_to_the_configuration(shell, host, prefix, doc):
    host.publish_manifest("2", response=Response.json(doc))
    host.publish_package(1234)
    host.refuse("1234", "STALE_TASK")
    proc = shell.start()
    expect_failure(proc, prefix, "安装资源正在更新，请稍后重试", -7)
    assert [(r.listener, r.target) for r in host.requests()] == [
        ("files", MANIFEST), ("files", CONFIG),
        ("check", "/index.php?g=Home&m=PcSetup&a=check")]


@pytest.mark.parametrize("response,message,sdk_code", [
    pytest.param(Response.json({"schemaVersion": "1", "versionCode": "2"}),
                 "安装助手版本配置不兼容", -1, id="schema-as-text"),
    pytest.param(Response.json({"schemaVersion": 1, "versionCode": 3, "shell": shell_descriptor()}),
                 "安装助手版本信息无效", -1, id="version-as-number"),
    pytest.param(Response.json({"schemaVersion": 1, "versionCode": "3",
                                "shell": shell_descriptor("msi")}),
                 "安装助手更新文件类型无效", -1, id="newer-shell-msi"),
    pytest.param(Response.json({"schemaVersion": 1, "versionCode": "3",
                                "shell": shell_descriptor("zip")}),
                 "安装器类型无效", -5, id="newer-shell-zip"),
    pytest.param(Response(status=404, body=b"", content_type=None),
                 "下载不可用或地址过期，请重试", -7, id="fetch-404"),
])
def test_bad_manifest_ends_the_run_before_the_configuration(shell, host, prefix, response,
                                                            message, sdk_code):
    host.publish_manifest("2", response=response)
    host.publish_package(1234)
    proc = shell.start()
    st = expect_failure(proc, prefix, message, sdk_code)
    assert st["caption"] == "游戏安装助手"
    assert [r.target for r in host.requests()] == [MANIFEST]
