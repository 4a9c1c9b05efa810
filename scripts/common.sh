# Shared settings of the project's scripts.
ROOT="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
# Debian's interpreter (the one python3-pytest and the system packages serve),
# or $VT_PYTHON, e.g. a virtual environment made with --system-site-packages.
PYTHON="${VT_PYTHON:-/usr/bin/python3}"
JOBS="${VT_JOBS:-$(nproc)}"
# Test vectors: the tests read tests/vectors unless $VALTORIMESCA_VECTORS
# names another folder.

install_package() {
  (cd "$ROOT" && "$PYTHON" -m pip install --quiet --no-build-isolation \
     --break-system-packages --root-user-action=ignore --no-deps --force-reinstall .)
}
