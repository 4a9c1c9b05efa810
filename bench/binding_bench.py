"""The binding's cost per call: Python-level calls of the installed module
beside the C++ suite-ABI calls they wrap (bench/abi_bench), in one run.

    /usr/bin/python3 bench/binding_bench.py [path/to/abi_bench]
"""

import json
import pathlib
import subprocess
import sys
import timeit

import valtorimesca as v
from valtorimesca import Suite

ROOT = pathlib.Path(__file__).resolve().parents[1]
ABI_BENCH = pathlib.Path(sys.argv[1]) if len(sys.argv) > 1 else ROOT / "build/release/bench/abi_bench"

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


def python_ns(fn):
    number = 1
    while True:
        t = timeit.timeit(fn, number=number)
        if t > 0.2:
            break
        number *= 4
    return min(timeit.repeat(fn, number=number, repeat=5)) / number * 1e9


out = subprocess.run([str(ABI_BENCH), "--benchmark_format=json"], check=True,
                     capture_output=True, text=True).stdout
cpp = {b["name"]: b["real_time"] * {"ns": 1, "us": 1e3, "ms": 1e6}[b["time_unit"]]
       for b in json.loads(out)["benchmarks"]}

print(f"{'call':34} {'C++ (ns)':>12} {'Python (ns)':>12} {'binding (ns)':>13}")
for name, fn in calls.items():
    p = python_ns(fn)
    c = cpp[name]
    print(f"{name:34} {c:12.0f} {p:12.0f} {p - c:13.0f}")
