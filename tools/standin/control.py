"""The control interface: tests and the demo script the replies, read the
log and steer the consultation over plain HTTP. The routes are described at
the top of service.py."""
import re
from http.server import BaseHTTPRequestHandler
from urllib.parse import parse_qs, urlsplit

import consultation_routes
from params import ControlError, flag, header, single
from script import KINDS, Reply, StandinState

MAX_CONTROL_BODY = 16 << 20
LOG_ENTRY = re.compile(r"/control/log/(\d+)")


def reply_kind(params) -> str:
    kind = single(params, "kind", str, "")
    if kind not in KINDS:
        raise ControlError(400, f"kind must be one of {', '.join(KINDS)}")
    return kind


def reply_from(params, body: bytes) -> Reply:
    reply = Reply(
        status=single(params, "status", int, 200),
        body=body,
        headers=[header(text) for text in params.get("header", [])],
        hang=single(params, "hang", float, 0.0),
        cut=single(params, "cut", int, None),
        cut_hang=single(params, "cut_hang", float, 0.0),
        drip=single(params, "drip", float, 0.0),
        raw=single(params, "raw", flag, False),
        length=single(params, "length", flag, True),
    )
    if reply.cut is not None and not 0 <= reply.cut <= len(body):
        raise ControlError(400, "cut must lie within the body")
    return reply


# Script and log routes, called like those of consultation_routes.
def _ping(server, params, body):
    return b"ok"


def _log_size(server, params, body):
    return str(server.state.log_size()).encode()


def _connections(server, params, body):
    return str(server.state.connections(single(params, "endpoint", str, ""))).encode()


def _reset(server, params, body):
    server.state.reset()
    if server.service_switch is not None:
        failure = server.service_switch.come_back()
        if failure:
            raise ControlError(500, failure)
    return b"ok"


def _queue(server, params, body):
    server.state.queue_reply(reply_kind(params), reply_from(params, body))
    return b"ok"


def _default(server, params, body):
    server.state.set_default(reply_kind(params), reply_from(params, body))
    return b"ok"


GET_ROUTES = {"/control/ping": _ping, "/control/log": _log_size,
              "/control/connections": _connections, **consultation_routes.GET_ROUTES}
POST_ROUTES = {"/control/reset": _reset, "/control/reply": _queue,
               "/control/default": _default, **consultation_routes.POST_ROUTES}


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
        entry_match = LOG_ENTRY.fullmatch(path)
        if entry_match:
            return self._log_entry(int(entry_match.group(1)))
        if path not in GET_ROUTES:
            raise ControlError(404, f"no GET route {path}")
        return 200, GET_ROUTES[path](self.server, params, b""), {}

    def _log_entry(self, index):
        state: StandinState = self.server.state
        entry = state.logged(index)
        if entry is None:
            raise ControlError(404, "no such log entry")
        return 200, entry.raw, {"X-Standin-Endpoint": entry.endpoint,
                                "X-Standin-Kind": entry.kind}

    def _post(self, path, params):
        body = self._read_body()
        if path not in POST_ROUTES:
            raise ControlError(404, f"no POST route {path}")
        return 200, POST_ROUTES[path](self.server, params, body), {}

    def _read_body(self) -> bytes:
        length = self.headers.get("Content-Length", "0")
        if not length.isdigit() or int(length) > MAX_CONTROL_BODY:
            raise ControlError(400, "Content-Length missing or too large")
        return self.rfile.read(int(length))
