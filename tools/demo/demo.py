"""A local demo install: the real shell under Wine installs a sample game from the
project's own HTTPS file host. Run through scripts/demo.sh (it builds first and
enters the private network namespace where the test host names resolve)."""

import argparse
import json
import os
import shutil
import subprocess
import sys
import time
from pathlib import Path

sys.path.insert(0, str(Path(__file__).resolve().parents[1]))

from zrqtest import (BuildPaths, Driver, Response, ShellLauncher, TestHost, Xvfb,  # noqa: E402
                     build_template, make_tls_material)
from zrqtest.wineprefix import NOT_STARTED, WineError, not_started_message  # noqa: E402
from zrqtest.png import convert  # noqa: E402

PACKAGE_ID = "1001"
SETUP_NAME = "Sample_Setup_pc%s.exe" % PACKAGE_ID
SAMPLE_SIZE = 6 * 1024 * 1024  # the sample installer, padded so the download takes a moment
TRICKLE = (64 * 1024, 0.04)     # bytes per chunk, seconds between chunks


def display_or_xvfb(work):
    display = os.environ.get("DISPLAY")
    if display and subprocess.run(["xdpyinfo"], stdout=subprocess.DEVNULL,
                                  stderr=subprocess.DEVNULL).returncode == 0:
        return display, None
    xvfb = Xvfb(work / "xvfb.log")
    return xvfb.start(), xvfb


def sample_installer(paths):
    # Trailing bytes after a PE image do not change how it runs.
    data = paths.test_installer.read_bytes()
    return data + b"\0" * max(0, SAMPLE_SIZE - len(data))


def windows_name(prefix, path):
    """C:\\... form of a file inside the prefix's drive C."""
    relative = Path(path).relative_to(prefix.drive_c)
    return "C:\\" + str(relative).replace("/", "\\")


def show(title, text):
    print("\n== %s\n%s" % (title, text))


def main():
    ap = argparse.ArgumentParser(description=__doc__)
    ap.add_argument("--work", default=str(Path(__file__).resolve().parents[2] / "build" / "demo"))
    args = ap.parse_args()

    work = Path(args.work)
    shutil.rmtree(work, ignore_errors=True)
    work.mkdir(parents=True)
    paths = BuildPaths.from_env()
    missing = paths.missing(("shell_exe", "winctl", "ca_install", "test_installer"))
    if missing:
        sys.exit("demo: missing build outputs:\n  " + "\n  ".join(missing))

    display, xvfb = display_or_xvfb(work)
    print("display %s%s" % (display, " (Xvfb)" if xvfb else ""))
    tls = make_tls_material(work / "tls")
    host = TestHost(tls.server_cert, tls.server_key).start()
    prefix = None
    try:
        print("preparing a Wine prefix (first boot takes a few seconds) ...")
        prefix = build_template(work / "prefix", display, paths.ca_install, tls.ca_cert)
        prefix.start_server()

        config = host.publish_package(
            PACKAGE_ID, app_id="sample_game", channel_code="demo-channel",
            display_name="示例游戏", game_id="sample-game", installer_bytes=sample_installer(paths),
            installer_behaviour={"chunk_size": TRICKLE[0], "chunk_delay": TRICKLE[1]})
        show("package configuration served at https://files.zrq.test/pc/config/%s.json" % PACKAGE_ID,
             json.dumps(config, ensure_ascii=False, indent=2))

        launcher = ShellLauncher(prefix, paths.shell_exe, paths.winctl)
        driver = Driver(prefix, paths.winctl)
        started = time.monotonic()
        shell = launcher.start(name=SETUP_NAME)
        print("\nstarted C:\\dl\\%s" % SETUP_NAME)

        screenshot = None
        try:
            state = driver.wait_for(lambda s: s.get("found") and "%" in s.get("status", ""), timeout=60)
            time.sleep(0.6)  # let the percentage move on a little
            bmp = work / "window.bmp"
            driver.screenshot(bmp)
            screenshot = work / "window-downloading.png"
            convert(bmp, screenshot)
            print("window: %s | %s" % (state.get("caption"), state.get("status")))
        except Exception as error:  # the run goes on; the picture is a bonus
            if shell.poll() is not None and NOT_STARTED in shell.stderr_path.read_bytes():
                raise WineError(not_started_message(paths.shell_exe))
            print("no screenshot: %s" % error)

        code = shell.wait(120)
        show("exit code", "%d  (%.1f s)" % (code, time.monotonic() - started))
        record = prefix.channel_record("sample_game")
        show("channel record %s" % windows_name(prefix, prefix.channel_record_path("sample_game")),
             record.decode("utf-8") if record is not None else "(none)")
        for log in prefix.attempt_logs():
            show("attempt log %s" % windows_name(prefix, log["path"]), log["text"])
        run = prefix.wait_installer_run(timeout=20)
        show("the sample installer left its mark (%LOCALAPPDATA%\\ZRQSampleGame\\installer-run.json)",
             json.dumps(run, ensure_ascii=False, indent=2) if run else "(not found)")
        if screenshot:
            show("screenshot of the window during the download", str(screenshot))
        return code
    finally:
        if prefix is not None:
            prefix.kill_server()
        host.stop()
        if xvfb:
            xvfb.stop()


if __name__ == "__main__":
    try:
        sys.exit(main())
    except WineError as error:
        sys.exit("demo: %s" % error)
