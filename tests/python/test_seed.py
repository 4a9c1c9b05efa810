"""Master seeds from recovery phrases and hard junctions."""

import inspect

import pytest

import valtorimesca as v

P = bytes(range(32))
A = bytes([1]) * 32
B = bytes([2]) * 32
C = bytes([3]) * 32
PHRASE = " ".join(["abandon"] * 11 + ["about"])


def test_mnemonic_password_forms():
    none = v.master_seed_from_mnemonic(PHRASE)
    assert len(none) == 32 and type(none) is bytes
    assert v.master_seed_from_mnemonic(PHRASE, None) == none
    assert v.master_seed_from_mnemonic(PHRASE, "") == none
    assert v.master_seed_from_mnemonic(phrase=PHRASE, password="") == none
    assert v.master_seed_from_mnemonic(PHRASE, " ") != none


@pytest.mark.parametrize("phrase", [
    PHRASE + " abandon",                       # 13 words
    " ".join(["abandon"] * 12),                # bad checksum
    " ".join(["abandon"] * 11 + ["aboutt"]),   # unknown word
    "",
])
def test_invalid_phrases_share_one_error(phrase):
    with pytest.raises(v.InvalidMnemonicError) as e:
        v.master_seed_from_mnemonic(phrase)
    assert str(e.value) == "not a valid English BIP39 mnemonic phrase"


def test_text_arguments_must_be_str():
    with pytest.raises(TypeError, match="str"):
        v.master_seed_from_mnemonic(PHRASE.encode())
    with pytest.raises(TypeError, match="str"):
        v.master_seed_from_mnemonic(PHRASE, b"pw")
    with pytest.raises(UnicodeEncodeError):
        v.master_seed_from_mnemonic("\ud800")


def test_junctions_compose_in_order():
    ab = v.derive_hard_junction(v.derive_hard_junction(P, A), B)
    assert v.derive_hard_junction_path(P, [A, B]) == ab
    assert v.derive_hard_junction_path(P, (A, bytearray(B))) == ab
    assert v.derive_hard_junction_path(P, (x for x in [A, B])) == ab
    assert v.derive_hard_junction_path(P, [B, A]) != ab
    assert v.derive_hard_junction_path(P, []) == P
    assert v.derive_hard_junction_path(P, iter(())) == P
    assert v.derive_hard_junction(P, A) != P


def test_junction_length_checks_come_first():
    with pytest.raises(v.BadLengthError):
        v.derive_hard_junction(P[:31], "not bytes")
    with pytest.raises(v.BadLengthError):
        v.derive_hard_junction(P, A + b"\0")
    with pytest.raises(v.BadLengthError):
        v.derive_hard_junction_path(P[:31], 5)
    with pytest.raises(TypeError):
        v.derive_hard_junction_path(P, 5)
    with pytest.raises(TypeError) as e:
        v.derive_hard_junction_path(P, A)
    assert str(e.value) == "expected bytes or bytearray, got an object of a different type"


def test_bad_chain_code_names_its_index_and_stops_iteration():
    taken = []

    def gen():
        for item in [A, bytes(31), C]:
            taken.append(item)
            yield item

    with pytest.raises(ValueError) as e:
        v.derive_hard_junction_path(P, gen())
    assert str(e.value) == "chain code at index 1 must be 32 bytes, got 31"
    assert len(taken) == 2

    def failing():
        yield A
        raise KeyError("boom")

    with pytest.raises(KeyError):
        v.derive_hard_junction_path(P, failing())


def test_seed_function_signatures():
    assert str(inspect.signature(v.master_seed_from_mnemonic)) == "(phrase, password=None)"
    assert str(inspect.signature(v.derive_hard_junction)) == "(parent_master, chain_code)"
    assert str(inspect.signature(v.derive_hard_junction_path)) == "(parent_master, chain_codes)"
    assert v.master_seed_from_mnemonic.__doc__.startswith(
        "Turn an English BIP39 recovery phrase into a master seed.")
    assert v.derive_hard_junction.__doc__.startswith("Derive a hard-junction child master seed.")
    assert v.derive_hard_junction_path.__doc__.startswith(
        "Apply a sequence of chain codes in order, each child becoming the next")
