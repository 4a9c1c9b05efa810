"""In-tree build backend: builds `_valtorimesca` with CMake and writes a
stable-ABI (cp39-abi3) wheel holding the native module and the package, or
an editable one whose path file points at a folder holding only the source
package and the CMake build of the native module.

The platform tag is read from the built module: a module that needs only
glibc and GCC's unwinder libgcc_s is tagged manylinux_2_X, X the newest glibc
symbol version it requires; any other is tagged with the plain platform
(linux_x86_64).

Extra CMake arguments: `pip install . --config-settings=cmake-args="-DVT_STATIC_DEPS=OFF"`
or the environment variable VT_CMAKE_ARGS; VT_JOBS sets the build's jobs."""

import base64
import hashlib
import os
import pathlib
import re
import shlex
import shutil
import struct
import subprocess
import sys
import sysconfig
import zipfile

ROOT = pathlib.Path(__file__).resolve().parents[2]
NAME = "valtorimesca"
PACKAGE = ROOT / "python" / NAME
ABI_TAG = "cp39-abi3"
# The libraries glibc itself is made of, and GCC's unwinder, which every glibc
# system carries beside it; a module that needs no others runs on every Linux
# with a new enough glibc.
PLATFORM_LIBRARIES = frozenset({
    "libc.so.6", "libm.so.6", "libpthread.so.0", "libdl.so.2", "librt.so.1",
    "libutil.so.1", "libresolv.so.2", "ld-linux-x86-64.so.2", "libgcc_s.so.1",
})


def _version():
    """The package's __version__ (python/valtorimesca/__init__.py), the one
    place the version is written."""
    text = (PACKAGE / "__init__.py").read_text(encoding="utf-8")
    found = re.search(r'^__version__ = "([^"]+)"$', text, re.MULTILINE)
    if not found:
        raise RuntimeError(f"{PACKAGE / '__init__.py'} has no __version__ line")
    return found.group(1)


VERSION = _version()


# The same fields as the [project] table of pyproject.toml.
SUMMARY = "Hybrid classical and post-quantum signatures"
LICENSE = "Apache-2.0"
REQUIRES_PYTHON = ">=3.9"
CLASSIFIERS = [
    "Development Status :: 3 - Alpha",
    "Intended Audience :: Developers",
    "License :: OSI Approved :: Apache Software License",
    "Operating System :: POSIX :: Linux",
    "Programming Language :: C++",
    "Programming Language :: Python :: 3",
    "Programming Language :: Python :: 3 :: Only",
    "Programming Language :: Python :: 3.9",
    "Programming Language :: Python :: 3.10",
    "Programming Language :: Python :: 3.11",
    "Programming Language :: Python :: 3.12",
    "Programming Language :: Python :: 3.13",
    "Programming Language :: Python :: Implementation :: CPython",
    "Topic :: Security :: Cryptography",
    "Typing :: Typed",
]


def _metadata():
    lines = [
        "Metadata-Version: 2.1",
        f"Name: {NAME}",
        f"Version: {VERSION}",
        f"Summary: {SUMMARY}",
        f"License: {LICENSE}",
        f"Requires-Python: {REQUIRES_PYTHON}",
        *(f"Classifier: {c}" for c in CLASSIFIERS),
        "Description-Content-Type: text/markdown",
    ]
    return "\n".join(lines) + "\n\n" + (ROOT / "README.md").read_text(encoding="utf-8")


def _build_dir():
    return pathlib.Path(os.environ.get("VT_WHEEL_BUILD_DIR", ROOT / "build" / "wheel")).resolve()


def _cmake_args(config_settings):
    args = shlex.split(os.environ.get("VT_CMAKE_ARGS", ""))
    given = (config_settings or {}).get("cmake-args", [])
    for item in [given] if isinstance(given, str) else given:
        args += shlex.split(item)
    return args


def _build_native(config_settings=None):
    if shutil.which("cmake") is None:
        raise RuntimeError(
            "building valtorimesca needs CMake 3.25 or later, a C++ compiler (g++ 12 or later), "
            "the libsodium and libdecaf headers and static libraries and the CPython headers; on Debian 12: "
            "apt-get install cmake ninja-build g++ libsodium-dev libdecaf-dev python3-dev")
    build_dir = _build_dir()
    jobs = os.environ.get("VT_JOBS", str(os.cpu_count() or 2))
    generator = ["-G", "Ninja"] if shutil.which("ninja") and not (build_dir / "CMakeCache.txt").exists() else []
    subprocess.check_call(
        ["cmake", "-S", str(ROOT), "-B", str(build_dir), *generator,
         "-DCMAKE_BUILD_TYPE=Release", "-DVT_BUILD_TESTS=OFF", "-DVT_BUILD_BENCH=OFF",
         "-DVT_BUILD_MODULE=ON", f"-DPython3_EXECUTABLE={sys.executable}",
         # A user's build never fails on a warning a newer compiler adds; the
         # project's test scripts turn -DVT_WERROR=ON back on.
         "-DVT_WERROR=OFF", *_cmake_args(config_settings)])
    subprocess.check_call(
        ["cmake", "--build", str(build_dir), "--target", "_valtorimesca", "-j", jobs])
    return build_dir / "extension_module" / "_valtorimesca.abi3.so"


def elf_dependencies(path):
    """(NEEDED libraries, {library: [required symbol versions]}) of an ELF64
    little-endian shared object, read from its dynamic section and its
    version-needs section."""
    data = pathlib.Path(path).read_bytes()
    if data[:4] != b"\x7fELF" or data[4] != 2 or data[5] != 1:
        raise ValueError(f"{path} is not a 64-bit little-endian ELF file")
    shoff, = struct.unpack_from("<Q", data, 0x28)
    shentsize, shnum = struct.unpack_from("<HH", data, 0x3A)
    sections = [struct.unpack_from("<IIQQQQIIQQ", data, shoff + i * shentsize) for i in range(shnum)]

    def string(table, offset):
        start = sections[table][4] + offset
        return data[start:data.index(b"\0", start)].decode()

    needed, versions = [], {}
    for _name, kind, _flags, _addr, offset, size, link, info, _align, _entsize in sections:
        if kind == 6:  # SHT_DYNAMIC
            for at in range(offset, offset + size, 16):
                tag, value = struct.unpack_from("<qQ", data, at)
                if tag == 0:
                    break
                if tag == 1:  # DT_NEEDED
                    needed.append(string(link, value))
        elif kind == 0x6FFFFFFE:  # SHT_GNU_verneed
            at = offset
            for _ in range(info):
                _version, count, file, aux, following = struct.unpack_from("<HHIII", data, at)
                names = versions.setdefault(string(link, file), [])
                entry = at + aux
                for _ in range(count):
                    _hash, _vflags, _other, name, next_aux = struct.unpack_from("<IHHII", data, entry)
                    names.append(string(link, name))
                    entry += next_aux
                at += following
    return needed, versions


def platform_tag(module):
    """manylinux_2_X_<arch> for a module that needs only glibc and libgcc_s,
    X its newest required GLIBC_2.X; else the interpreter's plain platform
    tag."""
    plain = sysconfig.get_platform().replace("-", "_").replace(".", "_")
    needed, versions = elf_dependencies(module)
    if not plain.startswith("linux_") or not set(needed) <= PLATFORM_LIBRARIES or set(versions) - PLATFORM_LIBRARIES:
        return plain
    glibc = [tuple(map(int, v[len("GLIBC_"):].split(".")))
             for names in versions.values() for v in names if re.fullmatch(r"GLIBC_\d+(\.\d+)*", v)]
    major, minor = max(glibc, default=(2, 17))[:2]
    return f"manylinux_{major}_{minor}_{plain[len('linux_'):]}"


def _record_line(arcname, data):
    digest = base64.urlsafe_b64encode(hashlib.sha256(data).digest()).rstrip(b"=").decode()
    return f"{arcname},sha256={digest},{len(data)}"


def _dist_info():
    return f"{NAME}-{VERSION}.dist-info"


def get_requires_for_build_wheel(config_settings=None):
    return []


def get_requires_for_build_sdist(config_settings=None):
    return []


def prepare_metadata_for_build_wheel(metadata_directory, config_settings=None):
    info = pathlib.Path(metadata_directory) / _dist_info()
    info.mkdir(parents=True, exist_ok=True)
    (info / "METADATA").write_text(_metadata())
    return _dist_info()


def _write_wheel(wheel_directory, files, tag):
    info = _dist_info()
    files = [*files,
             (f"{info}/METADATA", _metadata().encode()),
             (f"{info}/LICENSE", (ROOT / "LICENSE").read_bytes()),
             (f"{info}/WHEEL", (
                 "Wheel-Version: 1.0\n"
                 "Generator: valtorimesca_build\n"
                 "Root-Is-Purelib: false\n"
                 f"Tag: {tag}\n").encode()),
             (f"{info}/top_level.txt", b"_valtorimesca\nvaltorimesca\n")]
    record = [_record_line(name, data) for name, data in files]
    record.append(f"{info}/RECORD,,")
    files.append((f"{info}/RECORD", ("\n".join(record) + "\n").encode()))

    wheel_name = f"{NAME}-{VERSION}-{tag}.whl"
    with zipfile.ZipFile(pathlib.Path(wheel_directory) / wheel_name, "w",
                         compression=zipfile.ZIP_DEFLATED) as wheel:
        for name, data in files:
            entry = zipfile.ZipInfo(name, date_time=(2020, 1, 1, 0, 0, 0))
            entry.external_attr = (0o755 if name.endswith(".so") else 0o644) << 16
            entry.compress_type = zipfile.ZIP_DEFLATED
            wheel.writestr(entry, data)
    return wheel_name


def build_wheel(wheel_directory, config_settings=None, metadata_directory=None):
    native = _build_native(config_settings)
    files = [("_valtorimesca.abi3.so", native.read_bytes())]
    for path in sorted(PACKAGE.rglob("*")):
        if path.suffix in (".py", ".pyi") or path.name == "py.typed":
            files.append((f"{NAME}/{path.relative_to(PACKAGE).as_posix()}", path.read_bytes()))
    return _write_wheel(wheel_directory, files, f"{ABI_TAG}-{platform_tag(native)}")


# Editable installs (PEP 660): a folder of two links, to the source package and
# to the native module as CMake builds it, so that nothing else of python/
# becomes importable; rebuild with `cmake --build build/wheel --target _valtorimesca`.
get_requires_for_build_editable = get_requires_for_build_wheel
prepare_metadata_for_build_editable = prepare_metadata_for_build_wheel


def build_editable(wheel_directory, config_settings=None, metadata_directory=None):
    native = _build_native(config_settings)
    links = native.parent.parent / "editable"
    shutil.rmtree(links, ignore_errors=True)
    links.mkdir()
    (links / NAME).symlink_to(PACKAGE, target_is_directory=True)
    (links / native.name).symlink_to(native)
    return _write_wheel(wheel_directory, [(f"__editable__.{NAME}.pth", f"{links}\n".encode())],
                        f"{ABI_TAG}-{platform_tag(native)}")


def build_sdist(sdist_directory, config_settings=None):
    import tarfile
    base = f"{NAME}-{VERSION}"
    listed = subprocess.check_output(["git", "-C", str(ROOT), "ls-files"], text=True).split()
    name = f"{base}.tar.gz"
    with tarfile.open(pathlib.Path(sdist_directory) / name, "w:gz") as tar:
        for rel in listed:
            tar.add(ROOT / rel, arcname=f"{base}/{rel}")
        pkg_info = ROOT / "build" / "PKG-INFO"
        pkg_info.parent.mkdir(parents=True, exist_ok=True)
        pkg_info.write_text(_metadata())
        tar.add(pkg_info, arcname=f"{base}/PKG-INFO")
    return name
