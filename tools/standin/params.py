"""Reading the control interface's query parameters. The query is decoded as
Latin-1, so a value's bytes are value.encode("latin-1"): Windows-1251 logins
arrive percent-encoded and come out as the bytes the agent sends."""
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


def read_file(path: Optional[bytes]) -> Optional[bytes]:
    """The file's bytes, None when no path is given."""
    if path is None:
        return None
    try:
        with open(path, "rb") as source:
            return source.read()
    except OSError as error:
        raise ControlError(400, f"cannot read {path.decode('latin-1')}: {error.strerror or error}")
