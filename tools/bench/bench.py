"""Benchmark of the shell under Wine: download throughput against a minimal
reference client, peak memory, time to a visible window, time from Cancel to
exit, a download continued after a cut every tenth of the file against a clean
one, what checking a channel's signatures adds before the download, exe sizes. Every figure is printed with its goal beside it.

Run through scripts/bench.sh, which builds what is needed and runs this inside
tools/netns-run (the test host names resolve only there):

    tools/netns-run /usr/bin/python3 tools/bench/bench.py [--runs 5] [--size-mib 1024]

ZRQ_BUILD_DIR (default build/x64) holds the shell, the bench client and the
test tools, of either architecture (build/i686-test for the 32-bit shell, run
in the WoW64 root: memory is then that of the shell's own process, not of the
start.exe that Wine runs it from); ZRQ_RELEASE_EXE (default
build/i686/src/zrq-setup.exe) is the 32-bit exe whose size is reported.
"""

import argparse
import hashlib
import json
import os
import shutil
import statistics
import subprocess
import sys
import tempfile
import time
from pathlib import Path

REPO = Path(__file__).resolve().parents[2]
sys.path.insert(0, str(REPO / "tools"))

from zrqtest import (BuildPaths, Response, ShellLauncher, TestHost, Xvfb,  # noqa: E402
                     build_template, make_tls_material)
from zrqtest.process_stats import waited  # noqa: E402
from zrqtest.signing import ChannelKey  # noqa: E402

MIB = 1 << 20
PACKAGE = "1234"
CLIENT_DIR = "C:\\bench"


class BenchError(RuntimeError):
    pass


def payload(installer, size):
    """The stand-in installer padded to size bytes: a valid exe the shell can start."""
    if size < len(installer):
        raise BenchError("installer size below the stand-in's own %d bytes" % len(installer))
    return installer + bytes(size - len(installer))


class Bench:
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
        self.host = TestHost(tls.server_cert, tls.server_key).start()
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
        for step in (lambda: self.host.stop(), lambda: self.prefix.kill_server(),
                     lambda: self.xvfb.stop()):
            try:
                step()
            except Exception:  # noqa: BLE001 - tearing down; keep going
                pass
        shutil.rmtree(self.work, ignore_errors=True)

    def publish(self, size, signed=False, **behaviour):
        data = payload(self.installer, size)
        self.digest = hashlib.sha256(data).hexdigest()
        if not signed:
            self.host.reset()
        config = self.host.publish_package(PACKAGE, installer_bytes=data,
                                           installer_behaviour=behaviour or None)
        self.url = config["installer"]["url"]
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

    # -- figures --------------------------------------------------------------------

    def figure(self, name, value, goal, ok):
        self.figures.append((name, value, goal, ok))
        print("  %-44s %-34s %-22s %s" % (name, value, goal, "ok" if ok else "MISSED"), flush=True)

    def throughput(self):
        runs = self.args.runs
        size = self.args.size_mib * MIB
        self.publish(size)
        shell, reference, peaks = [], [], []
        for i in range(runs):
            seconds, peak = self.run_shell()
            shell.append(size / seconds / 1e6)
            peaks.append(peak)
            seconds, reference_peak = self.run_reference()
            reference.append(size / seconds / 1e6)
            print("    run %d: shell %.1f MB/s, reference %.1f MB/s, peak RSS shell %.1f MiB, "
                  "reference %.1f MiB" % (i + 1, shell[-1], reference[-1], peaks[-1] / MIB,
                                          reference_peak / MIB), flush=True)
        s, r = statistics.median(shell), statistics.median(reference)
        label = "%d MiB" % self.args.size_mib
        self.figure("shell download, %s (MB/s)" % label, spread(shell), "", True)
        self.figure("reference download, %s (MB/s)" % label, spread(reference), "", True)
        self.figure("throughput ratio shell/reference", "%.3f" % (s / r), ">= 0.95", s / r >= 0.95)
        return statistics.median(peaks)

    def memory(self, big_peak=None):
        if big_peak is None:
            self.publish(self.args.size_mib * MIB)
            big_peak = statistics.median([self.run_shell()[1] for _ in range(3)])
        self.publish(10 * MIB)
        small = statistics.median([self.run_shell()[1] for _ in range(3)])
        label = "%d MiB" % self.args.size_mib
        self.figure("shell peak RSS, 10 MiB (MiB)", "%.1f" % (small / MIB), "< 30", small < 30e6)
        self.figure("shell peak RSS, %s (MiB)" % label, "%.1f" % (big_peak / MIB), "< 30",
                    big_peak < 30e6)
        difference = abs(big_peak - small)
        self.figure("peak RSS difference (MiB)", "%.2f" % (difference / MIB), "<= 1",
                    difference <= MIB)
        # What any window program costs under Wine, for comparison.
        plain = statistics.median([waited(self.spawn_plain_window())[2] for _ in range(3)])
        self.figure("  a program that only shows a window (MiB)", "%.1f" % (plain / MIB), "",
                    True)

    def window(self):
        self.publish(10 * MIB)
        times, baseline = [], []
        for _ in range(self.args.runs):
            times.append(self.time_to_window(self.spawn_shell, "ZRQUnifiedSetup"))
            self.clean_downloads()
            # Interleaved: a program that does nothing but show a window, timed alike.
            baseline.append(self.time_to_window(self.spawn_plain_window, "ZRQBenchWindow"))
        median = statistics.median(times)
        self.figure("start to visible window (ms)", spread(times, "%.0f"), "<= 150", median <= 150)
        self.figure("  same, a program that only shows a window", spread(baseline, "%.0f"),
                    "", True)
        self.figure("  the shell's own share (ms)",
                    "%.0f" % (median - statistics.median(baseline)), "", True)

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

    def cancel(self):
        # A server that keeps sending: 64 KiB every 5 ms for as long as it is read.
        self.publish(self.args.size_mib * MIB, chunk_size=64 * 1024, chunk_delay=0.005)
        times = []
        for _ in range(self.args.runs):
            shell = self.spawn_shell()
            path = self.host.installer_path
            deadline = time.monotonic() + 30
            while not any(r.bytes_sent > 4 * MIB for r in self.host.requests(path=path)):
                if time.monotonic() > deadline or shell.poll() is not None:
                    shell.kill()
                    raise BenchError("the download did not get going")
                time.sleep(0.02)
            probe, out, _ = self.prefix.popen([self.client_win, "cancel", "5000"], stem="probe")
            code, ended, _ = waited(shell)
            probe.wait(30)
            self.clean_downloads()
            result = json.loads(out.read_bytes().decode() or "{}")
            if "clickedAt" not in result or code != 2:
                raise BenchError("cancel probe: %s, shell exit %d" % (result, code))
            times.append((ended - result["clickedAt"]) * 1000)
        median = statistics.median(times)
        self.figure("Cancel click to exit (ms)", spread(times, "%.0f"), "< 500", median < 500)

    def resume(self):
        """A host that cuts the connection every 100 MiB of a 1 GiB file (the same
        share of another size): the shell asks for the rest each time; against the
        clean download, interleaved, in the same run."""
        size = self.args.size_mib * MIB
        cut = max(size * 100 // 1024 // MIB * MIB, MIB)
        clean, broken = [], []
        for i in range(self.args.runs):
            self.publish(size)
            clean.append(self.run_shell()[0])
            self.publish(size, later=(1, {"cut_at": cut}))
            seconds, _ = self.run_shell()
            requests = len(self.host.requests(path=self.host.installer_path))
            if requests != -(-size // cut):
                raise BenchError("%d requests for a file cut every %d bytes" % (requests, cut))
            broken.append(seconds)
            print("    run %d: clean %.1f s, cut every %d MiB %.1f s (%d requests)" % (
                i + 1, clean[-1], cut // MIB, broken[-1], requests), flush=True)
        ratio = statistics.median(broken) / statistics.median(clean)
        label = "%d MiB" % self.args.size_mib
        self.figure("clean download, %s (s)" % label, spread(clean), "", True)
        self.figure("cut every %d MiB, %s (s)" % (cut // MIB, label), spread(broken), "", True)
        self.figure("time ratio cut/clean", "%.3f" % ratio, "<= 1.15", ratio <= 1.15)

    def signing(self):
        """What checking the channel's signatures adds before the installer is asked
        for: the shell built with the test keys against the key-less one, the same
        signed documents for both, interleaved in one run."""
        keyed_exe = self.paths.keyed_shell_exe
        if not keyed_exe.is_file():
            raise BenchError("the keyed shell is missing: %s" % keyed_exe)
        launcher = ShellLauncher(self.prefix, keyed_exe, self.paths.winctl)
        keyed_win = launcher.install(name="Keyed_Setup_pc%s.exe" % PACKAGE)
        self.host.sign_with(ChannelKey.test_key(1))
        try:
            self.publish(MIB, signed=True)
            times = {"key-less": [], "keyed": []}
            for _ in range(self.args.runs):
                for label, exe in (("key-less", self.shell_win), ("keyed", keyed_win)):
                    asked = len(self.host.requests(path=self.host.installer_path))
                    started = time.time()
                    code, _, _ = waited(self.prefix.popen([exe], stem="shell")[0])
                    self.clean_downloads()
                    requests = self.host.requests(path=self.host.installer_path)[asked:]
                    if code != 0 or not requests:
                        raise BenchError("%s shell: exit %d, %d installer requests" % (
                            label, code, len(requests)))
                    times[label].append((requests[0].time - started) * 1000)
        finally:
            self.host.sign_with(None)
        self.figure("start to installer request, key-less (ms)", spread(times["key-less"], "%.0f"),
                    "", True)
        self.figure("start to installer request, keyed (ms)", spread(times["keyed"], "%.0f"),
                    "", True)
        added = statistics.median(times["keyed"]) - statistics.median(times["key-less"])
        self.figure("  what checking signatures adds (ms)", "%.0f" % added, "", True)

    def sizes(self):
        for label, path, goal in (("i686", self.release_exe, MIB),
                                  ("x86_64", self.paths.shell_exe, None)):
            if not path.is_file():
                self.figure("%s exe size" % label, "not built: %s" % path, "", False)
                continue
            size = path.stat().st_size
            self.figure("%s exe size (bytes)" % label, "%d (%.2f MiB)" % (size, size / MIB),
                        "<= 1048576" if goal else "", goal is None or size <= goal)


def spread(values, fmt="%.1f"):
    """median (min-max)"""
    return (fmt + " (" + fmt + "-" + fmt + ")") % (statistics.median(values), min(values),
                                                   max(values))


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
