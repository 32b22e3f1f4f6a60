"""Where the programs under test and the helper tools are."""

import os
from dataclasses import dataclass
from pathlib import Path

REPO_ROOT = Path(__file__).resolve().parents[2]
WINE = "/usr/lib/wine/wine64"
WINESERVER = "/usr/lib/wine/wineserver"


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
                   Path(v3).resolve() if v3 else None)

    shell_v3_exe: Path = None

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
