"""One Xvfb server on a free display number."""

import os
import select
import subprocess
import time


class Xvfb:
    def __init__(self, log_path, screen="1024x768x24"):
        self.log_path = log_path
        self.screen = screen
        self.proc = None
        self.display = None

    def start(self, timeout=15):
        read_fd, write_fd = os.pipe()
        with open(self.log_path, "ab") as log:
            # -displayfd: Xvfb picks a free display itself and reports it when ready.
            self.proc = subprocess.Popen(
                ["Xvfb", "-displayfd", str(write_fd), "-screen", "0", self.screen,
                 "-nolisten", "tcp"],
                stdin=subprocess.DEVNULL, stdout=log, stderr=log, pass_fds=(write_fd,),
                start_new_session=True)
        os.close(write_fd)
        try:
            data = b""
            deadline = time.monotonic() + timeout
            while not data.endswith(b"\n"):
                left = deadline - time.monotonic()
                if left <= 0 or not select.select([read_fd], [], [], left)[0]:
                    raise RuntimeError("Xvfb did not report a display in time (log: %s)" % self.log_path)
                chunk = os.read(read_fd, 64)
                if not chunk:
                    raise RuntimeError("Xvfb exited at start (log: %s)" % self.log_path)
                data += chunk
        finally:
            os.close(read_fd)
        self.display = ":" + data.decode().strip()
        return self.display

    def stop(self):
        if self.proc and self.proc.poll() is None:
            self.proc.terminate()
            try:
                self.proc.wait(5)
            except subprocess.TimeoutExpired:
                self.proc.kill()
                self.proc.wait()
        self.proc = None
