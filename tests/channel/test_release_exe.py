"""The exact exe players get (the release build: no test seams, the production
host names compiled in) installs a game under a 64-bit Windows running it as a
32-bit program: served by nginx with the production server block under the
production file host's name, checked by a stand-in of the production check
endpoint, both resolving to loopback in the private namespace and trusted only
by the test prefix. On the way it updates itself to a release-built version 3,
and the DLLs planted beside it are never loaded. The same sources built with a
channel's keys do the same from a tree the channel signed."""

import pytest

from zrqtest.channel_fixtures import FileHostSite, NginxFileHost, built_exe
from zrqtest.fixtures import serving
from zrqtest.planting import marks, plant
from zrqtest.signing import TEST_KEYS
from zrqtest.testhost import TestHost
from zrqtest.tls import issue_server_certificate
from zrqtest.vocabulary import paths

from channel_tree import APP_ID, CHANNEL_CODE, make_installer, read_config

FILE_HOST = "pc.zrqgame.com"      # the release build's defaults
CHECK_HOST = "api.zrqgame.com"
FILE_ADDRESS = "127.0.0.7"        # as tools/netns-run resolves them
CHECK_ADDRESS = "127.0.0.8"
PACKAGE = "1001"
NAME = "Sample_Setup_pc%s.exe" % PACKAGE


# The key-less release build, and the same sources built as a channel builds them
# with its keys (ZRQ_CHANNEL_KEYS: the test keys), whose tree is signed.
@pytest.fixture(scope="module", params=["key-less", "keyed"])
def shells(request, release_exe):
    if request.param == "key-less":
        return (release_exe, built_exe("ZRQ_RELEASE_V3_EXE", "i686/src/zrq-setup-v3.exe"), None)
    return (built_exe("ZRQ_KEYED_RELEASE_EXE", "i686-keyed/src/zrq-setup.exe"),
            built_exe("ZRQ_KEYED_RELEASE_V3_EXE", "i686-keyed/src/zrq-setup-v3.exe"),
            TEST_KEYS / "test-channel-1.pem")


@pytest.fixture(scope="module")
def production_site(channel_tool, shells, installer_bytes, tls, work_dir, namespace):
    """The tree as a channel publishes it, served as pc.zrqgame.com, and the check
    endpoint as api.zrqgame.com; yields (tree, installer, nginx, check host)."""
    _, v3_exe, signing_key = shells
    publish = work_dir / ("production-" + ("keyed" if signing_key else "key-less"))
    cert, key = issue_server_certificate(tls.ca_cert, tls.ca_key, publish / "tls",
                                         [FILE_HOST, CHECK_HOST], "production")
    root = publish / "tree"
    installer = make_installer(publish, installer_bytes, PACKAGE)
    signing = ["--key", signing_key] if signing_key else []
    channel_tool.ok("package", root, "--package-id", PACKAGE, "--installer", installer,
                    "--url", "https://%s/pc/installers/%s/setup.exe" % (FILE_HOST, PACKAGE),
                    "--app-id", APP_ID, "--game-id", "g-1", "--channel-code", CHANNEL_CODE,
                    "--display-name", "示例游戏", "--mother-id", "7", "--store", *signing)
    channel_tool.ok("shell", root, "--exe", v3_exe, "--store",
                    "--url", "https://%s/pc/shell/3/zrq-setup.exe" % FILE_HOST, *signing)
    assert read_config(root / paths.kShellManifestPath)["versionCode"] == "3"
    assert ("signature" in read_config(root / "pc/config/1001.json")) == bool(signing_key)
    check = serving(TestHost(cert, key, listeners={"check": (CHECK_ADDRESS, 443, CHECK_HOST)}),
                    "the production check address")
    try:
        site = FileHostSite(root, cert, key, listen=FILE_ADDRESS + ":443", server_name=FILE_HOST)
        with NginxFileHost(publish / "nginx", [site]) as nginx:
            yield root, installer, nginx, check
    finally:
        check.stop()


def test_the_release_exe_updates_itself_and_installs_without_loading_a_planted_dll(
        production_site, shells, channel_shell, prefix, build_paths):
    release_exe, release_v3_exe, signing_key = shells
    root, installer, nginx, check = production_site
    env = plant(prefix, build_paths)
    proc = channel_shell.start(name=NAME, exe=release_exe, env=env)
    assert proc.wait(120) == 0

    run = prefix.wait_installer_run(timeout=30)
    assert run is not None, "the installer was not started"
    assert prefix.channel_record(APP_ID) == ('{"channelCode":"%s"}' % CHANNEL_CODE).encode()
    # The old shell handed over to the new one, which installed.
    logs = [log["data"] for log in prefix.attempt_logs()]
    assert [(log["status"], log.get("fromVersion"), log.get("toVersion"), log.get("shellVersion"))
            for log in logs] == [("updated", 2, 3, None), ("handed-off", None, None, 3)], logs
    staged = prefix.sdk_root / "temp"
    new_shells = list(staged.glob("*/" + NAME))
    assert [p.read_bytes() for p in new_shells] == [release_v3_exe.read_bytes()]
    assert list(staged.glob("*/original.exe"))[0].read_bytes() == installer.read_bytes()

    targets = [(r["method"], r["target"], r["status"]) for r in nginx.requests()]
    assert targets == [
        ("GET", "/" + paths.kShellManifestPath, "200"),
        ("GET", "/pc/shell/3/zrq-setup.exe", "200"),
        ("GET", "/" + paths.kShellManifestPath, "200"),
        ("GET", "/pc/config/%s.json" % PACKAGE, "200"),
        ("GET", "/pc/installers/%s/setup.exe" % PACKAGE, "200"),
    ]
    assert {r["user_agent"] for r in nginx.requests()} == {"ZRQSetup/1.0"}
    assert [r.json()["packageId"] for r in check.check_requests()] == [PACKAGE]
    assert marks(prefix) == {}
    # The keyed shells accepted the channel's signatures, and only they look at them.
    records = prefix.signature_records
    if not signing_key:
        assert not records.exists()
    else:
        assert sorted(p.name for p in records.iterdir()) == [
            "pc-config-%s.json" % PACKAGE, "pc-shell-latest.json"]
