"""Shared test fixtures: the known-answer vector folder, and the test-only
probe module built from the native module's own sources."""

import importlib
import json
import os
import pathlib
import subprocess
import sys
import sysconfig

import pytest

ROOT = pathlib.Path(__file__).resolve().parents[2]
SOURCES = [
    "extension_module/src/adapters.cpp",
    "extension_module/src/args.cpp",
    "extension_module/src/bytes_in.cpp",
    "extension_module/src/errors.cpp",
    "extension_module/src/panic.cpp",
    "extension_module/src/py.cpp",
    "extension_module/src/registry.cpp",
    "extension_module/src/suite.cpp",
    "suite_abi/src/error.cpp",
    "primitives/fault/src/fault.cpp",
    "tests/python/probe/probe.cpp",
]
INCLUDES = [
    "extension_module/src",
    "suite_abi/include",
    "hybrid_core/include",
    "primitives/fault/include",
    "primitives/zeroize/include",
]


def vectors_dir():
    """$VALTORIMESCA_VECTORS when set, else the repository's tests/vectors (the
    C++ tests follow the same rule, tests/support/vectors.cpp)."""
    return pathlib.Path(os.environ.get("VALTORIMESCA_VECTORS") or ROOT / "tests" / "vectors")


def load_vectors(name):
    """The parsed vector file `name`; a missing file fails the test."""
    folder = vectors_dir()
    path = folder / name
    if not path.is_file():
        pytest.fail(f"vector file {name} missing from {folder} "
                    "(the folder $VALTORIMESCA_VECTORS names, else tests/vectors)", pytrace=False)
    return json.loads(path.read_text())


@pytest.fixture(scope="session")
def vectors():
    return load_vectors


def wait(proc):
    _, err = proc.communicate()
    assert proc.returncode == 0, err


# VT_PROBE_SANITIZE=address builds the probe with AddressSanitizer; the
# interpreter then needs the runtime preloaded (scripts/test does that).
SANITIZE = ["-fsanitize=address", "-fno-omit-frame-pointer"] if os.environ.get("VT_PROBE_SANITIZE") == "address" else []


@pytest.fixture(scope="session")
def probe(tmp_path_factory):
    out = tmp_path_factory.mktemp("probe")
    objects = []
    procs = []
    for src in SOURCES:
        if len(procs) == 4:  # at most four compilers at once
            wait(procs.pop(0))
        obj = out / (pathlib.Path(src).stem + ".o")
        objects.append(str(obj))
        procs.append(subprocess.Popen(
            [os.environ.get("CXX", "g++"), "-std=c++20", "-O1", "-fPIC", "-fvisibility=hidden", *SANITIZE,
             "-DPy_LIMITED_API=0x03090000", "-I", sysconfig.get_paths()["include"],
             *[f"-I{ROOT / i}" for i in INCLUDES], "-c", str(ROOT / src), "-o", str(obj)],
            stderr=subprocess.PIPE, text=True))
    for proc in procs:
        wait(proc)
    lib = out / "_valtorimesca_probe.abi3.so"
    subprocess.run([os.environ.get("CXX", "g++"), "-shared", *SANITIZE, "-o", str(lib), *objects,
                    "-lsodium"], check=True)
    sys.path.insert(0, str(out))
    try:
        return importlib.import_module("_valtorimesca_probe")
    finally:
        sys.path.remove(str(out))
