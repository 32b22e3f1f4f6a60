"""The latest-shell question asked at the start of every run: when the answer lets
the session go on, and how a bad answer ends it before the game is looked at."""

import pytest

from zrqtest import Response
from zrqtest.testhost import CHECK_TARGET, MANIFEST_PATH

from install_support import expect_failure
from zrqtest.vocabulary import msg

CONFIG = "/pc/config/1234.json"
SHA = "ab" * 32


def shell_descriptor(type_="exe"):
    return {"type": type_, "url": "https://files.zrq.test/pc/shell/3/Game_Setup_pc1.exe",
            "sha256": SHA, "sizeBytes": "100"}


# Every manifest the rule takes or refuses is in tests/rules/shell_manifest.json.
@pytest.mark.parametrize("doc", [
    # 1.0 equals 1; an older version is no update, whatever its shell member holds.
    pytest.param({"schemaVersion": 1.0, "versionCode": "1", "shell": shell_descriptor("msi")},
                 id="older-version-shell-ignored"),
])
def test_no_update_goes_on_to_the_configuration(shell, host, prefix, doc):
    host.publish_manifest("2", response=Response.json(doc))
    host.publish_package(1234)
    host.refuse("1234", "STALE_TASK")
    proc = shell.start()
    expect_failure(proc, prefix, msg.kResourcesUpdating, -7)
    assert [(r.listener, r.target) for r in host.requests()] == [
        ("files", MANIFEST_PATH), ("files", CONFIG),
        ("check", CHECK_TARGET)]


@pytest.mark.parametrize("response,message,sdk_code", [
    pytest.param(Response.json({"schemaVersion": "1", "versionCode": "2"}),
                 msg.kShellSchemaIncompatible, -1, id="schema-as-text"),
    pytest.param(Response.json({"schemaVersion": 1, "versionCode": "3",
                                "shell": shell_descriptor("zip")}),
                 msg.kBadInstallerType, -5, id="newer-shell-zip"),
    pytest.param(Response(status=404, body=b"", content_type=None),
                 msg.kNotAvailable, -7, id="fetch-404"),
])
def test_bad_manifest_ends_the_run_before_the_configuration(shell, host, prefix, response,
                                                            message, sdk_code):
    host.publish_manifest("2", response=response)
    host.publish_package(1234)
    proc = shell.start()
    st = expect_failure(proc, prefix, message, sdk_code)
    assert st["caption"] == msg.kWindowCaption
    assert [r.target for r in host.requests()] == [MANIFEST_PATH]
