"""The 32-bit release exe must start on Windows 7 SP1 without later updates:
every function it imports, statically or delay-loaded, is on the checked list
windows7_sp1_functions.tsv, each entry with the Microsoft page it was checked
against, and the list names nothing else. A missing function makes the loader refuse the exe (static import) or
end it at first use (delay-loaded)."""

from pathlib import Path

import pe_image as pe

LIST = Path(__file__).resolve().parent / "windows7_sp1_functions.tsv"
ABSENT_HEADING = "# Not on Windows 7 SP1 RTM"


def checked_functions():
    """{(dll, function): (minimum client, url)} of the data lines."""
    rows = {}
    for number, line in enumerate(LIST.read_text(encoding="utf-8").splitlines(), 1):
        if not line or line.startswith("#"):
            continue
        columns = line.split("\t")
        assert len(columns) == 4, "line %d: %r" % (number, line)
        dll, function, minimum, url = columns
        assert dll == dll.lower() and dll.endswith(".dll"), "line %d" % number
        assert url.startswith("https://learn.microsoft.com/"), "line %d: %s" % (number, url)
        assert minimum, "line %d" % number
        assert (dll, function) not in rows, "line %d repeats %s" % (number, function)
        rows[(dll, function)] = (minimum, url)
    return rows


def absent_functions():
    """(dll, function) of the functions the list records as missing from Windows 7 SP1."""
    lines = LIST.read_text(encoding="utf-8").splitlines()
    start = next(i for i, line in enumerate(lines) if line.startswith(ABSENT_HEADING))
    out = set()
    for line in lines[start + 1:]:
        fields = line.lstrip("#").split()
        if len(fields) < 2 or not fields[0].endswith(".dll"):
            break
        out.add((fields[0], fields[1]))
    return out


def imported(image):
    return {(dll.lower(), function)
            for table in (image.imports(), image.delay_imports())
            for dll, functions in table.items() for function in functions}


def test_the_list_names_exactly_the_imports_of_the_release_exe(release_exe):
    imports = imported(pe.PE.load(release_exe))
    listed = set(checked_functions())
    unchecked = sorted(imports - listed)
    assert not unchecked, ("imported but not on %s (check the function's page for its "
                           "minimum Windows and add it): %s" % (LIST.name, unchecked))
    # A line for a function the exe no longer imports checks nothing and hides
    # what the exe really needs.
    stale = sorted(listed - imports)
    assert not stale, "on %s but not imported (remove the line): %s" % (LIST.name, stale)


def test_functions_only_newer_windows_have_are_not_imported(release_exe):
    absent = absent_functions()
    assert {("kernel32.dll", "SetDefaultDllDirectories"),
            ("user32.dll", "GetDpiForSystem")} <= absent
    assert not absent & set(checked_functions())
    assert not absent & imported(pe.PE.load(release_exe))
