"""A signer killed with SIGKILL at every step of the journal protocol, and at
random moments, never releases two signatures with one leaf: after each
kill the persisted blob and the SQLite journal are reloaded and checked."""

import random
import signal
import subprocess
import sys
import time
from pathlib import Path

import pytest

import valtorimesca as v
from valtorimesca import Suite

HERE = Path(__file__).resolve().parent
sys.path.insert(0, str(HERE.parents[1] / "python" / "examples"))

from crash_signer import whole_records  # noqa: E402
from sqlite_journal import DurableSigner, SqliteBudget, SqliteJournal  # noqa: E402

CAPACITY = 6
SUITE = Suite.SR_SH


def child(folder, count, *crash):
    return subprocess.Popen([sys.executable, str(HERE / "crash_signer.py"), str(folder), str(SUITE.value),
                             str(CAPACITY), str(count), *map(str, crash)],
                            stdout=subprocess.PIPE, stderr=subprocess.PIPE, text=True)


def released(folder):
    # The last signer's kill may have cut its last line short: that one was
    # never released. Every earlier line is whole, as each signer cuts such a
    # line off before it appends.
    path = folder / "released"
    lines = whole_records(path.read_bytes()).decode().split("\n")[:-1] if path.exists() else []
    return [bytes.fromhex(line) for line in lines]


def check(folder):
    """The invariants after any kill; answers whether the key still signs."""
    sigs = released(folder)
    leaves = [(len(s) - 2153) // 32 for s in sigs]
    assert len(set(leaves)) == len(leaves), f"a leaf was released twice: {leaves}"
    journal = SqliteJournal(folder / "state.db")
    assert set(q - 1 for q in leaves) <= set(journal.spent_leaves())
    pk = (folder / "key.pub").read_bytes()
    for s in sigs:  # numbered from 0 again by each restart
        assert any(v.verify_stateful(SUITE, pk, b"message %d" % i, b"crash-test", s) for i in range(CAPACITY))
    blob = (folder / "key.blob").read_bytes()
    key = v.load_stateful_secret_key(SUITE, blob, journal, SqliteBudget(folder / "state.db"))
    blob_count = int.from_bytes(blob[328:332], "big")
    if blob_count == journal.next_leaf():
        return True
    # Spent in the journal but not persisted: the key refuses to sign.
    assert journal.next_leaf() == blob_count + 1
    with pytest.raises(v.CountersDivergedError):
        key.sign_stateful(b"after the crash", b"crash-test")
    assert journal.next_leaf() == blob_count + 1
    return False


def run_to_kill(proc):
    out, err = proc.communicate(timeout=60)
    assert proc.returncode == -signal.SIGKILL, (proc.returncode, err)


# Steps at which the signer dies, and whether the leaf being signed is then
# spent in the journal without being in the saved blob.
STEPS = [
    ("bound_key", False),
    ("between_next_leaf", False),
    ("commit_before", False),
    ("commit_after", True),
    ("signing", True),
    ("signed", True),
    ("persist_written", True),
    ("releasing", False),
]


@pytest.mark.parametrize("step,diverges", STEPS, ids=[s for s, _ in STEPS])
def test_kill_at_every_step(tmp_path, step, diverges):
    # The second signature dies at the step; the first was released.
    proc = child(tmp_path, 3, step, 2)
    if step == "signing":
        for line in proc.stdout:
            if line.strip() == "signing":
                proc.send_signal(signal.SIGKILL)
                break
    run_to_kill(proc)
    assert len(released(tmp_path)) == 1
    assert check(tmp_path) is not diverges
    if not diverges:
        # A restart goes on from the next leaf.
        proc = child(tmp_path, 2)
        _, err = proc.communicate(timeout=60)
        assert proc.returncode == 0, err
        assert len(released(tmp_path)) == 3
        assert check(tmp_path)


def test_kill_at_random_moments(tmp_path):
    rng = random.Random(2026)
    outcomes = []
    for round_ in range(6):
        # A fresh key each round, restarted and killed until it diverges.
        folder = tmp_path / str(round_)
        folder.mkdir()
        proc = child(folder, 0)
        assert proc.wait(timeout=60) == 0
        for _ in range(3):
            proc = child(folder, CAPACITY)
            assert proc.stdout.readline().strip() == "ready"
            time.sleep(rng.uniform(0, 0.03))
            proc.send_signal(signal.SIGKILL)
            proc.communicate(timeout=60)
            signs = check(folder)
            outcomes.append((len(released(folder)), signs))
            if not signs:
                break
    assert all(n <= CAPACITY for n, _ in outcomes)


def test_two_stores_over_one_database_never_spend_one_unit_twice(tmp_path):
    a, b = SqliteBudget(tmp_path / "state.db"), SqliteBudget(tmp_path / "state.db")
    key = bytes(32)
    assert a.consumed(key) is None and b.consumed(key) is None
    a.record(key, 1)
    with pytest.raises(RuntimeError, match="moved since it was read"):
        b.record(key, 1)  # read None as well: the same unit
    b.record(key, 2)
    with pytest.raises(RuntimeError, match="moved since it was read"):
        a.record(key, 2)  # a stale read must not move the count back either
    assert a.consumed(key) == b.consumed(key) == 2


def test_one_signer_per_folder(tmp_path):
    first = DurableSigner(tmp_path, SUITE, bytes(32), 1)
    with pytest.raises(RuntimeError, match="in use by another signer"):
        DurableSigner(tmp_path, SUITE, bytes(32), 1)
    del first  # its lock goes with it
    DurableSigner(tmp_path, SUITE, bytes(32), 1).sign(b"m", b"")
