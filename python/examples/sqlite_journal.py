"""A durable leaf journal and budget store in SQLite, and a stateful key that
signs through them.

A stateful key (ED_SH, SR_SH) may use each one-time leaf once only. The
library keeps no record of spent leaves: it asks the caller's journal, and
commits the leaf there before the one-time signature exists. This example
keeps that journal, and the few-time budget store, in one SQLite database:
every write (`bind_key`, `commit`, `record`) is its own committed
transaction with `PRAGMA synchronous=FULL`, so it is on disk when the method
returns. After every signature the key's export blob is written to a file by
write, fsync and rename, before the signature is released. One signer holds
the folder at a time (a file lock), and a budget count is recorded only on
top of the count that was read.

Whatever moment the process dies at, a restart either continues or refuses:
a leaf committed but not yet in the saved blob makes the reloaded key raise
CountersDivergedError (the leaf is spent and was never released: safe; the
key must be rotated), and never signs with a leaf twice.

Run it as a script for a short demonstration; the classes are also used by
the tests.
"""

from __future__ import annotations

import fcntl
import hashlib
import os
import sqlite3
import sys
import tempfile
from pathlib import Path
from typing import Callable, Optional

import valtorimesca as v
from valtorimesca import Suite

# Called with a step name at every point of the protocol; the crash tests
# use it to stop the process there.
Hook = Callable[[str], None]


def _no_hook(step: str) -> None:
    pass


def _connect(path: Path) -> sqlite3.Connection:
    # Autocommit mode: each write below opens and commits its own
    # transaction explicitly.
    db = sqlite3.connect(str(path), isolation_level=None)
    db.execute("PRAGMA synchronous=FULL")
    return db


class SqliteJournal:
    """The leaf journal of one key: the identity it is bound to, the number
    of spent leaves, and every spent leaf."""

    def __init__(self, path: Path, hook: Hook = _no_hook) -> None:
        self.db = _connect(path)
        self.hook = hook
        self.db.execute("CREATE TABLE IF NOT EXISTS binding ("
                        " one INTEGER PRIMARY KEY CHECK (one = 1),"
                        " identity BLOB NOT NULL, next_leaf INTEGER NOT NULL)")
        self.db.execute("CREATE TABLE IF NOT EXISTS spent (leaf INTEGER PRIMARY KEY)")
        self._reads = 0

    def bound_key(self) -> Optional[bytes]:
        self.hook("bound_key")
        row = self.db.execute("SELECT identity FROM binding").fetchone()
        return None if row is None else bytes(row[0])

    def bind_key(self, identity: bytes) -> None:
        self.db.execute("BEGIN IMMEDIATE")
        try:
            row = self.db.execute("SELECT identity FROM binding").fetchone()
            if row is not None and bytes(row[0]) != identity:
                raise RuntimeError("journal already bound to another key")
            if row is None:
                self.db.execute("INSERT INTO binding VALUES (1, ?, 0)", (identity,))
            self.db.execute("COMMIT")
        except BaseException:
            self.db.execute("ROLLBACK")
            raise

    def next_leaf(self) -> int:
        self._reads += 1
        if self._reads % 2 == 0:
            self.hook("between_next_leaf")
        row = self.db.execute("SELECT next_leaf FROM binding").fetchone()
        if row is None:
            raise RuntimeError("journal is not bound")
        return int(row[0])

    def commit(self, leaf: int) -> None:
        self.db.execute("BEGIN IMMEDIATE")
        try:
            row = self.db.execute("SELECT next_leaf FROM binding").fetchone()
            if row is None or row[0] != leaf:
                raise RuntimeError(f"leaf {leaf} is not the journal's next leaf")
            self.db.execute("INSERT INTO spent VALUES (?)", (leaf,))
            self.db.execute("UPDATE binding SET next_leaf = ?", (leaf + 1,))
            self.hook("commit_before")
            self.db.execute("COMMIT")
        except BaseException:
            if self.db.in_transaction:
                self.db.execute("ROLLBACK")
            raise
        self.hook("commit_after")

    def spent_leaves(self) -> list[int]:
        return [r[0] for r in self.db.execute("SELECT leaf FROM spent ORDER BY leaf")]


class SqliteBudget:
    """The few-time budget store: a running count per 32-byte budget key."""

    def __init__(self, path: Path) -> None:
        self.db = _connect(path)
        self.db.execute("CREATE TABLE IF NOT EXISTS budget (key BLOB PRIMARY KEY, count INTEGER NOT NULL)")

    def consumed(self, key: bytes) -> Optional[int]:
        row = self.db.execute("SELECT count FROM budget WHERE key = ?", (key,)).fetchone()
        return None if row is None else int(row[0])

    def record(self, key: bytes, count: int) -> None:
        # The library reads the count and records the next one in two calls;
        # another process may have spent in between. Recording only on top of
        # the count that was read makes the loser of such a race fail (and
        # sign nothing) instead of spending the same unit twice or moving
        # the count back.
        self.db.execute("BEGIN IMMEDIATE")
        try:
            changed = self.db.execute("UPDATE budget SET count = ? WHERE key = ? AND count = ?",
                                      (count, key, count - 1)).rowcount
            if changed == 0 and count == 1:
                changed = self.db.execute("INSERT OR IGNORE INTO budget VALUES (?, 1)", (key,)).rowcount
            if changed != 1:
                raise RuntimeError("the budget count moved since it was read")
            self.db.execute("COMMIT")
        except BaseException:
            self.db.execute("ROLLBACK")
            raise


def persist(path: Path, blob: bytes, hook: Hook = _no_hook) -> None:
    """Replaces the file at `path` with `blob`: written to a temporary file,
    flushed to disk, renamed over the old one, and the folder flushed."""
    tmp = path.with_name(path.name + ".tmp")
    fd = os.open(tmp, os.O_WRONLY | os.O_CREAT | os.O_TRUNC, 0o600)
    try:
        view = memoryview(blob)
        while view:  # a write may take only part (a full disk, say)
            view = view[os.write(fd, view):]
        os.fsync(fd)
    finally:
        os.close(fd)
    hook("persist_written")
    os.replace(tmp, path)
    folder = os.open(path.parent, os.O_RDONLY)
    try:
        os.fsync(folder)
    finally:
        os.close(folder)


class DurableSigner:
    """A stateful key kept in `folder`: `key.blob` (the export blob) and
    `key.pub` (the public key) beside `state.db` (journal and budget). Made
    from `seed` the first time, and reloaded from the blob afterwards: a used
    key is never regenerated."""

    def __init__(self, folder: Path, suite: Suite, seed: bytes, capacity: int, hook: Hook = _no_hook) -> None:
        # One signer per folder at a time: a second one would lose the race
        # for the next leaf and then save its older blob over the newer one.
        self._lock = open(folder / "lock", "a+b")
        try:
            fcntl.flock(self._lock, fcntl.LOCK_EX | fcntl.LOCK_NB)
        except BlockingIOError:
            self._lock.close()
            raise RuntimeError(f"{folder} is in use by another signer") from None
        self.blob_path = folder / "key.blob"
        pk_path = folder / "key.pub"
        self.hook = hook
        self.journal = SqliteJournal(folder / "state.db", hook)
        self.budget = SqliteBudget(folder / "state.db")
        if self.blob_path.exists():
            self.key = v.load_stateful_secret_key(suite, self.blob_path.read_bytes(), self.journal, self.budget)
            self.public_key = pk_path.read_bytes()
        else:
            # The journal is bound before the blob exists; a crash in between
            # leaves a bound journal with no leaf spent, and the same seed
            # then makes the same key, which that journal accepts.
            self.key, self.public_key = v.keygen_stateful_from_seed(suite, seed, capacity, self.journal,
                                                                    self.budget)
            persist(pk_path, self.public_key)
            persist(self.blob_path, self.key.export())

    def sign(self, msg: bytes, ctx: bytes) -> bytes:
        """A stateful signature, released only once the advanced key is on
        disk. If signing raises, the blob is saved all the same."""
        try:
            sig = self.key.sign_stateful(msg, ctx)
        finally:
            self.hook("signed")
            persist(self.blob_path, self.key.export(), self.hook)
        return sig

    def sign_rare(self, msg: bytes, ctx: bytes) -> bytes:
        """A few-time signature (rotation, recovery): spends budget, no leaf."""
        return self.key.sign_stateless(msg, ctx)


def main() -> None:
    suite = Suite.ED_SH
    master = v.master_seed_from_mnemonic(
        "legal winner thank year wave sausage worth useful legal winner thank yellow", password="example")
    seed = v.derive_hard_junction(master, hashlib.sha256(b"stateful example").digest())
    with tempfile.TemporaryDirectory() as tmp:
        folder = Path(tmp)
        signer = DurableSigner(folder, suite, seed, capacity=8)
        pk_identity = v.key_identity_from_secret_key(suite, signer.key.export())
        print(f"{suite!r}: key made, journal bound to {pk_identity.hex()[:16]}...")
        sigs = [signer.sign(f"payment {i}".encode(), b"example-app") for i in range(3)]
        # A signature carries its 1-based leaf number q (2153 + 32*q bytes);
        # the journal counts spent leaves, and signing leaf q committed q - 1.
        print("stateful signatures on leaves", [(len(s) - 2153) // 32 for s in sigs], "of",
              [len(s) for s in sigs], "bytes; the journal counts", signer.journal.next_leaf(),
              "spent leaves, committed as", signer.journal.spent_leaves())

        # A restart: the key comes back from its blob with its own journal.
        del signer
        signer = DurableSigner(folder, suite, seed, capacity=8)
        pk = signer.public_key
        sig = signer.sign(b"payment 3", b"example-app")
        assert v.verify_stateful(suite, pk, b"payment 3", b"example-app", sig)
        assert all(v.verify(suite, pk, f"payment {i}".encode(), b"example-app", s) for i, s in enumerate(sigs))
        stored = v.stored_public_key(suite, pk)
        assert v.verify_with_stored_public_key_stateful(suite, stored, pk[32:], b"payment 3", b"example-app", sig)
        print("after a restart: signed on leaf", (len(sig) - 2153) // 32, "(the journal counts",
              signer.journal.next_leaf(), "spent leaves); verifies against the", len(stored),
              "byte stored public key")

        rare = signer.sign_rare(b"rotate to a new key", b"example-app")
        assert v.verify_stateless(suite, pk, b"rotate to a new key", b"example-app", rare)
        print("few-time signature:", len(rare), "bytes")

        # The same key bytes with a journal that is not the key's own are
        # refused rather than allowed to reuse leaf 1.
        try:
            v.load_stateful_secret_key(suite, signer.key.export(), SqliteJournal(folder / "other.db"),
                                       SqliteBudget(folder / "other.db"))
        except v.JournalKeyMismatchError:
            print("a fresh journal is refused: JournalKeyMismatchError")
        else:
            sys.exit("a fresh journal was accepted")


if __name__ == "__main__":
    main()
