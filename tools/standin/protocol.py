"""The service side of the agent's protocol: what a request asks for and how
a reply goes out on the wire."""
import socket
from http import HTTPStatus
from http.server import BaseHTTPRequestHandler
from typing import Dict
from urllib.parse import unquote_to_bytes

from consultation import ServiceRequest
from script import LoggedRequest, Reply, StandinState

MAX_REQUEST_BODY = 1 << 20
IDLE_CLIENT_SECONDS = 30


def request_kind(target: str, prefix: str) -> str:
    """login, get or probe for the agent's three requests, other for the rest.

    The agent composes prefix + "?do=login&..." or prefix + "?do=get&...",
    and the bare prefix for the update probe.
    """
    path, has_query, query = target.partition("?")
    if path != prefix:
        return "other"
    if not has_query:
        return "probe"
    action = query.split("&", 1)[0]
    return {"do=login": "login", "do=get": "get"}.get(action, "other")


def query_values(target: str) -> Dict[str, bytes]:
    """The query's values, percent-decoded to bytes; a name given twice keeps
    its last value.

    The request line reaches us decoded as Latin-1, so encoding it back gives
    the bytes as sent: Windows-1251 logins come out right whether the agent
    encoded them or not.
    """
    _, _, query = target.partition("?")
    values = {}
    for pair in query.encode("latin-1").split(b"&"):
        name, _, value = pair.partition(b"=")
        values[unquote_to_bytes(name).decode("latin-1")] = unquote_to_bytes(value)
    return values


def response_bytes(reply: Reply) -> bytes:
    if reply.raw:
        return reply.body
    try:
        reason = HTTPStatus(reply.status).phrase
    except ValueError:
        reason = "Status"
    lines = [f"HTTP/1.0 {reply.status} {reason}"]
    names = {name.lower() for name, _ in reply.headers}
    if "content-type" not in names:
        lines.append("Content-Type: text/plain; charset=windows-1251")
    if reply.length and "content-length" not in names:
        lines.append(f"Content-Length: {len(reply.body)}")
    lines += [f"{name}: {value}" for name, value in reply.headers]
    head = ("\r\n".join(lines) + "\r\n\r\n").encode("latin-1")
    return head + reply.body


class RecordingReader:
    """Wraps the request stream and keeps every byte read through it."""

    def __init__(self, stream):
        self._stream = stream
        self.recorded = bytearray()

    def readline(self, limit=-1):
        line = self._stream.readline(limit)
        self.recorded += line
        return line

    def read(self, size=-1):
        data = self._stream.read(size)
        self.recorded += data
        return data

    def __getattr__(self, name):
        return getattr(self._stream, name)


class ServiceHandler(BaseHTTPRequestHandler):
    """Answers one request per connection from the script in server.state."""
    protocol_version = "HTTP/1.0"
    timeout = IDLE_CLIENT_SECONDS

    def setup(self):
        super().setup()
        self.rfile = RecordingReader(self.rfile)

    def handle(self):
        self.handle_one_request()

    def log_message(self, format, *args):
        pass

    def parse_request(self):
        if super().parse_request():
            return True
        self._log("malformed")  # already answered with a 400 page
        return False

    def _serve(self):
        state: StandinState = self.server.state
        self._read_body()
        kind = request_kind(self.path, self.server.prefix)
        self._log(kind)
        self._send(state, state.next_reply(kind, self._service_request()))
        self.close_connection = True

    def _service_request(self) -> ServiceRequest:
        scheme = "https" if self.server.tls else "http"
        host = self.headers.get("Host") or self.server.name
        return ServiceRequest(path=self.path.partition("?")[0], query=query_values(self.path),
                              base_url=f"{scheme}://{host}")

    def _log(self, kind):
        self.server.state.log_request(
            LoggedRequest(self.server.name, kind, bytes(self.rfile.recorded)))

    def _read_body(self):
        length = self.headers.get("Content-Length", "0")
        if length.isdigit() and 0 < int(length) <= MAX_REQUEST_BODY:
            self.rfile.read(int(length))

    def _send(self, state: StandinState, reply: Reply):
        if reply.hang and not state.wait(reply.hang):
            return
        data = response_bytes(reply)
        if reply.cut is None:
            self.wfile.write(data)
            return
        body_start = len(data) - len(reply.body)
        self.wfile.write(data[:body_start + reply.cut])
        self.wfile.flush()
        if reply.drip:
            self._drip(state, data[body_start + reply.cut:], reply.drip)
            return
        if reply.cut_hang:
            state.wait(reply.cut_hang)
        self._drop_connection()

    def _drip(self, state: StandinState, rest: bytes, seconds: float):
        for at in range(len(rest)):
            if not state.wait(seconds):
                return
            try:
                self.wfile.write(rest[at:at + 1])
                self.wfile.flush()
            except OSError:
                return  # the client gave up

    def _drop_connection(self):
        try:
            self.connection.shutdown(socket.SHUT_RDWR)
        except OSError:
            pass

    # Every method is answered alike: the agent only sends GET, and the log
    # should show whatever else arrives.
    do_GET = do_POST = do_HEAD = do_PUT = do_DELETE = do_OPTIONS = _serve
