"""Keccak-256 reference digests for the C++ tests.

Reads one hex-encoded input per line from argv[1] and writes the hex digest of
each to argv[2]. Uses pycryptodome's keccak module (Debian installs it as
Cryptodome; a pip install names it Crypto). Exits non-zero when neither is
importable, so the calling test fails.
"""
import sys

try:
    from Cryptodome.Hash import keccak
except ImportError:
    from Crypto.Hash import keccak


def main() -> int:
    with open(sys.argv[1], encoding="ascii") as f:
        lines = f.read().split("\n")[:-1]  # every line ends with a newline
    out = []
    for line in lines:
        h = keccak.new(digest_bits=256)
        h.update(bytes.fromhex(line))
        out.append(h.hexdigest())
    with open(sys.argv[2], "w", encoding="ascii") as f:
        f.write("\n".join(out) + "\n")
    return 0


if __name__ == "__main__":
    sys.exit(main())
