"""Now and then the Linux loader stops a wine64 process that is already ending, with
"Inconsistency detected by ld.so: dl-fini.c ..." on its stderr and exit status 127.
The Windows program had finished by then (other Wine processes see its real exit
code), but whoever waits on the wine64 process sees 127.

Helper programs run through WinePrefix.run are simply run again. A test that failed
while such a stop is in its prefix's logs is run once more from fresh fixtures; the
first run is named in the output. Import both hooks into a conftest to use this."""

import pytest
from _pytest.runner import runtestprotocol

SIGNATURE = b"Inconsistency detected by ld.so"
EXIT_STATUS = 127
RUNS = 2


def is_loader_fault(code, stderr_path):
    try:
        return code == EXIT_STATUS and SIGNATURE in stderr_path.read_bytes()
    except OSError:
        return False


def faulted_logs(prefix):
    """Names of the prefix's stderr logs that show the loader's stop."""
    if prefix is None or not prefix.log_dir.is_dir():
        return []
    return [p.name for p in sorted(prefix.log_dir.glob("*-err.log"))
            if SIGNATURE in p.read_bytes()]


@pytest.hookimpl(hookwrapper=True)
def pytest_runtest_makereport(item, call):
    outcome = yield
    report = outcome.get_result()
    # Looked at before teardown removes the prefix and its logs.
    if report.failed and call.when in ("setup", "call"):
        report.loader_faults = faulted_logs((item.funcargs or {}).get("prefix"))


def pytest_runtest_protocol(item, nextitem):
    ihook = item.ihook
    ihook.pytest_runtest_logstart(nodeid=item.nodeid, location=item.location)
    for run in range(1, RUNS + 1):
        reports = runtestprotocol(item, nextitem=nextitem, log=False)
        faults = sorted({name for r in reports if r.failed
                         for name in getattr(r, "loader_faults", [])})
        if not faults or run == RUNS:
            break
        reporter = item.config.pluginmanager.get_plugin("terminalreporter")
        if reporter:
            reporter.write_line("%s failed while wine64 stopped in the Linux loader (%s); "
                                "running it again" % (item.nodeid, ", ".join(faults)))
    for report in reports:
        ihook.pytest_runtest_logreport(report=report)
    ihook.pytest_runtest_logfinish(nodeid=item.nodeid, location=item.location)
    return True
