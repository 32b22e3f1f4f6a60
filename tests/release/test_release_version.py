"""The version resource Explorer shows under the file's Details."""

import re

from release_builds import ROOT

REQUIRED = ("CompanyName", "FileDescription", "FileVersion", "ProductName", "ProductVersion",
            "OriginalFilename")


def project_version():
    text = (ROOT / "CMakeLists.txt").read_text(encoding="utf-8")
    return tuple(int(n) for n in re.search(r"project\(zrq-setup VERSION (\d+)\.(\d+)\.(\d+)",
                                           text).groups())


def version_code(exe):
    # The exe sits in <build>/src; the build's cache holds the code it was made with.
    cache = (exe.parent.parent / "CMakeCache.txt").read_text(encoding="utf-8")
    return int(re.search(r"^ZRQ_SHELL_VERSION_CODE:\w+=(\d+)$", cache, re.M).group(1))


def test_version_resource_names_the_product(built):
    _, path, image = built
    info = image.version_info()
    assert info is not None, "no version resource"
    file_version, product_version, strings = info
    missing = [name for name in REQUIRED if not strings.get(name)]
    assert not missing
    assert strings["ProductName"] == "ZRQ Setup"
    assert strings["OriginalFilename"] == path.name


def test_version_numbers_agree_with_the_build(built):
    _, path, image = built
    file_version, product_version, strings = image.version_info()
    expected = project_version() + (version_code(path),)
    assert file_version == expected
    assert product_version == expected
    text = ".".join(map(str, expected))
    assert strings["FileVersion"] == text
    assert strings["ProductVersion"] == text
