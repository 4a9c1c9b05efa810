"""The native module's definition, registration and packaging."""

import importlib
import inspect
import os
import shutil
import subprocess
import sys

import pytest

import _valtorimesca
import valtorimesca


def test_doc_and_file():
    assert _valtorimesca.__doc__.startswith("The `_valtorimesca` native extension module.")
    assert len(_valtorimesca.__doc__.splitlines()) == 3
    assert _valtorimesca.__file__.endswith("_valtorimesca.abi3.so")


def test_all_names_are_attributes_and_unique():
    names = _valtorimesca.__all__
    assert isinstance(names, list)
    assert len(set(names)) == len(names)
    for name in names:
        assert hasattr(_valtorimesca, name)
    assert "secret_key_len" not in names and "public_key_len" not in names


# Every name the module registers, in the order of __all__.
REGISTRATION_ORDER = [
    "Suite",
    "ValtorimescaError", "BadLengthError", "ContextTooLongError", "OutputBufferTooSmallError",
    "BadPathSelectorError", "LeafCountOutOfRangeError", "TrailingBytesError",
    "ComponentFailureError", "BadRotationKindError", "DeltaLengthOutOfRangeError",
    "LeavesExhaustedError", "GrindAbortError", "JournalFailedError", "SigningFailedError",
    "InvalidSuiteError", "WrongEntryPointForSuiteError", "CountersDivergedError",
    "JournalKeyMismatchError", "StatelessBudgetExhaustedError", "BudgetStoreFailedError",
    "StatefulKeyNotCloneableError", "InvalidMnemonicError",
    "keygen_from_seed", "sign", "sign_deterministic", "verify", "profile_name",
    "StatefulSecretKey",
    "keygen_stateful_from_seed", "load_stateful_secret_key", "key_identity",
    "key_identity_from_secret_key", "adopt_key", "stored_public_key_len", "stored_public_key",
    "verify_stateful", "verify_stateless", "verify_with_stored_public_key_stateful",
    "verify_with_stored_public_key_stateless",
    "master_seed_from_mnemonic", "derive_hard_junction", "derive_hard_junction_path",
    "VrfStatelessKey",
    "vrf_proof_len", "vrf_prove", "vrf_prove_deterministic", "vrf_verify", "vrf_make_bytes",
]


def test_registration_positions():
    names = _valtorimesca.__all__
    assert len(REGISTRATION_ORDER) == 49
    # The classes come first and are always all there.
    assert names[:23] == REGISTRATION_ORDER[:23]
    # Whatever else is registered keeps the order of the full table.
    assert [n for n in REGISTRATION_ORDER if n in names] == names
    assert "profile_name" in names
    module_attrs = {n for n in vars(_valtorimesca) if not n.startswith("__")}
    assert module_attrs == set(names)


def test_package_reexports_all_unchanged():
    assert valtorimesca.__all__ == _valtorimesca.__all__
    for name in _valtorimesca.__all__:
        assert getattr(valtorimesca, name) is getattr(_valtorimesca, name)


def test_profile_name():
    assert valtorimesca.profile_name() == "shrincs-256s"
    with pytest.raises(TypeError):
        valtorimesca.profile_name(1)
    assert str(inspect.signature(valtorimesca.profile_name)) == "()"
    assert _valtorimesca.profile_name.__module__ == "_valtorimesca"
    assert _valtorimesca.profile_name.__name__ == "profile_name"
    assert "shrincs-256s" in _valtorimesca.profile_name.__doc__


def test_reimport_builds_fresh_module_and_functions():
    first = sys.modules.pop("_valtorimesca")
    try:
        second = importlib.import_module("_valtorimesca")
        assert second is not first
        assert second.__all__ is not first.__all__
        assert second.__all__ == first.__all__
        assert second.profile_name is not first.profile_name
        assert second.profile_name.__self__ is second
        for name in first.__all__:
            if isinstance(getattr(first, name), type):
                assert getattr(second, name) is getattr(first, name)
        assert second.Suite.from_code(5) is first.Suite.ED_SH
    finally:
        sys.modules["_valtorimesca"] = first


def test_stable_abi_symbols_only():
    nm = shutil.which("nm")
    assert nm, "binutils' nm is required"
    out = subprocess.run([nm, "-D", _valtorimesca.__file__], check=True,
                         capture_output=True, text=True).stdout
    undefined = [line.split()[-1] for line in out.splitlines() if line.split()[-2:-1] == ["U"]]
    private = [s for s in undefined if s.startswith("_Py")]
    assert private == []
    exported = [line.split()[-1] for line in out.splitlines()
                if len(line.split()) == 3 and line.split()[1] in ("T", "D", "B")]
    assert exported == ["PyInit__valtorimesca"]
    # libsodium is the only classical crypto library the module uses.
    openssl = [line for line in out.splitlines()
               if "OPENSSL" in line or line.split()[-1].startswith(("EVP_", "OSSL_", "ERR_", "CRYPTO_"))]
    assert openssl == []
    dynamic = subprocess.run([shutil.which("readelf"), "-d", _valtorimesca.__file__], check=True,
                             capture_output=True, text=True).stdout
    needed = [line.split("[")[1].rstrip("]") for line in dynamic.splitlines() if "(NEEDED)" in line]
    assert not [lib for lib in needed if lib.startswith(("libcrypto", "libssl"))], needed
    # A self-contained build (the default, and the wheel) needs glibc and
    # GCC's unwinder libgcc_s alone; one made with -DVT_STATIC_DEPS=OFF needs
    # libsodium and the C++ runtime beside them, and nothing else.
    platform = {"libc.so.6", "libm.so.6", "libpthread.so.0", "libdl.so.2", "ld-linux-x86-64.so.2", "libgcc_s.so.1"}
    shared = {"libstdc++.so.6"} if any(lib.startswith("libsodium") for lib in needed) else set()
    assert [lib for lib in needed if lib not in platform | shared and not lib.startswith("libsodium")] == [], needed


def test_a_broken_openssl_configuration_changes_nothing(tmp_path):
    # A configuration that demands a provider the machine lacks makes every
    # libcrypto user fail; the module uses none.
    conf = tmp_path / "openssl.cnf"
    conf.write_text("openssl_conf = init\n[init]\nproviders = providers\n"
                    "[providers]\nabsent = absent_provider\n[absent_provider]\nactivate = 1\n")
    code = ("import os, valtorimesca as v\n"
            "for s in (v.Suite.ED_ML_44, v.Suite.SR_FN_512):\n"
            "    sk, pk = v.keygen_from_seed(s, os.urandom(32))\n"
            "    assert v.verify(s, pk, b'm', b'c', v.sign(s, sk, b'm', b'c'))\n"
            "v.derive_hard_junction(v.master_seed_from_mnemonic('legal winner thank year wave sausage worth "
            "useful legal winner thank yellow'), bytes(32))\n")
    subprocess.run([sys.executable, "-c", code], check=True, cwd=tmp_path,
                   env={**os.environ, "OPENSSL_CONF": str(conf)})


def test_every_function_states_its_errors():
    # help() shows the text signature line, then prose with an errors section,
    # except where a function reports no library error.
    no_errors = {"verify", "profile_name", "stored_public_key_len", "export"}
    functions = [getattr(_valtorimesca, n) for n in _valtorimesca.__all__
                 if type(getattr(_valtorimesca, n)).__name__ == "builtin_function_or_method"]
    methods = [getattr(cls, m) for cls in (getattr(_valtorimesca, "StatefulSecretKey", None),)
               if cls is not None for m in ("sign_stateful", "sign_stateless", "export")]
    assert functions
    for f in functions + methods + [_valtorimesca.Suite.from_code]:
        assert f.__text_signature__ is not None, f.__name__
        assert ("\n# Errors\n\n" in f.__doc__) == (f.__name__ not in no_errors), f.__name__


def test_libdecaf_is_linked_in_position_independently():
    # sr25519 verification's libdecaf comes from its static archive: the
    # module needs no libdecaf.so, shows none of its symbols and, its objects
    # being position-independent, carries no text relocations.
    dynamic = subprocess.run([shutil.which("readelf"), "-d", _valtorimesca.__file__], check=True,
                             capture_output=True, text=True).stdout
    assert "libdecaf" not in dynamic
    assert "TEXTREL" not in dynamic
    symbols = subprocess.run([shutil.which("nm"), "-D", _valtorimesca.__file__], check=True,
                             capture_output=True, text=True).stdout
    assert "decaf_" not in symbols
