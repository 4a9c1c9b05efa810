"""The Suite class: six shared, frozen values compared as their codes."""

import copy
import inspect
import pickle
import sys

import pytest

import _valtorimesca
from valtorimesca import InvalidSuiteError, Suite

NAMES = ["ED_ML_44", "ED_FN_512", "SR_ML_44", "SR_FN_512", "ED_SH", "SR_SH"]
OVERFLOW = "out of range integral type conversion attempted"
NOTE = ["while processing 'code'"]


def test_class_identity():
    assert Suite is _valtorimesca.Suite
    assert Suite.__name__ == Suite.__qualname__ == "Suite"
    assert Suite.__module__ == "valtorimesca"
    assert Suite.__bases__ == (object,)
    assert Suite.__doc__.startswith("One of the six hybrid suites `valtorimesca` ships.")
    assert "Frozen and hashable. Compares equal to its integer suite code." in Suite.__doc__
    assert "StatefulSecretKey" in Suite.__doc__ and "from_code" in Suite.__doc__


@pytest.mark.parametrize("code,name", list(enumerate(NAMES, start=1)))
def test_values(code, name):
    s = getattr(Suite, name)
    assert type(s) is Suite
    assert Suite.from_code(code) is s
    assert Suite.from_code(code=code) is s
    assert s.from_code(code) is s
    assert int(s) == s.value == hash(s) == code
    assert type(s.value) is int
    assert repr(s) == str(s) == f"Suite.{name}"
    assert s == code and code == s and not (s != code)
    assert bool(s)


def test_from_code_refusals():
    for code in (0, 7, 255):
        with pytest.raises(InvalidSuiteError) as e:
            Suite.from_code(code)
        assert e.value.args == ("the suite code or name is not one of ED-ML-44 through SR-SH",)
        assert not hasattr(e.value, "__notes__")
    for code in (256, -1):
        with pytest.raises(OverflowError) as e:
            Suite.from_code(code)
        assert str(e.value) == OVERFLOW and e.value.__notes__ == NOTE
    with pytest.raises(OverflowError) as e:
        Suite.from_code(2**64)
    assert str(e.value) != OVERFLOW and e.value.__notes__ == NOTE
    for bad in ("ED_ML_44", 1.0, Suite.ED_ML_44, None):
        with pytest.raises(TypeError) as e:
            Suite.from_code(bad)
        assert e.value.__notes__ == NOTE
    assert Suite.from_code(True) is Suite.ED_ML_44


def test_from_code_index_and_int_subclass():
    class Index:
        def __index__(self):
            return 3

    class Int(int):
        pass

    assert Suite.from_code(Index()) is Suite.SR_ML_44
    assert Suite.from_code(Int(6)) is Suite.SR_SH


def test_from_code_signature_and_parsing():
    assert str(inspect.signature(Suite.from_code)) == "(code)"
    doc = Suite.from_code.__doc__
    assert "1" in doc and "6" in doc and "InvalidSuiteError" in doc and "# Errors" in doc
    assert Suite.value.__doc__.startswith("The integer suite code used on the wire")
    with pytest.raises(TypeError, match=r"^Suite\.from_code\(\) missing 1 required positional "
                                        r"argument: 'code'$"):
        Suite.from_code()
    with pytest.raises(TypeError, match=r"^Suite\.from_code\(\) takes 1 positional arguments "
                                        r"but 2 were given$"):
        Suite.from_code(1, 2)
    with pytest.raises(TypeError, match=r"^Suite\.from_code\(\) got an unexpected keyword "
                                        r"argument 'value'$"):
        Suite.from_code(value=1)
    with pytest.raises(TypeError, match=r"^Suite\.from_code\(\) got multiple values for "
                                        r"argument 'code'$"):
        Suite.from_code(1, code=1)


def test_equality_and_ordering():
    assert Suite.ED_ML_44 != Suite.ED_FN_512 and not (Suite.ED_ML_44 == Suite.ED_FN_512)
    assert Suite.ED_ML_44 == Suite.ED_ML_44
    assert (Suite.ED_ML_44 == 1.0) is False
    assert (Suite.ED_ML_44 == "ED_ML_44") is False
    assert (Suite.ED_ML_44 == None) is False  # noqa: E711
    assert (Suite.ED_ML_44 == 2**70) is False
    assert Suite.ED_ML_44 == True  # noqa: E712
    for op in ("<", "<=", ">", ">="):
        with pytest.raises(TypeError):
            eval(f"Suite.ED_ML_44 {op} Suite.ED_FN_512")
        with pytest.raises(TypeError):
            eval(f"Suite.ED_ML_44 {op} 2")
    values = [Suite.SR_SH, Suite.ED_ML_44, Suite.SR_ML_44]
    with pytest.raises(TypeError):
        sorted(values)
    assert sorted(values, key=int) == [Suite.ED_ML_44, Suite.SR_ML_44, Suite.SR_SH]


def test_dictionary_keys():
    assert {1: "a"}[Suite.ED_ML_44] == "a"
    assert {Suite.ED_ML_44: "b"}[1] == "b"
    assert len({Suite.ED_SH, 5, Suite.from_code(5)}) == 1


def test_no_index_no_constructor_no_subclass():
    with pytest.raises(TypeError):
        [0, 1, 2][Suite.ED_FN_512]
    for call in (lambda: Suite(), lambda: Suite(1), lambda: Suite(code=1)):
        with pytest.raises(TypeError, match=r"^cannot create 'valtorimesca\.Suite' instances$"):
            call()
    with pytest.raises(TypeError):
        class Sub(Suite):
            pass


def test_frozen():
    s = Suite.ED_SH
    with pytest.raises(AttributeError):
        s.value = 6
    with pytest.raises(AttributeError):
        s.other = 1
    assert not hasattr(s, "__dict__")
    import weakref
    with pytest.raises(TypeError):
        weakref.ref(s)
    assert s.value == 5


def test_class_attributes_cannot_be_changed():
    # Interpreters from 3.10 on enforce a closed class.
    assert sys.version_info >= (3, 10)
    for stmt in ("Suite.ED_SH = 1", "del Suite.ED_SH", "Suite.extra = 1",
                 "Suite.from_code = None"):
        with pytest.raises(TypeError, match="immutable type 'valtorimesca.Suite'"):
            exec(stmt)
    assert Suite.ED_SH is Suite.from_code(5)


def test_copy_and_pickle_keep_the_shared_value():
    for s in (getattr(Suite, n) for n in NAMES):
        assert copy.copy(s) is s
        assert copy.deepcopy(s) is s
        for protocol in range(pickle.HIGHEST_PROTOCOL + 1):
            assert pickle.loads(pickle.dumps(s, protocol=protocol)) is s
