"""What the tests check the shell against, read from the shell's own sources:
every text a player can see (src/core/messages.inc), the protocol's limits
(src/core/limits.hpp) and the paths it asks for (src/net/rules/endpoints.hpp), so
that no test spells one out again.

    from zrqtest.vocabulary import msg, limits, paths
    msg.kBadUrl            # "下载地址无效"
    limits.kJsonBodyLimit  # 131072
    paths.kCheckTarget     # "/index.php?g=Home&m=PcSetup&a=check"
"""

import re
from pathlib import Path
from types import SimpleNamespace

SOURCES = Path(__file__).resolve().parents[2] / "src"
CORE = SOURCES / "core"


def _messages():
    text = (CORE / "messages.inc").read_text(encoding="utf-8")
    return {name: value for name, value in re.findall(r'^ZRQ_TEXT\((\w+), "([^"]*)"\)', text, re.M)}


def _limits():
    text = (CORE / "limits.hpp").read_text(encoding="utf-8")
    found = {}
    for name, value in re.findall(r"constexpr [\w:]+ (k\w+) = (\d+)u?;", text):
        found[name] = int(value)
    return found


def _paths():
    text = (SOURCES / "net" / "rules" / "endpoints.hpp").read_text(encoding="utf-8")
    return dict(re.findall(r'constexpr char (k\w+)\[\] = "([^"]*)";', text))


MESSAGES = _messages()
msg = SimpleNamespace(**MESSAGES)
limits = SimpleNamespace(**_limits())
paths = SimpleNamespace(**_paths())
