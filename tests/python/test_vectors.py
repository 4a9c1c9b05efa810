"""The known-answer vector folder the tests read."""

import pathlib

import pytest

from conftest import ROOT, load_vectors, vectors_dir


def test_default_is_the_repository_copy(monkeypatch):
    monkeypatch.delenv("VALTORIMESCA_VECTORS", raising=False)
    assert vectors_dir() == ROOT / "tests" / "vectors"
    assert load_vectors("seeded_rng.json")


def test_override_and_missing_file_names_the_folder(monkeypatch, tmp_path):
    monkeypatch.setenv("VALTORIMESCA_VECTORS", str(tmp_path))
    assert vectors_dir() == pathlib.Path(tmp_path)
    with pytest.raises(pytest.fail.Exception, match=str(tmp_path)):
        load_vectors("seeded_rng.json")
