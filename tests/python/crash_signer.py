"""Child process of the crash tests: signs in a loop with the SQLite journal
of python/examples and kills itself with SIGKILL at the chosen step.

    crash_signer.py FOLDER SUITE_CODE CAPACITY COUNT [STEP OCCURRENCE]

Every signature is appended to FOLDER/released only after the key's blob is
persisted, the way an application would release it; a signature counts as
released once its whole line, newline included, is in that file. The step
"signing" does not kill: it prints a line that the parent answers with
SIGKILL while the engine is signing, and should the signature be finished
first, the signer waits for that SIGKILL before persisting anything, so the
kill always lands between the commit and the save, however slow the parent
is. The step "releasing" writes half of that signature's line and then dies,
as a SIGKILL that cuts the write short leaves it. "ready" is printed once the
key is loaded.
"""

import os
import signal
import sys
from pathlib import Path

sys.path.insert(0, str(Path(__file__).resolve().parents[2] / "python" / "examples"))

from valtorimesca import Suite  # noqa: E402

from sqlite_journal import DurableSigner  # noqa: E402


def whole_records(log):
    """The part of the release log made of whole lines. A kill can cut the
    write of a line short (Linux ends a write to a regular file early when a
    fatal signal is pending); what follows the last newline is such a line,
    which was never released."""
    return log[:log.rfind(b"\n") + 1]


def open_release_log(path):
    """Opens the release log for appending, after cutting off a line that the
    previous signer's kill left unfinished, so that the next line is never
    joined to it. Only the signer holding the folder's lock writes here."""
    fd = os.open(path, os.O_WRONLY | os.O_APPEND | os.O_CREAT, 0o644)
    log = path.read_bytes()
    keep = len(whole_records(log))
    if keep != len(log):
        os.ftruncate(fd, keep)
        os.fsync(fd)
    return fd


def main():
    folder, code, capacity, count = Path(sys.argv[1]), int(sys.argv[2]), int(sys.argv[3]), int(sys.argv[4])
    step, occurrence = (sys.argv[5], int(sys.argv[6])) if len(sys.argv) > 5 else (None, 0)
    seen = {}
    armed = []  # counts only once the key is made or loaded

    def hook(name):
        if not armed:
            return
        seen[name] = seen.get(name, 0) + 1
        if step == "signing" and name == "commit_after" and seen[name] == occurrence:
            print("signing", flush=True)
        elif step == "signing" and name == "signed" and seen[name] == occurrence:
            while True:
                signal.pause()
        elif name == step and seen[name] == occurrence:
            os.kill(os.getpid(), signal.SIGKILL)

    signer = DurableSigner(folder, Suite.from_code(code), bytes([code]) * 32, capacity, hook)
    armed.append(True)
    print("ready", flush=True)
    fd = open_release_log(folder / "released")
    try:
        for i in range(count):
            sig = signer.sign(b"message %d" % i, b"crash-test")
            line = memoryview((sig.hex() + "\n").encode())
            if step == "releasing" and i + 1 == occurrence:
                os.write(fd, line[:len(line) // 2])
                os.kill(os.getpid(), signal.SIGKILL)
            while line:  # a write may take only part
                line = line[os.write(fd, line):]
            os.fsync(fd)
    finally:
        os.close(fd)


if __name__ == "__main__":
    main()
