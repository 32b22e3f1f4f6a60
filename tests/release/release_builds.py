"""Where the exes under test are."""

import os
from pathlib import Path

import pytest

ROOT = Path(__file__).resolve().parents[2]

EXES = {
    "i686": ("ZRQ_RELEASE_EXE", ROOT / "build/i686/src/zrq-setup.exe"),
    "x86_64": ("ZRQ_SHELL_EXE", ROOT / "build/x64/src/zrq-setup.exe"),
}


def exe_path(arch):
    variable, default = EXES[arch]
    path = Path(os.environ.get(variable) or default)
    if not path.is_file():
        pytest.fail("%s not built (%s names it; scripts/build.sh builds it)" % (path, variable),
                    pytrace=False)
    return path
