"""Hybrid classical and post-quantum signatures.

Every name the native module `_valtorimesca` lists in its ``__all__`` is
re-exported here unchanged.
"""

import _valtorimesca as _native

__all__ = list(_native.__all__)
globals().update({name: getattr(_native, name) for name in __all__})

del _native
