"""Whatever a broken or hostile file host or check endpoint answers, the shell
ends by itself: with 0 only when the installer it verified is the right one
(and then it installs as always), otherwise with 1 and one of its own
messages, nothing left in staging but at most the bytes received of the real
installer (kept for the next run), the channel record untouched and the
attempt log saying "failed". Never a crash, never another exit code.

A download that breaks off is asked for again; the pauses between requests are
cut to RETRY_WAIT_MS and the send and receive time-outs to TRANSFER_TIMEOUT_MS
here (a test build's switches), so that the answers that break or stall every
request do not each take the 15 s of real pauses or five real time-outs (the
transport tests show the real time-out).

One prefix serves all the answers of a request, one shell run each, as a
player's machine would meet them one after another."""

import json
import shutil
import time

import pytest

from hostile_answers import catalogue
from install_support import (APP_ID, assert_only_part_kept, crash_reported, own_messages, run_to_end,
                             seed_record)

OLD_RECORD = b'{"channelCode":"before"}'
NEW_RECORD = b'{"channelCode":"channel-01"}'
RUN_LOG = "C:\\run\\installer.json"
RETRY_WAIT_MS = 50
TRANSFER_TIMEOUT_MS = 2000
STALL = 3.0


def compact(doc):
    return json.dumps(doc, ensure_ascii=False, separators=(",", ":")).encode("utf-8")


def wait_for_file(path, timeout=15.0):
    """The shell does not wait for the installer it starts."""
    deadline = time.monotonic() + timeout
    while not path.is_file():
        if time.monotonic() >= deadline:
            return False
        time.sleep(0.05)
    return True


def fresh_state(prefix):
    shutil.rmtree(prefix.sdk_root, ignore_errors=True)
    shutil.rmtree(prefix.unix_path("C:\\run"), ignore_errors=True)
    prefix.unix_path("C:\\run").mkdir(parents=True)
    seed_record(prefix, OLD_RECORD)


def problems_of_run(prefix, host, shell, installer_bytes, messages, timeout=45):
    """Runs the shell once; returns what is wrong with how it ended (empty: fine)."""
    proc = shell.start(env={"ZRQ_INSTALLER_RECORD": RUN_LOG,
                            "ZRQ_TEST_RETRY_WAIT_MS": str(RETRY_WAIT_MS),
                            "ZRQ_TEST_TRANSFER_TIMEOUT_MS": str(TRANSFER_TIMEOUT_MS)})
    try:
        code, message = run_to_end(proc, timeout=timeout)
    except AssertionError as hang:
        return None, None, [str(hang)]
    problems = []
    if crash_reported(proc):
        problems.append("Wine reported a crash")
    logs = [log["data"] for log in prefix.attempt_logs()]
    staged = [p for d in prefix.staging_dirs() for p in d.iterdir()] if code == 0 else []
    if code == 0:
        if not wait_for_file(prefix.unix_path(RUN_LOG)):
            problems.append("exit 0 but no installer was started")
        if [p.read_bytes() == installer_bytes for p in staged] != [True]:
            problems.append("exit 0 without the right installer staged")
        if prefix.channel_record(APP_ID) != NEW_RECORD:
            problems.append("exit 0 but record %r" % prefix.channel_record(APP_ID))
        if [log.get("status") for log in logs] != ["handed-off"]:
            problems.append("exit 0 but logs %s" % logs)
    elif code == 1:
        if message not in messages:
            problems.append("message %r is not the shell's own (stderr: %r)" % (
                message, proc.stderr_path.read_bytes()[-1500:]))
        if prefix.channel_record(APP_ID) != OLD_RECORD:
            problems.append("record changed to %r" % prefix.channel_record(APP_ID))
        try:
            # A run that failed before the download made no staging area.
            if (prefix.sdk_root / "temp").exists():
                assert_only_part_kept(prefix, installer_bytes)
        except AssertionError as left:
            problems.append("staging left: %s (%s)" % (prefix.staging_dirs(), left))
        if prefix.unix_path(RUN_LOG).is_file():
            problems.append("the installer was started")
        if [log.get("status") for log in logs] != ["failed"]:
            problems.append("logs %s" % logs)
    else:
        problems.append("exit code %s" % code)
    return code, message, problems


def good_bodies(host, installer_bytes):
    config = host.publish_package(1234, installer_bytes=installer_bytes)
    return {
        "manifest": compact({"schemaVersion": 1, "versionCode": "2"}),
        "config": compact(config),
        "check": compact({"code": 1, "data": {"packageId": "1234"}}),
        "installer": installer_bytes,
    }


def serve(host, installer_bytes, request, answer):
    host.reset()
    host.publish_package(1234, installer_bytes=installer_bytes,
                         config_response=answer if request == "config" else None,
                         installer_response=answer if request == "installer" else None)
    if request == "manifest":
        host.publish_manifest("2", response=answer)
    if request == "check":
        host.check_answer(answer)


# The JSON requests meet the whole catalogue but the stalls, which the transport
# tests already show for them; the installer meets it all.
@pytest.mark.parametrize("request_name", ["manifest", "config", "check", "installer"])
def test_any_answer_ends_the_run_cleanly(shell, host, prefix, installer_bytes, request_name):
    messages = own_messages()
    good = good_bodies(host, installer_bytes)[request_name]
    answers = catalogue(good, stall=STALL if request_name == "installer" else None)
    outcomes, problems = {}, {}
    timeout = 45
    for name, answer in answers.items():
        fresh_state(prefix)
        serve(host, installer_bytes, request_name, answer)
        code, message, found = problems_of_run(prefix, host, shell, installer_bytes, messages, timeout)
        outcomes[name] = (code, message)
        if found:
            problems[name] = found
    print("\n%s: %s" % (request_name, json.dumps(outcomes, ensure_ascii=False, indent=1)))
    assert not problems, json.dumps(problems, ensure_ascii=False, indent=1)
    # The catalogue is not all harmless: most answers must have ended the run.
    assert sum(1 for code, _ in outcomes.values() if code == 1) >= len(answers) // 2
