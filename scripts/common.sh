# Shared settings of the project's scripts.
ROOT="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
# Debian's interpreter: the one python3-pytest and the system packages serve.
PYTHON=/usr/bin/python3
JOBS="${VT_JOBS:-$(nproc)}"
export VALTORIMESCA_VECTORS="${VALTORIMESCA_VECTORS:-$ROOT/../shared/vectors}"

install_package() {
  (cd "$ROOT" && "$PYTHON" -m pip install --quiet --no-build-isolation \
     --break-system-packages --root-user-action=ignore --no-deps --force-reinstall .)
}
