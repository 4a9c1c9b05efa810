"""In-tree build backend: builds `_valtorimesca` with CMake and writes a
stable-ABI (cp39-abi3) wheel holding the native module and the package, or
an editable one whose path file points at the source package and the CMake
build of the native module."""

import base64
import hashlib
import os
import pathlib
import subprocess
import sys
import sysconfig
import zipfile

ROOT = pathlib.Path(__file__).resolve().parents[2]
NAME = "valtorimesca"
VERSION = "0.1.0"
TAG = "cp39-abi3-" + sysconfig.get_platform().replace("-", "_").replace(".", "_")


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


def _build_native():
    build_dir = _build_dir()
    jobs = os.environ.get("VT_JOBS", str(os.cpu_count() or 2))
    generator = ["-G", "Ninja"] if _has("ninja") else []
    subprocess.check_call(
        ["cmake", "-S", str(ROOT), "-B", str(build_dir), *generator,
         "-DCMAKE_BUILD_TYPE=Release", "-DVT_BUILD_TESTS=OFF", "-DVT_BUILD_BENCH=OFF",
         "-DVT_BUILD_MODULE=ON", f"-DPython3_EXECUTABLE={sys.executable}"])
    subprocess.check_call(
        ["cmake", "--build", str(build_dir), "--target", "_valtorimesca", "-j", jobs])
    return build_dir / "extension_module" / "_valtorimesca.abi3.so"


def _has(tool):
    from shutil import which
    return which(tool) is not None


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


def _write_wheel(wheel_directory, files):
    info = _dist_info()
    files = [*files,
             (f"{info}/METADATA", _metadata().encode()),
             (f"{info}/LICENSE", (ROOT / "LICENSE").read_bytes()),
             (f"{info}/WHEEL", (
                 "Wheel-Version: 1.0\n"
                 "Generator: valtorimesca_build\n"
                 "Root-Is-Purelib: false\n"
                 f"Tag: {TAG}\n").encode()),
             (f"{info}/top_level.txt", b"_valtorimesca\nvaltorimesca\n")]
    record = [_record_line(name, data) for name, data in files]
    record.append(f"{info}/RECORD,,")
    files.append((f"{info}/RECORD", ("\n".join(record) + "\n").encode()))

    wheel_name = f"{NAME}-{VERSION}-{TAG}.whl"
    with zipfile.ZipFile(pathlib.Path(wheel_directory) / wheel_name, "w",
                         compression=zipfile.ZIP_DEFLATED) as wheel:
        for name, data in files:
            entry = zipfile.ZipInfo(name, date_time=(2020, 1, 1, 0, 0, 0))
            entry.external_attr = (0o755 if name.endswith(".so") else 0o644) << 16
            entry.compress_type = zipfile.ZIP_DEFLATED
            wheel.writestr(entry, data)
    return wheel_name


def build_wheel(wheel_directory, config_settings=None, metadata_directory=None):
    native = _build_native()
    files = [("_valtorimesca.abi3.so", native.read_bytes())]
    package = ROOT / "python" / NAME
    for path in sorted(package.rglob("*")):
        if path.suffix in (".py", ".pyi") or path.name == "py.typed":
            files.append((f"{NAME}/{path.relative_to(package).as_posix()}", path.read_bytes()))
    return _write_wheel(wheel_directory, files)


# Editable installs (PEP 660): the source package and the native module as
# CMake builds it; rebuild with `cmake --build build/wheel --target _valtorimesca`.
get_requires_for_build_editable = get_requires_for_build_wheel
prepare_metadata_for_build_editable = prepare_metadata_for_build_wheel


def build_editable(wheel_directory, config_settings=None, metadata_directory=None):
    native = _build_native()
    paths = f"{ROOT / 'python'}\n{native.parent}\n"
    return _write_wheel(wheel_directory, [(f"__editable__.{NAME}.pth", paths.encode())])


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
