"""Hybrid classical and post-quantum signatures.

Every name the native module `_valtorimesca` lists in its ``__all__`` is
re-exported here unchanged; the types of all of them are in ``__init__.pyi``.
"""

# The package's version, written only here (the build reads it for the
# wheel's metadata).
__version__ = "0.1.0"

from _valtorimesca import *  # noqa: F401,F403  (exactly the names of its __all__)
from _valtorimesca import __all__ as _native_all

__all__ = list(_native_all)

del _native_all
