"""Checks of the built exes as they ship: PE headers, imports, version resource,
signing and reproducibility.

    python3 -m pytest tests/release

ZRQ_RELEASE_EXE names the 32-bit release exe, ZRQ_SHELL_EXE the 64-bit test
build (defaults: build/i686/src/zrq-setup.exe and build/x64/src/zrq-setup.exe).
"""

import sys
from pathlib import Path

import pytest

sys.path.insert(0, str(Path(__file__).resolve().parent))

from pe_image import PE  # noqa: E402
from release_builds import EXES, exe_path  # noqa: E402


@pytest.fixture(params=sorted(EXES))
def built(request):
    """(arch, path, PE) for each of the two exes."""
    path = exe_path(request.param)
    return request.param, path, PE.load(path)


@pytest.fixture
def release_exe():
    return exe_path("i686")
