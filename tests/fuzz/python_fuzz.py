"""Random calls into every function, class and method the valtorimesca
module exports.

Arguments are of random types and lengths (bytes of every key and signature
size, other byte types, str, int, float, None, containers, objects whose
conversions raise) given by position or by keyword. Every call must return or
raise TypeError, ValueError, OverflowError or one of the module's own
exceptions (or, from a journal or budget object, whatever it raised, a
missing method's AttributeError included); anything else, or a crash of the
interpreter, is a fault. verify and vrf_verify must answer a bool, never
raise, when every argument after the suite is bytes; and a real signature or
proof with one bit changed must not verify.

    python_fuzz.py [--calls N | --seconds S] [--seed N] [--crashes DIR]

Before each call its description goes to DIR/last_call.txt, so a call that
kills the interpreter can be read back from there; a call that breaks a rule
is written to DIR/failure.txt and the run fails.
"""

import argparse
import functools
import inspect
import os
import pathlib
import random
import sys
import time

import valtorimesca as vt

ALLOWED = (TypeError, ValueError, OverflowError, vt.ValtorimescaError)
# A journal or budget object is asked for these methods only when they are
# needed, and a missing one comes back as the AttributeError of its lookup.
STORE_METHODS = ("bound_key", "bind_key", "next_leaf", "commit", "consumed", "record")
# Lengths of every key, signature, proof, blob and seed of the six suites,
# and their neighbours.
SIZES = sorted({n + d for n in (0, 1, 16, 31, 32, 33, 48, 64, 65, 80, 96, 160, 164, 196, 255, 256, 264, 496,
                                666, 731, 747, 763, 897, 929, 1312, 1344, 1409, 2420, 2484, 2500, 2516, 2560, 2624,
                                29092, 29172, 29188, 133225)
                for d in (-1, 0, 1) if n + d >= 0})
SUITES = [getattr(vt.Suite, n) for n in ("ED_ML_44", "ED_FN_512", "SR_ML_44", "SR_FN_512", "ED_SH", "SR_SH")]


class Bad:
    """An object whose every conversion raises: the module must pass the
    error on (or raise its own), never swallow it into a wrong answer."""

    def __index__(self):
        raise RuntimeError("__index__ of a hostile argument")

    def __len__(self):
        raise RuntimeError("__len__ of a hostile argument")

    def __iter__(self):
        raise RuntimeError("__iter__ of a hostile argument")

    def __str__(self):
        raise RuntimeError("__str__ of a hostile argument")


class BytesSub(bytes):
    pass


class Store:
    """A leaf journal and budget store in one. Mostly it keeps its records
    honestly in memory; now and then it answers at random (right or wrong
    types, in or out of range) or raises a hostile exception."""

    def __init__(self, rng, honesty=0.8):
        self.rng = rng
        self.honesty = honesty
        self.identity = None
        self.spent = 0
        self.budgets = {}

    def answer(self, honest, *choices):
        r = self.rng.random()
        if r < 0.03:
            raise RuntimeError("store of a hostile argument")
        return honest if r < self.honesty else self.rng.choice(choices)

    def bound_key(self):
        return self.answer(self.identity, None, bytes(32), self.rng.randbytes(32), b"", [1, 2], "x", 7)

    def bind_key(self, identity):
        self.identity = bytes(identity)
        return self.answer(None, True, False, 0)

    def next_leaf(self):
        return self.answer(self.spent, 0, 1, 2, 2**32, -1, None, "1", 1.5)

    def commit(self, leaf):
        self.spent = max(self.spent, leaf + 1)
        return self.answer(None, True, False)

    def consumed(self, key):
        return self.answer(self.budgets.get(bytes(key)), None, 0, 1, 2**40, 2**64, -1, "0", b"")

    def record(self, key, count):
        self.budgets[bytes(key)] = count
        return self.answer(None, True, False)


def describe(v):
    """A short, exact-enough account of an argument: byte strings by type,
    length and leading bytes; other values by repr, cut short."""
    if isinstance(v, (bytes, bytearray)):
        head = bytes(v[:24]).hex()
        return f"{type(v).__name__}[{len(v)}]:{head}{'...' if len(v) > 24 else ''}"
    if isinstance(v, memoryview):
        return f"memoryview({describe(v.tobytes())})"
    if isinstance(v, (list, tuple)):
        inner = ", ".join(describe(x) for x in v)
        return f"[{inner}]" if isinstance(v, list) else f"({inner},)"
    try:
        r = repr(v)
    except Exception:  # noqa: BLE001 - a hostile repr
        r = f"<{type(v).__name__}>"
    return r if len(r) <= 80 else r[:80] + "..."


class Fuzzer:
    def __init__(self, seed, crashes):
        self.rng = random.Random(seed)
        self.crashes = pathlib.Path(crashes)
        self.crashes.mkdir(parents=True, exist_ok=True)
        self.last = open(self.crashes / "last_call.txt", "w")  # noqa: SIM115 - open for the whole run
        self.calls = 0
        self.spent = {}  # seconds per function
        self.count = {}  # calls per function
        self.outcomes = {}  # calls by how they ended
        self.real = []  # (suite, pk, msg, ctx, sig) that verify
        self.proofs = []  # (suite, pk, input, proof) that verify
        self.instances = []
        self.targets = self.collect(vt)
        # An exception a hostile argument raised may come back as it is.
        self.passed_on = (RuntimeError,)

    # ---- what to call
    def collect(self, module):
        out = []
        for name in module.__all__:
            obj = getattr(module, name)
            if isinstance(obj, type):
                if issubclass(obj, BaseException):
                    continue
                out.append((name, obj))
                for attr, member in vars(obj).items():
                    if attr.startswith("__") and attr not in ("__copy__", "__deepcopy__", "__reduce__"):
                        continue
                    if callable(member) or isinstance(member, (staticmethod, classmethod)):
                        out.append((f"{name}.{attr}", getattr(obj, attr)))
            elif callable(obj):
                out.append((name, obj))
        return out

    @staticmethod
    @functools.lru_cache(maxsize=None)
    def params(fn):
        sig = getattr(fn, "__text_signature__", None)
        if sig:
            try:
                return [p for p in inspect.signature(fn).parameters if p not in ("self", "cls", "$self", "$cls")]
            except (ValueError, TypeError, RuntimeError):
                pass
        return []

    # ---- random values
    def some_bytes(self):
        r = self.rng
        n = r.choice(SIZES) if r.random() < 0.7 else r.randrange(0, 300)
        if n > 40000 and r.random() < 0.8:
            n = r.randrange(0, 3000)
        return r.randbytes(n) if r.random() < 0.7 else bytes([r.randrange(256)]) * n

    def value(self, depth=0):
        r = self.rng
        k = r.randrange(20)
        if k < 7:
            return self.some_bytes()
        if k == 7:
            return bytearray(self.some_bytes())
        if k == 8:
            return memoryview(self.some_bytes())
        if k == 9:
            return BytesSub(self.some_bytes())
        if k == 10:
            return r.choice(SUITES)
        if k == 11:
            return r.choice([0, 1, 4, 5, 6, 7, 255, 256, -1, 2**31, 2**63, 2**64, -2**70, True, False])
        if k == 12:
            return r.choice(["", "abandon " * 11 + "about", "\udcff", "\x00", "a" * r.randrange(400), "é"])
        if k == 13:
            return None
        if k == 14:
            return r.choice([0.5, float("nan"), 1e300])
        if k == 15 and depth < 2:
            return [self.value(depth + 1) for _ in range(r.randrange(4))]
        if k == 16 and depth < 2:
            return tuple(self.some_bytes() for _ in range(r.randrange(4)))
        if k == 17:
            return Bad()
        if k == 18:
            return r.choice([object(), {}, set(), vt.Suite, iter([b"x"]), Store(r), Store(r)])
        return self.some_bytes()

    def typed(self, param):
        """A value of the type a parameter of this name takes, mostly of a
        length that fits it."""
        r = self.rng
        if param == "suite":
            return r.choice(SUITES)
        if param in ("journal", "budget"):
            return Store(r)
        if param == "max_stateful_signatures":
            return r.choice([0, 1, 2, 3, 4096, 4097, -1])
        if param in ("phrase", "password"):
            return self.value() if r.random() < 0.3 else r.choice(["", "abandon " * 11 + "about", "\u3000".join(["zoo"] * 12)])
        if param == "code":
            return r.choice([0, 1, 6, 7, -1, 2**64])
        if param == "chain_codes":
            return [r.randbytes(32) for _ in range(r.randrange(4))]
        if param in ("seed", "master", "parent_master", "chain_code", "identity") and r.random() < 0.8:
            return r.randbytes(32)
        return self.some_bytes()

    # ---- running one call
    def note(self, text):
        # Written through to the OS before the call: it survives a crash.
        self.last.seek(0)
        self.last.write(text + "\n")
        self.last.truncate()
        self.last.flush()

    def fail(self, text):
        (self.crashes / "failure.txt").write_text(text + "\n")
        print("python fuzzer: " + text, file=sys.stderr)
        sys.exit(1)

    def costly(self, name):
        """Whether to pass over a function this time because its calls take
        long (a few-time signature or proof takes a quarter of a second):
        each function gets about as much time as a 2 ms one."""
        n = self.count.get(name, 0)
        if n < 3:
            return False
        mean = self.spent[name] / n
        return mean > 0.002 and self.rng.random() > 0.002 / mean

    def call(self, name, fn, args, kwargs):
        desc = f"{name}({', '.join([describe(a) for a in args] + [f'{k}={describe(v)}' for k, v in kwargs.items()])})"
        self.note(desc)
        self.calls += 1
        start = time.perf_counter()
        try:
            res = fn(*args, **kwargs)
            self.outcomes["returned"] = self.outcomes.get("returned", 0) + 1
            return True, res
        except ALLOWED as e:
            kind = type(e).__name__
            self.outcomes[kind] = self.outcomes.get(kind, 0) + 1
            return False, e
        except AttributeError as e:
            if not any(f"has no attribute '{m}'" in str(e) for m in STORE_METHODS):
                self.fail(f"{desc} raised AttributeError: {e}")
            return False, e
        except self.passed_on as e:
            if "hostile argument" not in str(e):  # only what our own objects raised
                self.fail(f"{desc} raised {type(e).__name__}: {e}")
            return False, e
        except BaseException as e:  # noqa: BLE001 - the point is to see everything
            self.fail(f"{desc} raised {type(e).__name__}: {e}")
        finally:
            self.spent[name] = self.spent.get(name, 0.0) + time.perf_counter() - start
            self.count[name] = self.count.get(name, 0) + 1

    def keep(self, res):
        """Instances of the module's classes that calls hand back, so that
        their methods get called too."""
        for v in res if isinstance(res, tuple) else (res,):
            if type(v).__module__ in ("_valtorimesca", "valtorimesca") and not isinstance(v, vt.Suite):
                if len(self.instances) >= 8:
                    self.instances.pop(self.rng.randrange(8))
                self.instances.append(v)

    def random_call(self):
        if self.instances and self.rng.random() < 0.2:
            obj = self.rng.choice(self.instances)
            methods = [m for m in dir(obj) if not m.startswith("_") or m in ("__copy__", "__deepcopy__", "__reduce__")]
            attr = self.rng.choice(methods)
            fn = getattr(obj, attr)
            if callable(fn) and not self.costly(f"{type(obj).__name__}().{attr}"):
                names = self.params(fn)
                if names and self.rng.random() < 0.6:
                    args = [self.typed(p) for p in names]
                else:
                    args = [self.value() for _ in range(self.rng.randrange(4))]
                ok, res = self.call(f"{type(obj).__name__}().{attr}", fn, args, {})
                if ok:
                    self.keep(res)
            return
        name, fn = self.rng.choice(self.targets)
        if self.costly(name):
            return
        names = self.params(fn)
        if names and self.rng.random() < 0.4:
            args = [self.typed(p) for p in names]
        else:
            n = len(names) + self.rng.choice([0, 0, 0, 0, -1, 1])
            args = [self.value() for _ in range(max(n, 0))]
        kwargs = {}
        if names and self.rng.random() < 0.25:
            cut = self.rng.randrange(len(args) + 1)
            kwargs = {p: v for p, v in zip(names[cut:], args[cut:])}
            args = args[:cut]
            if self.rng.random() < 0.2:
                kwargs["no_such_argument"] = b""
        ok, res = self.call(name, fn, args, kwargs)
        if ok:
            self.keep(res)

    # ---- the verdict rules
    def bytes_verify(self):
        """verify/vrf_verify: a bool for any bytes, never an exception."""
        r = self.rng
        fns = [(n, getattr(vt, n), k) for n, k in (("verify", 4), ("vrf_verify", 3)) if hasattr(vt, n)]
        if not fns:
            return
        name, fn, k = r.choice(fns)
        args = [r.choice(SUITES)] + [self.some_bytes() for _ in range(k)]
        if name == "verify" and self.real and r.random() < 0.5:
            suite, pk, msg, ctx, sig = r.choice(self.real)
            args = [suite, pk, msg, ctx, self.flip(sig)]
            ok, res = self.call(name, fn, args, {})
            if ok and res is not False:
                self.fail("verify accepted a mutated signature: " + ", ".join(map(describe, args)))
        if name == "vrf_verify" and self.proofs and r.random() < 0.5:
            suite, pk, inp, proof = r.choice(self.proofs)
            args = [suite, pk, inp, self.flip(proof)]
            ok, res = self.call(name, fn, args, {})
            if ok and res is not False:
                self.fail("vrf_verify accepted a mutated proof: " + ", ".join(map(describe, args)))
        ok, res = self.call(name, fn, args, {})
        if not ok or not isinstance(res, bool):
            self.fail(f"{name}({', '.join(map(describe, args))}) gave {describe(res)} for bytes arguments")

    def flip(self, b):
        b = bytearray(b)
        i = self.rng.randrange(len(b) * 8)
        b[i // 8] ^= 1 << (i % 8)
        return bytes(b)

    def make_real(self):
        """Real signatures (and proofs) of the stateless suites."""
        if not hasattr(vt, "keygen_from_seed"):
            return
        for suite in SUITES[:4]:
            sk, pk = vt.keygen_from_seed(suite, bytes(range(32)))
            msg, ctx = b"fuzz message", b"ctx"
            sig = vt.sign_deterministic(suite, sk, msg, ctx, b"nonce")
            assert vt.verify(suite, pk, msg, ctx, sig) is True
            self.real.append((suite, pk, msg, ctx, sig))
            if hasattr(vt, "vrf_prove_deterministic"):
                proof = vt.vrf_prove_deterministic(suite, sk, b"input")
                assert vt.vrf_verify(suite, pk, b"input", proof) is True
                self.proofs.append((suite, pk, b"input", proof))
        for suite in SUITES[4:]:
            if hasattr(vt, "keygen_stateful_from_seed"):
                store = Store(self.rng, honesty=1.0)
                store.answer = lambda honest, *choices: honest
                key, pk = vt.keygen_stateful_from_seed(suite, bytes(range(32)), 2, store, store)
                sig = key.sign_stateful(b"fuzz message", b"ctx")
                assert vt.verify(suite, pk, b"fuzz message", b"ctx", sig) is True
                self.real.append((suite, pk, b"fuzz message", b"ctx", sig))
                self.instances.append(key)
            if hasattr(vt, "VrfStatelessKey"):
                store = Store(self.rng)
                store.answer = lambda honest, *choices: honest
                key, pk = vt.VrfStatelessKey.derive(suite, bytes(range(32)))
                proof = key.prove(store, b"input")
                assert vt.vrf_verify(suite, pk, b"input", proof) is True
                self.proofs.append((suite, pk, b"input", proof))
                self.instances.append(key)

    def run(self, calls, seconds):
        self.make_real()
        end = time.monotonic() + seconds if seconds else None
        while (calls is None or self.calls < calls) and (end is None or time.monotonic() < end):
            if self.rng.random() < 0.3:
                self.bytes_verify()
            else:
                self.random_call()
        self.last.close()
        (self.crashes / "last_call.txt").unlink(missing_ok=True)


def main():
    ap = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    ap.add_argument("--calls", type=int)
    ap.add_argument("--seconds", type=float)
    ap.add_argument("--seed", type=int, default=int.from_bytes(os.urandom(4), "little"))
    ap.add_argument("--crashes", default="fuzz-crashes/python")
    a = ap.parse_args()
    if a.calls is None and a.seconds is None:
        a.calls = 10000
    f = Fuzzer(a.seed, a.crashes)
    start = time.monotonic()
    f.run(a.calls, a.seconds)
    took = time.monotonic() - start
    print(f"python fuzzer: {f.calls} calls over {len(f.targets)} functions and methods in {took:.1f}s "
          f"({f.calls / max(took, 1e-9):.0f} calls/s), seed {a.seed}: no fault")
    common = sorted(f.outcomes.items(), key=lambda kv: -kv[1])[:6]
    print("  outcomes: " + ", ".join(f"{n} {c}" for n, c in common))
    slow = sorted(f.spent.items(), key=lambda kv: -kv[1])[:3]
    print("  most time in: " + ", ".join(f"{n} {t:.1f}s" for n, t in slow))
    try:
        f.crashes.rmdir()
    except OSError:
        pass


if __name__ == "__main__":
    main()
