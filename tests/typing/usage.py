"""Typed use of the whole interface, for the type checkers only (mypy,
pyright): it is checked, never run."""

from __future__ import annotations

import os
from typing import Dict, List, Optional

import valtorimesca as v
from valtorimesca import StatefulSecretKey, Suite, VrfStatelessKey


class MemoryJournal:
    def __init__(self) -> None:
        self.key: Optional[bytes] = None
        self.spent = 0

    def bound_key(self) -> Optional[bytes]:
        return self.key

    def bind_key(self, identity: bytes) -> None:
        self.key = identity

    def next_leaf(self) -> int:
        return self.spent

    def commit(self, leaf: int) -> None:
        self.spent = leaf + 1


class MemoryBudget:
    def __init__(self) -> None:
        self.counts: Dict[bytes, int] = {}

    def consumed(self, key: bytes) -> Optional[int]:
        return self.counts.get(key)

    def record(self, key: bytes, count: int) -> None:
        self.counts[key] = count


def stateless(suite: Suite) -> bool:
    sk, pk = v.keygen_from_seed(suite, os.urandom(32))
    sig: bytes = v.sign(suite, sk, b"msg", b"ctx")
    again: bytes = v.sign_deterministic(suite, bytearray(sk), b"msg", b"ctx", b"nonce")
    proof = v.vrf_prove(suite, sk, b"input")
    out: bytes = v.vrf_make_bytes(suite, pk, b"input", proof, b"leadership")
    return v.verify(suite, pk, b"msg", b"ctx", sig) and v.vrf_verify(suite, pk, b"input", proof) and len(again + out) > 0


def stateful() -> List[bytes]:
    journal, budget = MemoryJournal(), MemoryBudget()
    key, pk = v.keygen_stateful_from_seed(Suite.ED_SH, os.urandom(32), 16, journal, budget)
    assert isinstance(key, StatefulSecretKey) and key.suite is Suite.ED_SH
    sig = key.sign_stateful(b"msg", b"ctx")
    rotation = key.sign_stateless(b"rotate", b"ctx")
    blob: bytes = key.export()
    reloaded = v.load_stateful_secret_key(Suite.ED_SH, blob, journal, budget)
    v.adopt_key(journal, v.key_identity(Suite.ED_SH, pk))
    stored = v.stored_public_key(Suite.ED_SH, pk)
    assert v.stored_public_key_len(Suite.ED_SH) == len(stored)
    assert v.verify_stateful(Suite.ED_SH, pk, b"msg", b"ctx", sig)
    assert v.verify_stateless(Suite.ED_SH, pk, b"rotate", b"ctx", rotation)
    assert v.verify_with_stored_public_key_stateful(Suite.ED_SH, stored, pk[32:], b"msg", b"ctx", sig)
    assert v.verify_with_stored_public_key_stateless(Suite.ED_SH, stored, pk[32:], b"rotate", b"ctx", rotation)
    vrf_key, vrf_pk = VrfStatelessKey.derive(Suite.SR_SH, os.urandom(32))
    proof = vrf_key.prove(budget, b"input")
    assert len(proof) == v.vrf_proof_len(Suite.SR_SH)
    return [v.key_identity_from_secret_key(Suite.ED_SH, reloaded.export()), vrf_pk]


def seeds() -> bytes:
    master = v.master_seed_from_mnemonic("legal winner thank year wave sausage worth useful legal winner thank yellow")
    child = v.derive_hard_junction(master, bytes(32))
    return v.derive_hard_junction_path(child, [bytes(32), bytearray(32)])


def errors() -> Optional[str]:
    try:
        v.keygen_from_seed(Suite.from_code(1), b"")
    except v.BadLengthError as e:
        return str(e)
    except v.ValtorimescaError:
        return None
    return v.profile_name()
