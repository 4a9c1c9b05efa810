"""Stateful keys from a seed give, through Python, the very blobs and
signatures that the suite ABI gives in C++ (tests/reference, built with the
C++ tests; $VT_STATEFUL_REFERENCE names another copy)."""

import json
import os
import pathlib
import subprocess

import pytest

import valtorimesca as v
from valtorimesca import Suite

from journals import Budget, Journal

ROOT = pathlib.Path(__file__).resolve().parents[2]
PROGRAM = pathlib.Path(os.environ.get("VT_STATEFUL_REFERENCE")
                       or ROOT / "build/release/tests/reference/stateful_reference")


@pytest.fixture(scope="module")
def reference():
    if not PROGRAM.is_file():
        pytest.skip(f"{PROGRAM} is not built (./scripts/test builds it before the Python tests)")
    return json.loads(subprocess.run([str(PROGRAM)], check=True, capture_output=True, text=True).stdout)


@pytest.mark.parametrize("suite", [Suite.ED_SH, Suite.SR_SH], ids=repr)
def test_python_reproduces_the_abi(reference, suite):
    ref = {k: bytes.fromhex(x) for k, x in reference[str(suite.value)].items()}
    key, pk = v.keygen_stateful_from_seed(suite, bytes(range(32)), 4, Journal(), Budget())
    assert (key.export(), pk) == (ref["blob"], ref["pk"])
    assert key.sign_stateful(b"msg", b"ctx") == ref["stateful_1"]
    assert key.sign_stateful(b"msg", b"ctx") == ref["stateful_2"]
    assert key.export() == ref["blob_after"]
    assert key.sign_stateless(b"msg", b"ctx") == ref["stateless"]
    assert v.verify_stateful(suite, pk, b"msg", b"ctx", ref["stateful_2"])
    assert v.verify_stateless(suite, pk, b"msg", b"ctx", ref["stateless"])


def test_reference_engine_matches_the_independent_model(reference, vectors):
    """The program's SHRINCS half gives the known answers of
    shrincs_256s.json, so the chain from Python down to that model holds."""
    for key in vectors("shrincs_256s.json")["keys"]:
        m = key["stateful"][0]
        args = [str(PROGRAM), "shrincs", key["seed"], str(key["capacity"]), m["message"]]
        if "stateless" in key:
            args.append(key["stateless"]["message"])
        got = json.loads(subprocess.run(args, check=True, capture_output=True, text=True).stdout)
        where = f'{key["seed_name"]}, capacity {key["capacity"]}'
        assert (got["bundle"], got["engine_key"]) == (key["bundle"], key["engine_key"]), where
        want = [{"signature": s["signature"], "engine_key_after": s["engine_key_after"]} for s in m["signatures"]]
        assert got["signatures"] == want, where
        if "stateless" in key:
            assert got["few_time"] == key["stateless"]["signature"], where
