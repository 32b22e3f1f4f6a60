"""Python side of winctl.exe, the window driver that runs inside the test prefix."""

import json
import subprocess
import time

from . import wine_process


class WinctlError(RuntimeError):
    pass


class Driver:
    def __init__(self, prefix, winctl, pid=None):
        self.prefix = prefix
        self.winctl = str(winctl)
        self.pid = pid

    def for_pid(self, pid):
        """A driver of the setup window of one process (Windows process id), when
        several shells run at once."""
        return Driver(self.prefix, self.winctl, pid)

    def _args(self, args):
        chosen = ["--pid", str(self.pid)] if self.pid else []
        return [self.winctl, *chosen, *[str(a) for a in args]]

    def _run(self, *args, timeout=30.0):
        """Runs one winctl command; returns (exit code, list of parsed JSON lines)."""
        proc, out, err = self.prefix.popen(self._args(args), stem="winctl")
        try:
            code = proc.wait(timeout)
        except subprocess.TimeoutExpired:
            wine_process.kill(proc)
            raise WinctlError("winctl %s did not finish within %ss" % (args, timeout))
        self.last_stderr = err.read_bytes()
        return code, _parse_lines(out.read_bytes(), args)

    def _one(self, *args, timeout=30.0):
        # Now and then, on a loaded machine, a winctl run ends with exit 1 before
        # it prints anything; one more run of the same question answers it.
        for attempt in range(2):
            code, lines = self._run(*args, timeout=timeout)
            if lines:
                return lines[-1]
        raise WinctlError("winctl %s printed nothing (exit %d): %r" % (
            args, code, self.last_stderr[-1500:]))

    # -- observing -----------------------------------------------------------------

    def state(self):
        """The window's state (see winctl); {"found": False} when there is none."""
        return self._one("state")

    def wait_window(self, timeout=15.0):
        """Waits for the window; returns its state or raises."""
        st = self._one("wait-window", int(timeout * 1000), timeout=timeout + 30)
        if not st.get("found"):
            raise WinctlError("no window of class ZRQUnifiedSetup within %ss" % timeout)
        return st

    def window_appears(self, timeout):
        """True when a window shows up within timeout (no exception)."""
        return bool(self._one("wait-window", int(timeout * 1000), timeout=timeout + 30).get("found"))

    def wait_gone(self, timeout=15.0):
        """True when the window is gone within timeout."""
        return bool(self._one("wait-gone", int(timeout * 1000), timeout=timeout + 30).get("gone"))

    def wait_for(self, predicate, timeout=15.0, interval=0.05):
        """Polls state() until predicate(state) holds; returns that state or raises
        with the last state seen."""
        deadline = time.monotonic() + timeout
        last = None
        while True:
            last = self.state()
            if predicate(last):
                return last
            if time.monotonic() >= deadline:
                raise AssertionError("condition not reached within %ss; last state: %s" % (
                    timeout, json.dumps(last, ensure_ascii=False)))
            time.sleep(interval)

    def wait_status(self, text, timeout=15.0):
        return self.wait_for(lambda s: s.get("status") == text, timeout)

    def watch(self, duration, interval=0.02):
        """Blocking: the states seen over duration seconds (each with "t" in ms),
        stopping early when the window goes away."""
        code, lines = self._run("watch", int(duration * 1000), int(interval * 1000),
                                timeout=duration + 30)
        return lines

    def start_watch(self, duration, interval=0.02):
        """Non-blocking watch, running when this returns; .result() waits for its end,
        .stop() ends it early; both give the states seen."""
        return _Watch(self, duration, interval)

    def fetch(self, url, body=None):
        """One HTTPS request from inside the prefix (WinHTTP, redirects not followed):
        {"status", "complete", "bytes", "body"} or {"failedAt", "win32Error"}."""
        return self._one("fetch", url, *([] if body is None else [body]))

    def screenshot(self, bmp_path):
        """The window's screen area as a 24-bit BMP file."""
        return self._one("screenshot", self.prefix.windows_path(bmp_path))

    def screenshot_png(self, png_path):
        from .png import convert
        bmp = self.prefix.log_file("screenshot").with_suffix(".bmp")
        result = self.screenshot(bmp)
        if result.get("saved"):
            convert(bmp, png_path)
        return result

    # -- acting --------------------------------------------------------------------

    def click(self):
        return self._one("click")

    def close(self):
        return self._one("close")

    def key(self, name):
        """name: "enter" or "esc"."""
        return self._one("key", name)

    def hold_mutex(self, name, ms):
        """Starts winctl holding the named mutex for ms; returns a handle with .held
        (after the first line), .wait() and .kill(); as a context manager it is
        killed on leaving."""
        return _Holder(self, ["hold-mutex", name, int(ms)], "held")

    def windows(self):
        """The states of every setup window (each with its "pid")."""
        _, lines = self._run("list")
        return [line for line in lines if "count" not in line]

    def modules(self):
        """[{"name", "path"}] of the DLLs loaded in the process that owns the window."""
        return self._one("modules").get("modules", [])

    def answer_message_box(self, timeout=15.0):
        """Waits for a message box, presses its first button and returns what it
        showed: {"found", "pid", "image", "caption", "texts", "buttons", "pressed"}."""
        return self._one("answer-message-box", int(timeout * 1000), timeout=timeout + 30)

    def hold_file(self, path, ms_after_writer, timeout_ms):
        """Starts holding a file open for reading without sharing deletion (see winctl
        hold-file); returns the running command once the file is held."""
        return _Holder(self, ["hold-file", path, int(ms_after_writer), int(timeout_ms)], "held")

    def wait_event(self, name, timeout_ms):
        """Creates a named event and waits for someone to signal it; .wait() gives the
        final {"signaled": bool} line."""
        return _Holder(self, ["wait-event", name, int(timeout_ms)], "created")


def _parse_lines(data, args):
    out = []
    for raw in data.decode("utf-8").splitlines():
        raw = raw.strip()
        if raw:
            try:
                out.append(json.loads(raw))
            except ValueError:
                raise WinctlError("winctl %s printed non-JSON: %r" % (args, raw))
    return out


class _Background:
    def __init__(self, driver, args):
        self.args = args
        self.proc, self.out, self.err = driver.prefix.popen(driver._args(args), stem="winctl")

    def lines(self):
        return _parse_lines(self.out.read_bytes(), self.args)

    # `with driver.hold_mutex(...) as holder:` ends the program on leaving.
    def __enter__(self):
        return self

    def __exit__(self, *exc):
        self.kill()

    def wait(self, timeout=60.0):
        try:
            self.proc.wait(timeout)
        except subprocess.TimeoutExpired:
            self.kill()
            raise WinctlError("winctl %s did not finish within %ss" % (self.args, timeout))
        return self.lines()

    def kill(self):
        wine_process.kill(self.proc)


class _Holder(_Background):
    def __init__(self, driver, args, key, timeout=30.0):
        super().__init__(driver, args)
        deadline = time.monotonic() + timeout
        while True:
            lines = self.lines()
            if lines:
                self.first = lines[0]
                break
            if self.proc.poll() is not None or time.monotonic() >= deadline:
                raise WinctlError("winctl %s gave no answer (exit %s)" % (args, self.proc.poll()))
            time.sleep(0.02)
        setattr(self, key, bool(self.first.get(key)))


class _Watch(_Background):
    def __init__(self, driver, duration, interval):
        super().__init__(driver, ["watch", int(duration * 1000), int(interval * 1000)])
        self.duration = duration
        # Returns once the watcher has looked for the first time, so whatever is
        # started afterwards is seen from its beginning.
        deadline = time.monotonic() + 30
        while not self.lines():
            if self.proc.poll() is not None or time.monotonic() >= deadline:
                raise WinctlError("winctl watch did not start")
            time.sleep(0.01)

    def stop(self):
        """Ends the watch now; returns the states seen so far."""
        self.kill()
        return self.lines()

    def result(self):
        return self.wait(self.duration + 30)
