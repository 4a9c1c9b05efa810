"""A short end-to-end run: a master seed from a recovery phrase, a child
seed by a hard junction, and a signature with every stateless suite."""

import hashlib

import valtorimesca as v
from valtorimesca import Suite

PHRASE = ("legal winner thank year wave sausage worth useful "
          "legal winner thank yellow")

print("SHRINCS profile:", v.profile_name())
master = v.master_seed_from_mnemonic(PHRASE, password="example")
child = v.derive_hard_junction(master, hashlib.sha256(b"payments").digest())
print("child seed fingerprint:", hashlib.sha256(child).hexdigest()[:16])

for suite in (Suite.ED_ML_44, Suite.ED_FN_512, Suite.SR_ML_44, Suite.SR_FN_512):
    sk, pk = v.keygen_from_seed(suite, child)
    sig = v.sign(suite, sk, b"transfer 10 units", b"example-app")
    ok = v.verify(suite, pk, b"transfer 10 units", b"example-app", sig)
    forged = v.verify(suite, pk, b"transfer 99 units", b"example-app", sig)
    print(f"{suite!r:18} pk {len(pk):5} B  sig {len(sig):5} B  verifies={ok}  altered={forged}")
    assert ok and not forged
