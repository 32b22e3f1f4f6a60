"""Two clean builds of the same sources give the same unsigned release exe."""

import hashlib
import re
import subprocess

from release_builds import ROOT

# Channel settings of the release build, so the rebuilds can be compared with it.
SETTINGS = ("ZRQ_FILE_HOST", "ZRQ_CHECK_HOST", "ZRQ_SHELL_VERSION_CODE")


def test_rebuilds_are_byte_identical_to_the_release_exe(release_exe):
    cache = (release_exe.parent.parent / "CMakeCache.txt").read_text(encoding="utf-8")
    defines = ["-D%s=%s" % (name, re.search(r"^%s:\w+=(.*)$" % name, cache, re.M).group(1))
               for name in SETTINGS]
    result = subprocess.run([str(ROOT / "scripts/check-reproducible.sh"), *defines],
                            capture_output=True, text=True, timeout=1200)
    assert result.returncode == 0, result.stdout + result.stderr
    digest = re.search(r"^reproducible ([0-9a-f]{64})$", result.stdout, re.M).group(1)
    assert digest == hashlib.sha256(release_exe.read_bytes()).hexdigest(), (
        "%s was not built from these sources with these settings" % release_exe)
