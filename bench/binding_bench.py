"""The binding's cost per call: Python-level calls of the installed module
beside the C++ suite-ABI calls they wrap (bench/abi_bench, and
bench/stateful_abi_bench for the stateful path), on identical inputs (the
seed, message and empty context abi_bench uses).

The two sides are measured in alternating rounds, one C++ measurement then
one Python measurement of the same call, and each column is the median of its
rounds, so that a change in the machine's load reaches both columns alike
and the binding column is the difference of like with like.

    .venv/bin/python bench/binding_bench.py [path/to/abi_bench [path/to/stateful_abi_bench [rounds]]]
"""

import json
import pathlib
import statistics
import subprocess
import sys
import timeit

import valtorimesca as v
from valtorimesca import Suite

ROOT = pathlib.Path(__file__).resolve().parents[1]
ABI_BENCH = pathlib.Path(sys.argv[1]) if len(sys.argv) > 1 else ROOT / "build/release/bench/abi_bench"
STATEFUL_BENCH = pathlib.Path(sys.argv[2]) if len(sys.argv) > 2 else ABI_BENCH.parent / "stateful_abi_bench"
ROUNDS = int(sys.argv[3]) if len(sys.argv) > 3 else 7

MSG = bytes([1]) + bytes(31)
SEED = bytes([7]) * 32
keys = {s: v.keygen_from_seed(s, SEED) for s in (Suite.ED_ML_44, Suite.SR_ML_44, Suite.ED_FN_512)}
sigs = {s: v.sign_deterministic(s, sk, MSG, b"", b"") for s, (sk, _) in keys.items()}

calls = {
    "BM_keygen/ED_ML_44": lambda: v.keygen_from_seed(Suite.ED_ML_44, SEED),
    "BM_sign_deterministic/ED_ML_44": lambda: v.sign_deterministic(
        Suite.ED_ML_44, keys[Suite.ED_ML_44][0], MSG, b"", b""),
    "BM_verify/ED_ML_44": lambda: v.verify(Suite.ED_ML_44, keys[Suite.ED_ML_44][1], MSG, b"",
                                           sigs[Suite.ED_ML_44]),
    "BM_verify/SR_ML_44": lambda: v.verify(Suite.SR_ML_44, keys[Suite.SR_ML_44][1], MSG, b"",
                                           sigs[Suite.SR_ML_44]),
    "BM_sign_deterministic/ED_FN_512": lambda: v.sign_deterministic(
        Suite.ED_FN_512, keys[Suite.ED_FN_512][0], MSG, b"", b""),
    "BM_verify/ED_FN_512": lambda: v.verify(Suite.ED_FN_512, keys[Suite.ED_FN_512][1], MSG, b"",
                                            sigs[Suite.ED_FN_512]),
    "BM_verify_bad_length": lambda: v.verify(Suite.ED_ML_44, bytes(10), b"", b"", b""),
}


def loop_count(fn):
    """Calls per Python measurement: enough for about 0.1 s."""
    number = 1
    while timeit.timeit(fn, number=number) < 0.1:
        number *= 4
    return number


def python_ns(fn, number):
    return timeit.timeit(fn, number=number) / number * 1e9


def cpp_ns(name, program=ABI_BENCH):
    out = subprocess.run([str(program), "--benchmark_format=json", f"--benchmark_filter=^{name}$",
                          "--benchmark_min_time=0.1"], check=True, capture_output=True, text=True).stdout
    (b,) = json.loads(out)["benchmarks"]
    return b["real_time"] * {"ns": 1, "us": 1e3, "ms": 1e6}[b["time_unit"]]


def alternated(name, program, python_side):
    """Medians of ROUNDS alternating rounds: one C++ run, then one Python
    measurement of the same call."""
    c_runs, p_runs = [], []
    for _ in range(ROUNDS):
        c_runs.append(cpp_ns(name, program))
        p_runs.append(python_side())
    c = statistics.median(c_runs)
    p = statistics.median(p_runs)
    print(f"{name:34} {c:12.0f} {p:12.0f} {p - c:13.0f}")


print(f"{'call':34} {'C++ (ns)':>12} {'Python (ns)':>12} {'binding (ns)':>13}")
for name, fn in calls.items():
    number = loop_count(fn)
    alternated(name, ABI_BENCH, lambda: python_ns(fn, number))


# Stateful calls, on the same leaves and blob as bench/stateful_abi_bench: the
# journal is a Python object here, so its calls are part of the binding.
class MemoryJournal:
    def __init__(self, identity):
        self.identity, self.leaf = identity, 0

    def bound_key(self):
        return self.identity

    def bind_key(self, identity):
        self.identity = identity

    def next_leaf(self):
        return self.leaf

    def commit(self, leaf):
        self.leaf = leaf + 1


key, pk = v.keygen_stateful_from_seed(Suite.ED_SH, SEED, 4096, MemoryJournal(None), None)
blob = key.export()
identity = v.key_identity(Suite.ED_SH, pk)


def load():
    return v.load_stateful_secret_key(Suite.ED_SH, blob, MemoryJournal(identity), None)


def stateful_signing_ns():
    """256 signatures of a freshly loaded key, on leaves 0 to 255 as every
    run of the C++ benchmark signs them."""
    fresh = load()
    return timeit.timeit(lambda: fresh.sign_stateful(MSG, b""), number=256) / 256 * 1e9


def open_ns():
    """The mean of three loads, as the C++ benchmark's three iterations."""
    return statistics.fmean(timeit.repeat(load, number=1, repeat=3)) * 1e9


alternated("BM_sign_stateful/iterations:256", STATEFUL_BENCH, stateful_signing_ns)
alternated("BM_open/4096/iterations:3", STATEFUL_BENCH, open_ns)
