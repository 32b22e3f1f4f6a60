"""The bench's measurements, each printing its figures with their goals: mixed
into Bench (bench.py), which owns the prefix, the hosts and the single runs."""

import statistics
import time

from zrqtest import ShellLauncher
from zrqtest.process_stats import waited
from zrqtest.signing import ChannelKey

MIB = 1 << 20
PACKAGE = "1234"
# The shell's own part of the time to its window, over a program that only
# shows one: the command line, the common controls, fonts, three controls and,
# for the 32-bit shell, the WoW64 layer's share of what it loads.
OWN_START_GOAL_MS = {64: 25, 32: 35}
THROUGHPUT_GOAL = 0.98
FIXED_COST_GOAL_MS = 150


class BenchError(RuntimeError):
    pass


def spread(values, fmt="%.1f"):
    """median (min-max)"""
    return (fmt + " (" + fmt + "-" + fmt + ")") % (statistics.median(values), min(values),
                                                   max(values))


def alternated(i, first, second):
    """The pair's two runs, the first of them swapped on every other pair."""
    return (first, second) if i % 2 == 0 else (second, first)


class Figures:
    def figure(self, name, value, goal, ok):
        self.figures.append((name, value, goal, ok))
        print("  %-44s %-34s %-22s %s" % (name, value, goal, "ok" if ok else "MISSED"), flush=True)

    def window(self):
        """Start to visible window, the shell against a program that only shows a
        window, in alternating order; the shell's own part is the median of the
        per-pair differences."""
        self.publish(10 * MIB)
        shell = lambda: self.time_to_window(self.spawn_shell, "ZRQUnifiedSetup")  # noqa: E731
        bare = lambda: self.time_to_window(self.spawn_plain_window, "ZRQBenchWindow")  # noqa: E731
        times, baseline = [], []
        for i in range(self.args.runs):
            for run in alternated(i, shell, bare):
                (times if run is shell else baseline).append(run())
            self.clean_downloads()
        own = [s - b for s, b in zip(times, baseline)]
        goal = OWN_START_GOAL_MS[self.paths.shell_bits]
        self.figure("start to visible window (ms)", spread(times, "%.0f"), "", True)
        self.figure("  same, a program that only shows a window", spread(baseline, "%.0f"),
                    "", True)
        self.figure("  the shell's own part (ms)", spread(own, "%.0f"), "<= %d" % goal,
                    statistics.median(own) <= goal)

    def throughput(self):
        """First to last byte of the installer request as nginx logs it, the shell
        against the reference client, alternating which goes first; the shell's
        whole run minus that, beyond the same of the reference client, is the
        session's fixed cost."""
        size = self.args.size_mib * MIB
        self.publish_on_nginx(size)
        ratios, fixed, reference_fixed, peaks = [], [], [], []
        shell_rates, reference_rates = [], []
        for i in range(self.args.runs):
            got = {}
            for label in alternated(i, "shell", "reference"):
                run = self.run_shell if label == "shell" else self.run_reference
                before = len(self.nginx.requests())
                whole, peak = run()
                asked = [r for r in self.nginx.requests()[before:] if r["target"] == self.target]
                if len(asked) != 1 or asked[0]["status"] != "200":
                    raise BenchError("%s: installer requests %s" % (label, asked))
                got[label] = (whole, float(asked[0]["request_time"]), peak)
            shell_whole, shell_bytes, peak = got["shell"]
            reference_whole, reference_bytes, _ = got["reference"]
            reference_fixed.append((reference_whole - reference_bytes) * 1000)
            ratios.append(reference_bytes / shell_bytes)
            fixed.append((shell_whole - shell_bytes) * 1000)
            peaks.append(peak)
            shell_rates.append(size / shell_bytes / 1e6)
            reference_rates.append(size / reference_bytes / 1e6)
            print("    pair %d (%s first): shell %.1f MB/s, reference %.1f MB/s, ratio %.3f, "
                  "run minus download %.0f ms, peak RSS %.1f MiB" % (
                      i + 1, alternated(i, "shell", "reference")[0], shell_rates[-1],
                      reference_rates[-1], ratios[-1], fixed[-1], peak / MIB), flush=True)
        label = "%d MiB" % self.args.size_mib
        self.figure("shell, first to last byte, %s (MB/s)" % label, spread(shell_rates), "", True)
        self.figure("reference, first to last byte (MB/s)", spread(reference_rates), "", True)
        ratio = statistics.median(ratios)
        self.figure("throughput ratio, median of pairs", "%.3f (%.3f-%.3f)" % (
            ratio, min(ratios), max(ratios)), ">= %.2f" % THROUGHPUT_GOAL, ratio >= THROUGHPUT_GOAL)
        self.figure("session: run minus download (ms)", spread(fixed, "%.0f"), "", True)
        # Wine's start and end of a process, one TLS connection, the flush to
        # disk: what no client saves. The rest is the session's fixed cost.
        self.figure("  same, the reference client (ms)", spread(reference_fixed, "%.0f"), "", True)
        own = [s - r for s, r in zip(fixed, reference_fixed)]
        cost = statistics.median(own)
        self.figure("  the session's fixed cost (ms)", spread(own, "%.0f"),
                    "<= %d" % FIXED_COST_GOAL_MS, cost <= FIXED_COST_GOAL_MS)
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
            result, code, ended = self.click_cancel(shell)
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
        self.publish(MIB, signer=ChannelKey.test_key(1))
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
