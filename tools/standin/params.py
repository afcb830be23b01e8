"""Reading the control interface's query parameters. The query is decoded as
Latin-1, so a value's bytes are value.encode("latin-1"): Windows-1251 logins
arrive percent-encoded and come out as the bytes the agent sends."""
import os
from typing import Optional


class ControlError(Exception):
    def __init__(self, status: int, message: str):
        super().__init__(message)
        self.status = status


def single(params, name, convert, default):
    values = params.get(name)
    if not values:
        return default
    try:
        return convert(values[-1])
    except ValueError:
        raise ControlError(400, f"bad value for {name}: {values[-1]!r}")


def flag(text: str) -> bool:
    if text not in ("0", "1"):
        raise ValueError(text)
    return text == "1"


def header(text: str):
    name, colon, value = text.partition(":")
    if not colon or not name.strip():
        raise ControlError(400, f"header wants 'Name: value', got {text!r}")
    return name.strip(), value.strip()


def raw_bytes(text: str) -> bytes:
    return text.encode("latin-1")


def required(params, name, convert=raw_bytes):
    value = single(params, name, convert, None)
    if value is None:
        raise ControlError(400, f"{name} is required")
    return value


def count(text: str) -> int:
    value = int(text)
    if value < 0:
        raise ValueError(text)
    return value


def read_file(path: Optional[bytes], folder: Optional[str]) -> Optional[bytes]:
    """The bytes of the file at path (relative to folder, or absolute), None
    when no path is given. Only files inside folder are served: a control
    request must not make the service hand out any file the tests can read."""
    if path is None:
        return None
    if folder is None:
        raise ControlError(403, "this stand-in serves no files (it was started without --files)")
    root = os.path.realpath(folder)
    full = os.path.realpath(os.path.join(root, os.fsdecode(path)))
    if os.path.commonpath([root, full]) != root or full == root:
        raise ControlError(403, f"{os.fsdecode(path)!r} is outside the stand-in's folder {root}")
    try:
        with open(full, "rb") as source:
            return source.read()
    except OSError as error:
        raise ControlError(400, f"cannot read {os.fsdecode(path)!r}: {error.strerror or error}")
