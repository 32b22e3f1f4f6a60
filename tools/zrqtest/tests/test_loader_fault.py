"""The rerun of tests that failed while wine64 stopped in the Linux loader."""

import textwrap

pytest_plugins = ["pytester"]

TOOLS = __import__("pathlib").Path(__file__).resolve().parents[2]


def run_inner(pytester, body):
    pytester.makeconftest(textwrap.dedent("""
        import sys, types, pytest
        sys.path.insert(0, %r)
        from zrqtest.loader_fault import pytest_runtest_makereport, pytest_runtest_protocol

        @pytest.fixture
        def prefix(tmp_path):
            logs = tmp_path / "logs"
            logs.mkdir()
            return types.SimpleNamespace(log_dir=logs)
    """ % str(TOOLS)))
    pytester.makepyfile(textwrap.dedent(body))
    return pytester.runpytest_inprocess("-p", "no:cacheprovider")


FAULT = 'b"Inconsistency detected by ld.so: dl-fini.c: 87: _dl_fini: Assertion"'


def test_a_failure_with_the_loader_stop_in_the_logs_runs_once_more(pytester):
    result = run_inner(pytester, """
        runs = []
        def test_flaky(prefix):
            runs.append(1)
            if len(runs) == 1:
                (prefix.log_dir / "004-shell-err.log").write_bytes(%s)
                assert False
        def test_ran_twice():
            assert len(runs) == 2
    """ % FAULT)
    result.assert_outcomes(passed=2)
    result.stdout.fnmatch_lines(["*test_flaky failed while wine64 stopped*004-shell-err.log*"])


def test_other_failures_and_repeated_stops_are_reported(pytester):
    result = run_inner(pytester, """
        runs = []
        def test_plain(prefix):
            runs.append("plain")
            assert False
        def test_always_stopped(prefix):
            runs.append("stopped")
            (prefix.log_dir / "001-reg-err.log").write_bytes(%s)
            assert False
        def test_counts():
            assert runs == ["plain", "stopped", "stopped"]
    """ % FAULT)
    result.assert_outcomes(passed=1, failed=2)


def test_loader_fault_needs_both_the_status_and_the_signature(tmp_path):
    from zrqtest.loader_fault import is_loader_fault
    err = tmp_path / "err.log"
    err.write_bytes(b"wine: something\nInconsistency detected by ld.so: dl-fini.c: 87\n")
    assert is_loader_fault(127, err)
    assert not is_loader_fault(1, err)
    err.write_bytes(b"plain failure")
    assert not is_loader_fault(127, err)
    assert not is_loader_fault(127, tmp_path / "missing.log")
