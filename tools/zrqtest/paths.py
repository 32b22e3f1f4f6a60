"""Where the programs under test and the helper tools are."""

import functools
import os
import re
import struct
import subprocess
from dataclasses import dataclass
from pathlib import Path

REPO_ROOT = Path(__file__).resolve().parents[2]
WINE = "/usr/lib/wine/wine64"
WINESERVER = "/usr/lib/wine/wineserver"

MACHINE_BITS = {0x14C: 32, 0x8664: 64}


@functools.lru_cache(maxsize=None)
def wine_version():
    """(major, minor) of the Wine that runs the tests: 10 in the WoW64 root
    (tools/wow64), 8 on Debian 12 itself; (0, 0) when it cannot be run."""
    try:
        out = subprocess.run([WINE, "--version"], stdin=subprocess.DEVNULL,
                             stdout=subprocess.PIPE, stderr=subprocess.DEVNULL,
                             timeout=30).stdout.decode(errors="replace")
    except (OSError, subprocess.TimeoutExpired):
        return (0, 0)
    found = re.search(r"wine-(\d+)\.(\d+)", out)
    return (int(found.group(1)), int(found.group(2))) if found else (0, 0)


def exe_bits(path):
    """32 or 64: the architecture a Windows exe was built for (its PE machine)."""
    with open(path, "rb") as f:
        head = f.read(4096)
    (pe_offset,) = struct.unpack_from("<I", head, 0x3C)
    if head[:2] != b"MZ" or head[pe_offset:pe_offset + 4] != b"PE\0\0":
        raise ValueError("%s is not a PE file" % path)
    (machine,) = struct.unpack_from("<H", head, pe_offset + 4)
    return MACHINE_BITS[machine]


@dataclass
class BuildPaths:
    build_dir: Path
    shell_exe: Path
    winctl: Path
    ca_install: Path
    test_installer: Path

    @classmethod
    def from_env(cls, env=None):
        """ZRQ_BUILD_DIR (default build/x64) holds the tools; ZRQ_SHELL_EXE names the
        shell under test (default <build>/src/zrq-setup.exe)."""
        env = os.environ if env is None else env
        build = Path(env.get("ZRQ_BUILD_DIR") or REPO_ROOT / "build" / "x64").resolve()
        shell = Path(env.get("ZRQ_SHELL_EXE") or build / "src" / "zrq-setup.exe").resolve()
        tools = build / "tools"
        v3 = env.get("ZRQ_SHELL_V3_EXE")
        return cls(build, shell, tools / "winctl" / "winctl.exe",
                   tools / "ca-install" / "ca-install.exe",
                   tools / "test-installer" / "test-installer.exe",
                   Path(v3).resolve() if v3 else None,
                   shell.with_name("zrq-setup-keyed.exe"),
                   shell.with_name("zrq-setup-keyed-v3.exe"))

    shell_v3_exe: Path = None
    # The same shells built with the test channel keys (tests/keys), beside them.
    keyed_shell_exe: Path = None
    keyed_shell_v3_exe: Path = None

    @property
    def shell_bits(self):
        """32 for the shell players get; 64 for the x64 test build under Wine 8."""
        return exe_bits(self.shell_exe)

    def missing(self, names=("winctl", "ca_install")):
        """Human-readable list of the named files (and Wine) that do not exist."""
        out = []
        for name in names:
            path = getattr(self, name)
            if not path.is_file():
                out.append(f"{name}: {path}")
        for prog in (WINE, WINESERVER):
            if not os.access(prog, os.X_OK):
                out.append(f"wine: {prog}")
        return out
