"""End-to-end cross-checks against implementations outside this project:
seeds recomputed with hashlib/hmac, component keys and signatures from the
npm packages in tests/oracles, master seeds from python3-mnemonic."""

import hashlib
import hmac
import json
import os
import pathlib
import subprocess

import pytest
from mnemonic import Mnemonic

import valtorimesca as v
from valtorimesca import Suite

ORACLES = pathlib.Path(__file__).resolve().parents[1] / "oracles"
LABELS = {
    1: b"hybrid-ed25519-mldsa44-v1\0",
    2: b"hybrid-ed25519-falcon512-v1\0",
    3: b"hybrid-sr25519-mldsa44-v1\0",
    4: b"hybrid-sr25519-falcon512-v1\0",
}


def hkdf32(master, info):
    prk = hmac.new(b"quartz-lem", master, hashlib.sha256).digest()
    return hmac.new(prk, info + b"\x01", hashlib.sha256).digest()


def m_prime(label, ctx, msg):
    return b"\x01" + label + bytes([len(ctx)]) + ctx + msg


def oracle(requests):
    # scripts/test names the reason when `npm ci` could not install the oracles.
    if os.environ.get("VT_ORACLES_SKIP"):
        pytest.skip("npm oracles skipped: " + os.environ["VT_ORACLES_SKIP"])
    assert (ORACLES / "node_modules").is_dir(), "run `npm ci` in tests/oracles"
    out = subprocess.run(["node", str(ORACLES / "e2e_keys.mjs")], input=json.dumps(requests),
                         capture_output=True, text=True, check=True, cwd=ORACLES)
    return [bytes.fromhex(h) for h in json.loads(out.stdout)]


def masters(n):
    return [hashlib.sha256(b"e2e-master" + bytes([i])).digest() for i in range(n)] + [os.urandom(32)]


def test_public_keys_are_the_component_keys():
    requests, expected = [], []
    for master in masters(3):
        for suite in (Suite.ED_ML_44, Suite.ED_FN_512, Suite.SR_ML_44, Suite.SR_FN_512):
            label = LABELS[suite.value]
            _, pk = v.keygen_from_seed(suite, master)
            classical = hkdf32(master, b"classical/" + label)
            op = "ed25519_pk" if suite in (Suite.ED_ML_44, Suite.ED_FN_512) else "sr25519_pk"
            requests.append({"op": op, "seed": classical.hex()})
            expected.append(pk[:32])
            if suite in (Suite.ED_ML_44, Suite.SR_ML_44):
                requests.append({"op": "mldsa44_pk", "seed": hkdf32(master, b"pq/" + label).hex()})
                expected.append(pk[32:])
    assert oracle(requests) == expected


def test_deterministic_ed_ml_44_is_ed25519_then_mldsa44():
    requests, expected = [], []
    for i, master in enumerate(masters(4)):
        label = LABELS[1]
        sk, _ = v.keygen_from_seed(Suite.ED_ML_44, master)
        msg, ctx = os.urandom(i * 40), os.urandom(i * 7)
        sig = v.sign_deterministic(Suite.ED_ML_44, sk, msg, ctx, os.urandom(8))
        mp = m_prime(label, ctx, msg)
        requests.append({"op": "ed25519_sign", "seed": hkdf32(master, b"classical/" + label).hex(),
                         "msg": mp.hex()})
        requests.append({"op": "mldsa44_sign_det", "seed": hkdf32(master, b"pq/" + label).hex(),
                         "msg": mp.hex()})
        expected.append(sig)
    answers = oracle(requests)
    assert [answers[i] + answers[i + 1] for i in range(0, len(answers), 2)] == expected


def test_hedged_halves_verify_outside():
    requests = []
    for suite in (Suite.ED_ML_44, Suite.SR_ML_44):
        sk, pk = v.keygen_from_seed(suite, os.urandom(32))
        msg, ctx = os.urandom(50), b"app"
        sig = v.sign(suite, sk, msg, ctx)
        mp = m_prime(LABELS[suite.value], ctx, msg)
        if suite == Suite.ED_ML_44:
            requests.append({"op": "ed25519_verify", "pk": pk[:32].hex(), "msg": mp.hex(),
                             "sig": sig[:64].hex()})
        requests.append({"op": "mldsa44_verify", "pk": pk[32:].hex(), "msg": mp.hex(),
                         "sig": sig[64:].hex()})
    assert oracle(requests) == [b"\x01"] * len(requests)


@pytest.mark.parametrize("words", [12, 15, 24])
def test_master_seed_is_pbkdf2_over_entropy(words):
    m = Mnemonic("english")
    entropy = os.urandom(words * 4 // 3)
    phrase = m.to_mnemonic(entropy)
    assert bytes(m.to_entropy(phrase)) == entropy
    for password in (None, "", "correct horse", "pässwörd"):
        salt = b"mnemonic" + (password or "").encode()
        expect = hashlib.pbkdf2_hmac("sha512", entropy, salt, 2048)[:32]
        assert v.master_seed_from_mnemonic(phrase, password) == expect
