"""The shell's sources keep their layers: every include runs down them (app,
session, net, platform, core), and nothing in a rules/ folder reaches
windows.h, directly or through another header, so the native build compiles
the decisions for the toolkit, the unit tests and the fuzzing."""

import re
from pathlib import Path

SRC = Path(__file__).resolve().parents[2] / "src"
RANK = {"app": 4, "session": 3, "net": 2, "platform": 1, "core": 0}
PROJECT_INCLUDE = re.compile(r'^\s*#\s*include\s+"([^"]+)"', re.M)
WINDOWS_HEADER = re.compile(r'^\s*#\s*include\s+<(windows|win\w*|bcrypt|sddl|aclapi|shlobj|objbase|'
                            r'shellapi|knownfolders|commctrl)\.h>', re.M | re.I)


def sources():
    return sorted(p for p in SRC.rglob("*") if p.suffix in (".cpp", ".hpp", ".inc"))


def layer(relative):
    return relative.split("/")[0] if "/" in relative else "core"  # build_config.hpp


def test_every_include_runs_down_the_layers():
    upward = []
    for path in sources():
        own = path.relative_to(SRC).as_posix()
        for included in PROJECT_INCLUDE.findall(path.read_text(encoding="utf-8")):
            if "/" not in included or layer(included) not in RANK:
                continue  # a generated header of the build, or one beside the file
            if RANK[layer(included)] > RANK[layer(own)]:
                upward.append("%s -> %s" % (own, included))
    assert not upward, "includes that run up the layers:\n  " + "\n  ".join(upward)


def reaches_windows(relative, seen):
    if relative in seen:
        return None
    seen.add(relative)
    path = SRC / relative
    if not path.is_file():
        return None
    text = path.read_text(encoding="utf-8")
    if WINDOWS_HEADER.search(text):
        return [relative]
    for included in PROJECT_INCLUDE.findall(text):
        chain = reaches_windows(included, seen)
        if chain:
            return [relative] + chain
    return None


def test_no_decision_reaches_windows_h():
    found = []
    rules = [p for p in sources() if "/rules/" in p.as_posix()]
    assert len(rules) > 40, "the rules/ folders are gone"
    for path in rules:
        chain = reaches_windows(path.relative_to(SRC).as_posix(), set())
        if chain:
            found.append(" -> ".join(chain))
    assert not found, "decision code that reaches a Windows header:\n  " + "\n  ".join(found)
