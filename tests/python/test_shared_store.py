"""Two key objects loaded from one export blob, in two threads, over one SQLite
database: the journal's `commit(leaf)` and the budget store's
`record(key, count)` of python/examples/sqlite_journal.py check, in the
transaction that writes, that nothing moved since the library read it, so
no leaf and no few-time unit is spent twice. A journal whose `commit` does
not check lets both objects sign with the same one-time leaf."""

import sys
import threading
from pathlib import Path

import valtorimesca as v
from valtorimesca import Suite

sys.path.insert(0, str(Path(__file__).resolve().parents[2] / "python" / "examples"))

from sqlite_journal import SqliteBudget, SqliteJournal  # noqa: E402

SUITE = Suite.ED_SH
SEED = bytes(range(7, 39))
CTX = b"shared-store"
ROUNDS = 4


class UncheckedJournal(SqliteJournal):
    """Records whatever leaf it is given, without asking whether it is still
    the next one: the journal the README warns against."""

    def commit(self, leaf: int) -> None:
        self.db.execute("BEGIN IMMEDIATE")
        self.db.execute("INSERT OR IGNORE INTO spent VALUES (?)", (leaf,))
        self.db.execute("UPDATE binding SET next_leaf = ?", (leaf + 1,))
        self.db.execute("COMMIT")


class MeetingBudget(SqliteBudget):
    """The example's store, whose first `consumed` answer waits until every
    thread has read the same count, so that all of them try to record the
    same unit; every write that went through is logged."""

    def __init__(self, path, barrier, written):
        super().__init__(path)
        self.barrier, self.written, self.first = barrier, written, True

    def consumed(self, key):
        count = super().consumed(key)
        if self.first:
            self.first = False
            self.barrier.wait(20)
        return count

    def record(self, key, count):
        super().record(key, count)
        self.written.append((key, count))


def made_blob(tmp_path, capacity=16):
    db = tmp_path / "state.db"
    key, pk = v.keygen_stateful_from_seed(SUITE, SEED, capacity, SqliteJournal(db), SqliteBudget(db))
    return db, key.export(), pk


def meeting(journal_class, barrier):
    """`journal_class` whose second `next_leaf` answer of the first signature
    waits until every thread has read it, so that all of them go on to
    commit the same leaf."""

    class Meeting(journal_class):
        reads = 0

        def next_leaf(self):
            leaf = super().next_leaf()
            self.reads += 1
            if self.reads == 2:
                barrier.wait(20)
            return leaf

    return Meeting


def race(db, blob, journal_class, threads=2):
    """Each thread opens its own connections and loads its own key object
    from `blob`; the first stateful signature of every thread waits after
    its second `next_leaf` read until all have made it. Then each signs
    ROUNDS more times on the stateful path and twice on the few-time path."""
    leaf_meeting, unit_meeting = threading.Barrier(threads), threading.Barrier(threads)
    stateful, stateless, errors, written = [], [], [], []
    journal_class = meeting(journal_class, leaf_meeting)

    def worker(n):
        journal = journal_class(db)
        key = v.load_stateful_secret_key(SUITE, blob, journal, MeetingBudget(db, unit_meeting, written))
        for r in range(1 + ROUNDS):
            msg = b"thread %d stateful %d" % (n, r)
            try:
                stateful.append((msg, key.sign_stateful(msg, CTX)))
            except (RuntimeError, v.CountersDivergedError) as e:
                errors.append(e)
        for r in range(2):
            msg = b"thread %d stateless %d" % (n, r)
            try:
                stateless.append((msg, key.sign_stateless(msg, CTX)))
            except RuntimeError as e:
                errors.append(e)

    workers = [threading.Thread(target=worker, args=(n,)) for n in range(threads)]
    for t in workers:
        t.start()
    for t in workers:
        t.join()
    return stateful, stateless, errors, written


def leaf_of(sig):
    return (len(sig) - 2153) // 32


def test_checked_journal_and_store_spend_nothing_twice(tmp_path):
    db, blob, pk = made_blob(tmp_path)
    stateful, stateless, errors, written = race(db, blob, SqliteJournal)

    # Both objects committed leaf 0; the journal took the first commit and
    # refused the second, so one signature carries leaf 1.
    assert "leaf 0 is not the journal's next leaf" in [str(e) for e in errors]
    leaves = [leaf_of(sig) for _, sig in stateful]
    assert sorted(leaves) == list(range(1, len(leaves) + 1))
    assert SqliteJournal(db).spent_leaves() == [q - 1 for q in sorted(leaves)]
    assert all(v.verify_stateful(SUITE, pk, msg, CTX, sig) for msg, sig in stateful)
    assert len(stateful) == 1 + ROUNDS  # the winner signs on; the other's count diverged

    # Both read "nothing recorded" and recorded 1; the store refused the
    # second write, which then signed nothing.
    assert "the budget count moved since it was read" in [str(e) for e in errors]
    assert len({key for key, _ in written}) == 1  # both objects spend from one budget key
    counts = sorted(count for _, count in written)
    assert counts == list(range(1, len(counts) + 1))
    assert len(stateless) == len(counts) == SqliteBudget(db).consumed(written[0][0])
    assert all(v.verify_stateless(SUITE, pk, msg, CTX, sig) for msg, sig in stateless)


def test_unchecked_journal_reuses_a_leaf(tmp_path):
    db, blob, pk = made_blob(tmp_path)
    stateful, _, errors, _ = race(db, blob, UncheckedJournal)
    on_leaf_1 = [(msg, sig) for msg, sig in stateful if leaf_of(sig) == 1]
    # Two different messages, both valid, on one one-time leaf.
    assert len(on_leaf_1) == 2
    assert on_leaf_1[0][0] != on_leaf_1[1][0]
    assert all(v.verify_stateful(SUITE, pk, msg, CTX, sig) for msg, sig in on_leaf_1)
