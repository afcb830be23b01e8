"""The control interface: tests script the replies and read the log over
plain HTTP. The routes are described at the top of service.py."""
import re
from http.server import BaseHTTPRequestHandler
from urllib.parse import parse_qs, urlsplit

from script import KINDS, Reply, StandinState

MAX_CONTROL_BODY = 16 << 20
LOG_ENTRY = re.compile(r"/control/log/(\d+)")


class ControlError(Exception):
    def __init__(self, status: int, message: str):
        super().__init__(message)
        self.status = status


def _single(params, name, convert, default):
    values = params.get(name)
    if not values:
        return default
    try:
        return convert(values[-1])
    except ValueError:
        raise ControlError(400, f"bad value for {name}: {values[-1]!r}")


def _flag(text: str) -> bool:
    if text not in ("0", "1"):
        raise ValueError(text)
    return text == "1"


def _header(text: str):
    name, colon, value = text.partition(":")
    if not colon or not name.strip():
        raise ControlError(400, f"header wants 'Name: value', got {text!r}")
    return name.strip(), value.strip()


def reply_kind(params) -> str:
    kind = _single(params, "kind", str, "")
    if kind not in KINDS:
        raise ControlError(400, f"kind must be one of {', '.join(KINDS)}")
    return kind


def reply_from(params, body: bytes) -> Reply:
    reply = Reply(
        status=_single(params, "status", int, 200),
        body=body,
        headers=[_header(text) for text in params.get("header", [])],
        hang=_single(params, "hang", float, 0.0),
        cut=_single(params, "cut", int, None),
        cut_hang=_single(params, "cut_hang", float, 0.0),
        raw=_single(params, "raw", _flag, False),
        length=_single(params, "length", _flag, True),
    )
    if reply.cut is not None and not 0 <= reply.cut <= len(body):
        raise ControlError(400, "cut must lie within the body")
    return reply


class ControlHandler(BaseHTTPRequestHandler):
    protocol_version = "HTTP/1.0"
    timeout = 30

    def log_message(self, format, *args):
        pass

    def do_GET(self):
        self._dispatch(self._get)

    def do_POST(self):
        self._dispatch(self._post)

    def _dispatch(self, route):
        url = urlsplit(self.path)
        params = parse_qs(url.query, keep_blank_values=True, encoding="latin-1")
        try:
            status, body, headers = route(url.path, params)
        except ControlError as error:
            status, body, headers = error.status, f"{error}\n".encode(), {}
        self.send_response(status)
        for name, value in headers.items():
            self.send_header(name, value)
        self.send_header("Content-Type", "application/octet-stream")
        self.send_header("Content-Length", str(len(body)))
        self.end_headers()
        self.wfile.write(body)

    def _get(self, path, params):
        state: StandinState = self.server.state
        if path == "/control/ping":
            return 200, b"ok", {}
        if path == "/control/log":
            return 200, str(state.log_size()).encode(), {}
        if path == "/control/connections":
            endpoint = _single(params, "endpoint", str, "")
            return 200, str(state.connections(endpoint)).encode(), {}
        entry_match = LOG_ENTRY.fullmatch(path)
        if entry_match:
            entry = state.logged(int(entry_match.group(1)))
            if entry is None:
                raise ControlError(404, "no such log entry")
            return 200, entry.raw, {"X-Standin-Endpoint": entry.endpoint,
                                    "X-Standin-Kind": entry.kind}
        raise ControlError(404, f"no GET route {path}")

    def _post(self, path, params):
        state: StandinState = self.server.state
        body = self._read_body()
        if path == "/control/reset":
            state.reset()
        elif path == "/control/reply":
            state.queue_reply(reply_kind(params), reply_from(params, body))
        elif path == "/control/default":
            state.set_default(reply_kind(params), reply_from(params, body))
        else:
            raise ControlError(404, f"no POST route {path}")
        return 200, b"ok", {}

    def _read_body(self) -> bytes:
        length = self.headers.get("Content-Length", "0")
        if not length.isdigit() or int(length) > MAX_CONTROL_BODY:
            raise ControlError(400, "Content-Length missing or too large")
        return self.rfile.read(int(length))
