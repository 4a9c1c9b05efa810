"""The installed package: its type stub against the native module, its
metadata, and what the type checkers see."""

import ast
import importlib.metadata
import importlib.util
import inspect
import pathlib

import pytest

import _valtorimesca
import valtorimesca

ROOT = pathlib.Path(__file__).resolve().parents[2]
PACKAGE = pathlib.Path(valtorimesca.__file__).parent
STUB = ast.parse((PACKAGE / "__init__.pyi").read_text())


def stub_all():
    for node in STUB.body:
        if isinstance(node, ast.Assign) and node.targets[0].id == "__all__":
            return [elt.value for elt in node.value.elts]
    raise AssertionError("the stub has no __all__")


def stub_parameters(node):
    names = [a.arg for a in node.args.args + node.args.kwonlyargs]
    return names[1:] if names and names[0] in ("self", "cls") else names


def stub_definitions():
    """name -> parameter names for functions, name -> {method: parameter names} for classes."""
    found = {}
    for node in STUB.body:
        if isinstance(node, ast.FunctionDef):
            found[node.name] = stub_parameters(node)
        elif isinstance(node, ast.ClassDef):
            found[node.name] = {n.name: stub_parameters(n) for n in node.body if isinstance(n, ast.FunctionDef)}
    return found


def test_stub_and_marker_are_installed():
    assert (PACKAGE / "py.typed").is_file()
    names = stub_all()
    assert len(names) == 49 and len(set(names)) == 49
    assert set(names) <= set(stub_definitions())
    # The native module's names stand in the stub in the same order.
    native = list(_valtorimesca.__all__)
    assert [n for n in names if n in native] == native


def runtime_parameters(obj):
    return [p for p in inspect.signature(obj).parameters if p not in ("self", "cls", "$self", "$cls")]


def test_stub_parameters_are_the_native_ones():
    stub = stub_definitions()
    for name in _valtorimesca.__all__:
        obj = getattr(_valtorimesca, name)
        if isinstance(obj, type):
            if issubclass(obj, BaseException):
                continue
            for member, params in stub[name].items():
                if member.startswith("__") and member != "__deepcopy__":
                    continue  # interpreter slots
                attr = inspect.getattr_static(obj, member, None)
                if callable(attr) or isinstance(attr, (staticmethod, classmethod)):
                    method = getattr(obj, member)
                    if getattr(method, "__text_signature__", None):
                        assert runtime_parameters(method) == params, (name, member)
        else:
            assert runtime_parameters(obj) == stub[name], name


def test_metadata_matches_pyproject():
    tomllib = pytest.importorskip("tomllib")
    project = tomllib.loads((ROOT / "pyproject.toml").read_text())["project"]
    meta = importlib.metadata.metadata("valtorimesca")
    # The version is written once, as the package's __version__.
    assert project["dynamic"] == ["version"] and "version" not in project
    assert meta["Name"] == project["name"] and meta["Version"] == valtorimesca.__version__
    assert meta["Summary"] == project["description"]
    assert meta["License"] == project["license"]["text"] == "Apache-2.0"
    assert meta["Requires-Python"] == project["requires-python"]
    assert meta.get_all("Classifier") == project["classifiers"]
    assert meta.get_payload().strip() == (ROOT / project["readme"]).read_text().strip()
    assert "Apache License" in (ROOT / "LICENSE").read_text()


def test_readme_example_runs():
    readme = (ROOT / "README.md").read_text()
    code = readme.split("```python\n", 1)[1].split("```", 1)[0]
    exec(compile(code, "README.md", "exec"), {})


@pytest.mark.skipif(importlib.util.find_spec("mypy") is None, reason="mypy is not installed")
def test_mypy_sees_the_typed_interface(tmp_path):
    from mypy import api
    files = [str(ROOT / "python" / "example.py"), str(ROOT / "tests" / "typing" / "usage.py")]
    out, err, status = api.run(["--strict", "--no-incremental", "--cache-dir", str(tmp_path), *files])
    assert status == 0, out + err
    bad = tmp_path / "bad.py"
    bad.write_text("import valtorimesca\nvaltorimesca.sign(1, 'sk', b'', b'')\n")
    out, _, status = api.run(["--no-incremental", "--cache-dir", str(tmp_path), str(bad)])
    assert status == 1
    assert 'Argument 1 to "sign" has incompatible type "int"; expected "Suite"' in out
    assert 'Argument 2 to "sign" has incompatible type "str"' in out
