"""The exception hierarchy and the translation of error codes."""

import pytest

import _valtorimesca
import valtorimesca

# (class name, code, documentation string) in registration order.
CLASSES = [
    ("ValtorimescaError", None, "Base class for every exception this module raises."),
    ("BadLengthError", 1, "A byte string had the wrong length."),
    ("ContextTooLongError", 2, "The application context exceeded 255 bytes."),
    ("OutputBufferTooSmallError", 3, "An internal output buffer was too small for this signature."),
    ("BadPathSelectorError", 5, "A path-selected signature (ED_SH/SR_SH) carried an unknown selector."),
    ("LeafCountOutOfRangeError", 6, "A stateful signature's declared leaf count was out of range."),
    ("TrailingBytesError", 7, "Bytes remained past the length an encoding implied."),
    ("ComponentFailureError", 8, "A component algorithm (the classical or post-quantum primitive) failed."),
    ("BadRotationKindError", 9, "A rotation payload carried an unknown rotation kind."),
    ("DeltaLengthOutOfRangeError", 10,
     "A delta-encoded (ED_FN_512/SR_FN_512) signature's length was out of range."),
    ("LeavesExhaustedError", 11, "The key's one-time leaf budget is spent; rotate the key."),
    ("GrindAbortError", 12, "The signature-randomizer grind bound was reached for this key and message."),
    ("JournalFailedError", 13, "The leaf journal could not durably commit; nothing was spent."),
    ("SigningFailedError", 14, "Signing failed."),
    ("InvalidSuiteError", 15, "The suite code or name is not one of the six suites."),
    ("WrongEntryPointForSuiteError", 16, "This entry point does not accept this suite."),
    ("CountersDivergedError", 17, None),
    ("JournalKeyMismatchError", 18, None),
    ("StatelessBudgetExhaustedError", 19, None),
    ("BudgetStoreFailedError", 20, None),
    ("StatefulKeyNotCloneableError", None,
     "A stateful (ED_SH/SR_SH) secret key cannot be copied, deep-copied or pickled: doing so "
     "would let the same one-time leaf be spent twice."),
    ("InvalidMnemonicError", 21, None),
]

MESSAGES = {
    1: "a byte string had the wrong length",
    2: "the application context exceeded 255 bytes",
    3: "the output buffer was too small",
    5: "the signature carried an unknown path selector",
    6: "the declared leaf count was out of range",
    7: "the signature carried trailing bytes",
    8: "a component algorithm failed",
    9: "the rotation payload carried an unknown rotation kind",
    10: "the delta-encoded signature length was out of range",
    11: "the key's one-time leaf budget is spent; rotate the key",
    12: "the randomizer grind bound was reached for this key and message",
    13: "the leaf journal could not durably commit",
    14: "signing failed",
    15: "the suite code or name is not one of ED-ML-44 through SR-SH",
    16: "this entry point does not accept this suite",
    17: "the key counter and leaf journal diverged; this key can sign no more, rotate it",
    18: "this leaf journal does not belong to this key; reopen the key's own journal",
    19: "the few-time stateless budget for this key's stateless material is spent",
    20: "the stateless budget store could not durably record; nothing consumed",
    21: "not a valid English BIP39 mnemonic phrase",
}

CODES = [c for _, c, _ in CLASSES if c is not None]


def test_registration_order():
    assert _valtorimesca.__all__[1:23] == [name for name, _, _ in CLASSES]


def test_hierarchy_and_names():
    base = _valtorimesca.ValtorimescaError
    assert base.__bases__ == (Exception,)
    for name, _, doc in CLASSES:
        cls = getattr(_valtorimesca, name)
        assert getattr(valtorimesca, name) is cls
        assert cls.__module__ == "_valtorimesca"
        assert cls.__name__ == cls.__qualname__ == name
        if cls is not base:
            assert cls.__bases__ == (base,)
            assert cls.__mro__ == (cls, base, Exception, BaseException, object)
        if doc is not None:
            assert cls.__doc__ == doc
        assert not {k for k in vars(cls) if not k.startswith("__")}


def test_long_docstrings():
    e = _valtorimesca
    assert e.CountersDivergedError.__doc__.startswith("The key counter and the leaf journal diverged")
    assert e.JournalKeyMismatchError.__doc__.endswith("bind one explicitly with adopt_key().")
    assert "(LeavesExhaustedError)" in e.StatelessBudgetExhaustedError.__doc__
    assert e.BudgetStoreFailedError.__doc__.endswith("once the storage fault is repaired.")
    assert e.InvalidMnemonicError.__doc__.endswith("narrows the search.")


def test_plain_exception_classes():
    err = _valtorimesca.BadLengthError("x", 2)
    assert err.args == ("x", 2)
    with pytest.raises(_valtorimesca.ValtorimescaError):
        raise _valtorimesca.JournalFailedError()


def test_invalid_suite_from_module():
    with pytest.raises(_valtorimesca.InvalidSuiteError) as e:
        _valtorimesca.Suite.from_code(7)
    assert type(e.value) is _valtorimesca.InvalidSuiteError
    assert e.value.args == (MESSAGES[15],)
    assert e.value.__cause__ is None and e.value.__context__ is None


def test_base_catches_only_its_own():
    for exc in (TypeError("t"), ValueError("v"), OverflowError("o"), RuntimeError("r")):
        with pytest.raises(type(exc)):
            try:
                raise exc
            except _valtorimesca.ValtorimescaError:
                pytest.fail("caught a foreign exception")


# The probe module is built from the same sources with its own class objects.

@pytest.fixture(scope="module")
def probe_classes(probe):
    import types
    holder = types.ModuleType("holder")
    probe.register_errors(holder)
    return holder


@pytest.mark.parametrize("code", CODES)
def test_code_to_exception(probe, probe_classes, code):
    with pytest.raises(probe_classes.ValtorimescaError) as e:
        probe.raise_code(code)
    cls = type(e.value)
    assert cls.__name__ == [n for n, c, _ in CLASSES if c == code][0]
    assert getattr(probe_classes, cls.__name__) is cls
    assert e.value.args == (MESSAGES[code],)
    assert str(e.value) == e.value.args[0]
    assert e.value.args[0][0].islower() and not e.value.args[0].endswith(".")
    assert not hasattr(e.value, "__notes__") and e.value.__cause__ is None


def test_probe_registers_the_same_objects_twice(probe, probe_classes):
    import types
    again = types.ModuleType("again")
    probe.register_errors(again)
    assert again.__all__ == [name for name, _, _ in CLASSES]
    for name in again.__all__:
        assert getattr(again, name) is getattr(probe_classes, name)


@pytest.mark.parametrize("which,length,text", [
    (0, 176, "a stateful secret key cannot be copied: use export() and load_stateful_secret_key() "
             "if you deliberately need a second copy of the key bytes, and track their leaf "
             "budgets as one"),
    (1, None, "a stateful secret key cannot be deep-copied: use export() and "
              "load_stateful_secret_key() if you deliberately need a second copy of the key "
              "bytes, and track their leaf budgets as one"),
    (2, 120, "a stateful secret key cannot be pickled: use export() and "
             "load_stateful_secret_key() to persist the key bytes explicitly"),
])
def test_not_cloneable_messages(probe, probe_classes, which, length, text):
    with pytest.raises(probe_classes.StatefulKeyNotCloneableError) as e:
        probe.refuse(which)
    assert e.value.args == (text,)
    if length is not None:
        assert len(text) == length
