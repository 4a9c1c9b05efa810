"""VrfStatelessKey: the dedicated VRF keys of ED_SH and SR_SH and their
budgeted proofs."""

import hashlib
import inspect
import os
import subprocess
import sys
import threading
import time

import pytest

import valtorimesca as v
from valtorimesca import Suite, VrfStatelessKey

STATEFUL = [Suite.ED_SH, Suite.SR_SH]
PROOF_LEN = {5: 29172, 6: 29188}
LIMIT = 1 << 20


def master(tag):
    return hashlib.sha256(b"vrf-stateless-test" + tag).digest()


class Budget:
    """A budget store that records every call made on it."""

    def __init__(self, counts=None, consumed_error=None, record_error=None, answer=None):
        self.counts = dict(counts or {})
        self.calls = []
        self.consumed_error = consumed_error
        self.record_error = record_error
        self.answer = answer

    def consumed(self, key):
        self.calls.append(("consumed", key))
        if self.consumed_error is not None:
            raise self.consumed_error
        if self.answer is not None:
            return self.answer
        return self.counts.get(key)

    def record(self, key, count):
        self.calls.append(("record", key, count))
        if self.record_error is not None:
            raise self.record_error
        self.counts[key] = count
        return False  # ignored


class Journal:
    def __init__(self):
        self.bound, self.spent = None, 0

    def bound_key(self):
        return self.bound

    def bind_key(self, identity):
        self.bound = identity

    def next_leaf(self):
        return self.spent

    def commit(self, leaf):
        self.spent = leaf + 1


@pytest.fixture(scope="module")
def keys():
    return {s.value: VrfStatelessKey.derive(s, master(bytes([s.value]))) for s in STATEFUL}


def budget_key(pk):
    # SHA-256 of the stateless public seed and hypertree root at the end of the bundle.
    return hashlib.sha256(pk[32 + 100:32 + 164]).digest()


def test_class_surface():
    with pytest.raises(TypeError):
        VrfStatelessKey()
    assert VrfStatelessKey.__module__ == "valtorimesca"
    assert str(inspect.signature(VrfStatelessKey.derive)) == "(suite, master)"
    assert str(inspect.signature(VrfStatelessKey.prove)) == "(self, /, budget, input)"
    assert "# Errors" in VrfStatelessKey.derive.__doc__ and "# Errors" in VrfStatelessKey.prove.__doc__
    assert "VRF" in VrfStatelessKey.__doc__
    # The suite is refused before the master seed is looked at.
    with pytest.raises(v.WrongEntryPointForSuiteError):
        VrfStatelessKey.derive(Suite.SR_FN_512, "not bytes")
    with pytest.raises(TypeError):
        VrfStatelessKey.derive(Suite.ED_SH, "not bytes")
    with pytest.raises(TypeError):
        VrfStatelessKey.derive(5, bytes(32))
    for n in (0, 31, 33):
        with pytest.raises(v.BadLengthError):
            VrfStatelessKey.derive(Suite.ED_SH, bytes(n))


@pytest.mark.parametrize("suite", STATEFUL, ids=repr)
def test_derive_is_reproducible_and_apart_from_the_identity_key(suite, keys):
    key, pk = keys[suite.value]
    assert type(pk) is bytes and len(pk) == 196
    assert pk[32 + 64:32 + 68] == b"\0\0\0\1"  # leaf capacity 1
    again = VrfStatelessKey.derive(suite, bytearray(master(bytes([suite.value]))))[1]
    assert again == pk
    assert VrfStatelessKey.derive(suite, master(b"other"))[1] != pk
    if hasattr(v, "keygen_stateful_from_seed"):
        _, identity_pk = v.keygen_stateful_from_seed(suite, master(bytes([suite.value])), 1, Journal(), Budget())
        assert identity_pk != pk
        assert budget_key(identity_pk) != budget_key(pk)


@pytest.mark.parametrize("suite", STATEFUL, ids=repr)
def test_prove_spends_one_unit_and_verifies(suite, keys):
    key, pk = keys[suite.value]
    bk = budget_key(pk)
    budget = Budget()
    a = key.prove(budget, b"epoch 1")
    assert budget.calls == [("consumed", bk), ("record", bk, 1)]
    assert type(a) is bytes and len(a) == PROOF_LEN[suite.value] == v.vrf_proof_len(suite)
    b = key.prove(budget, bytearray(b"epoch 1"))
    assert budget.calls[2:] == [("consumed", bk), ("record", bk, 2)]
    assert v.vrf_verify(suite, pk, b"epoch 1", a) and v.vrf_verify(suite, pk, b"epoch 1", b)
    assert not v.vrf_verify(suite, pk, b"epoch 2", a)
    lead = v.vrf_make_bytes(suite, pk, b"epoch 1", a, b"leadership")
    assert v.vrf_make_bytes(suite, pk, b"epoch 1", b, b"leadership") == lead
    assert v.vrf_make_bytes(suite, pk, b"epoch 1", a, b"randomness") != lead
    h = 96 if suite == Suite.SR_SH else 80
    assert v.vrf_make_bytes(suite, pk[:32], b"epoch 1", a[:h], b"leadership") == lead
    if suite == Suite.ED_SH:
        assert a == b  # every half of an ED_SH proof is deterministic
    else:
        assert a[:32] == b[:32] and a[96:] == b[96:] and a[32:96] != b[32:96]
    # One budget store serves many keys: their counts stay apart.
    other_key, other_pk = keys[11 - suite.value]
    other_key.prove(budget, b"epoch 1")
    assert budget.counts == {bk: 2, budget_key(other_pk): 1}


@pytest.mark.parametrize("suite", STATEFUL, ids=repr)
def test_every_region_of_a_proof_is_bound(suite, keys):
    key, pk = keys[suite.value]
    proof = key.prove(Budget(), b"x")
    h = 96 if suite == Suite.SR_SH else 80
    for i in (0, 31, 32, h - 1, h, h + 1, h + 5000, len(proof) - 1):
        bad = bytearray(proof)
        bad[i] ^= 0x01
        assert not v.vrf_verify(suite, pk, b"x", bad), i
    assert not v.vrf_verify(suite, pk, b"x", proof[:-1])
    assert not v.vrf_verify(suite, pk, b"x", proof + b"\0")
    assert not v.vrf_verify(suite, pk[:-1], b"x", proof)
    other = Suite.SR_SH if suite == Suite.ED_SH else Suite.ED_SH
    assert not v.vrf_verify(other, keys[other.value][1], b"x", proof)
    with pytest.raises(v.BadLengthError):
        v.vrf_make_bytes(suite, pk, b"x", proof[:h - 1], b"")


def test_budget_bound(keys):
    key, pk = keys[5]
    bk = budget_key(pk)
    last = Budget({bk: LIMIT - 1})
    assert len(key.prove(last, b"last")) == PROOF_LEN[5]
    assert last.calls == [("consumed", bk), ("record", bk, LIMIT)]
    spent = Budget({bk: LIMIT})
    with pytest.raises(v.StatelessBudgetExhaustedError):
        key.prove(spent, b"one more")
    assert spent.calls == [("consumed", bk)]
    with pytest.raises(v.StatelessBudgetExhaustedError):
        key.prove(Budget(answer=(1 << 64) - 1), b"one more")


def test_store_failures_reach_the_caller_unchanged(keys):
    key, pk = keys[6]
    bk = budget_key(pk)
    error = ValueError("disk gone")
    failing_read = Budget(consumed_error=error)
    with pytest.raises(ValueError) as raised:
        key.prove(failing_read, b"x")
    assert raised.value is error
    assert failing_read.calls == [("consumed", bk)]

    error = OSError("write failed")
    failing_write = Budget(record_error=error)
    with pytest.raises(OSError) as raised:
        key.prove(failing_write, b"x")
    assert raised.value is error
    assert failing_write.calls == [("consumed", bk), ("record", bk, 1)]

    for answer, kind in ((-1, OverflowError), (1 << 64, OverflowError), ("3", TypeError), (1.0, TypeError)):
        store = Budget(answer=answer)
        with pytest.raises(kind):
            key.prove(store, b"x")
        assert store.calls == [("consumed", bk)], answer

    class NoRecord:
        def consumed(self, key):
            return None
    with pytest.raises(AttributeError):
        key.prove(NoRecord(), b"x")
    with pytest.raises(TypeError):
        key.prove(Budget(), "text")


def test_derive_releases_the_interpreter_lock():
    """Two threads derive at once; the main thread keeps running Python code
    in the middle of their derivations."""
    seeds = [master(b"thread-a"), master(b"thread-b")]
    expected = [VrfStatelessKey.derive(Suite.SR_SH, s)[1] for s in seeds]
    spans, results = [], {}
    old = sys.getswitchinterval()
    # A thread holding the lock through a call is then never made to give it up.
    sys.setswitchinterval(1.0)
    try:
        def work(i):
            for _ in range(3):
                t0 = time.perf_counter()
                _, pk = VrfStatelessKey.derive(Suite.SR_SH, seeds[i])
                spans.append((t0, time.perf_counter()))
                results.setdefault(i, set()).add(pk)

        threads = [threading.Thread(target=work, args=(i,)) for i in range(2)]
        ticks = []
        for t in threads:
            t.start()
        while any(t.is_alive() for t in threads):
            ticks.append(time.perf_counter())
            time.sleep(0.0002)
        for t in threads:
            t.join()
    finally:
        sys.setswitchinterval(old)
    assert results == {0: {expected[0]}, 1: {expected[1]}}
    inside = [t for t in ticks if any(a + (b - a) / 4 < t < b - (b - a) / 4 for a, b in spans)]
    assert inside, "no Python code ran while a key was being derived"



# Run in a child process: it builds the master seed byte by byte (so no
# Python object but the bytearray ever holds it), calls derive, zeroes the
# bytearray and waits while the parent searches its memory.
_CHILD = """
import sys
import valtorimesca as v
n, salt, leak = int(sys.argv[1]), int(sys.argv[2]), sys.argv[3] == "leak"
m = bytearray(n)
for i in range(n):
    m[i] = (i * 167 + salt) % 251 + 3
try:
    v.VrfStatelessKey.derive(v.Suite.SR_SH, m)
except v.BadLengthError:
    pass
copy = bytes(m) if leak else None
for i in range(n):
    m[i] = 0
print("ready", flush=True)
sys.stdin.readline()
"""


def _child_memory_holds(n, salt, leak=False):
    # A freed block loses its first 16 bytes to the allocator's bookkeeping.
    needle = bytes((i * 167 + salt) % 251 + 3 for i in range(n))[16:]
    # Symbols bound at load time: a lazy binding saves the vector registers
    # on the stack, and with them whatever memcpy last moved through them.
    child = subprocess.Popen([sys.executable, "-c", _CHILD, str(n), str(salt), "leak" if leak else "-"],
                             stdin=subprocess.PIPE, stdout=subprocess.PIPE, text=True,
                             env=dict(os.environ, LD_BIND_NOW="1"))
    try:
        assert child.stdout.readline() == "ready\n"
        found = False
        with open(f"/proc/{child.pid}/maps") as maps, open(f"/proc/{child.pid}/mem", "rb", buffering=0) as mem:
            for line in maps:
                fields = line.split()
                if not fields[1].startswith("rw"):
                    continue
                start, end = (int(x, 16) for x in fields[0].split("-"))
                try:
                    found = found or needle in os.pread(mem.fileno(), end - start, start)
                except OSError:
                    continue
        return found
    finally:
        child.communicate("\n")


@pytest.mark.skipif(not os.path.exists("/proc/self/mem"), reason="needs /proc/<pid>/mem")
def test_derive_leaves_no_copy_of_the_master_seed():
    # The search finds a copy that the process still holds ...
    assert _child_memory_holds(40, 11, leak=True)
    # ... and none of derive's copies, refused for the length or derived.
    for n in (31, 33, 32):
        assert not _child_memory_holds(n, 97 + n), n


def test_sr_sh_classical_half_against_scure(keys):
    """The sr25519 half of an SR_SH proof is a schnorrkel VRF signature under
    the suite label, which @scure/sr25519 accepts."""
    from test_oracles import oracle

    key, pk = keys[6]
    proof = key.prove(Budget(), b"scure input")
    label = b"hybrid-sr25519-shrincs-256s-v1\0"
    answers = oracle([
        {"op": "sr25519_vrf_verify", "pk": pk[:32].hex(), "ctx": label.hex(), "msg": b"scure input".hex(),
         "sig": proof[:96].hex()},
        {"op": "sr25519_vrf_verify", "pk": pk[:32].hex(), "ctx": label[:-1].hex(), "msg": b"scure input".hex(),
         "sig": proof[:96].hex()},
    ])
    assert answers == [b"\x01", b"\x00"]


def test_freeing_a_key_leaves_an_exception_in_flight_alone():
    # The key made for 1 is freed while the KeyError of 2 is on its way up.
    def key_of(x):
        if x == 1:
            return VrfStatelessKey.derive(Suite.ED_SH, master(b"freed"))[0]
        raise KeyError("from the key function")

    with pytest.raises(KeyError, match="from the key function"):
        sorted([1, 2], key=key_of)
