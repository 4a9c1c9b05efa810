# Shared settings of the project's scripts.
ROOT="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
# The interpreter the scripts install the package into and test with: the
# project's virtual environment .venv (made on first use from Debian's
# interpreter, with its system site so that Debian's pytest, mypy and the
# oracle packages are there), or $VT_PYTHON.
PYTHON="${VT_PYTHON:-$ROOT/.venv/bin/python}"
JOBS="${VT_JOBS:-$(nproc)}"
# Test vectors: the tests read tests/vectors unless $VALTORIMESCA_VECTORS
# names another folder.

# Makes .venv when $PYTHON is the project's and it does not exist yet.
ensure_venv() {
  if [ -z "${VT_PYTHON:-}" ] && [ ! -x "$ROOT/.venv/bin/python" ]; then
    echo "creating the virtual environment .venv (from /usr/bin/python3, with its system site)"
    /usr/bin/python3 -m venv --system-site-packages "$ROOT/.venv"
  fi
}

# Builds the wheel and installs it into $PYTHON's environment (never into the
# system interpreter: pip refuses that there). Extra arguments go to pip.
install_package() {
  ensure_venv
  (cd "$ROOT" && "$PYTHON" -m pip install --quiet --no-build-isolation --no-deps \
     --root-user-action=ignore --force-reinstall "$@" .)
}
