"""In-memory leaf journal and budget store that record every call made on
them, with answers that a test can replace call by call."""

DEFAULT = object()


class Scripted:
    """Keeps a log of calls; `script[name]` is a list of actions used one per
    call (then the normal behaviour): an exception instance is raised, a
    callable is called and its result answered, anything else is answered
    as it stands."""

    def __init__(self):
        self.calls = []
        self.script = {}

    def _act(self, name, args, normal):
        self.calls.append((name, *args))
        actions = self.script.get(name)
        if actions:
            action = actions.pop(0)
            if isinstance(action, BaseException):
                raise action
            if callable(action):
                return action()
            if action is not DEFAULT:
                return action
        return normal()

    def names(self):
        return [c[0] for c in self.calls]


class Journal(Scripted):
    def __init__(self, bound=None, leaf=0):
        super().__init__()
        self.bound = bound
        self.leaf = leaf
        self.committed = []

    def bound_key(self):
        return self._act("bound_key", (), lambda: self.bound)

    def bind_key(self, identity):
        def bind():
            self.bound = identity
        return self._act("bind_key", (identity,), bind)

    def next_leaf(self):
        return self._act("next_leaf", (), lambda: self.leaf)

    def commit(self, leaf):
        def record():
            self.committed.append(leaf)
            self.leaf = leaf + 1
        return self._act("commit", (leaf,), record)


class Budget(Scripted):
    def __init__(self):
        super().__init__()
        self.counts = {}

    def consumed(self, key):
        return self._act("consumed", (key,), lambda: self.counts.get(key))

    def record(self, key, count):
        def store():
            self.counts[key] = count
        return self._act("record", (key, count), store)
