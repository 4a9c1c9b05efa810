"""Argument parsing and conversion, driven through the test-only probe module
built from the native module's sources."""

import sys
import threading
import time

import pytest


@pytest.fixture(scope="module")
def Suite(probe):
    return probe.suite_type()


def test_convert_accepts_bytes_bytearray_and_subclasses(probe, Suite):
    class B(bytes):
        pass

    class BA(bytearray):
        pass

    got = probe.convert(Suite.SR_SH, b"key", bytearray(b"msg"), B(b"ctx"))
    assert got == (6, b"key", b"msg", b"ctx")
    got = probe.convert(ctx=BA(b""), msg=b"", sk=b"\x00" * 3, suite=Suite.ED_ML_44)
    assert got == (1, b"\x00\x00\x00", b"", b"")
    assert all(type(x) is bytes for x in got[1:])


@pytest.mark.parametrize("bad", ["text", memoryview(b"ab"), None, 3, [1, 2]])
def test_convert_refuses_other_byte_types_without_note(probe, Suite, bad):
    for position in range(1, 4):
        args = [Suite.ED_ML_44, b"", b"", b""]
        args[position] = bad
        with pytest.raises(TypeError) as e:
            probe.convert(*args)
        assert str(e.value) == "expected bytes or bytearray, got an object of a different type"
        assert not hasattr(e.value, "__notes__")


def test_suite_argument(probe, Suite):
    import valtorimesca
    cases = [(1, "'int' object is not an instance of 'Suite'"),
             (True, "'bool' object is not an instance of 'Suite'"),
             (None, "'None' is not an instance of 'Suite'"),
             ("ED_ML_44", "'str' object is not an instance of 'Suite'"),
             # the shipped module's Suite is a different class object from the probe's
             (valtorimesca.Suite.ED_ML_44, "'Suite' object is not an instance of 'Suite'")]
    for bad, text in cases:
        with pytest.raises(TypeError) as e:
            probe.convert(bad, 0, 0, 0)  # the suite is refused before any byte argument
        assert str(e.value) == text
        if sys.version_info >= (3, 11):
            assert e.value.__notes__ == ["while processing 'suite'"]


def test_bytearray_copy_is_private(probe):
    data = bytearray(b"before")

    def change():
        data[:] = b"after!!"

    assert probe.snapshot(data, change) == b"before"
    assert data == bytearray(b"after!!")


@pytest.mark.parametrize("call,text", [
    (lambda p, S: p.convert(S.ED_ML_44, b"", b""),
     "convert() missing 1 required positional argument: 'ctx'"),
    (lambda p, S: p.convert(S.ED_ML_44, b""),
     "convert() missing 2 required positional arguments: 'msg' and 'ctx'"),
    (lambda p, S: p.convert(),
     "convert() missing 4 required positional arguments: 'suite', 'sk', 'msg', and 'ctx'"),
    (lambda p, S: p.convert(msg=b""),
     "convert() missing 3 required positional arguments: 'suite', 'sk', and 'ctx'"),
    (lambda p, S: p.convert(S.ED_ML_44, b"", b"", b"", b"", 1),
     "convert() takes 4 positional arguments but 6 were given"),
    (lambda p, S: p.convert(S.ED_ML_44, b"", b"", b"", sig=b""),
     "convert() got an unexpected keyword argument 'sig'"),
    (lambda p, S: p.convert(1, b"", b"", b"", suite=1),
     "convert() got multiple values for argument 'suite'"),
    (lambda p, S: p.texts(),
     "texts() missing 1 required positional argument: 'phrase'"),
    (lambda p, S: p.texts("a", None, 1),
     "texts() takes from 1 to 2 positional arguments but 3 were given"),
    (lambda p, S: p.method_like(b""),
     "StatefulSecretKey.sign_stateful() missing 1 required positional argument: 'ctx'"),
    (lambda p, S: p.method_like(b"", b"", b""),
     "StatefulSecretKey.sign_stateful() takes 2 positional arguments but 3 were given"),
    (lambda p, S: p.u32(1, 2),
     "u32() takes 1 positional arguments but 2 were given"),
])
def test_parse_errors(probe, Suite, call, text):
    with pytest.raises(TypeError) as e:
        call(probe, Suite)
    assert str(e.value) == text
    assert not hasattr(e.value, "__notes__")


def test_parse_before_conversion(probe):
    # The wrong call is reported even though every argument is also invalid.
    with pytest.raises(TypeError, match="got multiple values for argument 'suite'"):
        probe.convert(1, "x", "y", "z", suite=2)
    with pytest.raises(TypeError, match="takes 1 positional arguments but 2 were given"):
        probe.u32("x", "y")


def test_text_arguments(probe):
    assert probe.texts("abandon ability") == (b"abandon ability", None)
    assert probe.texts("x", None) == probe.texts("x") == probe.texts(phrase="x", password=None)
    assert probe.texts("x", "p\u00e4ss") == (b"x", "p\u00e4ss".encode())

    class S(str):
        pass

    assert probe.texts(S("ab"), S("")) == (b"ab", b"")
    cases = [((b"x",), "'bytes' object is not an instance of 'str'", "phrase"),
             ((None,), "'None' is not an instance of 'str'", "phrase"),
             (("x", 1), "'int' object is not an instance of 'str'", "password")]
    for args, text, param in cases:
        with pytest.raises(TypeError) as e:
            probe.texts(*args)
        assert str(e.value) == text
        if sys.version_info >= (3, 11):
            assert e.value.__notes__ == [f"while processing '{param}'"]
    for args, param in ((("\ud800",), "phrase"), (("x", "a\udfffb"), "password")):
        with pytest.raises(UnicodeEncodeError) as e:
            probe.texts(*args)
        if sys.version_info >= (3, 11):
            assert e.value.__notes__ == [f"while processing '{param}'"]


def test_unsigned_32(probe):
    note = ["while processing 'max_stateful_signatures'"]
    assert probe.u32(0) == 0 and probe.u32(4294967295) == 4294967295
    assert probe.u32(True) == 1

    class Index:
        def __index__(self):
            return 4096

    assert probe.u32(Index()) == 4096
    for bad in (-1, 4294967296, 2**63 - 1):
        with pytest.raises(OverflowError) as e:
            probe.u32(bad)
        assert str(e.value) == "out of range integral type conversion attempted"
        assert e.value.__notes__ == note
    with pytest.raises(OverflowError) as e:
        probe.u32(2**63)
    assert e.value.__notes__ == note
    for bad in (1.0, "1", None):
        with pytest.raises(TypeError) as e:
            probe.u32(bad)
        assert e.value.__notes__ == note


def test_note_keeps_existing_notes(probe):
    class Index:
        def __index__(self):
            err = ValueError("from __index__")
            err.add_note("first")
            raise err

    with pytest.raises(ValueError) as e:
        probe.u32(Index())
    assert str(e.value) == "from __index__"
    assert e.value.__notes__ == ["first", "while processing 'max_stateful_signatures'"]


def test_lock_is_released_around_native_work(probe):
    ticks = []
    stop = threading.Event()

    def spin():
        while not stop.is_set():
            ticks.append(1)
            time.sleep(0.001)

    worker = threading.Thread(target=spin)
    worker.start()
    try:
        time.sleep(0.01)
        before = len(ticks)
        probe.sleep_without_gil(150)
        during = len(ticks) - before
    finally:
        stop.set()
        worker.join()
    assert during > 10


def test_internal_fault_is_panic_exception(probe, capfd):
    with pytest.raises(BaseException) as e:
        probe.fault_in_native()
    cls = type(e.value)
    assert cls.__module__ == "pyo3_runtime" and cls.__name__ == "PanicException"
    assert cls.__bases__ == (BaseException,)
    assert not isinstance(e.value, Exception)
    assert e.value.args == ("probe fault while the lock is released",)
    err = capfd.readouterr().err
    assert "thread 'main' panicked at " in err
    assert "probe.cpp:" in err and "probe fault while the lock is released" in err
    # the lock was taken back: the interpreter keeps working
    assert probe.u32(5) == 5


def test_output_buffers(probe):
    assert probe.output(8) == bytes(range(8))
    assert probe.output(3) == b"\x00\x01\x02"
    assert probe.output(0) == b""
    with pytest.raises(BaseException) as e:
        probe.output(-1)
    assert type(e.value).__name__ == "BadLengthError"
    assert e.value.args == ("a byte string had the wrong length",)
    with pytest.raises(BaseException) as e:
        probe.output(9)
    assert type(e.value).__name__ == "PanicException"
