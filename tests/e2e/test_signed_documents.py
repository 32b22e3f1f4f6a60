"""A shell built with the channel's keys (tests/keys) starts nothing whose
configuration or manifest the channel did not sign: a changed byte, another key,
no signature, a signature made for another path, an expired or an older
document all end the run before anything is downloaded, checked or recorded.
The shell built without keys ignores signature members."""

import subprocess
import time

import pytest

from zrqtest import Response
from zrqtest.shell import ShellLauncher
from zrqtest.signing import ChannelKey
from zrqtest.testhost import CHECK_TARGET, MANIFEST_PATH

from install_support import APP_ID, expect_failure, failed_run, seed_record
from self_update_support import SHELL_PATH, wait_logs
from zrqtest.vocabulary import msg, paths

INVALID = msg.kSignatureInvalid
EXPIRED = msg.kDocumentExpired
OLDER = msg.kDocumentRolledBack
CONFIG = "pc/config/1234.json"
RECORD = b'{"channelCode":"earlier"}'


@pytest.fixture(scope="module")
def first_key():
    return ChannelKey.test_key(1)


@pytest.fixture(scope="module")
def other_key(tmp_path_factory):
    """A key the shell was not built with."""
    pem = tmp_path_factory.mktemp("other-key") / "other.pem"
    subprocess.run(["openssl", "genpkey", "-algorithm", "EC", "-pkeyopt",
                    "ec_paramgen_curve:P-256", "-out", str(pem)], check=True,
                   stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    return ChannelKey(pem)


@pytest.fixture
def keyed(prefix, host, build_paths, first_key):
    """Starts the keyed shell; the host signs with the first test key."""
    exe = build_paths.keyed_shell_exe
    if not exe.is_file():
        pytest.fail("the keyed shell is missing (%s): scripts/build.sh builds it with "
                    "-DZRQ_TEST_CHANNEL_KEYS" % exe, pytrace=False)
    host.sign_with(first_key)
    launcher = ShellLauncher(prefix, exe, build_paths.winctl)
    yield launcher
    launcher.cleanup()


def accepted_record(prefix, path):
    record = prefix.signature_record(path)
    return record.read_text() if record.is_file() else None


def record_text(path, signed_at):
    return '{"path":"%s","signedAt":%d}\n' % (path, signed_at)


def assert_nothing_used(host, prefix, requested):
    """Only these documents were asked for: no shell, installer or check request; the
    channel record is the one seeded; nothing stays staged."""
    assert [r.target for r in host.requests()] == requested
    assert prefix.channel_record(APP_ID) == RECORD
    assert prefix.staging_dirs() == []


def test_signed_documents_install_and_update_to_a_signed_v3(keyed, host, prefix, build_paths,
                                                             installer_bytes):
    host.publish_manifest("3", shell_bytes=build_paths.keyed_shell_v3_exe.read_bytes())
    config = host.publish_package(1234, installer_bytes=installer_bytes)
    proc = keyed.start()
    assert proc.wait(90) == 0
    assert prefix.wait_installer_run(timeout=60) is not None
    logs = wait_logs(prefix, lambda l: "updated" in l and "handed-off" in l)
    assert [log["sdkCode"] for log in logs["updated"] + logs["handed-off"]] == [0, 0]
    assert [r.target for r in host.requests()] == [
        MANIFEST_PATH, SHELL_PATH, MANIFEST_PATH, "/" + CONFIG, CHECK_TARGET,
        host.installer_target(config)]
    signed_at = config["signedAt"]
    assert accepted_record(prefix, CONFIG) == record_text(CONFIG, signed_at)
    assert accepted_record(prefix, paths.kShellManifestPath) is not None


@pytest.mark.parametrize("make_config,message", [
    pytest.param(lambda key, other, doc: dict(doc, gameId="game-2"), INVALID,
                 id="one-member-changed"),
    pytest.param(lambda key, other, doc: other.sign(CONFIG, doc), INVALID, id="another-key"),
    pytest.param(lambda key, other, doc: {k: v for k, v in doc.items()
                                          if k not in ("signature", "signedAt")},
                 INVALID, id="no-signature"),
    pytest.param(lambda key, other, doc: key.sign(paths.kShellManifestPath, doc), INVALID,
                 id="manifest-signature-on-a-configuration"),
    pytest.param(lambda key, other, doc: key.sign("pc/config/1001.json", doc), INVALID,
                 id="signed-for-another-package"),
    pytest.param(lambda key, other, doc: key.sign(CONFIG, doc, expires_at=int(time.time()) - 60),
                 EXPIRED, id="expired"),
])
def test_a_configuration_the_channel_did_not_sign_is_refused(keyed, host, prefix, first_key,
                                                            other_key, make_config, message):
    seed_record(prefix, RECORD)
    doc = host.publish_package(1234, installer_bytes=b"MZ" * 100)
    host.set("/" + CONFIG, Response.json(make_config(first_key, other_key, doc)))
    expect_failure(keyed.start(), prefix, message, -5)
    assert_nothing_used(host, prefix, [MANIFEST_PATH, "/" + CONFIG])


def test_a_manifest_with_a_raised_version_is_refused_before_anything_else(
        keyed, host, prefix, build_paths):
    seed_record(prefix, RECORD)
    doc = host.publish_manifest("2")
    doc.update(versionCode="3", shell={"type": "exe", "url": "https://files.zrq.test" + SHELL_PATH,
                                       "sha256": "ab" * 32, "sizeBytes": "100"})
    host.set(MANIFEST_PATH, Response.json(doc))
    expect_failure(keyed.start(), prefix, INVALID, -5)
    assert_nothing_used(host, prefix, [MANIFEST_PATH])


def test_an_older_configuration_is_refused_until_the_record_is_gone(keyed, host, prefix,
                                                                     first_key, installer_bytes):
    fresh = host.publish_package(1234, installer_bytes=installer_bytes)
    assert keyed.run(timeout=60) == 0
    seed_record(prefix, RECORD)
    older_at = fresh["signedAt"] - 3600
    host.set("/" + CONFIG, Response.json(first_key.sign(CONFIG, fresh, signed_at=older_at)))
    asked = len(host.requests())
    failed_run(keyed.start(), OLDER)
    assert [r.target for r in host.requests()[asked:]] == [MANIFEST_PATH, "/" + CONFIG]
    assert prefix.channel_record(APP_ID) == RECORD
    assert [(log["data"]["status"], log["data"]["sdkCode"])
            for log in prefix.attempt_logs()] == [("handed-off", 0), ("failed", -5)]
    # A missing record means only that there is nothing to compare with.
    prefix.signature_record(CONFIG).unlink()
    assert keyed.run(timeout=60) == 0
    assert accepted_record(prefix, CONFIG) == record_text(CONFIG, older_at)


def test_two_games_at_once_both_keep_their_records(keyed, host, prefix, installer_bytes):
    configs = [host.publish_package(package, app_id="game_%s" % package,
                                    installer_bytes=installer_bytes,
                                    installer_behaviour={"chunk_size": 65536, "chunk_delay": 0.05})
               for package in ("1001", "1002")]
    shells = [keyed.start(name="Game_Setup_pc%s.exe" % c["packageId"]) for c in configs]
    assert [proc.wait(90) for proc in shells] == [0, 0]
    for config in configs:
        path = "pc/config/%s.json" % config["packageId"]
        assert accepted_record(prefix, path) == record_text(path, config["signedAt"])


def test_the_shell_without_keys_ignores_signature_members(shell, host, prefix, other_key,
                                                          installer_bytes):
    config = host.publish_package(1234, installer_bytes=installer_bytes)
    bogus = dict(other_key.sign(CONFIG, config), displayName="changed after signing",
                 expiresAt=1)
    host.set("/" + CONFIG, Response.json(bogus))
    assert shell.run(timeout=60) == 0
    assert prefix.wait_installer_run() is not None
    assert not prefix.signature_records.exists()
