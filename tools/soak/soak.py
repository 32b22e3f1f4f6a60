"""Soak: many installs in a row in one Wine prefix, as one player's machine
meets the shell again and again. Every run must exit 0 and start the
installer; prints the time per run and the shell's peak memory over the first
and the last ten runs. Exits 1 when any run failed.

    tools/netns-run /usr/bin/python3 tools/soak/soak.py [--runs 100]

ZRQ_BUILD_DIR (default build/x64) holds the 64-bit shell and the test tools.
"""

import argparse
import shutil
import statistics
import sys
import tempfile
import time
from pathlib import Path

REPO = Path(__file__).resolve().parents[2]
sys.path.insert(0, str(REPO / "tools"))

from zrqtest import (BuildPaths, ShellLauncher, TestHost, Xvfb,  # noqa: E402
                     build_template, make_tls_material)
from zrqtest.process_stats import waited  # noqa: E402

MIB = 1 << 20
HOLDER_DIR = "C:\\soak"


def summary(label, runs):
    times = [t for t, _ in runs]
    peaks = [p / MIB for _, p in runs]
    return "%-16s time per run %.2f s median (%.2f-%.2f), peak memory %.1f MiB median (%.1f-%.1f)" % (
        label, statistics.median(times), min(times), max(times), statistics.median(peaks),
        min(peaks), max(peaks))


def main(argv=None):
    ap = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    ap.add_argument("--runs", type=int, default=100)
    args = ap.parse_args(argv)
    paths = BuildPaths.from_env()
    holder_exe = paths.build_dir / "tools" / "bench" / "zrq-bench-client.exe"
    missing = paths.missing(("shell_exe", "winctl", "ca_install", "test_installer"))
    if not holder_exe.is_file():
        missing.append("bench client: %s" % holder_exe)
    if missing:
        print("soak: missing (scripts/build.sh builds them):\n  " + "\n  ".join(missing))
        return 2

    work = Path(tempfile.mkdtemp(prefix="zrq-soak-"))
    xvfb = Xvfb(work / "xvfb.log")
    host = prefix = None
    failures = []
    results = []
    try:
        tls = make_tls_material(work / "tls")
        xvfb.start()
        template = build_template(work / "template", xvfb.display, paths.ca_install, tls.ca_cert)
        prefix = template.clone(work / "prefix")
        prefix.start_server()
        host = TestHost(tls.server_cert, tls.server_key).start()
        installer = paths.test_installer.read_bytes()
        # A window kept open all along, so Wine's desktop stays up between runs.
        holder_dir = prefix.unix_path(HOLDER_DIR)
        holder_dir.mkdir(parents=True)
        shutil.copyfile(holder_exe, holder_dir / "holder.exe")
        holder, _, _ = prefix.popen([HOLDER_DIR + "\\holder.exe", "hold", "86400000"], stem="hold")
        launcher = ShellLauncher(prefix, paths.shell_exe, paths.winctl)
        launcher.install()
        for number in range(1, args.runs + 1):
            # An installer of its own size each time, so that every run downloads
            # (a shell starts the copy an earlier run verified instead).
            host.publish_package(1234, installer_bytes=installer + b"\0" * number)
            prefix.installer_run_path.unlink(missing_ok=True)
            started = time.time()
            proc, _, _ = prefix.popen(["C:\\dl\\Game_Setup_pc1234.exe"], stem="shell")
            code, ended, peak = waited(proc, timeout=120)
            results.append((ended - started, peak))
            installed = prefix.wait_installer_run(timeout=15) is not None
            if code != 0 or not installed:
                failures.append((number, code, installed))
                print("run %d: exit %s, installer started: %s" % (number, code, installed), flush=True)
        holder.kill()
    finally:
        if host:
            host.stop()
        if prefix:
            prefix.kill_server()
        xvfb.stop()
        shutil.rmtree(work, ignore_errors=True)

    print("soak: %d installs in one prefix, %d failed" % (len(results), len(failures)))
    if len(results) >= 20:
        print("  " + summary("first ten runs", results[:10]))
        print("  " + summary("last ten runs", results[-10:]))
    return 1 if failures or len(results) < args.runs else 0


if __name__ == "__main__":
    sys.exit(main())
