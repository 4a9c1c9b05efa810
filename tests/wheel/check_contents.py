"""Checks a built wheel before anything installs it (scripts/check-wheel):

- its tag is cp39-abi3-manylinux_2_X_<arch>, the same in the file name and in
  WHEEL, with X the newest glibc symbol version the module requires, and X is
  at most 34 (RHEL 9, Amazon Linux 2023 and Ubuntu 22.04 have glibc 2.34 or
  2.35);
- the module needs only libc, libm, the loader and GCC's unwinder libgcc_s
  (NEEDED); every versioned symbol it imports is a glibc symbol no newer than
  the tag or one of libgcc_s's _Unwind_ functions, every unversioned one is
  the CPython C API (or weak), it has no text relocations and it exports
  PyInit__valtorimesca alone;
- the package's marker, stub and the license are inside, the RECORD matches
  every file, and the version and long description are the package's.

The module is read with binutils' readelf, independently of the build
backend, which reads the same facts to choose the tag.

    check_contents.py WHEEL
"""

import base64
import hashlib
import pathlib
import re
import shutil
import subprocess
import sys
import tempfile
import zipfile

ROOT = pathlib.Path(__file__).resolve().parents[2]
MODULE = "_valtorimesca.abi3.so"
# What the module may need at run time: glibc (2.34 merged libpthread, libdl
# and the others into libc), whose symbol versions are GLIBC_ ones, and the
# unwinder of the libgcc_s every glibc system has, whose versions are GCC_.
GLIBC_LIBRARIES = {"libc.so.6", "libm.so.6", "ld-linux-x86-64.so.2"}
UNWINDER = "libgcc_s.so.1"
NEWEST_GLIBC = (2, 34)
EXPORTED = ["PyInit__valtorimesca"]

failures = []


def check(ok, what):
    if not ok:
        failures.append(what)
    return ok


def readelf(*args):
    return subprocess.run([shutil.which("readelf") or "readelf", "-W", *args], check=True,
                          capture_output=True, text=True).stdout


def shown(names, most=6):
    names = sorted(names)
    return ", ".join(names[:most]) + (f" and {len(names) - most} more" if len(names) > most else "")


def version_key(text):
    return tuple(int(part) for part in text.split("."))


def check_module(path, tag_glibc):
    dynamic = readelf("-d", str(path))
    needed = re.findall(r"\(NEEDED\)\s+Shared library: \[([^\]]+)\]", dynamic)
    print(f"NEEDED: {' '.join(needed)}")
    check(set(needed) <= GLIBC_LIBRARIES | {UNWINDER},
          f"the module needs libraries other than glibc's and {UNWINDER}: {needed}")
    check("TEXTREL" not in dynamic, "the module has text relocations")

    # Num: Value Size Type Bind Vis Ndx Name[@version]
    symbols = [line.split() for line in readelf("--dyn-syms", str(path)).splitlines()]
    symbols = [s for s in symbols if len(s) >= 8 and s[0].endswith(":") and s[0][:-1].isdigit()]
    exported = sorted(s[7].split("@")[0] for s in symbols if s[6] != "UND" and s[4] in ("GLOBAL", "WEAK"))
    check(exported == EXPORTED, f"the module exports {exported}, not {EXPORTED} alone")

    newest = (0,)
    unversioned, foreign, too_new, not_unwinder = [], [], [], []
    for s in symbols:
        if s[6] != "UND" or len(s) < 8:
            continue
        name, _, version = s[7].partition("@")
        version = version.lstrip("@").split(" ")[0]
        if not version:
            if s[4] != "WEAK" and not name.startswith("Py"):
                unversioned.append(name)
            continue
        if re.fullmatch(r"GCC_\d+(?:\.\d+)+", version):
            if not name.startswith("_Unwind_"):
                not_unwinder.append(f"{name}@{version}")
            continue
        found = re.fullmatch(r"GLIBC_(\d+(?:\.\d+)+)", version)
        if not found:
            foreign.append(f"{name}@{version}")
            continue
        key = version_key(found.group(1))
        newest = max(newest, key)
        if key[:2] > tag_glibc:
            too_new.append(f"{name}@{version}")
    check(not unversioned, f"unversioned imports outside the CPython C API: {shown(unversioned)}")
    check(not foreign, f"imports of versions other than glibc's and libgcc_s's: {shown(foreign)}")
    check(not not_unwinder, f"imports from libgcc_s other than its unwinder: {shown(not_unwinder)}")
    check(not too_new, f"imports newer than the tag's glibc 2.{tag_glibc[1]}: {shown(too_new)}")
    print(f"newest glibc symbol version: {'.'.join(map(str, newest))}")
    check(newest[:2] == tag_glibc, f"the tag names glibc {tag_glibc} but the newest symbol needs {newest}")
    check(newest[:2] <= NEWEST_GLIBC, f"the module needs glibc {'.'.join(map(str, newest))}, "
                                      f"newer than {'.'.join(map(str, NEWEST_GLIBC))}")

    # The versions the module asks the loader for, per library: GLIBC_ ones of
    # glibc's libraries, GCC_ ones of libgcc_s.
    wrong, library = [], None
    for line in readelf("-V", str(path)).splitlines():
        if found := re.search(r"File: (\S+)", line):
            library = found.group(1)
            check(library in GLIBC_LIBRARIES | {UNWINDER}, f"version needs of {library}, outside the platform")
        elif found := re.search(r"Name: (\S+)\s+Flags", line):
            if not found.group(1).startswith("GCC_" if library == UNWINDER else "GLIBC_"):
                wrong.append(f"{library}: {found.group(1)}")
    check(not wrong, f"version needs other than glibc's and libgcc_s's: {shown(wrong)}")


def main():
    wheel_path = pathlib.Path(sys.argv[1])
    found = re.fullmatch(r"valtorimesca-([^-]+)-cp39-abi3-manylinux_(\d+)_(\d+)_x86_64\.whl", wheel_path.name)
    if not found:
        sys.exit(f"check_contents: {wheel_path.name} is not tagged cp39-abi3-manylinux_2_X_x86_64")
    version, tag_glibc = found.group(1), (int(found.group(2)), int(found.group(3)))
    tag = wheel_path.name[len(f"valtorimesca-{version}-"):-len(".whl")]
    print(f"tag: {tag}")
    info = f"valtorimesca-{version}.dist-info"

    with zipfile.ZipFile(wheel_path) as wheel:
        names = set(wheel.namelist())
        for member in (MODULE, "valtorimesca/__init__.py", "valtorimesca/__init__.pyi", "valtorimesca/py.typed",
                       f"{info}/LICENSE", f"{info}/METADATA", f"{info}/WHEEL", f"{info}/RECORD"):
            check(member in names, f"{member} is missing from the wheel")
        if failures:
            sys.exit("\n".join(failures))
        check(wheel.read(f"{info}/LICENSE") == (ROOT / "LICENSE").read_bytes(), "the wheel's LICENSE differs")
        wheel_file = wheel.read(f"{info}/WHEEL").decode().splitlines()
        check(f"Tag: {tag}" in wheel_file and "Root-Is-Purelib: false" in wheel_file,
              f"WHEEL does not say Tag: {tag} and Root-Is-Purelib: false: {wheel_file}")
        metadata = wheel.read(f"{info}/METADATA").decode()
        header, _, description = metadata.partition("\n\n")
        check(f"Version: {version}" in header.splitlines(), "METADATA's version is not the file name's")
        check(re.search(rf'^__version__ = "{re.escape(version)}"$',
                        wheel.read("valtorimesca/__init__.py").decode(), re.MULTILINE),
              "the package's __version__ is not the wheel's version")
        check(description == (ROOT / "README.md").read_text(encoding="utf-8"),
              "the long description is not README.md")
        for line in wheel.read(f"{info}/RECORD").decode().splitlines():
            name, digest, _size = line.rsplit(",", 2)
            if name == f"{info}/RECORD":
                continue
            expected = base64.urlsafe_b64encode(hashlib.sha256(wheel.read(name)).digest()).rstrip(b"=").decode()
            check(digest == f"sha256={expected}", f"RECORD's hash of {name} is wrong")
        recorded = {line.rsplit(",", 2)[0] for line in wheel.read(f"{info}/RECORD").decode().splitlines()}
        check(recorded == names, f"RECORD lists {sorted(recorded ^ names)} differently from the archive")
        with tempfile.TemporaryDirectory() as tmp:
            module = pathlib.Path(wheel.extract(MODULE, tmp))
            print(f"module: {module.stat().st_size} bytes, wheel: {wheel_path.stat().st_size} bytes")
            check_module(module, tag_glibc)

    if failures:
        sys.exit("wheel check failed:\n  " + "\n  ".join(failures))
    print("wheel contents ok")


main()
