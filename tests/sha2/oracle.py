#!/usr/bin/python3
"""Python's hashlib and hmac as the oracle of the SHA-2 tests.

Reads a JSON list of requests on stdin and writes the list of hex answers on
stdout. HKDF (RFC 5869) is written here on the hmac module, which the
standard library does not provide."""
import hashlib
import hmac
import json
import sys


def hkdf(name, salt, ikm, info, length):
    prk = hmac.new(salt, ikm, name).digest()
    out, t, i = b"", b"", 1
    while len(out) < length:
        t = hmac.new(prk, t + info + bytes([i]), name).digest()
        out += t
        i += 1
    return out[:length]


def answer(req):
    arg = lambda key: bytes.fromhex(req[key])  # noqa: E731
    op, name = req["op"], req["hash"]
    if op == "hash":
        return hashlib.new(name, arg("msg")).hexdigest()
    if op == "hmac":
        return hmac.new(arg("key"), arg("msg"), name).hexdigest()
    if op == "hkdf":
        return hkdf(name, arg("salt"), arg("ikm"), arg("info"), req["length"]).hex()
    if op == "pbkdf2":
        return hashlib.pbkdf2_hmac(name, arg("password"), arg("salt"), req["rounds"], req["length"]).hex()
    raise ValueError("unknown op " + op)


json.dump([answer(r) for r in json.load(sys.stdin)], sys.stdout)
