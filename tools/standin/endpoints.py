"""Listening endpoints: plain HTTP or TLS, one request thread per connection."""
import socket
import ssl
import threading
from http.server import ThreadingHTTPServer
from typing import List, Optional
from urllib.parse import urlsplit

from script import StandinState

HANDSHAKE_SECONDS = 15


class Endpoint(ThreadingHTTPServer):
    """Counts every accepted connection; with a TLS context, the handshake
    runs on the connection's own thread so a stalled client blocks nobody."""
    daemon_threads = True

    def __init__(self, address, handler, state: StandinState, tls=None, prefix=""):
        self.state = state
        self.tls = tls
        self.prefix = prefix
        super().__init__(address, handler)
        self.name = "{}:{}".format(*self.server_address[:2])  # the bound port, also for port 0
        self.service_switch: Optional[ServiceSwitch] = None  # the control endpoint's only

    def finish_request(self, request, client_address):
        self.state.count_connection(self.name)
        if self.tls is None:
            super().finish_request(request, client_address)
            return
        request.settimeout(HANDSHAKE_SECONDS)
        try:
            secured = self.tls.wrap_socket(request, server_side=True)
        except (ssl.SSLError, OSError):
            return  # e.g. the client refused the certificate
        try:
            super().finish_request(secured, client_address)
        finally:
            secured.close()

    def run_in_background(self) -> threading.Thread:
        thread = threading.Thread(target=self.serve_forever, kwargs={"poll_interval": 0.2},
                                  name=f"endpoint {self.name}", daemon=True)
        thread.start()
        return thread

    def stop_listening(self):
        """Closes the listening socket once the accept loop has ended, so that
        clients are refused; connections already accepted are answered."""
        self.shutdown()
        self.socket.close()

    def listen_again(self):
        """Binds the same address anew (the bound port, also after port 0)."""
        self.socket = socket.socket(self.address_family, self.socket_type)
        try:
            self.server_bind()
            self.server_activate()
        except OSError:
            self.socket.close()
            raise
        self.run_in_background()


class ServiceSwitch:
    """Takes the service endpoints off the network and brings them back, the
    way a stopped web server looks to a client: the connection is refused."""

    def __init__(self, endpoints: List[Endpoint]):
        self._lock = threading.Lock()
        self._endpoints = endpoints
        self._down: List[Endpoint] = []

    def go_down(self):
        with self._lock:
            for endpoint in self._endpoints:
                if endpoint not in self._down:
                    endpoint.stop_listening()
                    self._down.append(endpoint)

    def come_back(self) -> str:
        """"" when every endpoint listens again, else why one could not."""
        with self._lock:
            for endpoint in list(self._down):
                try:
                    endpoint.listen_again()
                except OSError as error:
                    return f"cannot listen on {endpoint.name} again: {error.strerror or error}"
                self._down.remove(endpoint)
            return ""


def tls_context(chain_file: str, key_file: str) -> ssl.SSLContext:
    context = ssl.SSLContext(ssl.PROTOCOL_TLS_SERVER)
    context.load_cert_chain(chain_file, key_file)
    return context


def parse_listen(text: str):
    """"http://ADDR:PORT" or "https://ADDR:PORT/CERT" -> (address, cert name or None)."""
    url = urlsplit(text)
    if url.scheme not in ("http", "https") or not url.hostname or not url.port:
        raise ValueError(f"bad listen address {text!r}")
    cert = url.path.strip("/") or None
    if (url.scheme == "https") != (cert is not None):
        raise ValueError(f"{text!r}: https needs a certificate name, http none")
    return (url.hostname, url.port), cert
