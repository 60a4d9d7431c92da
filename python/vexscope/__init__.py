"""Late-bound access to the vexscope automation server from Python.

    import vexscope
    scope = vexscope.connect("GPIB0::7::INSTR")
    scope.Digitize()
    time, volts = scope.GetWaveformData(1)          # numpy float64 arrays, no copy
    print(scope.Utilities.InstrumentModel, scope.AnalogChannels.Item(2).ProbeAttenuation)

Members are found by name in any letter case. Properties read and write as
attributes; methods (and properties that take arguments) are called; out
parameters come back after the result as a tuple. Failures of the server
raise AutomationError; a misspelt member or wrong arguments raise
AttributeError or TypeError naming the nearest valid names.

A value that cannot go to a member raises, naming the member and the
argument ("Item(): argument 1 (Index): int 9223372036854775808 is out of
range (-2**63 to 2**63-1)", "setting HorizontalRange: ..."):
- OverflowError: an int beyond 64 bits, or beyond what the parameter takes;
- TypeError: a value of a type that does not convert (a dict, an object);
- UnicodeEncodeError (a ValueError): a str holding a lone surrogate outside
  U+DC80..U+DCFF, which stands for no byte.
Ints of 32 bits go in as such, larger ones (to 64 bits) as floats; floats
go in as they are, inf and nan too.

Strings hold bytes, UTF-8 only when their source (an instrument, a file)
was. A str goes in as UTF-8 with "surrogateescape", and text comes out
(results, out parameters, event arguments, error descriptions) decoded the
same way: a byte that is not part of UTF-8 reads as the lone surrogate
U+DC80..U+DCFF of its value and goes back as that byte;
text.encode("utf-8", "surrogateescape") gives the bytes. Such a str prints
only to a stream that escapes or replaces (errors="backslashreplace").
State files are named as os.fsencode spells them.

An object belongs to the thread that created it: a call from another thread
raises AutomationError with status 0x8001010E. The GIL is released while a
member runs.
"""

import collections
import enum
import inspect
import os

from ._config import LIBRARY_DIR, PYTHON_EXECUTABLE, PYTHON_VERSION


def _import_extension():
    # The extension is built for one interpreter, with numpy: under another
    # one (a venv, pyenv) it may not load, or load without numpy. Say which
    # interpreter this is and which one it is built for.
    import sys
    here = "%s (Python %d.%d)" % (sys.executable, sys.version_info[0], sys.version_info[1])
    built = "%s (Python %s)" % (PYTHON_EXECUTABLE, PYTHON_VERSION)
    try:
        import numpy  # noqa: F401
    except ImportError as error:
        raise ImportError("vexscope needs numpy, which %s does not have (%s); the package is built "
                          "for %s: run that interpreter, or install numpy for this one"
                          % (here, error, built)) from error
    try:
        from . import _vexscope as extension
    except ImportError as error:
        raise ImportError("vexscope's extension does not load in %s: it is built for %s (%s); "
                          "run that interpreter, or build the package for this one"
                          % (here, built, error)) from error
    return extension


_vexscope = _import_extension()

__all__ = ["AutomationError", "Control", "Dispatch", "DispatchWithEvents", "Object", "Table", "connect",
           "constants", "DEFAULT_ADDRESS", "SERVER_PROGID", "RPC_E_WRONG_THREAD"]

SERVER_PROGID = "VexR7100X.VexR7100EZ"
CONTROL_PROGID = "Vex9100CtrlLib.VexR7100Scope"
DEFAULT_ADDRESS = "GPIB0::7::INSTR"
RPC_E_WRONG_THREAD = 0x8001010E

# The libraries that serve the classes a connection needs, registered from
# the package's library folder when their ProgID does not resolve.
_SERVER_LIBRARIES = [
    (SERVER_PROGID, "libVex9100TB.so"),
    ("VexIOUtils.InstrumentIO", "libVexIOUtils.so"),
    ("VexSim.Bus", "libVexSimBus.so"),
    (CONTROL_PROGID, "libVex9100.so"),
    ("VexR7100ResLib.VexR7100Resources", "libVex8100ResLib.so"),
]

# Event interfaces whose connection points DispatchWithEvents looks for, by
# event member: the server's log forwarding. Classes registered later add
# theirs here.
EVENT_INTERFACES = {
    "ForwardWriteLog": "{5C1E7A20-9D3B-4E8F-A1B2-3C4D5E6F7101}",
    "SupportMessage": "{6D2F8B30-4C1A-4E7B-9D52-7A1C3E5F9002}",
}

Object = _vexscope.Object


class AutomationError(OSError):
    """A failure reported by an automation object, with its rich error information."""

    def __init__(self, hresult, description, source="", helpfile="", helpcontext=0):
        super().__init__(hresult, description)
        self.hresult = hresult
        self.description = description
        self.source = source
        self.helpfile = helpfile
        self.helpcontext = helpcontext

    def __str__(self):
        return f"0x{self.hresult:08X}: {self.description}"


Table = collections.namedtuple("Table", ["columns", "data"])
Table.__doc__ = ("A table with a header row: the column names and one float64 array of the "
                 "data rows, one column per name.")


def _signature_text(name, kind):
    given = []
    for p in kind["params"]:
        if p["given"]:
            given.append(p["name"] if p["required"] else f"[{p['name']}]")
    back = [p["name"] for p in kind["params"] if p["retval"]]
    back += [p["name"] for p in kind["params"] if p["out"]]
    text = f"{name}({', '.join(given)})"
    if back:
        text += " -> " + (back[0] if len(back) == 1 else "(" + ", ".join(back) + ")")
    return text


def _method(obj, name):
    """A callable for member `name` of `obj`, with its signature for help()."""
    info = obj._describe(name)
    kinds = info["kinds"]
    main = next((k for k in kinds if k["kind"] == "method"), None) or \
        next((k for k in kinds if k["kind"] == "get"), kinds[0])

    def member(*args, **kwargs):
        return obj._call(name, args, kwargs)

    member.__name__ = member.__qualname__ = info["name"]
    params = []
    for p in main["params"]:
        if p["given"]:
            default = inspect.Parameter.empty if p["required"] else None
            params.append(inspect.Parameter(p["name"], inspect.Parameter.POSITIONAL_OR_KEYWORD,
                                            default=default))
    member.__signature__ = inspect.Signature(params)
    member.__doc__ = "\n".join(_signature_text(info["name"], k) + f"  [{k['kind']}]"
                               for k in kinds)
    return member


_vexscope._configure(AutomationError, _method, Table)


def _ensure_registered(prog_id):
    if _vexscope.is_registered(prog_id):
        return
    for needed, library in _SERVER_LIBRARIES:
        path = os.path.join(LIBRARY_DIR, library)
        if not _vexscope.is_registered(needed) and os.path.exists(path):
            _vexscope.register_server(path)


def Dispatch(prog_id):
    """Creates an object of any registered class by its ProgID."""
    if isinstance(prog_id, Object):
        return prog_id
    _ensure_registered(prog_id)
    return _vexscope.create(prog_id)


def connect(address=None):
    """Creates the server's top-level object and connects it to the instrument at
    `address` (default $VEXSCOPE_ADDRESS, else GPIB0::7::INSTR)."""
    address = address or os.environ.get("VEXSCOPE_ADDRESS") or DEFAULT_ADDRESS
    scope = Dispatch(SERVER_PROGID)
    scope.Connect(address)
    return scope


class Control:
    """The scope control, hosted by this script in running mode.

        scope = vexscope.Control(state="scope.json", address="GPIB0::7::INSTR")
        scope.on_support_message = print      # SupportMessage events
        scope.SupportMessageMode = 4
        scope.AutoScale()                     # connects first
        scope.save()

    `state` names a property-bag file (JSON): an existing one is loaded, a
    missing one gives a new control; save() writes the control's whole state
    back (to `state`, or another path). `address`, when given, is set after
    loading. Every other attribute is the control's member.

    A control made with plain Dispatch(CONTROL_PROGID) has no host: it stays
    at design time and never connects by itself (call Initialize first)."""

    def __init__(self, state=None, address=None):
        _ensure_registered(CONTROL_PROGID)
        _ensure_registered(SERVER_PROGID)
        control = _vexscope.host_control(CONTROL_PROGID, os.fspath(state) if state else "")
        self.__dict__.update(_control=control, _state=state, _events=Control._Events(),
                             _cookie=None, on_support_message=None)
        if address:
            control.Address = address

    class _Events:
        # The sink the control holds: it refers to the handler only, never
        # back to the Control, so no reference cycle keeps the control alive.
        def __init__(self):
            self.handler = None

        def SupportMessage(self, message):
            if self.handler is not None:
                self.handler(message)

    def __setattr__(self, name, value):
        if name == "on_support_message":
            self.__dict__[name] = value
            events = self.__dict__["_events"]
            events.handler = value
            if value is not None and self.__dict__["_cookie"] is None:
                self.__dict__["_cookie"] = _vexscope.advise(
                    self.__dict__["_control"], EVENT_INTERFACES["SupportMessage"], events)
            return
        setattr(self.__dict__["_control"], name, value)

    def __getattr__(self, name):
        return getattr(self.__dict__["_control"], name)

    def __dir__(self):
        return sorted(set(dir(self.__dict__["_control"])) | {"save", "on_support_message"})

    @property
    def object(self):
        return self.__dict__["_control"]

    def save(self, path=None):
        """Writes the control's state to `path` (default: the state file given)."""
        path = path or self.__dict__["_state"]
        if not path:
            raise ValueError("no state file: give a path")
        _vexscope.save_control(self.__dict__["_control"], os.fspath(path))

    def close(self):
        """Stops the events."""
        cookie = self.__dict__["_cookie"]
        if cookie is not None:
            _vexscope.unadvise(self.__dict__["_control"], EVENT_INTERFACES["SupportMessage"],
                               cookie)
            self.__dict__["_cookie"] = None

    def __enter__(self):
        return self

    def __exit__(self, *exc):
        """Stops the events and closes the control's connection."""
        self.close()
        self.__dict__["_control"].CloseConnection()
        return False

    def __del__(self):
        try:
            self.close()
        except Exception:
            pass


class WithEvents:
    """An object and the event handler advised on it. Attributes of the handler
    come first; every other attribute is the object's."""

    def __init__(self, obj, handler, cookies):
        self.__dict__.update(_object=obj, _handler=handler, _cookies=cookies)

    def __getattr__(self, name):
        handler = self.__dict__["_handler"]
        try:
            return object.__getattribute__(handler, name)
        except AttributeError:
            return getattr(self.__dict__["_object"], name)

    def __setattr__(self, name, value):
        handler = self.__dict__["_handler"]
        if name in handler.__dict__ or hasattr(type(handler), name):
            setattr(handler, name, value)
        else:
            setattr(self.__dict__["_object"], name, value)

    def __dir__(self):
        return sorted(set(dir(self.__dict__["_object"])) | set(dir(self.__dict__["_handler"])))

    @property
    def object(self):
        return self.__dict__["_object"]

    @property
    def handler(self):
        return self.__dict__["_handler"]

    def close_events(self):
        """Stops the events (also done when the wrapper goes away)."""
        obj = self.__dict__["_object"]
        for iid, cookie in self.__dict__["_cookies"]:
            _vexscope.unadvise(obj, iid, cookie)
        self.__dict__["_cookies"] = []

    def __del__(self):
        try:
            self.close_events()
        except Exception:
            pass


def DispatchWithEvents(prog_id_or_object, handler_class):
    """Creates (or takes) an object and connects an instance of `handler_class`,
    whose methods are named after the events (or "On" and the name)."""
    obj = Dispatch(prog_id_or_object)
    handler = handler_class()
    cookies = []
    for event, iid in EVENT_INTERFACES.items():
        if hasattr(handler, event) or hasattr(handler, "On" + event):
            cookie = _vexscope.advise(obj, iid, handler)
            if cookie is not None:
                cookies.append((iid, cookie))
    if not cookies:
        raise TypeError(f"{obj!r} raises none of the events {handler_class.__name__} handles "
                        f"({', '.join(EVENT_INTERFACES)})")
    return WithEvents(obj, handler, cookies)


class _Constants:
    """Every enumeration constant of the registered type libraries by name, and
    each enumeration as an IntEnum class."""

    def __init__(self):
        self._values = None

    def _load(self):
        if self._values is None:
            values = {}
            for library in _vexscope.type_library_names():
                try:
                    enums = _vexscope.enumerations(library)
                except AutomationError:
                    continue
                for enum_name, members in enums:
                    values[enum_name] = enum.IntEnum(enum_name, members, module=__name__)
                    for constant, value in members:
                        values.setdefault(constant, value)
            self._values = values
            self._lower = {k.lower(): v for k, v in values.items()}
        return self._values

    def __getattr__(self, name):
        if name.startswith("_"):
            raise AttributeError(name)
        values = self._load()
        if name in values:
            return values[name]
        if name.lower() in self._lower:
            return self._lower[name.lower()]
        import difflib
        nearest = difflib.get_close_matches(name, values, 3, 0.6)
        raise AttributeError(f"no constant '{name}'; nearest: {', '.join(nearest)}")

    def __dir__(self):
        return sorted(self._load())


constants = _Constants()
