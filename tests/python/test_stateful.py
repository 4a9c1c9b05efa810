"""Stateful keys (ED_SH, SR_SH) from Python: the journal and budget protocol
as the caller's objects see it, the key class, and the module functions."""

import copy
import pickle
import sys
import weakref

import pytest

import valtorimesca as v
from valtorimesca import Suite

from journals import DEFAULT, Budget, Journal

STATEFUL = [Suite.ED_SH, Suite.SR_SH]
SEED = bytes(range(32))
OTHER_SEED = bytes(range(1, 33))
CAPACITY = 64


def spent(blob):
    """The big-endian spent-leaf count of an export blob (after the 64-byte
    classical key and the 264-byte engine key)."""
    return int.from_bytes(blob[328:332], "big")


class Signer:
    """A key with its own journal and budget."""

    def __init__(self, suite, seed=SEED, capacity=CAPACITY):
        self.suite = suite
        self.journal = Journal()
        self.budget = Budget()
        self.key, self.pk = v.keygen_stateful_from_seed(suite, seed, capacity, self.journal, self.budget)
        self.identity = v.key_identity(suite, self.pk)

    def reset(self):
        self.journal.calls.clear()
        self.journal.script.clear()
        self.budget.calls.clear()
        self.budget.script.clear()


@pytest.fixture(scope="module")
def made():
    return {s.value: Signer(s) for s in STATEFUL}


@pytest.fixture
def ed(made):
    signer = made[Suite.ED_SH.value]
    signer.reset()
    yield signer
    signer.reset()


@pytest.mark.parametrize("suite", STATEFUL, ids=repr)
def test_keygen_binds_and_signs_on_both_paths(suite, made):
    s = made[suite.value]
    s.reset()
    assert len(s.pk) == 196 and type(s.pk) is bytes
    assert s.journal.bound == s.identity and type(s.journal.bound) is bytes
    assert s.identity == v.key_identity_from_secret_key(suite, s.key.export())
    assert s.key.suite is suite

    before = s.key.export()
    q = s.journal.leaf + 1
    sig = s.key.sign_stateful(b"msg", b"ctx")
    assert s.journal.names() == ["bound_key", "next_leaf", "next_leaf", "commit"]
    assert s.journal.calls[-1] == ("commit", q - 1) and type(s.journal.calls[-1][1]) is int
    assert len(sig) == 2153 + 32 * q
    after = s.key.export()
    assert spent(after) == spent(before) + 1 and after != before
    assert v.verify_stateful(suite, s.pk, b"msg", b"ctx", sig)
    assert v.verify(suite, s.pk, b"msg", b"ctx", sig)
    assert not v.verify_stateless(suite, s.pk, b"msg", b"ctx", sig)
    assert not v.verify_stateful(suite, s.pk, b"msg", b"ctx2", sig)
    assert not v.verify_stateful(suite, s.pk[:195], b"msg", b"ctx", sig)
    assert not v.verify_stateful(suite, s.pk, b"msg", b"ctx", sig[:-1])

    few = s.key.sign_stateless(b"rotate", b"ctx")
    assert len(few) == 64 + 1 + 29092
    (_, budget_key), (_, same_key, count) = s.budget.calls
    assert s.budget.names() == ["consumed", "record"]
    assert type(budget_key) is bytes and len(budget_key) == 32 and same_key == budget_key
    assert count == 1 and s.budget.counts[budget_key] == 1
    assert s.key.export() == after
    assert v.verify_stateless(suite, s.pk, b"rotate", b"ctx", few)
    assert not v.verify_stateful(suite, s.pk, b"rotate", b"ctx", few)
    assert not v.verify(suite, s.pk, b"rotate", b"ctx", few)

    stored = v.stored_public_key(suite, s.pk)
    assert len(stored) == v.stored_public_key_len(suite) == 64
    bundle = s.pk[32:]
    assert v.verify_with_stored_public_key_stateful(suite, stored, bundle, b"msg", b"ctx", sig)
    assert v.verify_with_stored_public_key_stateless(suite, stored, bundle, b"rotate", b"ctx", few)
    assert not v.verify_with_stored_public_key_stateful(suite, stored, bundle, b"rotate", b"ctx", few)
    assert not v.verify_with_stored_public_key_stateful(suite, stored, bundle[:163], b"msg", b"ctx", sig)


def test_repr_and_display_names(made):
    assert repr(made[5].key) == "<StatefulSecretKey suite=ED-SH>"
    assert repr(made[6].key) == "<StatefulSecretKey suite=SR-SH>"


def test_stored_verification_refuses_another_keys_bundle(made):
    ed, sr = made[5], made[6]
    ed.reset()
    other = Signer(Suite.ED_SH, OTHER_SEED, 2)
    sig = other.key.sign_stateful(b"m", b"")
    assert v.verify_stateful(Suite.ED_SH, other.pk, b"m", b"", sig)
    stored = v.stored_public_key(Suite.ED_SH, ed.pk)
    assert not v.verify_with_stored_public_key_stateful(Suite.ED_SH, stored, other.pk[32:], b"m", b"", sig)
    # The identity names the suite: the same bytes under the other code differ.
    assert v.key_identity(Suite.SR_SH, ed.pk) != ed.identity
    assert sr.identity != ed.identity


def test_a_key_in_a_cycle_with_its_journal_is_collected():
    import gc
    signer = Signer(Suite.ED_SH, OTHER_SEED, 1)
    signer.journal.key = signer.key  # journal -> key -> journal
    signer.budget.key = signer.key
    gone = weakref.ref(signer.journal)
    del signer
    gc.collect()
    assert gone() is None


def test_class_has_no_constructor_no_dict_no_weakref_and_refuses_copies(ed):
    cls = v.StatefulSecretKey
    assert (cls.__module__, cls.__qualname__, cls.__bases__) == ("valtorimesca", "StatefulSecretKey", (object,))
    assert cls.__doc__.startswith("A loaded ED_SH or SR_SH secret key.")
    with pytest.raises(TypeError, match=r"^cannot create 'valtorimesca\.StatefulSecretKey' instances$"):
        cls()
    with pytest.raises(TypeError):
        type("Sub", (cls,), {})
    with pytest.raises(AttributeError):
        ed.key.extra = 1
    with pytest.raises(TypeError):
        weakref.ref(ed.key)
    cases = [(copy.copy, "copied: use export() and load_stateful_secret_key() if you deliberately"),
             (copy.deepcopy, "deep-copied: use export() and load_stateful_secret_key() if you"),
             (pickle.dumps, "pickled: use export() and load_stateful_secret_key() to persist")]
    for refuse, text in cases:
        with pytest.raises(v.StatefulKeyNotCloneableError) as e:
            refuse(ed.key)
        assert e.value.args[0].startswith("a stateful secret key cannot be " + text)
    assert cls.sign_stateful.__text_signature__ == "($self, msg, ctx)"
    assert cls.__deepcopy__.__text_signature__ == "($self, _memo)"
    assert cls.suite.__doc__ == "The suite this key was created for."
    assert ed.journal.calls == [] and ed.budget.calls == []


FAULT = RuntimeError("journal offline")


# (script of the journal, expected exception (None: the pending FAULT
# object itself), calls seen).
SIGN_REFUSALS = [
    ({"bound_key": [FAULT]}, None, ["bound_key"]),
    ({"bound_key": [bytes(32)]}, v.JournalKeyMismatchError, ["bound_key"]),
    ({"bound_key": [None]}, v.JournalKeyMismatchError, ["bound_key"]),
    ({"next_leaf": [FAULT]}, None, ["bound_key", "next_leaf"]),
    ({"next_leaf": [-1]}, OverflowError, ["bound_key", "next_leaf"]),
    ({"next_leaf": [2**32]}, OverflowError, ["bound_key", "next_leaf"]),
    ({"next_leaf": ["0"]}, TypeError, ["bound_key", "next_leaf"]),
    ({"next_leaf": [None]}, TypeError, ["bound_key", "next_leaf"]),
    ({"next_leaf": [5]}, v.CountersDivergedError, ["bound_key", "next_leaf"]),
    ({"next_leaf": [DEFAULT, FAULT]}, None, ["bound_key", "next_leaf", "next_leaf"]),
    ({"next_leaf": [DEFAULT, None]}, TypeError, ["bound_key", "next_leaf", "next_leaf"]),
    ({"commit": [FAULT]}, None, ["bound_key", "next_leaf", "next_leaf", "commit"]),
]


@pytest.mark.parametrize("script,expected,calls", SIGN_REFUSALS)
def test_sign_stateful_refusals(ed, script, expected, calls):
    before = ed.key.export()
    leaf = ed.journal.leaf
    ed.journal.script = {k: list(a) for k, a in script.items()}
    with pytest.raises(BaseException) as e:
        ed.key.sign_stateful(b"m", b"c")
    if expected is None:
        assert e.value is FAULT
    else:
        assert type(e.value) is expected
    assert ed.journal.names() == calls
    assert ed.key.export() == before and ed.journal.leaf == leaf
    # Nothing was spent: the key signs at once with the same journal.
    ed.reset()
    ed.key.sign_stateful(b"m", b"c")


def test_sign_stateful_journal_answers_that_count_as_success(ed):
    # What commit returns is never looked at; next_leaf may answer any index.
    class Index:
        def __init__(self, n):
            self.n = n

        def __index__(self):
            return self.n

    leaf = ed.journal.leaf
    ed.journal.script = {"commit": [lambda: False], "next_leaf": [Index(leaf), Index(leaf)]}
    ed.journal.committed.clear()
    ed.key.sign_stateful(b"m", b"c")
    assert ed.journal.names() == ["bound_key", "next_leaf", "next_leaf", "commit"]
    ed.journal.leaf = leaf + 1  # the scripted commit skipped the record
    ed.reset()
    ed.journal.script = {"bound_key": [lambda: bytearray(ed.identity)]}
    ed.key.sign_stateful(bytearray(b"m"), bytearray(b"c"))


def test_long_context_is_refused_before_any_journal_or_budget_call(ed):
    with pytest.raises(v.SigningFailedError):
        ed.key.sign_stateful(b"m", bytes(256))
    with pytest.raises(v.SigningFailedError):
        ed.key.sign_stateless(b"m", bytes(256))
    assert ed.journal.calls == [] and ed.budget.calls == []
    with pytest.raises(TypeError, match="^expected bytes or bytearray, got an object of a different type$"):
        ed.key.sign_stateful("m", b"")
    with pytest.raises(TypeError, match=r"missing 1 required positional argument: 'ctx'"):
        ed.key.sign_stateful(b"m")
    assert ed.journal.calls == []
    ed.key.sign_stateful(b"m", bytes(255))


# (script of the budget, expected exception, calls seen, recorded count).
BUDGET_CASES = [
    ({"consumed": [None]}, None, ["consumed", "record"], 1),
    ({"consumed": [41]}, None, ["consumed", "record"], 42),
    ({"consumed": [FAULT]}, FAULT, ["consumed"], None),
    ({"consumed": [-1]}, OverflowError, ["consumed"], None),
    ({"consumed": [2**64]}, OverflowError, ["consumed"], None),
    ({"consumed": ["1"]}, TypeError, ["consumed"], None),
    ({"consumed": [2**20]}, v.StatelessBudgetExhaustedError, ["consumed"], None),
    ({"record": [FAULT]}, FAULT, ["consumed", "record"], 1),
]


@pytest.mark.parametrize("script,expected,calls,count", BUDGET_CASES)
def test_sign_stateless_budget_protocol(ed, script, expected, calls, count):
    ed.budget.counts.clear()
    ed.budget.script = {k: list(a) for k, a in script.items()}
    blob = ed.key.export()
    if expected is None:
        assert len(ed.key.sign_stateless(b"m", b"")) == 29157
    else:
        with pytest.raises(BaseException) as e:
            ed.key.sign_stateless(b"m", b"")
        if isinstance(expected, BaseException):
            assert e.value is expected
        else:
            assert type(e.value) is expected
    assert ed.budget.names() == calls
    if count is not None:
        assert ed.budget.calls[-1][2] == count
    assert ed.key.export() == blob
    assert ed.journal.calls == []


@pytest.mark.parametrize("answer,error,text", [
    (bytes(31), ValueError, "expected a sequence of length 32 (got 31)"),
    (list(range(33)), ValueError, "expected a sequence of length 32 (got 33)"),
    ([0] * 31 + [256], OverflowError, "out of range integral type conversion attempted"),
    ([0] * 31 + [-1], OverflowError, "out of range integral type conversion attempted"),
    ([0] * 31 + ["a"], TypeError, None),
    (7, TypeError, "'int' object is not an instance of 'Sequence'"),
    ({}, TypeError, "'dict' object is not an instance of 'Sequence'"),
])
def test_bound_key_answers_that_do_not_convert(ed, answer, error, text):
    blob = ed.key.export()
    ed.journal.script = {"bound_key": [answer]}
    with pytest.raises(error) as e:
        v.load_stateful_secret_key(Suite.ED_SH, blob, ed.journal, ed.budget)
    if text is not None:
        assert str(e.value) == text
    assert ed.journal.names() == ["bound_key"]


@pytest.mark.parametrize("convert", [bytes, bytearray, list, tuple], ids=lambda f: f.__name__)
def test_bound_key_answers_that_convert(ed, convert):
    ed.journal.script = {"bound_key": [convert(ed.identity)]}
    key = v.load_stateful_secret_key(Suite.ED_SH, ed.key.export(), ed.journal, ed.budget)
    assert key.export() == ed.key.export() and key.suite is Suite.ED_SH
    assert ed.journal.names() == ["bound_key"]


def test_load_never_binds_and_checks_the_blob_first(ed):
    blob = ed.key.export()
    fresh = Journal()
    with pytest.raises(v.JournalKeyMismatchError):
        v.load_stateful_secret_key(Suite.ED_SH, blob, fresh, None)
    assert fresh.names() == ["bound_key"] and fresh.bound is None
    for bad, error in [(blob[:495], v.BadLengthError),
                       (blob[:328] + (spent(blob) + 1).to_bytes(4, "big") + blob[332:], v.ComponentFailureError)]:
        with pytest.raises(error):
            v.load_stateful_secret_key(Suite.ED_SH, bad, fresh, None)
        with pytest.raises(error):
            v.key_identity_from_secret_key(Suite.ED_SH, bad)
    with pytest.raises(v.WrongEntryPointForSuiteError):
        v.load_stateful_secret_key(Suite.ED_ML_44, blob, fresh, None)
    assert fresh.names() == ["bound_key"]
    v.adopt_key(fresh, ed.identity)
    fresh.leaf = ed.journal.leaf
    key = v.load_stateful_secret_key(Suite.ED_SH, blob, fresh, None)
    sig = key.sign_stateful(b"m", b"")
    assert v.verify_stateful(Suite.ED_SH, ed.pk, b"m", b"", sig)
    # The original object is now behind its (shared) key bytes: its journal
    # no longer matches its count, and it refuses instead of reissuing.
    ed.journal.leaf = fresh.leaf
    with pytest.raises(v.CountersDivergedError):
        ed.key.sign_stateful(b"m", b"")
    ed.journal.leaf -= 1
    assert spent(ed.key.export()) == ed.journal.leaf


@pytest.mark.parametrize("suite", STATEFUL, ids=repr)
def test_a_blob_whose_classical_secret_was_altered(suite, made):
    # ED_SH: bytes 0 to 31 are the Ed25519 seed and 32 to 63 its public half.
    # A blob where the one does not derive the other loads (the engine key
    # and the counter are all that loading validates) and keeps its identity,
    # but refuses both kinds of signing before the journal or the budget is
    # asked anything. SR_SH: the sr25519 scalar and nonce have nothing to be
    # checked against, and the key is loaded as it stands.
    s = made[suite.value]
    s.reset()
    blob = s.key.export()
    for at, bit in [(0, 0x01), (31, 0x80), (32, 0x01), (63, 0x40)]:
        bad = bytearray(blob)
        bad[at] ^= bit
        bad = bytes(bad)
        journal = Journal(bound=s.identity, leaf=spent(blob))
        budget = Budget()
        key = v.load_stateful_secret_key(suite, bad, journal, budget)
        assert key.export() == bad
        assert v.key_identity_from_secret_key(suite, bad) == s.identity
        assert journal.names() == ["bound_key"]
        if suite == Suite.ED_SH:
            with pytest.raises(v.ComponentFailureError):
                key.sign_stateful(b"m", b"")
            with pytest.raises(v.ComponentFailureError):
                key.sign_stateless(b"m", b"")
            assert journal.names() == ["bound_key"] and journal.leaf == spent(blob)
            assert budget.calls == [] and budget.counts == {}
            assert key.export() == bad
    assert v.key_identity_from_secret_key(suite, blob) == s.identity


def test_a_blob_loaded_under_the_other_suite(made):
    # Nothing in a blob names its suite. Either blob loads under the other
    # code with that code's identity, which the key's own journal refuses. An
    # SR_SH blob read as ED_SH has no Ed25519 seed and public half that
    # agree: even with a journal bound to that identity it signs nothing.
    ed, sr = made[5], made[6]
    ed.reset()
    sr.reset()
    with pytest.raises(v.JournalKeyMismatchError):
        v.load_stateful_secret_key(Suite.SR_SH, ed.key.export(), ed.journal, ed.budget)
    assert ed.journal.names() == ["bound_key"]
    blob = sr.key.export()
    with pytest.raises(v.JournalKeyMismatchError):
        v.load_stateful_secret_key(Suite.ED_SH, blob, sr.journal, sr.budget)
    assert sr.journal.names() == ["bound_key"]
    as_ed = v.key_identity_from_secret_key(Suite.ED_SH, blob)
    assert as_ed != v.key_identity_from_secret_key(Suite.SR_SH, blob) == sr.identity
    journal, budget = Journal(bound=as_ed, leaf=spent(blob)), Budget()
    key = v.load_stateful_secret_key(Suite.ED_SH, blob, journal, budget)
    with pytest.raises(v.ComponentFailureError):
        key.sign_stateful(b"m", b"")
    with pytest.raises(v.ComponentFailureError):
        key.sign_stateless(b"m", b"")
    assert journal.names() == ["bound_key"] and budget.calls == []


def test_adopt_key(ed):
    j = Journal()
    with pytest.raises(v.BadLengthError):
        v.adopt_key(j, bytes(31))
    with pytest.raises(TypeError):
        v.adopt_key(j, "x" * 32)
    assert j.calls == []
    assert v.adopt_key(j, bytearray(ed.identity)) is None
    assert v.adopt_key(j, ed.identity) is None
    assert j.names() == ["bound_key", "bind_key", "bound_key"]
    assert type(j.calls[1][1]) is bytes and j.bound == ed.identity
    with pytest.raises(v.JournalKeyMismatchError):
        v.adopt_key(j, bytes(32))
    assert j.bound == ed.identity

    fault = OSError("disk")
    unbound = Journal()
    unbound.script = {"bound_key": [fault]}
    with pytest.raises(OSError) as e:
        v.adopt_key(unbound, ed.identity)
    assert e.value is fault and unbound.names() == ["bound_key"]
    unbound.script = {"bind_key": [fault]}
    with pytest.raises(OSError) as e:
        v.adopt_key(unbound, ed.identity)
    assert e.value is fault

    class ReadOnly:
        def bound_key(self):
            return None

    with pytest.raises(AttributeError):
        v.adopt_key(ReadOnly(), ed.identity)


def test_keygen_arguments_and_refusals(ed):
    j = Journal()
    # The count is converted before the seed, so the bad seed goes unreported.
    with pytest.raises(OverflowError, match="^out of range integral type conversion attempted$") as e:
        v.keygen_stateful_from_seed(Suite.ED_SH, "not bytes", -1, j, None)
    if sys.version_info >= (3, 11):
        assert e.value.__notes__ == ["while processing 'max_stateful_signatures'"]
    with pytest.raises(OverflowError):
        v.keygen_stateful_from_seed(Suite.ED_SH, SEED, 2**32, j, None)
    with pytest.raises(TypeError):
        v.keygen_stateful_from_seed(Suite.ED_SH, SEED, 1.0, j, None)
    for capacity in (0, 4097):
        with pytest.raises(v.ComponentFailureError):
            v.keygen_stateful_from_seed(Suite.ED_SH, SEED, capacity, j, None)
    with pytest.raises(v.BadLengthError):
        v.keygen_stateful_from_seed(Suite.ED_SH, SEED[:31], 1, j, None)
    with pytest.raises(v.WrongEntryPointForSuiteError):
        v.keygen_stateful_from_seed(Suite.ED_ML_44, SEED, 1, j, None)
    assert j.calls == []
    taken = Journal(bound=bytes(32))
    with pytest.raises(v.JournalKeyMismatchError):
        v.keygen_stateful_from_seed(Suite.ED_SH, SEED, CAPACITY, taken, None)
    assert taken.names() == ["bound_key"] and taken.bound == bytes(32)

    # Same seed, same journal: accepted without a write, and the new object
    # starts at leaf 0, which the journal (already past it) refuses.
    key, pk = v.keygen_stateful_from_seed(Suite.ED_SH, SEED, CAPACITY, ed.journal, None)
    assert pk == ed.pk and ed.journal.names() == ["bound_key"] and spent(key.export()) == 0
    assert ed.journal.leaf > 0
    with pytest.raises(v.CountersDivergedError):
        key.sign_stateful(b"m", b"")

    class BoundOnly:
        def bound_key(self):
            return ed.identity

    assert v.keygen_stateful_from_seed(Suite.ED_SH, SEED, CAPACITY, BoundOnly(), None)[1] == ed.pk


def test_leaves_run_out(made):
    s = Signer(Suite.SR_SH, OTHER_SEED, 1)
    sig = s.key.sign_stateful(b"only", b"")
    assert len(sig) == 2153 + 32
    s.journal.calls.clear()
    with pytest.raises(v.LeavesExhaustedError):
        s.key.sign_stateful(b"again", b"")
    assert s.journal.names() == ["bound_key", "next_leaf", "next_leaf"]


def test_borrow_flag_inside_journal_and_budget_methods(ed):
    blobs = []
    ed.journal.script = {"commit": [lambda: blobs.append(ed.key.export())]}
    with pytest.raises(RuntimeError, match="^Already mutably borrowed$"):
        ed.key.sign_stateful(b"m", b"")
    assert ed.journal.names()[-1] == "commit" and blobs == []

    ed.reset()
    seen = []

    def reenter():
        for member in (lambda: ed.key.suite, lambda: repr(ed.key), lambda: copy.copy(ed.key),
                       lambda: ed.key.sign_stateless(b"m", b"")):
            try:
                member()
            except RuntimeError as e:
                seen.append(str(e))
        return ed.journal.leaf

    ed.journal.script = {"next_leaf": [reenter]}
    ed.key.sign_stateful(b"m", b"")
    assert seen == ["Already mutably borrowed"] * 4

    ed.reset()
    ed.budget.script = {"record": [lambda: ed.key.sign_stateful(b"m", b"")]}
    with pytest.raises(RuntimeError, match="^Already borrowed$"):
        ed.key.sign_stateless(b"m", b"")
    ed.reset()
    ed.budget.script = {"record": [lambda: blobs.append(ed.key.export())]}
    ed.key.sign_stateless(b"m", b"")
    assert blobs == [ed.key.export()]


def test_stateless_suites_are_refused_after_conversion():
    assert [v.stored_public_key_len(s) for s in map(Suite.from_code, range(1, 7))] == [1344, 929, 1344, 929, 64, 64]
    for suite in (Suite.ED_ML_44, Suite.SR_FN_512):
        with pytest.raises(v.WrongEntryPointForSuiteError):
            v.stored_public_key(suite, bytes(196))
        with pytest.raises(v.WrongEntryPointForSuiteError):
            v.key_identity(suite, bytes(196))
        with pytest.raises(v.WrongEntryPointForSuiteError):
            v.verify_stateful(suite, b"", b"", b"", b"")
        with pytest.raises(v.WrongEntryPointForSuiteError):
            v.verify_with_stored_public_key_stateless(suite, b"", b"", b"", b"", b"")
        with pytest.raises(TypeError):
            v.verify_stateful(suite, b"", b"", "ctx", b"")
    with pytest.raises(TypeError):
        v.stored_public_key_len(5)
    with pytest.raises(v.BadLengthError):
        v.key_identity(Suite.ED_SH, bytes(195))
    with pytest.raises(v.BadLengthError):
        v.stored_public_key(Suite.SR_SH, bytes(197))
    assert v.verify_stateless(Suite.ED_SH, bytes(196), b"", b"", b"") is False


def test_two_threads_share_one_key(made):
    import threading
    import time

    s = Signer(Suite.ED_SH, OTHER_SEED, 24)
    inside, tried = threading.Event(), threading.Event()
    conflicts = []

    def held():
        # The first next_leaf of the first signature lets the other thread
        # run while the key is taken exclusively.
        inside.set()
        assert tried.wait(10)
        return s.journal.leaf

    def other():
        assert inside.wait(10)
        for call in (lambda: s.key.sign_stateful(b"b", b""), s.key.export,
                     lambda: s.key.sign_stateless(b"b", b"")):
            try:
                call()
            except RuntimeError as e:
                conflicts.append(str(e))
        tried.set()

    s.journal.script = {"next_leaf": [held]}
    t = threading.Thread(target=other)
    t.start()
    first = s.key.sign_stateful(b"a", b"")
    t.join()
    assert conflicts == ["Already borrowed", "Already mutably borrowed", "Already mutably borrowed"]

    # Both threads sign as fast as they can, switching inside every journal
    # call; each signature that is made has a leaf of its own.
    old = sys.getswitchinterval()
    sys.setswitchinterval(1e-6)
    s.journal.script = {"next_leaf": [lambda: (time.sleep(0), s.journal.leaf)[1]] * 1000}
    sigs, errors = [first], []

    def worker():
        for _ in range(40):
            try:
                sigs.append(s.key.sign_stateful(b"m", b""))
            except RuntimeError as e:
                errors.append(str(e))
            except v.LeavesExhaustedError:
                return

    try:
        threads = [threading.Thread(target=worker) for _ in range(2)]
        for t in threads:
            t.start()
        for t in threads:
            t.join()
    finally:
        sys.setswitchinterval(old)
    leaves = [(len(x) - 2153) // 32 for x in sigs]
    assert sorted(leaves) == list(range(1, len(sigs) + 1))
    assert set(errors) <= {"Already borrowed"}
    assert s.journal.committed == [q - 1 for q in sorted(leaves)]
