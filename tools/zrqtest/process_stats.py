"""Exit, end time and peak memory of a Wine program the harness started."""

import os
import threading
import time


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
    bytes). The exe runs in the very process wine64 was started as; its VmHWM is
    sampled every 5 ms until it ends (rusage would report the forked Python's
    resident set from before the exec)."""
    peak = [0]
    done = threading.Event()

    def sample():
        while not done.wait(0.005):
            peak[0] = max(peak[0], peak_rss(proc.pid))

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
