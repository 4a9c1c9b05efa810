#!/usr/bin/python3
"""Independent reference for the seed tests.

Reads a JSON list of requests on stdin and writes a JSON list of answers.
HMAC is built here from hashlib's SHA-256/SHA-512 (ipad/opad by hand), so
HKDF and PBKDF2 do not go through the HMAC code the library uses; BIP-39
phrase handling comes from python3-mnemonic.
"""
import hashlib
import json
import sys

from mnemonic import Mnemonic

ENGLISH = Mnemonic("english")


def hmac(hash_name, key, msg):
    h = getattr(hashlib, hash_name)
    block = h().block_size
    if len(key) > block:
        key = h(key).digest()
    key = key.ljust(block, b"\0")
    inner = h(bytes(b ^ 0x36 for b in key) + msg).digest()
    return h(bytes(b ^ 0x5C for b in key) + inner).digest()


def hkdf_sha256(ikm, salt, info, length):
    prk = hmac("sha256", salt, ikm)
    out, t, i = b"", b"", 1
    while len(out) < length:
        t = hmac("sha256", prk, t + info + bytes([i]))
        out += t
        i += 1
    return out[:length]


def pbkdf2_sha512_block(password, salt, rounds):
    u = hmac("sha512", password, salt + b"\0\0\0\1")
    t = bytearray(u)
    for _ in range(rounds - 1):
        u = hmac("sha512", password, u)
        for i in range(64):
            t[i] ^= u[i]
    t = bytes(t)
    assert t == hashlib.pbkdf2_hmac("sha512", password, salt, rounds, 64)
    return t


def answer(req):
    op = req["op"]
    if op == "hkdf":
        return hkdf_sha256(bytes.fromhex(req["ikm"]), bytes.fromhex(req["salt"]),
                           bytes.fromhex(req["info"]), req["length"]).hex()
    if op == "to_mnemonic":
        return ENGLISH.to_mnemonic(bytes.fromhex(req["entropy"]))
    if op == "to_entropy":
        return bytes(ENGLISH.to_entropy(req["phrase"])).hex()
    if op == "check":
        return ENGLISH.check(req["phrase"])
    if op == "master_seed":
        entropy = bytes(ENGLISH.to_entropy(req["phrase"]))
        salt = b"mnemonic" + req["password"].encode("utf-8")
        return pbkdf2_sha512_block(entropy, salt, 2048)[:32].hex()
    if op == "standard_seed":
        return Mnemonic.to_seed(req["phrase"], req["password"]).hex()
    raise ValueError("unknown op " + op)


def main():
    requests = json.load(sys.stdin)
    json.dump([answer(r) for r in requests], sys.stdout)


if __name__ == "__main__":
    main()
