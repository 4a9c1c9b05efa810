"""A round trip of every suite through the installed wheel, run by
scripts/check-wheel under each CPython it finds. The stateful and VRF steps
run when the module has those functions."""

import os
import sys

import valtorimesca as v
from valtorimesca import Suite

STATELESS = (Suite.ED_ML_44, Suite.ED_FN_512, Suite.SR_ML_44, Suite.SR_FN_512)
STATEFUL = (Suite.ED_SH, Suite.SR_SH)


class Journal:
    def __init__(self):
        self.key, self.spent = None, 0

    def bound_key(self):
        return self.key

    def bind_key(self, identity):
        self.key = identity

    def next_leaf(self):
        return self.spent

    def commit(self, leaf):
        self.spent = leaf + 1


class Budget:
    def __init__(self):
        self.counts = {}

    def consumed(self, key):
        return self.counts.get(key)

    def record(self, key, count):
        self.counts[key] = count


def check(ok, what):
    if not ok:
        sys.exit(f"round trip failed: {what}")


def main():
    master = v.master_seed_from_mnemonic(
        "legal winner thank year wave sausage worth useful legal winner thank yellow")
    seed = v.derive_hard_junction_path(master, [os.urandom(32)])
    msg, ctx = os.urandom(100), b"wheel"
    done = []
    for suite in STATELESS:
        sk, pk = v.keygen_from_seed(suite, seed)
        check(v.verify(suite, pk, msg, ctx, v.sign(suite, sk, msg, ctx)), f"{suite!r} sign")
        det = v.sign_deterministic(suite, sk, msg, ctx, b"nonce")
        check(det == v.sign_deterministic(suite, sk, msg, ctx, b"nonce"), f"{suite!r} deterministic")
        check(not v.verify(suite, pk, msg + b"!", ctx, det), f"{suite!r} altered message")
        if hasattr(v, "vrf_prove"):
            proof = v.vrf_prove(suite, sk, msg)
            check(v.vrf_verify(suite, pk, msg, proof), f"{suite!r} vrf")
            check(len(v.vrf_make_bytes(suite, pk, msg, proof, b"leadership")) == 32, f"{suite!r} vrf bytes")
        done.append(repr(suite))
    if hasattr(v, "keygen_stateful_from_seed"):
        for suite in STATEFUL:
            journal, budget = Journal(), Budget()
            key, pk = v.keygen_stateful_from_seed(suite, seed, 2, journal, budget)
            check(v.verify_stateful(suite, pk, msg, ctx, key.sign_stateful(msg, ctx)), f"{suite!r} stateful")
            check(v.verify_stateless(suite, pk, msg, ctx, key.sign_stateless(msg, ctx)), f"{suite!r} stateless")
            if hasattr(v, "VrfStatelessKey"):
                vrf_key, vrf_pk = v.VrfStatelessKey.derive(suite, seed)
                check(v.vrf_verify(suite, vrf_pk, msg, vrf_key.prove(budget, msg)), f"{suite!r} vrf")
            done.append(repr(suite))
    print(f"Python {sys.version.split()[0]}: {', '.join(done)} round trip ok")


main()
