"""The hybrid VRF functions."""

import hashlib
import inspect
import struct

import pytest

import valtorimesca as v
from valtorimesca import Suite

STATELESS = [Suite.ED_ML_44, Suite.ED_FN_512, Suite.SR_ML_44, Suite.SR_FN_512]
STATEFUL = [Suite.ED_SH, Suite.SR_SH]
PROOF_LEN = {1: 2500, 2: 747, 3: 2516, 4: 763, 5: 29172, 6: 29188}
LABELS = {
    1: b"hybrid-ed25519-mldsa44-v1\0",
    2: b"hybrid-ed25519-falcon512-v1\0",
    3: b"hybrid-sr25519-mldsa44-v1\0",
    4: b"hybrid-sr25519-falcon512-v1\0",
}


def header(suite):
    return 96 if suite in (Suite.SR_ML_44, Suite.SR_FN_512, Suite.SR_SH) else 80


def binding_message(label, data, pre_output):
    def framed(b):
        return struct.pack(">Q", len(b)) + b
    return hashlib.sha256(b"valtorimesca/hybrid-vrf/v1\0" + framed(label) + framed(data) + pre_output).digest()


@pytest.fixture(scope="module")
def keys():
    return {s.value: v.keygen_from_seed(s, hashlib.sha256(b"vrf" + bytes([s.value])).digest())
            for s in STATELESS}


def test_proof_lengths_and_signatures():
    for code, n in PROOF_LEN.items():
        assert v.vrf_proof_len(Suite.from_code(code)) == n
    with pytest.raises(TypeError):
        v.vrf_proof_len(1)
    assert str(inspect.signature(v.vrf_proof_len)) == "(suite)"
    assert str(inspect.signature(v.vrf_prove)) == "(suite, secret_key, input)"
    assert str(inspect.signature(v.vrf_prove_deterministic)) == "(suite, secret_key, input)"
    assert str(inspect.signature(v.vrf_verify)) == "(suite, public_key, input, proof)"
    assert str(inspect.signature(v.vrf_make_bytes)) == "(suite, public_key, input, proof, context)"
    for f in (v.vrf_prove, v.vrf_prove_deterministic, v.vrf_make_bytes):
        assert "# Errors" in f.__doc__
    assert "vrf_verify" in v.vrf_make_bytes.__doc__


@pytest.mark.parametrize("suite", STATELESS, ids=repr)
def test_proofs_verify_and_give_one_output(suite, keys):
    sk, pk = keys[suite.value]
    det = v.vrf_prove_deterministic(suite, sk, b"epoch 7")
    assert type(det) is bytes and len(det) == PROOF_LEN[suite.value]
    assert v.vrf_prove_deterministic(suite, bytearray(sk), bytearray(b"epoch 7")) == det
    hedged = [v.vrf_prove(suite, sk, b"epoch 7") for _ in range(2)]
    if suite in (Suite.SR_ML_44, Suite.SR_FN_512):
        assert hedged[0] != hedged[1]
    else:
        assert hedged[0] == hedged[1] == det
    if suite in (Suite.ED_FN_512, Suite.SR_FN_512):
        assert det[header(suite)] == 255
    lead = v.vrf_make_bytes(suite, pk, b"epoch 7", det, b"leadership")
    rand = v.vrf_make_bytes(suite, pk, b"epoch 7", det, b"randomness")
    assert len(lead) == 32 and lead != rand
    for proof in [det] + hedged:
        assert v.vrf_verify(suite, pk, b"epoch 7", proof)
        assert v.vrf_make_bytes(suite, pk, b"epoch 7", proof, b"leadership") == lead
    # Only the header is read, and only the classical part of the key.
    assert v.vrf_make_bytes(suite, pk[:32], b"epoch 7", det[:header(suite)], b"leadership") == lead
    assert not v.vrf_verify(suite, pk, b"epoch 8", det)


@pytest.mark.parametrize("suite", STATELESS, ids=repr)
def test_malformed_proofs_are_false(suite, keys):
    sk, pk = keys[suite.value]
    proof = v.vrf_prove_deterministic(suite, sk, b"x")
    h = header(suite)
    for i in (0, 40, h - 1, h, h + 1, len(proof) - 1):
        bad = bytearray(proof)
        bad[i] ^= 0x80
        assert not v.vrf_verify(suite, pk, b"x", bad), i
    for other in STATELESS:
        if other != suite:
            assert not v.vrf_verify(other, keys[other.value][1], b"x", proof)
    assert not v.vrf_verify(suite, pk, b"x", proof[:-1])
    assert not v.vrf_verify(suite, pk, b"x", proof + b"\0")
    assert not v.vrf_verify(suite, b"", b"x", proof)
    with pytest.raises(TypeError):
        v.vrf_verify(suite, pk, b"x", None)
    with pytest.raises(v.BadLengthError):
        v.vrf_make_bytes(suite, pk, b"x", proof[:h - 1], b"")
    with pytest.raises(v.BadLengthError):
        v.vrf_make_bytes(suite, pk[:31], b"x", proof, b"")


def test_prove_refusals(keys):
    for suite in STATEFUL:
        for prove in (v.vrf_prove, v.vrf_prove_deterministic):
            with pytest.raises(v.WrongEntryPointForSuiteError):
                prove(suite, b"", b"")
    with pytest.raises(TypeError):
        v.vrf_prove(Suite.ED_ML_44, "text", b"")
    with pytest.raises(TypeError):
        v.vrf_prove(1, b"", b"")
    for suite in STATELESS:
        sk = keys[suite.value][0]
        for prove in (v.vrf_prove, v.vrf_prove_deterministic):
            with pytest.raises(v.BadLengthError):
                prove(suite, sk[:-1], b"")
    # The all-zero Ed25519 key is of small order; 0xff.. is no Ristretto point.
    with pytest.raises(v.ComponentFailureError):
        v.vrf_make_bytes(Suite.ED_ML_44, bytes(32), b"", bytes(80), b"")
    with pytest.raises(v.ComponentFailureError):
        v.vrf_make_bytes(Suite.SR_ML_44, b"\xff" * 32, b"", bytes(96), b"")


@pytest.mark.parametrize("suite", [Suite.ED_ML_44, Suite.SR_ML_44], ids=repr)
def test_post_quantum_half_against_noble(suite, keys):
    """The ML-DSA-44 half of a proof is noble's deterministic signature of the
    binding message recomputed here, and verifies under noble."""
    from test_oracles import hkdf32, oracle

    master = hashlib.sha256(b"vrf" + bytes([suite.value])).digest()
    sk, pk = keys[suite.value]
    h = header(suite)
    proof = v.vrf_prove_deterministic(suite, sk, b"noble input")
    binding = binding_message(LABELS[suite.value], b"noble input", proof[:32])
    pq_seed = hkdf32(master, b"pq/" + LABELS[suite.value])
    sig, ok = oracle([
        {"op": "mldsa44_sign_det", "seed": pq_seed.hex(), "msg": binding.hex()},
        {"op": "mldsa44_verify", "pk": pk[32:].hex(), "msg": binding.hex(), "sig": proof[h:].hex()},
    ])
    assert sig == proof[h:]
    assert ok == b"\x01"


@pytest.mark.parametrize("suite", [Suite.SR_ML_44, Suite.SR_FN_512], ids=repr)
def test_sr25519_half_against_scure(suite, keys):
    """The sr25519 half of a hedged proof is a schnorrkel VRF signature under
    the suite label as signing context, which @scure/sr25519 accepts."""
    from test_oracles import oracle

    sk, pk = keys[suite.value]
    proof = v.vrf_prove(suite, sk, b"scure input")
    answers = oracle([
        {"op": "sr25519_vrf_verify", "pk": pk[:32].hex(), "ctx": LABELS[suite.value].hex(),
         "msg": b"scure input".hex(), "sig": proof[:96].hex()},
        {"op": "sr25519_vrf_verify", "pk": pk[:32].hex(), "ctx": LABELS[suite.value].hex(),
         "msg": b"scure inpuT".hex(), "sig": proof[:96].hex()},
    ])
    assert answers == [b"\x01", b"\x00"]
