"""Documents nested deeper than the shell reads (64 levels) are invalid JSON to
it, wherever the nesting sits: the run ends with the general failure, before
anything further is asked or written. Up to 64 levels a value passes through
as any other, into the check request and the attempt log."""

import json

import pytest

from install_support import APP_ID, expect_failure
from zrqtest.testhost import MANIFEST_PATH, Response
from zrqtest.vocabulary import limits, msg

GENERAL_FAILURE = msg.kUnexpectedFailure
LIMIT = 64


def nested(levels):
    """A value of `levels` nested arrays around 1."""
    return "[" * levels + "1" + "]" * levels


def document_with(doc, path, levels):
    """The compact text of doc with the nested value at path (a list of keys);
    built as text, so any depth is possible."""
    marker = "\u0000deep\u0000"
    target = doc
    for key in path[:-1]:
        target = target[key]
    target[path[-1]] = marker
    text = json.dumps(doc, ensure_ascii=False, separators=(",", ":"))
    return text.replace(json.dumps(marker), nested(levels)).encode("utf-8")


# (where, keys to the value, levels around the value itself that make the whole
# document nest exactly LIMIT deep)
POSITIONS = {
    "configuration-mother-id": ("config", ["installer", "packageId"], LIMIT - 2),
    "configuration-extra-member": ("config", ["extra"], LIMIT - 1),
    "manifest-extra-member": ("manifest", ["extra"], LIMIT - 1),
    "check-answer-data": ("check", ["data", "extra"], LIMIT - 2),
}


def serve(host, installer_bytes, where, path, levels):
    config = host.publish_package(1234, installer_bytes=installer_bytes)
    if where == "config":
        body = document_with(dict(config), path, levels)
        host.publish_package(1234, installer_bytes=installer_bytes,
                             config_response=Response(body=body))
    elif where == "manifest":
        body = document_with({"schemaVersion": 1, "versionCode": "2"}, path, levels)
        host.publish_manifest("2", response=Response(body=body))
    else:
        body = document_with({"code": 1, "data": {"packageId": "1234"}}, path, levels)
        host.check_answer(Response(body=body))
    assert len(body) <= limits.kJsonBodyLimit
    return config


@pytest.mark.parametrize("position", sorted(POSITIONS))
def test_nesting_up_to_the_limit_installs(shell, host, prefix, installer_bytes, position):
    where, path, levels = POSITIONS[position]
    serve(host, installer_bytes, where, path, levels)
    assert shell.run(timeout=60) == 0
    assert prefix.wait_installer_run() is not None
    [log] = [log["data"] for log in prefix.attempt_logs()]
    assert log["status"] == "handed-off"
    if position == "configuration-mother-id":
        sent = json.loads(host.check_requests()[0].body)
        assert json.dumps(sent["motherId"], separators=(",", ":")) == nested(levels)
        assert json.dumps(log["motherId"], separators=(",", ":")) == nested(levels)


@pytest.mark.parametrize("position,extra", [
    (position, extra) for position in sorted(POSITIONS) for extra in (1, 1000)
] + [("configuration-mother-id", 20000), ("manifest-extra-member", 20000)])
def test_deeper_nesting_is_refused_as_invalid_json(shell, host, prefix, installer_bytes,
                                                   position, extra):
    where, path, levels = POSITIONS[position]
    serve(host, installer_bytes, where, path, levels + extra)
    expect_failure(shell.start(), prefix, GENERAL_FAILURE, -11)
    asked = [(r.listener, r.path) for r in host.requests()]
    if where == "manifest":
        assert asked == [("files", MANIFEST_PATH)]
    elif where == "config":
        assert host.check_requests() == []
    assert prefix.channel_record(APP_ID) is None
    assert prefix.installer_run() is None
