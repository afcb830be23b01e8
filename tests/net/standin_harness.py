"""The stand-in service in the test process, on ephemeral loopback ports: one
plain service endpoint and the control endpoint over one state."""
import http.client
import os
import socket
import sys

STANDIN_DIR = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..", "tools",
                           "standin")
sys.path.insert(0, STANDIN_DIR)

from control import ControlHandler  # noqa: E402
from endpoints import Endpoint, ServiceSwitch  # noqa: E402
from protocol import ServiceHandler  # noqa: E402
from script import StandinState  # noqa: E402

PREFIX = "/newmessages"


def exchange(port, raw_request: bytes) -> bytes:
    """Sends raw bytes, returns everything received until the server closes."""
    with socket.create_connection(("127.0.0.1", port), timeout=10) as connection:
        connection.sendall(raw_request)
        received = b""
        while chunk := connection.recv(65536):
            received += chunk
        return received


def split_response(raw: bytes):
    """(HTTP status, head, body) of a whole response."""
    head, _, body = raw.partition(b"\r\n\r\n")
    return int(head.split(b" ", 2)[1]), head, body


class RunningStandin:
    """files_dir: the folder downloads may be served from (none: no file=)."""
    def __init__(self, demo=False, files_dir=None):
        self.state = StandinState(demo=demo, files_dir=files_dir)
        self.service = Endpoint(("127.0.0.1", 0), ServiceHandler, self.state, prefix=PREFIX)
        self.control = Endpoint(("127.0.0.1", 0), ControlHandler, self.state)
        self.control.service_switch = ServiceSwitch([self.service])
        for endpoint in (self.service, self.control):
            endpoint.run_in_background()

    def stop(self):
        self.state.release_all()
        for endpoint in (self.service, self.control):
            endpoint.shutdown()
            endpoint.server_close()

    @property
    def service_port(self):
        return self.service.server_address[1]

    @property
    def control_port(self):
        return self.control.server_address[1]

    def call_control(self, method, target, body=b""):
        """(status, body, headers) of one control request."""
        connection = http.client.HTTPConnection("127.0.0.1", self.control_port, timeout=10)
        connection.request(method, target, body=body)
        response = connection.getresponse()
        result = response.status, response.read(), response.headers
        connection.close()
        return result

    def get(self, target, host="127.0.0.1"):
        """The raw response to a GET as the agent sends it (target as bytes or
        Latin-1 text)."""
        if isinstance(target, str):
            target = target.encode("latin-1")
        request = b"GET " + target + b" HTTP/1.0\r\nHost: " + host.encode() + b"\r\n\r\n"
        return exchange(self.service_port, request)

    def reply(self, target, host="127.0.0.1") -> bytes:
        """The body of the answer, whatever its HTTP status."""
        return split_response(self.get(target, host))[2]
