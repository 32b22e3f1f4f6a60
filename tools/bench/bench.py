"""Benchmark of the shell under Wine, each figure measured apart and printed
with its goal: the shell's own part of the time to its window, per-byte
throughput against a minimal reference client as nginx sees it, the fixed cost
of a session, peak memory, time from Cancel to exit, a download continued after
a cut every tenth of the file against a clean one, what checking a channel's
signatures adds before the download, exe sizes.

Run through scripts/bench.sh, which builds what is needed and runs this inside
tools/netns-run (the test host names resolve only there):

    tools/netns-run /usr/bin/python3 tools/bench/bench.py [--runs 5] [--size-mib 1024]

ZRQ_BUILD_DIR (default build/x64) holds the shell, the bench client and the
test tools, of either architecture (build/i686-test for the 32-bit shell, run
in the WoW64 root: memory is then that of the shell's own process, not of the
start.exe that Wine runs it from); ZRQ_SHELL_EXE another shell to measure with
them; ZRQ_RELEASE_EXE (default build/i686/src/zrq-setup.exe) is the 32-bit exe
whose size is reported.
"""

import argparse
import hashlib
import json
import os
import shutil
import sys
import tempfile
import time
from pathlib import Path

REPO = Path(__file__).resolve().parents[2]
sys.path.insert(0, str(REPO / "tools"))

from figures import PACKAGE, BenchError, Figures  # noqa: E402
from zrqtest import BuildPaths, ShellLauncher, TestHost, Xvfb, build_template  # noqa: E402
from zrqtest import make_tls_material  # noqa: E402
from zrqtest.nginx import FileHostSite, NginxFileHost  # noqa: E402
from zrqtest.process_stats import waited  # noqa: E402
from zrqtest.testhost import FILE_HOST, HOSTS  # noqa: E402

CLIENT_DIR = "C:\\bench"
# nginx serves the installer of the throughput runs beside the Python host on
# the file host's address; the trusted-host rule ignores the port.
NGINX_LISTEN = ("127.0.0.2", 8443)
INSTALLER_TARGET = "/pc/installers/%s/setup.exe" % PACKAGE


def payload(installer, size):
    """The stand-in installer padded to size bytes: a valid exe the shell can start."""
    if size < len(installer):
        raise BenchError("installer size below the stand-in's own %d bytes" % len(installer))
    return installer + bytes(size - len(installer))


class Bench(Figures):
    def __init__(self, args):
        self.args = args
        self.paths = BuildPaths.from_env()
        missing = self.paths.missing(("shell_exe", "winctl", "ca_install", "test_installer"))
        self.client = self.paths.build_dir / "tools" / "bench" / "zrq-bench-client.exe"
        if not self.client.is_file():
            missing.append("bench client: %s" % self.client)
        self.plain_window = self.client.with_name("zrq-bench-window.exe")
        if not self.plain_window.is_file():
            missing.append("window baseline: %s" % self.plain_window)
        if missing:
            raise BenchError("missing (run scripts/bench.sh):\n  " + "\n  ".join(missing))
        self.release_exe = Path(os.environ.get("ZRQ_RELEASE_EXE") or
                                REPO / "build" / "i686" / "src" / "zrq-setup.exe")
        self.work = Path(tempfile.mkdtemp(prefix="zrq-bench-"))
        self.installer = self.paths.test_installer.read_bytes()
        self.figures = []

    # -- set-up ---------------------------------------------------------------------

    def start(self):
        tls = make_tls_material(self.work / "tls")
        self.xvfb = Xvfb(self.work / "xvfb.log")
        self.xvfb.start()
        template = build_template(self.work / "template", self.xvfb.display,
                                  self.paths.ca_install, tls.ca_cert)
        self.prefix = template.clone(self.work / "prefix")
        self.prefix.start_server()  # persistent: every program below starts warm
        self.prefix.run(["reg", "query", r"HKCU\Control Panel\Desktop"], stem="warm-up", check=False)
        listeners = {name: where for name, where in HOSTS.items() if where[:2] != NGINX_LISTEN}
        self.host = TestHost(tls.server_cert, tls.server_key, listeners).start()
        self.tree = self.work / "tree"
        self.nginx = NginxFileHost(self.work / "nginx", [FileHostSite(
            self.tree, tls.server_cert, tls.server_key, listen="%s:%d" % NGINX_LISTEN,
            server_name=FILE_HOST)])
        self.tree.mkdir()
        self.nginx.start()
        launcher = ShellLauncher(self.prefix, self.paths.shell_exe, self.paths.winctl)
        self.shell_win = launcher.install(name="Bench_Setup_pc%s.exe" % PACKAGE)
        client_dir = self.prefix.unix_path(CLIENT_DIR)
        client_dir.mkdir(parents=True, exist_ok=True)
        shutil.copyfile(self.client, client_dir / "client.exe")
        self.client_win = CLIENT_DIR + "\\client.exe"
        shutil.copyfile(self.plain_window, client_dir / "window.exe")
        self.plain_window_win = CLIENT_DIR + "\\window.exe"
        self.holder, out, _ = self.prefix.popen([self.client_win, "hold", "86400000"], stem="hold")
        deadline = time.monotonic() + 30
        while b"holding" not in out.read_bytes():
            if time.monotonic() > deadline or self.holder.poll() is not None:
                raise BenchError("the desktop holder did not start")
            time.sleep(0.05)

    def stop(self):
        for step in (lambda: self.host.stop(), lambda: self.nginx.stop(),
                     lambda: self.prefix.kill_server(),
                     lambda: self.xvfb.stop()):
            try:
                step()
            except Exception:  # noqa: BLE001 - tearing down; keep going
                pass
        shutil.rmtree(self.work, ignore_errors=True)

    def publish(self, size, signer=None, **behaviour):
        """A configuration and an installer of size bytes, signed by signer when given."""
        data = payload(self.installer, size)
        self.digest = hashlib.sha256(data).hexdigest()
        self.host.reset()
        if signer:
            self.host.sign_with(signer)
        config = self.host.publish_package(PACKAGE, installer_bytes=data,
                                           installer_behaviour=behaviour or None)
        self.url = config["installer"]["url"]
        self.size = size

    def publish_on_nginx(self, size):
        """The installer in nginx's tree, the configuration naming it on the Python host."""
        data = payload(self.installer, size)
        self.digest = hashlib.sha256(data).hexdigest()
        installer = self.tree / INSTALLER_TARGET.lstrip("/")
        installer.parent.mkdir(parents=True, exist_ok=True)
        installer.write_bytes(data)
        del data
        self.host.reset()
        self.url = "https://%s:%d%s" % (FILE_HOST, NGINX_LISTEN[1], INSTALLER_TARGET)
        self.host.publish_package(PACKAGE, url=self.url, installer={
            "sha256": self.digest, "sizeBytes": str(size)})
        self.target = INSTALLER_TARGET
        self.size = size

    def clean_downloads(self):
        for d in self.prefix.staging_dirs():
            shutil.rmtree(d, ignore_errors=True)
        leftover = self.prefix.unix_path(CLIENT_DIR + "\\ref.bin")
        if leftover.exists():
            leftover.unlink()

    # -- single runs ----------------------------------------------------------------

    def spawn_shell(self):
        proc, _, _ = self.prefix.popen([self.shell_win], stem="shell")
        return proc

    def spawn_plain_window(self):
        """The baseline program: shows its window, closes it after 300 ms."""
        proc, _, _ = self.prefix.popen([self.plain_window_win, "300"], stem="window")
        return proc

    def run_shell(self):
        started = time.time()
        code, ended, peak = waited(self.spawn_shell())
        self.clean_downloads()
        if code != 0:
            raise BenchError("shell exited with %d (logs: %s)" % (code, self.prefix.log_dir))
        return ended - started, peak

    def run_reference(self):
        started = time.time()
        proc, out, _ = self.prefix.popen(
            [self.client_win, "get", self.url, CLIENT_DIR + "\\ref.bin"], stem="reference")
        code, ended, peak = waited(proc)
        result = json.loads(out.read_bytes().decode() or "{}")
        self.clean_downloads()
        if code != 0 or result.get("sha256") != self.digest or result.get("bytes") != self.size:
            raise BenchError("reference client failed: exit %d, %s" % (code, result))
        return ended - started, peak

    def time_to_window(self, spawn, window_class):
        """Milliseconds from spawning a program to its window being visible."""
        probe, out, _ = self.prefix.popen([self.client_win, "window", "15000", window_class],
                                          stem="probe")
        time.sleep(0.5)  # the probe's own start-up is not part of the figure
        started = time.time()
        proc = spawn()
        probe.wait(30)
        code, _, _ = waited(proc)
        result = json.loads(out.read_bytes().decode() or "{}")
        if "visibleAt" not in result or code != 0:
            raise BenchError("window probe (%s): %s, exit %d" % (window_class, result, code))
        return (result["visibleAt"] - started) * 1000

    def click_cancel(self, shell):
        """Clicks the shell's Cancel; (the probe's result, exit code, host time of the exit)."""
        probe, out, _ = self.prefix.popen([self.client_win, "cancel", "5000"], stem="probe")
        code, ended, _ = waited(shell)
        probe.wait(30)
        self.clean_downloads()
        result = json.loads(out.read_bytes().decode() or "{}")
        if "clickedAt" not in result or code != 2:
            raise BenchError("cancel probe: %s, shell exit %d" % (result, code))
        return result, code, ended


def main(argv=None):
    ap = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    ap.add_argument("--runs", type=int, default=5, help="runs of each measurement (default 5)")
    ap.add_argument("--size-mib", type=int, default=1024,
                    help="size of the big installer in MiB (default 1024)")
    ap.add_argument("--only", default="sizes,window,throughput,memory,cancel,resume,signing",
                    help="comma-separated subset of the measurements (default: all)")
    args = ap.parse_args(argv)
    bench = Bench(args)
    print("bench: %d runs, %d MiB installer, shell %s" % (args.runs, args.size_mib,
                                                         bench.paths.shell_exe), flush=True)
    try:
        bench.start()
        print("  %-44s %-34s %-22s" % ("figure", "median (min-max)", "goal"))
        only = set(args.only.split(","))
        peak = None
        if "sizes" in only:
            bench.sizes()
        if "window" in only:
            bench.window()
        if "throughput" in only:
            peak = bench.throughput()
        if "memory" in only:
            bench.memory(peak)
        if "cancel" in only:
            bench.cancel()
        if "resume" in only:
            bench.resume()
        if "signing" in only:
            bench.signing()
    except BenchError as e:
        print("bench: %s" % e, file=sys.stderr)
        return 1
    finally:
        bench.stop()
    missed = [name for name, _, _, ok in bench.figures if not ok]
    print("bench: %s" % ("every goal met" if not missed else "missed: " + "; ".join(missed)))
    return 0


if __name__ == "__main__":
    sys.exit(main())
