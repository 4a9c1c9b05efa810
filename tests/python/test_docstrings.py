"""Every documentation string the module shows to Python, in one table, and
the rules they follow: the text signatures, the sentences that are fixed
word for word, which ones carry an "# Errors" section, and that the copy
and pickle refusals carry no prose. A changed docstring changes this table."""

import _valtorimesca as m

# name: (text signature, documentation string), for the module itself, every
# function, class, exception class, method and property of the module.
DOCS = {
    '_valtorimesca': (None, (
        'The `_valtorimesca` native extension module.\n'
        'The `valtorimesca` Python package (see `python/valtorimesca/__init__`)\n'
        "re-exports this module's contents under a stable, documented name."
    )),
    'Suite': (None, (
        'One of the six hybrid suites `valtorimesca` ships.\n'
        '\n'
        '`ED_ML_44` and `SR_ML_44` pair Ed25519 or sr25519 with ML-DSA-44, `ED_FN_512` and\n'
        '`SR_FN_512` pair them with FN-DSA-512, and `ED_SH` and `SR_SH` pair them with the\n'
        'hash-based SHRINCS. `ED_SH` and `SR_SH` secret keys are a Python type of their own\n'
        '(`StatefulSecretKey`) rather than the `bytes` of the other four suites.\n'
        '\n'
        'Frozen and hashable. Compares equal to its integer suite code. It is not a Python\n'
        '`IntEnum`: construct one from a stored code with `Suite.from_code`.'
    )),
    'Suite.from_code': ('(code)', (
        'Recover a `Suite` from the integer code used on the wire (`1` through `6`).\n'
        '\n'
        '# Errors\n'
        '\n'
        '`InvalidSuiteError` for any other code.'
    )),
    'Suite.__reduce__': ('($self)', (
        'Pickling and copying support: a `Suite` reduces to its qualified name\n'
        'under the class (for example "Suite.ED_SH"), so `pickle` and `copy`\n'
        'give back the one shared object of its code.'
    )),
    'Suite.value': (None, "The integer suite code used on the wire and by the library's own interface."),
    'ValtorimescaError': (None, 'Base class for every exception this module raises.'),
    'BadLengthError': (None, 'A byte string had the wrong length.'),
    'ContextTooLongError': (None, 'The application context exceeded 255 bytes.'),
    'OutputBufferTooSmallError': (None, 'An internal output buffer was too small for this signature.'),
    'BadPathSelectorError': (None, 'A path-selected signature (ED_SH/SR_SH) carried an unknown selector.'),
    'LeafCountOutOfRangeError': (None, "A stateful signature's declared leaf count was out of range."),
    'TrailingBytesError': (None, 'Bytes remained past the length an encoding implied.'),
    'ComponentFailureError': (None, 'A component algorithm (the classical or post-quantum primitive) failed.'),
    'BadRotationKindError': (None, 'A rotation payload carried an unknown rotation kind.'),
    'DeltaLengthOutOfRangeError': (None, "A delta-encoded (ED_FN_512/SR_FN_512) signature's length was out of range."),
    'LeavesExhaustedError': (None, "The key's one-time leaf budget is spent; rotate the key."),
    'GrindAbortError': (None, 'The signature-randomizer grind bound was reached for this key and message.'),
    'JournalFailedError': (None, 'The leaf journal could not durably commit; nothing was spent.'),
    'SigningFailedError': (None, 'Signing failed.'),
    'InvalidSuiteError': (None, 'The suite code or name is not one of the six suites.'),
    'WrongEntryPointForSuiteError': (None, 'This entry point does not accept this suite.'),
    'CountersDivergedError': (None, "The key counter and the leaf journal diverged; this key can sign no more, rotate it. Repairing the counters by hand reissues a spent leaf, which destroys the key's security."),
    'JournalKeyMismatchError': (None, 'This leaf journal does not belong to this key: it has never been bound to any key, or it is bound to a different one. Nothing was spent and the key is intact -- unlike CountersDivergedError, this is not a reason to rotate. Reopen the durable journal that belongs to this key, or, if there genuinely is none, bind one explicitly with adopt_key().'),
    'StatelessBudgetExhaustedError': (None, "The few-time stateless budget for this key's stateless material is spent. Nothing was spent on the refused attempt. This is not the stateful path's leaf budget (LeavesExhaustedError) and it is not a quota to raise: exceeding it degrades the security assumption of the underlying few-time scheme. It clears only when a rotation actually changes the stateless key material."),
    'BudgetStoreFailedError': (None, 'The stateless budget store could not durably record the spend, so no signature was released. Nothing was recorded, so the same unit of budget is still available once the storage fault is repaired.'),
    'StatefulKeyNotCloneableError': (None, 'A stateful (ED_SH/SR_SH) secret key cannot be copied, deep-copied or pickled: doing so would let the same one-time leaf be spent twice.'),
    'InvalidMnemonicError': (None, 'The recovery phrase is not a valid English BIP39 mnemonic: a wrong word count, an unknown word, or a bad checksum. The three are not distinguished, because telling an attacker which part of a guessed phrase was wrong narrows the search.'),
    'keygen_from_seed': ('(suite, seed)', (
        'Derive a keypair for `suite` from a 32-byte master seed.\n'
        'Returns `(secret_key, public_key)` as `bytes`.\n'
        '\n'
        'The returned secret key is a Python `bytes` object, which cannot be\n'
        'wiped; this function wipes its own copies of the seed and of the secret\n'
        'key. Callers who need a secret key wiped on release should use\n'
        '`StatefulSecretKey`.\n'
        '\n'
        '# Errors\n'
        '\n'
        '- `WrongEntryPointForSuiteError`: for `ED_SH` or `SR_SH` (use\n'
        '  `keygen_stateful_from_seed` instead).\n'
        '- `BadLengthError`: if `seed` is not 32 bytes.'
    )),
    'sign': ('(suite, sk, msg, ctx)', (
        'Hedged (randomized) signing for `suite`.\n'
        'Returns the signature as `bytes`.\n'
        '\n'
        '# Errors\n'
        '\n'
        '- `WrongEntryPointForSuiteError`: for `ED_SH` or `SR_SH` (use the\n'
        '  `StatefulSecretKey` methods instead).\n'
        "- `BadLengthError`: if `sk` is not exactly the suite's secret-key length."
    )),
    'sign_deterministic': ('(suite, sk, msg, ctx, nonce)', (
        'Deterministic signing for `suite`. Returns the signature as `bytes`.\n'
        '\n'
        "Not every suite's classical or post-quantum component honours `nonce`;\n"
        'see `valtorimesca::composite::sign_deterministic` for which do.\n'
        '\n'
        '# Errors\n'
        '\n'
        '- `WrongEntryPointForSuiteError`: for `ED_SH` or `SR_SH` (use the\n'
        '  `StatefulSecretKey` methods instead).\n'
        "- `BadLengthError`: if `sk` is not exactly the suite's secret-key length."
    )),
    'verify': ('(suite, pk, msg, ctx, sig)', (
        'Verify `sig` over `msg` under `ctx` for `suite`, against `pk`.\n'
        '\n'
        'Covers all six suites. For `ED_SH` and `SR_SH` it accepts only a\n'
        'signature made by `sign_stateful`, as `verify_stateful` does: the\n'
        'stateless path is reserved for rotation and recovery, and an ordinary\n'
        'message must not verify through it (use `verify_stateless` for a\n'
        'message the application chose to sign on that path).\n'
        '\n'
        'It returns `False`, and never raises, for a malformed `pk` or `sig`: a\n'
        'failed verification is never distinguished by cause.'
    )),
    'profile_name': ('()', (
        'Names the SHRINCS profile this build links against, for example\n'
        '"shrincs-256s".\n'
        '\n'
        'Keys, signatures and verify keys of builds against different profiles\n'
        'are not interchangeable, so the two sides of an integration compare\n'
        'this string before trusting anything on the wire.'
    )),
    'StatefulSecretKey': (None, (
        'A loaded ED_SH or SR_SH secret key.\n'
        '\n'
        'The object holds the imported key, so signing needs no import. It is\n'
        'made only by `keygen_stateful_from_seed` and `load_stateful_secret_key`,\n'
        'which bind it to its leaf journal and keep its journal and budget objects\n'
        "for the object's whole life.\n"
        '\n'
        '`sign_stateful` advances the object in place and records the spent leaf\n'
        'through the bound journal before it returns the signature;\n'
        '`sign_stateless` spends no leaf. After every `sign_stateful` call,\n'
        'including one that raised, persist `export()` before relying on the\n'
        'signature.\n'
        '\n'
        'It cannot be copied or pickled: two copies would spend the same leaf.'
    )),
    'StatefulSecretKey.sign_stateful': ('($self, msg, ctx)', (
        'Sign `msg` under the application context `ctx` on the stateful path,\n'
        "spending the key's next one-time leaf.\n"
        '\n'
        'The journal is asked `bound_key()`, `next_leaf()` twice and then\n'
        '`commit(leaf)`; the leaf is durably committed before the one-time\n'
        'signature exists, and this object advances in place. Returns the\n'
        "signature as `bytes`: 2153 + 32*q bytes, q being the leaf's 1-based\n"
        'number (the journal then counts q spent leaves).\n'
        '\n'
        'After every call, one that raised included, persist `export()` before\n'
        'relying on the signature: a key reloaded from an older blob is refused\n'
        'by its journal rather than reissuing a leaf.\n'
        '\n'
        '# Errors\n'
        '\n'
        '- `ComponentFailureError`: the blob this key was loaded from does not\n'
        "  hold together (its verify key bundle is not its engine key's, or an\n"
        "  `ED_SH` key's Ed25519 seed does not derive the public half stored\n"
        '  after it); the journal is not called and nothing is spent.\n'
        '- `SigningFailedError`: `ctx` is longer than 255 bytes (nothing spent).\n'
        '- `JournalKeyMismatchError`: the journal is not bound to this key.\n'
        "- `CountersDivergedError`: the journal's next leaf is not this key's\n"
        '  spent count; the key can sign no more, rotate it.\n'
        '- `LeavesExhaustedError`: every leaf is spent; rotate the key.\n'
        '- `GrindAbortError`: the randomizer grind bound was reached; the leaf is\n'
        '  spent in the journal and this key can sign no more.\n'
        "- Whatever the journal's methods raise, or the error converting their\n"
        '  answers (TypeError, ValueError, OverflowError), unchanged.\n'
        '- RuntimeError "Already borrowed": the key is in use by another call.\n'
        '- TypeError: `msg` or `ctx` is not bytes or bytearray.'
    )),
    'StatefulSecretKey.sign_stateless': ('($self, msg, ctx)', (
        'Sign `msg` under `ctx` on the few-time stateless path, reserved for rare\n'
        'messages such as rotation and recovery authorizations.\n'
        '\n'
        "Spends one unit of the key's few-time budget through the budget object\n"
        '(`consumed(key)`, then `record(key, count)` before the signature is\n'
        'made); spends no leaf and leaves this object unchanged. Returns the\n'
        'signature as `bytes` (29157 bytes).\n'
        '\n'
        '# Errors\n'
        '\n'
        '- `ComponentFailureError`: the blob this key was loaded from does not\n'
        "  hold together (its verify key bundle is not its engine key's, or an\n"
        "  `ED_SH` key's Ed25519 seed does not derive the public half stored\n"
        '  after it); the budget object is not called and nothing is spent.\n'
        '- `SigningFailedError`: `ctx` is longer than 255 bytes, or the message\n'
        '  cannot be signed on this path (nothing spent).\n'
        '- `StatelessBudgetExhaustedError`: the few-time budget is spent.\n'
        "- Whatever the budget's methods raise, or the error converting their\n"
        '  answers (TypeError, OverflowError), unchanged.\n'
        '- RuntimeError "Already mutably borrowed": a stateful signature of\n'
        '  this key is in progress.\n'
        '- TypeError: `msg` or `ctx` is not bytes or bytearray.'
    )),
    'StatefulSecretKey.export': ('($self)', (
        "The key's current 496-byte export blob: classical secret key, engine\n"
        'key, spent-leaf count and verify key bundle, as\n'
        '`load_stateful_secret_key` reads it back.\n'
        '\n'
        'The returned `bytes` hold the secret key and cannot be wiped; this\n'
        'method wipes its own copy. Persist the blob after every\n'
        '`sign_stateful` call.'
    )),
    'StatefulSecretKey.__copy__': ('($self)', None),
    'StatefulSecretKey.__deepcopy__': ('($self, _memo)', None),
    'StatefulSecretKey.__reduce__': ('($self)', None),
    'StatefulSecretKey.suite': (None, 'The suite this key was created for.'),
    'keygen_stateful_from_seed': ('(suite, seed, max_stateful_signatures, journal, budget)', (
        'Generate an `ED_SH` or `SR_SH` key from a 32-byte master seed with room\n'
        'for `max_stateful_signatures` stateful signatures (1 to 4096), bind\n'
        '`journal` to it and return `(key, public_key)`: a `StatefulSecretKey`\n'
        'and the 196-byte public key as `bytes`.\n'
        '\n'
        "An unbound journal is bound to the new key's identity; one that already\n"
        'carries it is left alone. `budget` is kept by the key object for\n'
        '`sign_stateless`, not called here. The export blob made on the way is\n'
        'wiped.\n'
        '\n'
        'Re-keygen hazard: the same seed gives the same key, starting again at\n'
        'leaf 1. Generate a key once, persist `export()` and its journal, and\n'
        'later reopen them with `load_stateful_secret_key`; never regenerate a\n'
        'used key with a fresh journal.\n'
        '\n'
        '# Errors\n'
        '\n'
        '- `WrongEntryPointForSuiteError`: a stateless suite.\n'
        '- `BadLengthError`: `seed` is not 32 bytes.\n'
        '- `ComponentFailureError`: `max_stateful_signatures` is 0 or above 4096.\n'
        '- `JournalKeyMismatchError`: `journal` is bound to another key.\n'
        "- Whatever the journal's `bound_key` or `bind_key` raises, or the error\n"
        '  converting the `bound_key` answer, unchanged.\n'
        '- OverflowError or TypeError: `max_stateful_signatures` is not an\n'
        '  integer from 0 to 2**32 - 1 (checked before `seed`).'
    )),
    'load_stateful_secret_key': ('(suite, blob, journal, budget)', (
        'Reopen a key from its 496-byte export blob, with the journal that is\n'
        'already bound to it and its budget store. Returns a `StatefulSecretKey`.\n'
        '\n'
        'The blob is validated first (roots and commitment recomputed); only then\n'
        "is the journal asked `bound_key()`, which must answer this key's\n"
        'identity. The journal is never bound here: bind a journal explicitly\n'
        'with `adopt_key` if there genuinely is none. A journal that is this\n'
        "key's own but out of step with the blob is refused at the first\n"
        '`sign_stateful` with `CountersDivergedError`.\n'
        '\n'
        '# Errors\n'
        '\n'
        '- `WrongEntryPointForSuiteError`: a stateless suite.\n'
        '- `BadLengthError`: `blob` is not 496 bytes.\n'
        '- `ComponentFailureError`: `blob` is not a valid key (its engine key\n'
        '  does not validate, or its spent-leaf count disagrees with it); the\n'
        '  journal is not called.\n'
        '- `JournalKeyMismatchError`: `journal` is unbound or bound to another\n'
        '  key.\n'
        "- Whatever the journal's `bound_key` raises, or the error converting\n"
        '  its answer, unchanged.'
    )),
    'key_identity': ('(suite, public_key)', (
        "The 32-byte identity a leaf journal is bound to, from the key's 196-byte\n"
        'public key.\n'
        '\n'
        '# Errors\n'
        '\n'
        '- `WrongEntryPointForSuiteError`: a stateless suite.\n'
        '- `BadLengthError`: `public_key` is not 196 bytes.'
    )),
    'key_identity_from_secret_key': ('(suite, blob)', (
        'The 32-byte journal identity of the key in a 496-byte export blob; the\n'
        'same bytes as `key_identity` of its public key. Validates the blob as\n'
        '`load_stateful_secret_key` does, so it is as costly.\n'
        '\n'
        '# Errors\n'
        '\n'
        '- `WrongEntryPointForSuiteError`: a stateless suite.\n'
        '- `BadLengthError`: `blob` is not 496 bytes.\n'
        '- `ComponentFailureError`: `blob` is not a valid key (its engine key\n'
        '  does not validate, or its spent-leaf count disagrees with it).'
    )),
    'adopt_key': ('(journal, identity)', (
        'Bind `journal` explicitly to the key of the 32-byte `identity`.\n'
        '\n'
        'The journal is asked `bound_key()` once: an unbound journal is then\n'
        'bound with `bind_key(identity)`, one already bound to `identity` is left\n'
        'alone. Binding a fresh journal to a key that has signed before makes the\n'
        "key's next signature refuse with `CountersDivergedError` unless the\n"
        'journal also knows the spent count.\n'
        '\n'
        '# Errors\n'
        '\n'
        '- `BadLengthError`: `identity` is not 32 bytes (the journal is not\n'
        '  called).\n'
        '- `JournalKeyMismatchError`: the journal is bound to another key.\n'
        "- Whatever the journal's `bound_key` or `bind_key` raises, or the error\n"
        '  converting the `bound_key` answer, unchanged; after a failed read\n'
        '  `bind_key` is never called.'
    )),
    'stored_public_key_len': ('(suite)', (
        "Length in bytes of the suite's stored public key: 64 for `ED_SH` and\n"
        "`SR_SH`, the whole public key's length for the other suites. It raises\n"
        'nothing for any `Suite`.'
    )),
    'stored_public_key': ('(suite, public_key)', (
        'The 64-byte stored form of a 196-byte public key: the classical public\n'
        'key and the commitment to the post-quantum verify key. A verifier keeps\n'
        'only this, and the signer supplies the 164-byte verify key bundle (the\n'
        "public key's bytes 32 to 196) with each signature.\n"
        '\n'
        '# Errors\n'
        '\n'
        '- `WrongEntryPointForSuiteError`: a stateless suite.\n'
        '- `BadLengthError`: `public_key` is not 196 bytes.'
    )),
    'verify_stateful': ('(suite, pk, msg, ctx, sig)', (
        'Verify a stateful-path signature (`sign_stateful`) against the whole\n'
        '196-byte public key. A few-time signature answers False.\n'
        '\n'
        '# Errors\n'
        '\n'
        '- `WrongEntryPointForSuiteError`: a stateless suite.\n'
        'Malformed keys and signatures answer False, never raise.'
    )),
    'verify_stateless': ('(suite, pk, msg, ctx, sig)', (
        'Verify a few-time signature (`sign_stateless`) against the whole\n'
        '196-byte public key. A stateful-path signature answers False.\n'
        '\n'
        '# Errors\n'
        '\n'
        '- `WrongEntryPointForSuiteError`: a stateless suite.\n'
        'Malformed keys and signatures answer False, never raise.'
    )),
    'verify_with_stored_public_key_stateful': ('(suite, stored_public_key, pq_verify_key, msg, ctx, sig)', (
        'Verify a stateful-path signature against a 64-byte stored public key\n'
        'and the signer-supplied 164-byte `pq_verify_key`, which must match the\n'
        'stored commitment. The classical key always comes from the stored key.\n'
        '\n'
        '# Errors\n'
        '\n'
        '- `WrongEntryPointForSuiteError`: a stateless suite.\n'
        'Malformed inputs, a verify key of another key and bad signatures answer\n'
        'False, never raise.'
    )),
    'verify_with_stored_public_key_stateless': ('(suite, stored_public_key, pq_verify_key, msg, ctx, sig)', (
        'Verify a few-time signature against a 64-byte stored public key and the\n'
        'signer-supplied 164-byte `pq_verify_key`, which must match the stored\n'
        'commitment.\n'
        '\n'
        '# Errors\n'
        '\n'
        '- `WrongEntryPointForSuiteError`: a stateless suite.\n'
        'Malformed inputs, a verify key of another key and bad signatures answer\n'
        'False, never raise.'
    )),
    'master_seed_from_mnemonic': ('(phrase, password=None)', (
        'Turn an English BIP39 recovery phrase into a master seed.\n'
        '\n'
        'This is not standard BIP-39 seed derivation: PBKDF2-HMAC-SHA512 runs\n'
        "over the mnemonic's entropy, not over the phrase text, salted with\n"
        '"mnemonic" followed by the password, for 2048 iterations, and the\n'
        'first 32 bytes are the master seed. A stock BIP-39 library therefore\n'
        'gives a different seed, and so a different key. `password` is the\n'
        'empty string when None.\n'
        '\n'
        'The returned seed is a Python `bytes` object, which cannot be wiped;\n'
        'this function wipes only its own copy.\n'
        '\n'
        '# Errors\n'
        '\n'
        '- `InvalidMnemonicError`: if `phrase` is not a valid English BIP39\n'
        '  mnemonic (a wrong word count, a word outside the English list or\n'
        '  a bad checksum). The three are not distinguished: telling an\n'
        '  attacker which part of a guessed phrase was wrong narrows the\n'
        '  search.'
    )),
    'derive_hard_junction': ('(parent_master, chain_code)', (
        'Derive a hard-junction child master seed.\n'
        '\n'
        '`[a, b]` in `derive_hard_junction_path` means\n'
        '`derive_hard_junction(derive_hard_junction(parent, a), b)`: the order\n'
        'is part of the derivation.\n'
        '\n'
        'Re-keygen hazard: derivation is deterministic, so the same parent and\n'
        'chain code reach the same child seed, and so the same stateful tree\n'
        'starting at leaf 1, on every host that computes it. Deriving one child\n'
        'on two hosts is the same failure as importing one key twice: both spend\n'
        'leaf 1 and the post-quantum security of that key is gone. Derive a\n'
        'child once, then persist it and restore it through the validating\n'
        'import. A key pool spanning several nodes gives each node its own\n'
        'distinct junction, and one junction is never re-derived on a second\n'
        'host.\n'
        '\n'
        'The returned seed holds secret material and cannot be wiped.\n'
        '\n'
        '# Errors\n'
        '\n'
        '- `BadLengthError`: if `parent_master` or `chain_code` is not 32 bytes.\n'
        '- `ComponentFailureError`: if the key derivation function fails.'
    )),
    'derive_hard_junction_path': ('(parent_master, chain_codes)', (
        'Apply a sequence of chain codes in order, each child becoming the next\n'
        'parent.\n'
        '\n'
        'Every intermediate seed is wiped once the next is derived from it; only\n'
        'the final seed reaches the returned `bytes`.\n'
        '\n'
        '**An empty `chain_codes` returns `parent_master` unchanged**, the\n'
        'identity a path of no junctions should have. That is a trap for a\n'
        'caller building the path from parsed input: a parse that silently\n'
        'yielded no junctions hands back the parent key rather than failing. A\n'
        'caller that requires at least one junction must check for that itself.\n'
        '\n'
        'The re-keygen hazard of `derive_hard_junction` applies to every seed\n'
        'this returns.\n'
        '\n'
        '# Errors\n'
        '\n'
        '- `BadLengthError`: if `parent_master` is not 32 bytes.\n'
        '- `ValueError`: naming the offending index, if any element of\n'
        '  `chain_codes` is not 32 bytes.\n'
        '- `ComponentFailureError`: if the key derivation function fails.'
    )),
    'VrfStatelessKey': (None, (
        'A SHRINCS key dedicated to VRF evaluation, held in memory across calls.\n'
        '\n'
        "`ED_SH` and `SR_SH` prove through their post-quantum half's few-time\n"
        'stateless path, whose budget is shared with rotation and recovery; a key\n'
        'dedicated to VRF use stands apart from the identity key that carries\n'
        'that authority. `derive` derives it from the master seed under a label\n'
        "disjoint from the identity key's, so the two never collide.\n"
        '\n'
        'The key lives only in memory: it cannot be exported and cannot be\n'
        'rebuilt from bytes; `derive` is the only way to get one. Its secrets are\n'
        'wiped when the object is freed.'
    )),
    'VrfStatelessKey.derive': ('($cls, suite, master)', (
        'Derive the dedicated VRF key of `suite` (`ED_SH` or `SR_SH`) from a\n'
        '32-byte master seed. Returns `(key, public_key)`: the new key and its\n'
        '196-byte public key, under which `vrf_verify` checks its proofs.\n'
        '\n'
        'This runs a real SHRINCS key generation, by far the slowest call of\n'
        'the module; the interpreter lock is released while it runs, so other\n'
        'Python threads keep going. The same master seed always gives the same\n'
        'key, and never the identity key `keygen_stateful_from_seed` makes from\n'
        'it.\n'
        '\n'
        '# Errors\n'
        '\n'
        '- `WrongEntryPointForSuiteError` for a suite other than `ED_SH` and\n'
        '  `SR_SH` (before `master` is looked at).\n'
        '- `BadLengthError` if `master` is not 32 bytes.\n'
        '- `ComponentFailureError` if the key derivation fails.'
    )),
    'VrfStatelessKey.prove': ('($self, budget, input)', (
        'Evaluate the VRF on `input` and return the proof as `bytes`, spending\n'
        "one unit of this key's few-time budget from `budget`.\n"
        '\n'
        '`budget` is a durable store: `consumed(key: bytes) -> int | None`\n'
        'answers the count recorded under the 32-byte budget key (None when\n'
        'nothing is), and `record(key: bytes, count: int) -> None` stores the\n'
        'new count and must not return before it is durable; the same contract\n'
        'as `StatefulSecretKey.sign_stateless`. The count is recorded before\n'
        'the proof is made, so a proof lost afterwards still used its unit.\n'
        'Pass the same store on every call for a key: a fresh store restarts\n'
        'the count from empty, and the few-time bound is then never reached.\n'
        '\n'
        '# Errors\n'
        '\n'
        '- `StatelessBudgetExhaustedError` once 1048576 proofs are recorded:\n'
        '  nothing is recorded and no proof is made.\n'
        '- An exception raised by `consumed` or `record` is re-raised\n'
        '  unchanged, and no proof is returned (nothing is recorded after a\n'
        '  failed `consumed`); so is the `TypeError` or `OverflowError` of a\n'
        '  `consumed` answer that is neither None nor an integer from 0 to\n'
        '  2**64 - 1.\n'
        '- `ComponentFailureError` in the (practically impossible) case that the\n'
        '  message the post-quantum half would sign hashes to zero.'
    )),
    'vrf_proof_len': ('(suite)', (
        'Length in bytes of a VRF proof of `suite`: 2500 (`ED_ML_44`), 747\n'
        '(`ED_FN_512`), 2516 (`SR_ML_44`), 763 (`SR_FN_512`), 29172 (`ED_SH`) and\n'
        '29188 (`SR_SH`).\n'
        '\n'
        'The values of `ED_FN_512` and `SR_FN_512` are maxima (their proofs carry\n'
        "a length byte, and a proof of another suite's implementation may be\n"
        'shorter); the other four are exact.\n'
        '\n'
        '# Errors\n'
        '\n'
        'None of its own: only a `suite` that is not a `Suite` raises\n'
        '`TypeError`.'
    )),
    'vrf_prove': ('(suite, secret_key, input)', (
        "Evaluate the hybrid VRF of `suite` on `input` with a stateless suite's\n"
        'secret key and return the proof as `bytes`.\n'
        '\n'
        'The proof is the classical pre-output and proof followed by a\n'
        'post-quantum signature that binds the suite, the input and the\n'
        'pre-output. The sr25519 suites draw a fresh proof nonce from the\n'
        'operating system; everything else in the proof is deterministic. Two\n'
        'evaluations of one input under one key give the same `vrf_make_bytes`\n'
        'result, for every suite, whether they were made by `vrf_prove`,\n'
        '`vrf_prove_deterministic` or (for `ED_SH` and `SR_SH`)\n'
        '`VrfStatelessKey.prove`.\n'
        '\n'
        '`ED_SH` and `SR_SH` prove only through `VrfStatelessKey.prove`, because\n'
        'each of their proofs spends a unit of a few-time budget.\n'
        '\n'
        '# Errors\n'
        '\n'
        '- `WrongEntryPointForSuiteError` for `ED_SH` or `SR_SH`.\n'
        "- `BadLengthError` if `secret_key` is not exactly the suite's secret-key\n"
        '  length (2624 bytes for the ML-DSA-44 suites, 1409 for the FN-DSA-512\n'
        '  suites).\n'
        '- `ComponentFailureError` if a component refuses its half of the key or\n'
        '  fails.'
    )),
    'vrf_prove_deterministic': ('(suite, secret_key, input)', (
        'As `vrf_prove`, with no randomness: the same key and input always give\n'
        'the same proof bytes. For the Ed25519 suites this is the proof\n'
        '`vrf_prove` makes; for the sr25519 suites the proof nonce is derived\n'
        'from the secret key, the suite and the input.\n'
        '\n'
        '# Errors\n'
        '\n'
        '- `WrongEntryPointForSuiteError` for `ED_SH` or `SR_SH` (use\n'
        '  `VrfStatelessKey.prove`).\n'
        "- `BadLengthError` if `secret_key` is not exactly the suite's secret-key\n"
        '  length (2624 or 1409 bytes).\n'
        '- `ComponentFailureError` if a component refuses its half of the key or\n'
        '  fails.'
    )),
    'vrf_verify': ('(suite, public_key, input, proof)', (
        'Verify a VRF `proof` of `input` under `public_key` for any of the six\n'
        'suites (for `ED_SH` and `SR_SH` the 196-byte public key `derive`\n'
        'returns). True only when both the classical and the post-quantum half\n'
        'verify.\n'
        '\n'
        'Returns `False`, never raises, for a malformed `bytes` or `bytearray`\n'
        'key or proof; an argument of another type still raises `TypeError`.\n'
        '\n'
        '# Errors\n'
        '\n'
        'None of its own: a malformed key or proof, a proof of another suite\n'
        'or a failing half answers `False`, never an exception.'
    )),
    'vrf_make_bytes': ('(suite, public_key, input, proof, context)', (
        'Derive 32 output bytes from the pre-output at the start of `proof`.\n'
        '\n'
        'This does not verify the proof: it derives bytes from whatever\n'
        'pre-output it is given. Call `vrf_verify` on the same arguments first\n'
        'and use the bytes only when it returned `True`.\n'
        '\n'
        '`context` separates the uses of one proof: the same proof under\n'
        'b"leadership" and under b"randomness" gives unrelated bytes. Only the\n'
        "first 32 bytes of `public_key` and the proof's header (pre-output and\n"
        'classical proof) are read; longer inputs are accepted.\n'
        '\n'
        '# Errors\n'
        '\n'
        '- `BadLengthError` if `public_key` is shorter than 32 bytes or `proof`\n'
        '  shorter than its header (80 bytes for the Ed25519 suites, 96 for the\n'
        '  sr25519 suites).\n'
        '- `ComponentFailureError` if the classical component refuses the public\n'
        '  key or the pre-output (it does not decode or, for Ed25519, the key is\n'
        '  of small order).'
    )),
}


# The text signatures, as the functions document them.
SIGNATURES = {
    "keygen_from_seed(suite, seed)",
    "sign(suite, sk, msg, ctx)",
    "sign_deterministic(suite, sk, msg, ctx, nonce)",
    "verify(suite, pk, msg, ctx, sig)",
    "profile_name()",
    "keygen_stateful_from_seed(suite, seed, max_stateful_signatures, journal, budget)",
    "load_stateful_secret_key(suite, blob, journal, budget)",
    "adopt_key(journal, identity)",
    "key_identity(suite, public_key)",
    "key_identity_from_secret_key(suite, blob)",
    "stored_public_key(suite, public_key)",
    "stored_public_key_len(suite)",
    "verify_stateful(suite, pk, msg, ctx, sig)",
    "verify_stateless(suite, pk, msg, ctx, sig)",
    "verify_with_stored_public_key_stateful(suite, stored_public_key, pq_verify_key, msg, ctx, sig)",
    "verify_with_stored_public_key_stateless(suite, stored_public_key, pq_verify_key, msg, ctx, sig)",
    "master_seed_from_mnemonic(phrase, password=None)",
    "derive_hard_junction(parent_master, chain_code)",
    "derive_hard_junction_path(parent_master, chain_codes)",
    "vrf_proof_len(suite)",
    "vrf_prove(suite, secret_key, input)",
    "vrf_prove_deterministic(suite, secret_key, input)",
    "vrf_verify(suite, public_key, input, proof)",
    "vrf_make_bytes(suite, public_key, input, proof, context)",
    "from_code(code)",
    "sign_stateful($self, msg, ctx)",
    "sign_stateless($self, msg, ctx)",
    "export($self)",
    "__copy__($self)",
    "__deepcopy__($self, _memo)",
    "__reduce__($self)",
    "derive($cls, suite, master)",
    "prove($self, budget, input)",
}

# Sentences fixed word for word: the text begins with the first, and holds
# every other one.
FIXED = {
    "_valtorimesca": ["The `_valtorimesca` native extension module."],
    "Suite": ["One of the six hybrid suites `valtorimesca` ships.",
              "Frozen and hashable. Compares equal to its integer suite code."],
    "StatefulSecretKey": ["A loaded ED_SH or SR_SH secret key."],
    "StatefulSecretKey.suite": ["The suite this key was created for."],
    "keygen_from_seed": ["Derive a keypair for `suite` from a 32-byte master seed.",
                         "Returns `(secret_key, public_key)` as `bytes`."],
    "sign": ["Hedged (randomized) signing for `suite`."],
    "sign_deterministic": ["Deterministic signing for `suite`. Returns the signature as `bytes`."],
    "verify": ["Verify `sig` over `msg` under `ctx` for `suite`, against `pk`.", "Covers all six suites."],
    "profile_name": ['"shrincs-256s"'],
    "master_seed_from_mnemonic": ["Turn an English BIP39 recovery phrase into a master seed."],
    "derive_hard_junction": ["Derive a hard-junction child master seed."],
    "derive_hard_junction_path": ["Apply a sequence of chain codes in order, each child becoming the next"],
    "ValtorimescaError": ["Base class for every exception this module raises."],
    "BadLengthError": ["A byte string had the wrong length."],
    "SigningFailedError": ["Signing failed."],
    "StatefulKeyNotCloneableError": [
        "A stateful (ED_SH/SR_SH) secret key cannot be copied, deep-copied or pickled: doing so would let "
        "the same one-time leaf be spent twice."],
}

# Functions and methods that report no library error, so carry no "# Errors"
# section (the copy and pickle refusals carry no prose at all).
NO_ERRORS = {"verify", "profile_name", "stored_public_key_len", "StatefulSecretKey.export",
             "Suite.__reduce__"}
NO_PROSE = {"StatefulSecretKey.__copy__", "StatefulSecretKey.__deepcopy__", "StatefulSecretKey.__reduce__"}

DESCRIPTORS = ("method_descriptor", "classmethod_descriptor", "getset_descriptor", "builtin_function_or_method",
               "staticmethod")


def shown():
    """Every documented name the module shows, as (name, text signature, doc)."""
    yield "_valtorimesca", None, m.__doc__
    for name in m.__all__:
        obj = getattr(m, name)
        if not isinstance(obj, type):
            yield name, obj.__text_signature__, obj.__doc__
            continue
        yield name, None, obj.__doc__
        if issubclass(obj, BaseException):
            continue
        for member, raw in vars(obj).items():
            if type(raw).__name__ not in DESCRIPTORS or member == "__new__":
                continue
            o = getattr(obj, member) if isinstance(raw, staticmethod) else raw
            yield f"{name}.{member}", getattr(o, "__text_signature__", None), o.__doc__


def test_every_docstring_is_the_one_in_the_table():
    seen = {name: (sig, doc) for name, sig, doc in shown()}
    assert sorted(seen) == sorted(DOCS)
    for name, (sig, doc) in DOCS.items():
        assert seen[name] == (sig, doc), name


def test_the_table_follows_the_rules():
    exception_names = {n for n in m.__all__ if isinstance(getattr(m, n), type)
                       and issubclass(getattr(m, n), BaseException)}
    assert len(exception_names) == 22
    signed = set()
    for name, (sig, doc) in DOCS.items():
        short = name.rsplit(".", 1)[-1]
        callable_ = sig is not None
        if callable_:
            signed.add(short + sig)
        for i, sentence in enumerate(FIXED.get(name, [])):
            assert sentence in doc, (name, sentence)
            if i == 0 and name != "profile_name":
                assert doc.startswith(sentence), name
        if name in NO_PROSE:
            assert doc is None, name
            continue
        assert doc, name
        has_errors = "# Errors" in doc
        if callable_ and name not in NO_ERRORS:
            assert has_errors, name
        if not callable_ or name in NO_ERRORS:
            assert not has_errors, name
    assert signed == SIGNATURES
    # Properties are described in one line.
    assert "\n" not in DOCS["Suite.value"][1] and "\n" not in DOCS["StatefulSecretKey.suite"][1]
