"""Key generation, signing and verification of the stateless suites."""

import inspect

import pytest

import valtorimesca as v
from valtorimesca import Suite

STATELESS = [Suite.ED_ML_44, Suite.ED_FN_512, Suite.SR_ML_44, Suite.SR_FN_512]
STATEFUL = [Suite.ED_SH, Suite.SR_SH]
LENGTHS = {1: (2624, 1344, 2484), 2: (1409, 929, 731), 3: (2624, 1344, 2484), 4: (1409, 929, 731)}
SEED = bytes(range(32))


@pytest.fixture(scope="module")
def keys():
    return {s.value: v.keygen_from_seed(s, SEED) for s in STATELESS}


@pytest.mark.parametrize("suite", STATELESS, ids=repr)
def test_keys_sign_and_verify(suite, keys):
    sk, pk = keys[suite.value]
    sk_len, pk_len, sig_len = LENGTHS[suite.value]
    assert (len(sk), len(pk)) == (sk_len, pk_len)
    assert v.keygen_from_seed(suite, bytearray(SEED)) == (sk, pk)

    a = v.sign(suite, sk, b"message", b"ctx")
    b = v.sign(suite, bytearray(sk), b"message", b"ctx")
    assert len(a) == sig_len and type(a) is bytes
    if sig_len == 731:
        assert a[64] == 255
    assert a != b
    assert v.verify(suite, pk, b"message", b"ctx", a)
    assert v.verify(suite, pk, b"message", b"ctx", b)
    assert not v.verify(suite, pk, b"message", b"ctx2", a)
    assert not v.verify(suite, pk, b"messagf", b"ctx", a)
    assert not v.verify(suite, pk[:-1], b"message", b"ctx", a)
    assert not v.verify(suite, pk, b"message", b"ctx", a + b"\0")
    assert not v.verify(suite, pk, b"message", bytes(256), a)
    assert v.sign(suite, sk, b"m", bytes(255))

    d1 = v.sign_deterministic(suite, sk, b"m", b"", b"")
    d2 = v.sign_deterministic(suite, sk, b"m", b"", b"")
    d3 = v.sign_deterministic(suite, sk, b"m", b"", b"other nonce")
    assert d1 == d2
    assert (d1 == d3) == (suite == Suite.ED_ML_44)
    assert v.verify(suite, pk, b"m", b"", d3)


@pytest.mark.parametrize("suite", STATEFUL, ids=repr)
def test_stateful_suites_refuse_these_entry_points(suite):
    with pytest.raises(v.WrongEntryPointForSuiteError):
        v.keygen_from_seed(suite, SEED)
    with pytest.raises(v.BadLengthError):
        v.keygen_from_seed(suite, SEED[:31])
    with pytest.raises(v.WrongEntryPointForSuiteError):
        v.sign(suite, b"", b"m", bytes(300))
    with pytest.raises(v.WrongEntryPointForSuiteError):
        v.sign_deterministic(suite, b"", b"m", b"", b"")
    assert v.verify(suite, bytes(196), b"m", b"", bytes(100)) is False


def test_error_order_and_messages(keys):
    sk, _ = keys[1]
    with pytest.raises(v.BadLengthError) as e:
        v.keygen_from_seed(Suite.ED_ML_44, bytes(31))
    assert e.value.args == ("a byte string had the wrong length",)
    with pytest.raises(v.ContextTooLongError):
        v.sign(Suite.ED_ML_44, sk[:-1], b"m", bytes(256))
    with pytest.raises(v.BadLengthError):
        v.sign(Suite.ED_ML_44, sk[:-1], b"m", b"")
    with pytest.raises(v.BadLengthError):
        v.sign_deterministic(Suite.ED_FN_512, sk, b"m", b"", b"")


@pytest.mark.parametrize("call", [
    lambda: v.sign(1, b"", b"", b""),
    lambda: v.sign(None, b"", b"", b""),
    lambda: v.verify(Suite.ED_ML_44, "pk", b"", b"", b""),
    lambda: v.sign(Suite.ED_ML_44, memoryview(b"x"), b"", b""),
    lambda: v.keygen_from_seed(Suite.ED_ML_44),
    lambda: v.keygen_from_seed(Suite.ED_ML_44, SEED, SEED),
    lambda: v.keygen_from_seed(suite=Suite.ED_ML_44, sed=SEED),
])
def test_argument_faults_are_type_errors(call):
    with pytest.raises(TypeError):
        call()


def test_byte_argument_type_error_text():
    with pytest.raises(TypeError) as e:
        v.verify(Suite.ED_ML_44, b"", 5, b"", b"")
    assert str(e.value) == "expected bytes or bytearray, got an object of a different type"


def test_keyword_arguments_and_signatures(keys):
    sk, pk = keys[1]
    sig = v.sign(suite=Suite.ED_ML_44, sk=sk, msg=b"m", ctx=b"")
    assert v.verify(suite=Suite.ED_ML_44, pk=pk, msg=b"m", ctx=b"", sig=sig)
    expect = {
        "keygen_from_seed": "(suite, seed)",
        "sign": "(suite, sk, msg, ctx)",
        "sign_deterministic": "(suite, sk, msg, ctx, nonce)",
        "verify": "(suite, pk, msg, ctx, sig)",
        "profile_name": "()",
    }
    for name, sig_text in expect.items():
        fn = getattr(v, name)
        assert str(inspect.signature(fn)) == sig_text
        assert fn.__doc__.startswith(name + "(") is False  # the text signature is stripped
    assert v.keygen_from_seed.__doc__.startswith("Derive a keypair for `suite` from a 32-byte master seed.")
    assert v.sign.__doc__.startswith("Hedged (randomized) signing for `suite`.")
    assert v.sign_deterministic.__doc__.startswith(
        "Deterministic signing for `suite`. Returns the signature as `bytes`.")
    assert v.verify.__doc__.startswith("Verify `sig` over `msg` under `ctx` for `suite`, against `pk`.")
    assert "Covers all six suites." in v.verify.__doc__


# Composite ML-DSA secret keys: the classical half fills [0, 64), ML-DSA-44's
# s1 [192, 576) and s2 [576, 960), eight 3-bit fields per three bytes. A
# field holding 5, 6 or 7 is a coefficient outside [-2, 2]: the key does not
# decode, and every signing form of both ML-DSA suites refuses it.
MLDSA_KEY_EDITS = [
    # (name, byte, mask, value, decodes)
    ("s1 first coefficient 5", 192, 0x07, 0x05, False),
    ("s1 last coefficient 7", 575, 0xE0, 0xE0, False),
    ("s2 first coefficient 6", 576, 0x07, 0x06, False),
    ("s2 last coefficient 5", 959, 0xE0, 0xA0, False),
    ("s1 and s2 all ones", slice(192, 576), None, 0xFF, False),
    ("unchanged", 0, 0x00, 0x00, True),
]


def edited_key(sk, byte, mask, value):
    m = bytearray(sk)
    if isinstance(byte, slice):
        m[byte] = bytes([value]) * (byte.stop - byte.start)
    else:
        m[byte] = (m[byte] & ~mask & 0xFF) | value
    return bytes(m)


@pytest.mark.parametrize("suite", [Suite.ED_ML_44, Suite.SR_ML_44], ids=repr)
@pytest.mark.parametrize("name,byte,mask,value,decodes", MLDSA_KEY_EDITS, ids=[e[0] for e in MLDSA_KEY_EDITS])
def test_mldsa_secret_keys_outside_eta_are_refused(suite, keys, name, byte, mask, value, decodes):
    sk, pk = keys[suite.value]
    bad = edited_key(sk, byte, mask, value)
    calls = [
        lambda: v.sign(suite, bad, b"message", b"ctx"),
        lambda: v.sign_deterministic(suite, bad, b"message", b"ctx", b"nonce"),
        lambda: v.vrf_prove(suite, bad, b"input"),
    ]
    for call in calls:
        if decodes:
            out = call()
            assert len(out) in (2484, 2500, 2516)
        else:
            with pytest.raises(v.ComponentFailureError) as e:
                call()
            assert e.value.args == ("a component algorithm failed",)
    if decodes:
        assert v.verify(suite, pk, b"message", b"ctx", v.sign(suite, bad, b"message", b"ctx"))
