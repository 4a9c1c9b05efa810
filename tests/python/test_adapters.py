"""The journal and budget adapters driven directly (through the test-only
probe module): what they call on the caller's objects, how they convert the
answers, what they answer the library on a failure, and which exception
they hold for the caller."""

from types import SimpleNamespace

import pytest

ID = bytes(range(32))
KEY = bytes(range(100, 132))
UNREADABLE = 0xFFFFFFFF


class Index:
    def __init__(self, n):
        self.n = n

    def __index__(self):
        return self.n


class Items:
    """A sequence that is neither bytes nor a list."""

    def __init__(self, items):
        self.items = list(items)

    def __len__(self):
        return len(self.items)

    def __getitem__(self, i):
        if not isinstance(i, int):
            raise TypeError("integer index expected")
        return self.items[i]


def store(log, **answers):
    """An object with every journal and budget method; each call is logged
    (positional arguments only) and answered from `answers` (an exception is
    raised, a callable called)."""
    def method(name):
        def call(*args, **kwargs):
            assert not kwargs
            log.append((name, *args))
            answer = answers.get(name)
            if isinstance(answer, BaseException):
                raise answer
            return answer(*args) if callable(answer) else answer
        return call
    return SimpleNamespace(**{n: method(n) for n in ("bound_key", "bind_key", "next_leaf", "commit",
                                                      "consumed", "record")})


def test_journal_calls_and_bound_key_cache(probe):
    log = []
    j = store(log, bound_key=ID, bind_key=False, next_leaf=3, commit=False)
    ops = [("bound_key",), ("bound_key",), ("next_leaf",), ("next_leaf",), ("commit", 3),
           ("bind_key", KEY), ("bound_key",)]
    # bind_key and commit answers are ignored; the cache spares the second
    # bound_key call until a successful bind_key clears it.
    assert probe.drive_journal(j, ops) == ([ID, ID, 3, 3, True, True, ID], None)
    assert log == [("bound_key",), ("next_leaf",), ("next_leaf",), ("commit", 3), ("bind_key", KEY),
                   ("bound_key",)]
    assert type(log[3][1]) is int and type(log[4][1]) is bytes


@pytest.mark.parametrize("answer,expected", [
    (None, None), (ID, ID), (bytearray(ID), ID), (list(ID), ID), (tuple(ID), ID),
    (type("B", (bytes,), {})(ID), ID), (Items(Index(b) for b in ID), ID),
    ([True] + list(ID[1:]), b"\x01" + ID[1:]),
], ids=["None", "bytes", "bytearray", "list", "tuple", "bytes-subclass", "index-items", "bool-item"])
def test_bound_key_answers_accepted(probe, answer, expected):
    assert probe.drive_journal(store([], bound_key=answer), [("bound_key",)]) == ([expected], None)


@pytest.mark.parametrize("answer,error,text", [
    (ID[:31], ValueError, "expected a sequence of length 32 (got 31)"),
    (bytearray(33), ValueError, "expected a sequence of length 32 (got 33)"),
    (Items(range(5)), ValueError, "expected a sequence of length 32 (got 5)"),
    ([0] * 31 + [256], OverflowError, "out of range integral type conversion attempted"),
    ([0] * 31 + [-1], OverflowError, "out of range integral type conversion attempted"),
    ([0] * 31 + [2**70], OverflowError, None),
    ([0] * 31 + [1.0], TypeError, None),
    (7, TypeError, "'int' object is not an instance of 'Sequence'"),
    ({i: i for i in range(32)}, TypeError, "'dict' object is not an instance of 'Sequence'"),
    ("x" * 32, TypeError, None),
    (LookupError("offline"), LookupError, "offline"),
])
def test_bound_key_failures_answer_not_bound(probe, answer, error, text):
    log = []
    results, pending = probe.drive_journal(store(log, bound_key=answer), [("bound_key",), ("bound_key",)])
    assert results == [None, None] and type(pending) is error
    if isinstance(answer, BaseException):
        assert pending is answer
    if text is not None:
        assert str(pending) == text
    # A failed read is cached as "not bound": the journal is asked once.
    assert log == [("bound_key",)]


@pytest.mark.parametrize("answer,error", [
    (-1, OverflowError), (2**32, OverflowError), (2**64, OverflowError), (None, TypeError),
    ("1", TypeError), (1.5, TypeError), (OSError("disk"), OSError),
])
def test_next_leaf_failures_answer_the_unreadable_count(probe, answer, error):
    results, pending = probe.drive_journal(store([], next_leaf=answer), [("next_leaf",)])
    assert results == [UNREADABLE] and type(pending) is error
    if isinstance(answer, BaseException):
        assert pending is answer


@pytest.mark.parametrize("answer", [0, 4096, UNREADABLE, Index(9), True])
def test_next_leaf_answers_accepted(probe, answer):
    log = []
    expected = answer.n if isinstance(answer, Index) else int(answer)
    assert probe.drive_journal(store(log, next_leaf=answer), [("next_leaf",), ("next_leaf",)]) == \
        ([expected] * 2, None)
    assert len(log) == 2  # never cached


def test_failed_writes_and_the_last_exception_wins(probe):
    first, last = LookupError("first"), OSError("last")
    log = []
    j = store(log, bound_key=None, bind_key=first, commit=last)
    results, pending = probe.drive_journal(j, [("bound_key",), ("bind_key", ID), ("bound_key",),
                                               ("commit", 7)])
    # A failed bind_key leaves the cache as it was.
    assert results == [None, False, None, False] and pending is last
    assert [c[0] for c in log] == ["bound_key", "bind_key", "commit"]


def test_missing_methods_fail_with_the_lookup_error(probe):
    results, pending = probe.drive_journal(SimpleNamespace(bound_key=lambda: None),
                                           [("bound_key",), ("bind_key", ID)])
    assert results == [None, False] and type(pending) is AttributeError
    results, pending = probe.drive_budget(SimpleNamespace(), [("record", KEY, 1)])
    assert results == [False] and type(pending) is AttributeError


@pytest.mark.parametrize("answer,expected", [
    (None, None), (0, 0), (41, 41), (Index(7), 7), (True, 1), (2**64 - 1, 2**64 - 1),
])
def test_consumed_answers_accepted(probe, answer, expected):
    log = []
    b = store(log, consumed=answer, record=False)
    assert probe.drive_budget(b, [("consumed", KEY), ("record", KEY, 2**64 - 1)]) == ([expected, True], None)
    assert log == [("consumed", KEY), ("record", KEY, 2**64 - 1)]
    assert type(log[0][1]) is bytes and type(log[1][2]) is int


@pytest.mark.parametrize("answer,error", [
    (-1, OverflowError), (2**64, OverflowError), ("1", TypeError), (1.0, TypeError),
    (KeyError("gone"), KeyError),
])
def test_consumed_failures_answer_failed_read(probe, answer, error):
    results, pending = probe.drive_budget(store([], consumed=answer), [("consumed", KEY)])
    assert results == ["failed"] and type(pending) is error
    if isinstance(answer, BaseException):
        assert pending is answer


def test_record_failure_is_held_unchanged(probe):
    fault = OSError("disk full")
    assert probe.drive_budget(store([], record=fault), [("record", KEY, 1)]) == ([False], fault)
