"""Exit, end time and peak memory of a Wine program the harness started."""

import os
import threading
import time

from . import wine_process


def peak_rss(pid):
    """The kernel's high-water mark of a process's resident set (VmHWM), in bytes."""
    try:
        with open("/proc/%d/status" % pid) as f:
            for line in f:
                if line.startswith("VmHWM:"):
                    return int(line.split()[1]) * 1024
    except OSError:
        pass
    return 0


def waited(proc, timeout=600):
    """Waits for a child; returns (exit code, host time of the exit, peak RSS in
    bytes). The peak is the program's own process's VmHWM (for a 32-bit program
    under WoW64 not the process wine64 was started as, see wine_process), sampled
    every 5 ms until it ends (rusage would report the forked Python's resident set
    from before the exec)."""
    peak = [0]
    done = threading.Event()

    def sample():
        pid = None
        while not done.wait(0.005):
            pid = pid or wine_process.program_pid(proc)
            if pid:
                peak[0] = max(peak[0], peak_rss(pid))

    sampler = threading.Thread(target=sample, daemon=True)
    sampler.start()
    timer = threading.Timer(timeout, proc.kill)
    timer.start()
    try:
        # WNOWAIT: the pid stays ours (a zombie) until the sampler has stopped.
        os.waitid(os.P_PID, proc.pid, os.WEXITED | os.WNOWAIT)
        ended = time.time()
        done.set()
        sampler.join()
        _, status = os.waitpid(proc.pid, 0)
    finally:
        timer.cancel()
        done.set()
    proc.returncode = os.waitstatus_to_exitcode(status)
    return proc.returncode, ended, peak[0]
