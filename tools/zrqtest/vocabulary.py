"""What the tests check the shell against, read from the shell's own sources:
every text a player can see (src/core/messages.inc) and the protocol's limits
(src/core/limits.hpp), so that no test spells one out again.

    from zrqtest.vocabulary import msg, limits
    msg.kBadUrl            # "下载地址无效"
    limits.kJsonBodyLimit  # 131072
"""

import re
from pathlib import Path
from types import SimpleNamespace

CORE = Path(__file__).resolve().parents[2] / "src" / "core"


def _messages():
    text = (CORE / "messages.inc").read_text(encoding="utf-8")
    return {name: value for name, value in re.findall(r'^ZRQ_TEXT\((\w+), "([^"]*)"\)', text, re.M)}


def _limits():
    text = (CORE / "limits.hpp").read_text(encoding="utf-8")
    found = {}
    for name, value in re.findall(r"constexpr [\w:]+ (k\w+) = (\d+)u?;", text):
        found[name] = int(value)
    return found


MESSAGES = _messages()
msg = SimpleNamespace(**MESSAGES)
limits = SimpleNamespace(**_limits())
