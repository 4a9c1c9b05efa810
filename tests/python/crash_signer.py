"""Child process of the crash tests: signs in a loop with the SQLite journal
of python/examples and kills itself with SIGKILL at the chosen step.

    crash_signer.py FOLDER SUITE_CODE CAPACITY COUNT [STEP OCCURRENCE]

Every signature is appended to FOLDER/released only after the key's blob is
persisted, the way an application would release it. The step "signing"
does not kill: it prints a line that the parent answers with SIGKILL while
the engine is signing, and should the signature be finished first, the
signer waits for that SIGKILL before persisting anything, so the kill always
lands between the commit and the save, however slow the parent is. "ready" is printed once the key is loaded.
"""

import os
import signal
import sys
from pathlib import Path

sys.path.insert(0, str(Path(__file__).resolve().parents[2] / "python" / "examples"))

from valtorimesca import Suite  # noqa: E402

from sqlite_journal import DurableSigner  # noqa: E402


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
    # One write call per signature, so a kill leaves at most one line cut
    # short, which the parent does not count as released.
    fd = os.open(folder / "released", os.O_WRONLY | os.O_APPEND | os.O_CREAT, 0o644)
    try:
        for i in range(count):
            sig = signer.sign(b"message %d" % i, b"crash-test")
            os.write(fd, (sig.hex() + "\n").encode())
            os.fsync(fd)
    finally:
        os.close(fd)


if __name__ == "__main__":
    main()
